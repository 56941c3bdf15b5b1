// The main window: start-up, loading, the colour schemes on the editor's
// real colours, the settings written when the window closes, and its layout.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "platform/filenames.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "shell/application.h"
#include "shell/colourschemes.h"
#include "shell/layout.h"
#include "shell/optionspanel.h"
#include "shell/startup.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>

namespace kelo::test {
namespace {

const QColor navy(0, 0, 128);
const QColor cyan(0, 255, 255);

// Each argument's bytes, the ones that are not UTF-8 included, come back as
// they were. Quotes come off only after an opening one, and then the last
// character goes whatever it is; a lone quote stays.
TEST(CommandLine, ArgumentsKeepTheirBytesAndLoseQuotesOnlyAfterAnOpeningOne)
{
    const char *argv[] = {"kelo", "/tmp/\xC4lteres/\xE4rger.txt", "Gr\xC3\xBC\xC3\x9F" "e", ""};
    const QStringList arguments = commandLineArguments(4, argv);
    ASSERT_EQ(arguments.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(encodeFileName(arguments.at(i)), QByteArray(argv[i + 1]));
    EXPECT_EQ(arguments.at(1), QStringLiteral("Grüße"));

    // clang-format off
    const std::pair<QString, QString> cases[] = {
        {"\"/home/a b/c.txt\"", "/home/a b/c.txt"}, {"\"/home/a/c.txt", "/home/a/c.tx"},
        {"\"", "\""}, {"\"\"", ""}, {"x\"y\"", "x\"y\""}, {"", ""}};
    // clang-format on
    for (const auto &[command, stripped] : cases)
        EXPECT_EQ(stripQuotes(command), stripped) << command.toStdString();
}

using StartUp = Form1Fixture;

// Read with the defaults first; then nonsense in the settings keeps the lists
// and navy and cyan in the font of design time; a stored weiss and filter are
// applied.
TEST_F(StartUp, QuotedPathWithBlanksIsReadAndTheStoredSettingsAreApplied)
{
    const QString path = makeFile("mit  Leer zeichen.txt", "Hallo\r\nWelt");
    Form1 &form = start({'"' + m_work + "/mit", QString(), "Leer", "zeichen.txt\""});
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Hallo\r\nWelt"));
    // The lists' positions of that moment are stored, not the file's folder.
    EXPECT_EQ(setting(key::dir1), form.Dateiauswahl->Dir1->path());
    EXPECT_EQ(form.Dateiauswahl->File1->pattern(), QStringLiteral("*.*"));
    EXPECT_EQ(form.TextBox1->backColor(), navy);
    EXPECT_TRUE(form.TextBox1->editorFont().bold());

    m_window.reset();
    presetSetting(key::dir1, QDir(m_root.path()).filePath(QStringLiteral("weg")));
    presetSetting(key::drive1, QStringLiteral("/nirgendwo"));
    presetSetting(key::scheme, QStringLiteral("lila"));
    Form1 &nonsense = start();
    EXPECT_EQ(nonsense.Dateiauswahl->Dir1->path(), m_work);
    EXPECT_EQ(nonsense.TextBox1->backColor(), navy);
    EXPECT_EQ(nonsense.TextBox1->textColor(), cyan);
    EXPECT_FALSE(nonsense.TextBox1->editorFont().bold());
    EXPECT_EQ(nonsense.Frame1->lbl_schwarzweissblau->text(), QStringLiteral("lila"));

    m_window.reset();
    presetSetting(key::scheme, QStringLiteral("weiss"));
    presetSetting(key::filter, QStringLiteral("*.md;*.txt"));
    Form1 &weiss = start({makeFile(QStringLiteral("w.txt"), "eins\r\nzwei")});
    // Window text, not button text: weiss at start-up is applied without its refresh.
    EXPECT_EQ(weiss.TextBox1->textColor(), resolveOleColor(systemColorFlag | 8));
    EXPECT_EQ(weiss.TextBox1->backColor(), resolveOleColor(systemColorFlag | 5));
    EXPECT_FALSE(weiss.TextBox1->editorFont().bold());
    EXPECT_EQ(weiss.TextBox1->SelStart(), 0);
    EXPECT_EQ(weiss.Dateiauswahl->File1->pattern(), QStringLiteral("*.md;*.txt"));
}

// A command line naming no readable file ("@": the work folder) reads nothing,
// says why in the status line and brings back the stored folder.
TEST_F(StartUp, WithoutAReadableFileReadsNothingAndReturnsToTheStoredFolder)
{
    const QString stored = QDir(m_root.path()).filePath(QStringLiteral("stored"));
    QDir().mkpath(stored);
    for (const auto &[command, reason] :
         {std::pair{"@/neu.txt", "gibt es noch nicht"}, std::pair{"@", "ist ein Ordner"}}) {
        SCOPED_TRACE(command);
        m_window.reset();
        presetSetting(key::dir1, stored);
        const QString argument = QString::fromUtf8(command).replace(u'@', m_work);
        Form1 &form = start({argument});
        EXPECT_EQ(form.currentFile(), argument);
        EXPECT_TRUE(form.TextBox1->Text().isEmpty());
        EXPECT_EQ(form.Dateiauswahl->Dir1->path(), stored);
        EXPECT_TRUE(form.lblstatus->text().contains(QString::fromUtf8(reason)));
        EXPECT_TRUE(m_messages.shown().isEmpty());
    }
}

using Loading = Form1Fixture;

// Whether the drop was taken; the file is read once the events after it ran.
bool dropUrl(QWidget *target, const QUrl &url, bool thenRead = true)
{
    QMimeData mime;
    mime.setUrls({url});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    if (thenRead)
        QCoreApplication::processEvents();
    return drop.isAccepted();
}

// Ctrl+O in the editor, then FileLoad needs a chosen file; dropped files load
// too, hidden and empty ones; a failed read keeps the text and the file.
TEST_F(Loading, OpenPanelAndDropsReadFilesAndAFailedReadLosesNothing)
{
    Form1 &form = startShown();
    const QString path = makeFile("brief.txt", "Gr\374\337e\r\n");
    OpenPanel *panel = form.Dateiauswahl;
    panel->File1->refresh();
    form.TextBox1->setText(QStringLiteral("bleibt"));
    form.Dateiauswahl2->show();
    QTest::keyClick(form.TextBox1, Qt::Key_O, Qt::ControlModifier); // types nothing
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(form.Dateiauswahl2->isVisible());
    panel->File1->setListIndex(-1);
    form.FileLoad();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(m_messages.texts(), QStringList{QStringLiteral("Zuerst Datei auswählen !")});
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("bleibt"));

    form.cmd_open_Click();
    panel->File1->setListIndex(panel->File1->list().indexOf(QStringLiteral("brief.txt")));
    Q_EMIT panel->File1->fileClicked();
    EXPECT_EQ(form.lblstatus->text(), path);
    form.FileLoad();
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Grüße\r\n")); // Windows-1252 bytes
    EXPECT_TRUE(form.TextBox1->editorFont().bold());               // refreshed

    const QString sub = m_work + "/ablage";
    ASSERT_TRUE(QDir().mkpath(sub));
    const QString hidden = makeFile("ablage/.versteckt", "geheim");
    EXPECT_TRUE(dropUrl(&form, QUrl::fromLocalFile(hidden), false)); // read after it
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Grüße\r\n"));
    QCoreApplication::processEvents();
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("geheim"));
    EXPECT_EQ(form.currentFile(), hidden);
    EXPECT_EQ(form.Dateiauswahl->Dir1->path(), sub);
    EXPECT_EQ(setting(key::dir1), sub);

    // A folder cannot be read, even by root; "Nein" to saving lets the load go on.
    form.TextBox1->setText(QStringLiteral("geändert"));
    m_messages.clear();
    m_messages.queueAnswer(MsgAnswer::No);
    form.loadDroppedFile(m_work);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("geändert"));
    EXPECT_EQ(form.currentFile(), hidden);
    EXPECT_EQ(m_messages.texts(),
              QStringList({"Datei " + hidden + " speichern ?",
                           QStringLiteral("Hoppla, es ist ein Fehler aufgetreten !")}));
    EXPECT_TRUE(form.lblstatus->text().contains(m_work));

    const QString empty = makeFile(QStringLiteral("leer.txt"), QByteArray());
    m_messages.queueAnswer(MsgAnswer::No);
    dropUrl(form.TextBox1->viewport(), QUrl::fromLocalFile(empty));
    EXPECT_TRUE(form.TextBox1->Text().isEmpty());
    EXPECT_EQ(form.currentFile(), empty);
    EXPECT_FALSE(form.TextBox1->isModified());
    EXPECT_EQ(m_messages.shown().size(), 3);
}

// Loading over a changed text: "Ja" saves and loads only when the save
// worked, "Nein" loads, going back changes nothing (the panel stays as it
// was); a drop asks the same question. An unchanged text loads at once.
TEST_F(Loading, OverAChangedTextAsksAndLoadsOnlyWhenTheTextIsSafe)
{
    const struct {
        const char *name;
        bool drop;
        MsgAnswer answer;
        bool savable; // the current file exists, so Speichern can write it
        bool loads;
    } cases[] = {{"PanelYes", false, MsgAnswer::Yes, true, true},
                 {"PanelYesNotSaved", false, MsgAnswer::Yes, false, false},
                 {"PanelNo", false, MsgAnswer::No, true, true},
                 {"PanelCancel", false, MsgAnswer::Cancel, true, false},
                 {"DropCancel", true, MsgAnswer::Cancel, true, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_window.reset();
        m_messages.clear();
        const QString first = makeFile("erste.txt", "eins\r\n");
        const QString second = makeFile("zweite.txt", "zwei\r\n");
        Form1 &form = startShown({first});
        OpenPanel *panel = form.Dateiauswahl;
        const auto load = [&](const QString &path) {
            if (c.drop) {
                dropUrl(&form, QUrl::fromLocalFile(path));
                return;
            }
            form.cmd_open_Click();
            panel->File1->refresh();
            panel->File1->setListIndex(panel->File1->list().indexOf(QFileInfo(path).fileName()));
            form.FileLoad();
        };
        load(second);
        load(first);
        EXPECT_TRUE(m_messages.texts().isEmpty());
        ASSERT_EQ(form.currentFile(), first);

        form.TextBox1->setText(QStringLiteral("meine Änderung"));
        ASSERT_TRUE(c.savable || QFile::remove(first));
        m_messages.queueAnswer(c.answer);
        load(second);

        EXPECT_EQ(m_messages.texts().value(0), "Datei " + first + " speichern ?");
        EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNoCancel);
        EXPECT_EQ(form.currentFile(), c.loads ? second : first);
        EXPECT_EQ(form.TextBox1->Text(),
                  c.loads ? QStringLiteral("zwei\r\n") : QStringLiteral("meine Änderung"));
        if (c.savable) {
            EXPECT_EQ(readBytes(first), c.answer == MsgAnswer::Yes
                                            ? QByteArray("meine Änderung\r\n")
                                            : QByteArray("eins\r\n"));
        }
        EXPECT_EQ(panel->isVisible(), !c.drop && !c.loads);
        EXPECT_EQ(form.TextBox1->isModified(), !c.loads);
    }
}

using Latin1Names = Latin1Fixture;

// A Latin-1 name on the command line opens its file, Label1 shows it readably
// and Speichern replaces exactly that file. Dropped as a file manager sends it
// (percent-encoded bytes), on the window or the editor, it loads the same way.
// The open panel lists folder and file readably and enters and loads them by
// double clicks; "dir1" keeps the folder for the next start.
TEST_F(Latin1Names, CommandLineDropsAndTheOpenPanelReadAndWriteTheFileUnderItsOwnName)
{
    Form1 &form = startShown({decodeFileName(m_fileRaw)});
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Grüße\r\n"));
    EXPECT_EQ(encodeFileName(form.currentFile()), m_fileRaw);
    EXPECT_EQ(form.Label1->text(), m_fileShown);

    form.TextBox1->setText(QStringLiteral("Grüße, geändert\r\n"));
    form.img_save->click();
    EXPECT_EQ(readRaw(m_fileRaw), "Gr\374\337e, ge\344ndert\r\n");
    EXPECT_EQ(rawEntries(m_folderRaw), QByteArrayList{"\xE4rger.txt"});
    EXPECT_EQ(m_messages.texts(), QStringList{"Datei " + m_fileShown + " wurde gespeichert"});

    const QByteArray oil = m_folderRaw + "/\xD6l.txt";
    writeRaw(oil, "\xD6l");
    const QByteArray water = m_folderRaw + "/Wa\xDF" "er";
    writeRaw(water, "H2O");
    const auto urlOf = [](const QByteArray &path) {
        return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"));
    };
    dropUrl(&form, urlOf(oil));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Öl"));
    EXPECT_EQ(encodeFileName(form.currentFile()), oil);
    EXPECT_EQ(encodeFileName(form.Dateiauswahl->Dir1->path()), m_folderRaw);
    dropUrl(form.TextBox1->viewport(), urlOf(water));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("H2O"));
    EXPECT_EQ(encodeFileName(form.currentFile()), water);
    EXPECT_EQ(m_messages.shown().size(), 1);

    form.cmd_open_Click();
    OpenPanel *panel = form.Dateiauswahl;
    ASSERT_TRUE(panel->Dir1->setPath(m_work));
    const QList<QListWidgetItem *> folders =
        panel->Dir1->findItems(QStringLiteral("Älteres"), Qt::MatchExactly);
    ASSERT_EQ(folders.size(), 1);
    doubleClick(*panel->Dir1, folders.first());
    EXPECT_EQ(encodeFileName(panel->Dir1->path()), m_folderRaw);
    const QList<QListWidgetItem *> files =
        panel->File1->findItems(QStringLiteral("ärger.txt"), Qt::MatchExactly);
    ASSERT_EQ(files.size(), 1);
    doubleClick(*panel->File1, files.first());
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Grüße, geändert\r\n"));
    EXPECT_EQ(encodeFileName(form.currentFile()), m_fileRaw);
    EXPECT_EQ(form.Label1->text(), m_fileShown);

    closeWindow();
    m_window.reset();
    Form1 &next = start();
    EXPECT_EQ(encodeFileName(next.Dateiauswahl->Dir1->path()), m_folderRaw);
    EXPECT_TRUE(next.Dateiauswahl->File1->list().contains(decodeFileName("\xE4rger.txt")));
}

using Schemes = Form1Fixture;

// The options panel sizes the window; each scheme sets the editor's colours,
// font and caret. Closing stores the settings and closes the other windows.
TEST_F(Schemes, EachSchemeSetsColoursFontAndCaretAndClosingStoresTheSettings)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("abc\r\ndef"));
    form.TextBox1->setSelStart(5);
    form.setWindowWidthTwips(8000);
    form.setWindowHeightTwips(4000);
    form.cmd_Einstell_Click();
    EXPECT_NEAR(form.windowWidthTwips(), 12285, 15);
    EXPECT_NEAR(form.windowHeightTwips(), 6000, 15);
    EXPECT_TRUE(form.Frame1->isVisibleTo(&form));
    form.schemes()->schwarz_Click();
    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 0));
    EXPECT_EQ(form.TextBox1->textColor(), cyan);
    EXPECT_TRUE(form.TextBox1->editorFont().bold());
    EXPECT_EQ(form.TextBox1->SelStart(), 0);
    EXPECT_FALSE(form.Frame1->isVisibleTo(&form));

    // weiss ends with its refresh, which takes the button text colour.
    form.schemes()->weiss_Click();
    EXPECT_EQ(form.TextBox1->textColor(), resolveOleColor(systemColorFlag | 18));
    EXPECT_EQ(form.TextBox1->backColor(), resolveOleColor(systemColorFlag | 5));
    EXPECT_EQ(form.Frame1->lbl_schwarzweissblau->text(), QStringLiteral("weiss"));
    form.schemes()->blau_Click(); // leaving weiss brings cyan back
    EXPECT_EQ(form.TextBox1->textColor(), cyan);
    EXPECT_EQ(form.TextBox1->backColor(), navy);

    form.cmd_Einstell_Click();
    form.setWindowWidthTwips(9000);
    Q_EMIT form.Frame1->LblExit->clicked(); // QUIT closes without resizing
    EXPECT_FALSE(form.Frame1->isVisibleTo(&form));
    EXPECT_NEAR(form.windowWidthTwips(), 9000, 15);

    const QString sub = m_work + "/unter";
    ASSERT_TRUE(QDir().mkpath(sub));
    ASSERT_TRUE(form.Dateiauswahl->Dir1->setPath(sub));
    form.Dateiauswahl->Filter->setText(QStringLiteral("*.log"));
    form.schemes()->schwarz_Click();
    QWidget other;
    other.show();
    closeWindow();
    EXPECT_EQ(setting(key::dir1), sub);
    EXPECT_EQ(setting(key::drive1), m_root.path());
    EXPECT_EQ(setting(key::filter), QStringLiteral("*.log"));
    EXPECT_EQ(setting(key::scheme), QStringLiteral("schwarz"));
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(other.isVisible());
}

// The editor and the status line follow the window's outer size; a window
// too low is set back to 2000 twips; minimised changes nothing.
TEST(LayoutRule, GivesTheEditorAndTheStatusLineTheirSizes)
{
    using enum LayoutStep::Action;
    const struct {
        double width, height;
        LayoutStep::Action action;
        double editorWidth, editorHeight;
    } cases[] = {
        {12285, 7920, Fit, 11895, 6255}, // the designed window
        {6000, 1671, Fit, 5610, 6},      // just high enough
        {6000, 1670, SetHeight, 0, 0},   // 1670 and below snap to 2000
        {120, 3000, Fit, 0, 1335},       // never a negative width
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const LayoutStep step = layoutFor(c.width, c.height, false);
        EXPECT_EQ(step.action, c.action);
        if (c.action == Fit) {
            EXPECT_EQ(step.editorWidth, c.editorWidth);
            EXPECT_EQ(step.editorHeight, c.editorHeight);
            EXPECT_EQ(step.statusWidth, c.editorWidth);
            EXPECT_EQ(step.statusTop, 720 + c.editorHeight); // no gap under the editor
        } else {
            EXPECT_EQ(step.windowHeight, 2000);
        }
    }
}

using WindowResize = Form1Fixture;

TEST_F(WindowResize, EditorAndStatusLineFollowTheWindowButNotWhileMinimised)
{
    Form1 &form = startShown();
    form.setWindowWidthTwips(6000);
    form.setWindowHeightTwips(5055);
    EXPECT_EQ(form.TextBox1->geometry(), twipsRect(105, 720, 5610, 3390));
    EXPECT_EQ(form.lblstatus->geometry(), twipsRect(105, 4110, 5610, 240));

    form.setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.isMinimized(); }));
    form.setWindowWidthTwips(6600);
    form.setWindowHeightTwips(900);
    EXPECT_EQ(form.TextBox1->geometry(), twipsRect(105, 720, 5610, 3390));
    EXPECT_EQ(form.windowHeightTwips(), 900); // not snapped while minimised

    form.setWindowState(Qt::WindowNoState);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isMinimized(); }));
    EXPECT_EQ(form.windowHeightTwips(), 2000 - 5); // whole pixels: 96 px plus the frame
    EXPECT_EQ(form.TextBox1->geometry(), twipsRect(105, 720, 6210, 2000 - 5 - 1665));
    EXPECT_EQ(form.lblstatus->geometry(), twipsRect(105, 720 + 2000 - 5 - 1665, 6210, 240));
}

} // namespace
} // namespace kelo::test
