// Saving in the main window: Speichern and its messages, the save-as panel
// and its name box, EXIT, and the question before the window closes over a
// changed text. Nothing may be lost on any of these ways.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "files/saving.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "shell/startup.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const QString hoppla = QStringLiteral("Hoppla, es ist ein Fehler aufgetreten !");
const QString askForName = QStringLiteral("Bitte zuerst einen Namen vergeben !");

QString savedMessage(const QString &path)
{
    return QStringLiteral("Datei ") + path + QStringLiteral(" wurde gespeichert");
}

QString savedUnderMessage(const QString &path)
{
    return QStringLiteral("Datei wurde gespeichert unter ") + path;
}

QString question(const QString &path)
{
    return QStringLiteral("Datei ") + path + QStringLiteral(" speichern ?");
}

class Save : public Form1Fixture {
protected:
    // Starts the window with a file of the work folder loaded.
    Form1 &startWith(const QString &name, const QByteArray &bytes)
    {
        const QString path = makeFile(name, bytes);
        Form1 &form = start({path});
        EXPECT_EQ(form.currentFile(), path);
        return form;
    }
    // Types a name into the save-as panel's box and presses Enter.
    void saveAs(Form1 &form, const QString &name)
    {
        form.Dateiauswahl2->saveas->setText(name);
        QTest::keyClick(form.Dateiauswahl2->saveas, Qt::Key_Return);
    }
    // Whether the save-as panel shows, and inside the window.
    static bool panelShows(Form1 &form)
    {
        SaveAsPanel *panel = form.Dateiauswahl2;
        return panel->isVisibleTo(&form) && form.rect().intersects(panel->geometry());
    }
    QString programFile(const QString &name) const { return QDir(m_programFolder).filePath(name); }
};

// ---- Speichern ---------------------------------------------------------------

TEST_F(Save, LoadedTextIsWrittenBackUnchangedAndConfirmed)
{
    const QByteArray bytes = "Gr\xfc\xdf"
                             "e\r\nzweite Zeile\r\n";
    Form1 &form = startWith(QStringLiteral("brief.txt"), bytes);
    const QString path = form.currentFile();

    EXPECT_TRUE(form.saving()->Speichern());

    // Ends in CR LF already: no line is added, however often it is saved.
    EXPECT_EQ(readBytes(path), bytes);
    EXPECT_TRUE(form.saving()->Speichern());
    EXPECT_EQ(readBytes(path), bytes);
    EXPECT_EQ(m_messages.texts(), QStringList({savedMessage(path), savedMessage(path)}));
}

TEST_F(Save, ChangedTextIsWrittenAndCountsAsUnchangedAfterwards)
{
    Form1 &form = startWith(QStringLiteral("a.txt"), "alt");
    form.TextBox1->setText(QStringLiteral("neu\r\nzwei"));
    ASSERT_TRUE(form.TextBox1->isModified());

    form.saving()->img_save_Click();

    EXPECT_EQ(readBytes(form.currentFile()), "neu\r\nzwei\r\n");
    EXPECT_FALSE(form.TextBox1->isModified());
}

TEST_F(Save, EmptyTextIsSavedAsOneLineBreak)
{
    Form1 &form = startWith(QStringLiteral("leer.txt"), "etwas");
    form.TextBox1->setText(QString());
    form.saving()->Speichern();
    EXPECT_EQ(readBytes(form.currentFile()), "\r\n");
}

TEST_F(Save, WithoutACurrentFileAndWithoutKeloTxtAsksForAName)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("ungesichert"));

    EXPECT_FALSE(form.saving()->Speichern());

    EXPECT_EQ(m_messages.texts(), QStringList{askForName});
    EXPECT_TRUE(panelShows(form));
    EXPECT_EQ(form.currentFile(), programFile(QStringLiteral("Kelo.txt")));
    EXPECT_FALSE(QFileInfo::exists(programFile(QStringLiteral("Kelo.txt"))));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("ungesichert"));

    // The next save asks again: the file still does not exist.
    EXPECT_FALSE(form.saving()->Speichern());
    EXPECT_EQ(m_messages.texts().size(), 2);
}

TEST_F(Save, WithoutACurrentFileKeloTxtInTheProgramsFolderIsReplaced)
{
    writeBytes(programFile(QStringLiteral("Kelo.txt")), "alt\r\n");
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("neu"));

    EXPECT_TRUE(form.saving()->Speichern());

    EXPECT_EQ(readBytes(programFile(QStringLiteral("Kelo.txt"))), "neu\r\n");
    EXPECT_EQ(m_messages.texts(),
              QStringList{savedMessage(programFile(QStringLiteral("Kelo.txt")))});
    EXPECT_FALSE(panelShows(form));
}

TEST_F(Save, FileDeletedSinceLoadingAsksForANameAndKeepsTheText)
{
    Form1 &form = startWith(QStringLiteral("weg.txt"), "Inhalt");
    form.TextBox1->setText(QStringLiteral("geändert"));
    ASSERT_TRUE(QFile::remove(form.currentFile()));

    EXPECT_FALSE(form.saving()->Speichern());

    EXPECT_EQ(m_messages.texts(), QStringList{askForName});
    EXPECT_FALSE(QFileInfo::exists(form.currentFile()));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("geändert"));
    EXPECT_TRUE(form.TextBox1->isModified());
}

// A write that fails is never confirmed: "Hoppla", the reason in the status
// line, the old file untouched, the text still there and still changed, and
// the save-as panel open for another name.
struct Failure {
    const char *name;
    // Spoils the loaded file between loading and saving.
    std::function<void(const QString &path)> spoil;
};

void PrintTo(const Failure &failure, std::ostream *out)
{
    *out << failure.name;
}

class SaveFailure : public Save, public ::testing::WithParamInterface<Failure> {};

INSTANTIATE_TEST_SUITE_P(
    BetweenLoadingAndSaving, SaveFailure,
    ::testing::Values(Failure{"MadeReadOnly",
                              [](const QString &path) {
                                  QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther);
                              }},
                      Failure{"ReplacedByAFifo",
                              [](const QString &path) {
                                  QFile::remove(path);
                                  ::mkfifo(QFile::encodeName(path).constData(), 0644);
                              }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(SaveFailure, IsReportedAndLosesNothing)
{
    Form1 &form = startWith(QStringLiteral("fest.txt"), "alter Inhalt\r\n");
    const QString path = form.currentFile();
    form.TextBox1->setText(QStringLiteral("neuer Inhalt"));
    GetParam().spoil(path);
    const QByteArray before = QFileInfo(path).isFile() ? readBytes(path) : QByteArray();

    EXPECT_FALSE(form.saving()->Speichern());

    EXPECT_EQ(m_messages.texts(), QStringList{hoppla});
    EXPECT_TRUE(form.lblstatus->text().contains(path)) << form.lblstatus->text().toStdString();
    if (QFileInfo(path).isFile())
        EXPECT_EQ(readBytes(path), before);
    else
        EXPECT_FALSE(QFileInfo(path).isFile()); // the pipe was not replaced
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("neuer Inhalt"));
    EXPECT_TRUE(form.TextBox1->isModified());
    EXPECT_TRUE(panelShows(form));
    EXPECT_EQ(form.currentFile(), path);
}

TEST_F(Save, Windows1252TextWithOtherCharactersIsSavedAsUtf8AndSaysSo)
{
    Form1 &form = startWith(QStringLiteral("alt.txt"), "Gr\xfc\xdf"
                                                       "e\r\n");
    ASSERT_EQ(form.textFormat().encoding, Encoding::Windows1252);
    form.TextBox1->setText(QStringLiteral("Grüße Ω\r\n"));

    EXPECT_TRUE(form.saving()->Speichern());

    EXPECT_EQ(readBytes(form.currentFile()), QByteArray("Grüße Ω\r\n"));
    EXPECT_EQ(form.lblstatus->text(),
              QStringLiteral("Gespeichert als UTF-8: der Text enthält Zeichen, die Windows-1252 "
                             "nicht darstellen kann."));
    EXPECT_EQ(form.textFormat().encoding, Encoding::Utf8);

    // Taking the Ω out again keeps the file UTF-8, the form it now has.
    form.TextBox1->setText(QStringLiteral("Grüße\r\n"));
    form.saving()->Speichern();
    EXPECT_EQ(readBytes(form.currentFile()), QByteArray("Grüße\r\n"));
}

TEST_F(Save, CtrlSSavesLikeTheButtonAlsoFromTheEditor)
{
    Form1 &form = startWith(QStringLiteral("kurz.txt"), "x");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.TextBox1->setText(QStringLiteral("getippt"));
    form.TextBox1->setFocus();
    QTest::keyClick(form.TextBox1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(readBytes(form.currentFile()), "getippt\r\n");
    EXPECT_EQ(m_messages.texts(), QStringList{savedMessage(form.currentFile())});
}

TEST_F(Save, ButtonsAreWired)
{
    Form1 &form = startWith(QStringLiteral("knopf.txt"), "x\r\n");
    form.TextBox1->setText(QStringLiteral("y"));
    form.img_save->click();
    EXPECT_EQ(readBytes(form.currentFile()), "y\r\n");
    form.Save_AS->click();
    EXPECT_TRUE(panelShows(form));
}

// ---- The save-as panel -------------------------------------------------------

TEST_F(Save, SaveAsShowsThePanelAtItsPlaceAndHidesTheOpenPanel)
{
    Form1 &form = start();
    form.cmd_open_Click();
    form.saving()->Save_AS_Click();
    EXPECT_TRUE(form.Dateiauswahl2->isVisibleTo(&form));
    EXPECT_EQ(form.Dateiauswahl2->y(), twipsToPixels(650));
    EXPECT_FALSE(form.Dateiauswahl->isVisibleTo(&form));
}

TEST_F(Save, PanelStartsInTheProgramsFolderAndANewTextIsSavedThere)
{
    Form1 &form = start();
    EXPECT_EQ(form.Dateiauswahl2->Dir2->path(), m_programFolder);
    EXPECT_EQ(form.Dateiauswahl2->Drive2->drive(), m_root.path());
    EXPECT_TRUE(form.currentFile().isEmpty());
    form.TextBox1->setText(QStringLiteral("Erster Text"));
    form.saving()->Save_AS_Click();

    saveAs(form, QStringLiteral("neu.txt"));

    const QString path = programFile(QStringLiteral("neu.txt"));
    EXPECT_EQ(readBytes(path), "Erster Text\r\n");
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(m_messages.texts(), QStringList{savedUnderMessage(path)});
    EXPECT_FALSE(form.Dateiauswahl2->isVisibleTo(&form));
    EXPECT_FALSE(form.TextBox1->isModified());
}

TEST_F(Save, WithoutACurrentFileTheFolderShownIsTheFolderUsed)
{
    Form1 &form = start();
    const QString elsewhere = QDir(m_work).filePath(QStringLiteral("anderswo"));
    QDir().mkpath(elsewhere);
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(elsewhere));
    form.setCurrentFile(QString());

    saveAs(form, QStringLiteral("b.txt"));

    EXPECT_EQ(readBytes(QDir(elsewhere).filePath(QStringLiteral("b.txt"))), "\r\n");
    EXPECT_FALSE(QFileInfo::exists(programFile(QStringLiteral("b.txt"))));
}

TEST_F(Save, SaveAsWhileBrowsingChangesTheCurrentFileAndReplacesWithoutAsking)
{
    Form1 &form = startWith(QStringLiteral("erst.txt"), "erst\r\n");
    const QString sub = QDir(m_work).filePath(QStringLiteral("unter"));
    QDir().mkpath(sub);
    const QString existing = QDir(sub).filePath(QStringLiteral("a.txt"));
    writeBytes(existing, "wird ersetzt");
    form.Dateiauswahl2->saveas->setText(QStringLiteral("a.txt"));

    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(sub));
    EXPECT_EQ(form.currentFile(), existing); // browsing alone names it
    saveAs(form, QStringLiteral("a.txt"));

    EXPECT_EQ(readBytes(existing), "erst\r\n");
    EXPECT_EQ(form.currentFile(), existing);
    EXPECT_EQ(m_messages.texts(), QStringList{savedUnderMessage(existing)});
    EXPECT_EQ(readBytes(QDir(m_work).filePath(QStringLiteral("erst.txt"))), "erst\r\n");
}

TEST_F(Save, BrowsingWithAnEmptyNameBoxMakesTheFolderTheCurrentFile)
{
    Form1 &form = start();
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(m_work));
    EXPECT_EQ(form.currentFile(), m_work + QLatin1Char('/'));
    // Speichern then asks for a name instead of writing over a folder.
    EXPECT_FALSE(form.saving()->Speichern());
    EXPECT_EQ(m_messages.texts(), QStringList{askForName});
}

TEST_F(Save, TheRootFolderIsJoinedWithOneSeparator)
{
    Form1 &form = start();
    form.Dateiauswahl2->saveas->setText(QStringLiteral("a.txt"));
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(QStringLiteral("/")));
    EXPECT_EQ(form.currentFile(), QStringLiteral("/a.txt"));
    // A save there that fails (a folder of that name) still names one path.
    saveAs(form, QStringLiteral("tmp"));
    EXPECT_EQ(form.currentFile(), QStringLiteral("/tmp"));
    EXPECT_EQ(m_messages.texts(), QStringList{hoppla});
}

// Names that are not a file name in the shown folder: nothing is written,
// the text and the current file stay, and the status line says why.
struct BadName {
    const char *name;
    QString typed;
    bool box; // "Hoppla" appears (a blank name only gets the status line)
};

void PrintTo(const BadName &bad, std::ostream *out)
{
    *out << bad.name;
}

class SaveBadName : public Save, public ::testing::WithParamInterface<BadName> {};

INSTANTIATE_TEST_SUITE_P(
    NameBox, SaveBadName,
    ::testing::Values(BadName{"Empty", QString(), false},
                      BadName{"Blanks", QStringLiteral("   "), false},
                      BadName{"Slash", QStringLiteral("unter/a.txt"), true},
                      BadName{"ParentFolder", QStringLiteral("../a.txt"), true},
                      BadName{"DotDot", QStringLiteral(".."), true},
                      BadName{"ExistingFolder", QStringLiteral("ordner"), true},
                      BadName{"TooLong", QString(300, QLatin1Char('n')), true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(SaveBadName, NothingIsWrittenAndTheTextStays)
{
    Form1 &form = startWith(QStringLiteral("bleibt.txt"), "bleibt\r\n");
    QDir(m_work).mkdir(QStringLiteral("ordner"));
    QDir(m_work).mkdir(QStringLiteral("unter"));
    ASSERT_TRUE(form.Dateiauswahl2->Dir2->setPath(m_work));
    form.saving()->Save_AS_Click();
    form.TextBox1->setText(QStringLiteral("mein Text"));
    const QStringList before =
        QDir(m_work).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QStringList parentBefore =
        QDir(m_root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const QString current = form.currentFile();

    saveAs(form, GetParam().typed);

    EXPECT_EQ(QDir(m_work).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              before);
    EXPECT_EQ(QDir(m_root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              parentBefore);
    EXPECT_TRUE(QDir(QDir(m_work).filePath(QStringLiteral("unter"))).isEmpty());
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("mein Text"));
    EXPECT_TRUE(form.TextBox1->isModified());
    EXPECT_EQ(m_messages.texts(), GetParam().box ? QStringList{hoppla} : QStringList{});
    EXPECT_FALSE(form.lblstatus->text().isEmpty());
    EXPECT_TRUE(panelShows(form));
    if (!GetParam().box) {
        EXPECT_EQ(form.currentFile(), current);
    }
}

TEST_F(Save, OtherKeysInTheNameBoxDoNothing)
{
    Form1 &form = start();
    form.Dateiauswahl2->saveas->setText(QStringLiteral("x.tx"));
    QTest::keyClick(form.Dateiauswahl2->saveas, Qt::Key_T);
    EXPECT_EQ(form.Dateiauswahl2->saveas->text(), QStringLiteral("x.txt"));
    EXPECT_TRUE(m_messages.shown().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(programFile(QStringLiteral("x.txt"))));
}

// ---- EXIT and closing --------------------------------------------------------

TEST_F(Save, ExitWithAnEmptyTextClosesWithoutAQuestion)
{
    Form1 &form = start();
    form.show();
    form.TextBox1->setText(QStringLiteral("x"));
    form.TextBox1->setText(QString()); // changed, but empty
    form.Dateiauswahl->Filter->setText(QStringLiteral("*.md"));

    form.saving()->EXIT_Click();

    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(m_messages.shown().isEmpty());
    EXPECT_EQ(setting(key::filter), QStringLiteral("*.md"));
}

TEST_F(Save, ExitWithTextAsksOnceAndNoClosesWithoutSaving)
{
    Form1 &form = startWith(QStringLiteral("nein.txt"), "alt\r\n");
    form.show();
    form.TextBox1->setText(QStringLiteral("neu"));
    m_messages.queueAnswer(MsgAnswer::No);

    form.saving()->EXIT_Click();

    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(m_messages.shown().size(), 1); // the close does not ask again
    EXPECT_EQ(m_messages.shown().first().text, question(form.currentFile()));
    EXPECT_EQ(m_messages.shown().first().buttons, MsgButtons::YesNo);
    EXPECT_EQ(readBytes(form.currentFile()), "alt\r\n");
    EXPECT_NE(setting(key::dir1), QStringLiteral("<missing>"));
}

TEST_F(Save, ExitAsksAlsoForAnUnchangedText)
{
    Form1 &form = startWith(QStringLiteral("gleich.txt"), "gleich\r\n");
    form.show();
    m_messages.queueAnswer(MsgAnswer::Yes);

    form.saving()->EXIT_Click();

    EXPECT_EQ(m_messages.texts(),
              QStringList({question(form.currentFile()), savedMessage(form.currentFile())}));
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Save, ExitYesWithoutAFileKeepsTheWindowOpenWithThePanel)
{
    Form1 &form = start();
    form.show();
    form.TextBox1->setText(QStringLiteral("nicht verlieren"));
    m_messages.queueAnswer(MsgAnswer::Yes);

    form.saving()->EXIT_Click();

    // The question names no file: the two parts meet with two blanks.
    EXPECT_EQ(m_messages.texts(), QStringList({QStringLiteral("Datei  speichern ?"), askForName}));
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(panelShows(form));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("nicht verlieren"));
    EXPECT_EQ(setting(key::filter), QStringLiteral("<missing>")); // no shut-down ran

    // Saved under a name, the next EXIT closes.
    saveAs(form, QStringLiteral("gerettet.txt"));
    m_messages.queueAnswer(MsgAnswer::No);
    form.saving()->EXIT_Click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(readBytes(programFile(QStringLiteral("gerettet.txt"))), "nicht verlieren\r\n");
}

TEST_F(Save, ExitYesWithAFailedWriteKeepsTheWindowOpen)
{
    Form1 &form = startWith(QStringLiteral("nur.txt"), "alt\r\n");
    form.show();
    QFile::setPermissions(form.currentFile(), QFile::ReadOwner);
    form.TextBox1->setText(QStringLiteral("neu"));
    m_messages.queueAnswer(MsgAnswer::Yes);

    form.saving()->EXIT_Click();

    EXPECT_EQ(m_messages.texts(), QStringList({question(form.currentFile()), hoppla}));
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(panelShows(form));
    EXPECT_EQ(readBytes(form.currentFile()), "alt\r\n");
}

TEST_F(Save, ClosingAnUnchangedTextAsksNothing)
{
    Form1 &form = startWith(QStringLiteral("ruhig.txt"), "ruhig");
    closeWindow();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

TEST_F(Save, ClosingAChangedTextAsksAndNoCloses)
{
    Form1 &form = startWith(QStringLiteral("zu.txt"), "alt\r\n");
    form.TextBox1->setText(QStringLiteral("neu"));
    m_messages.queueAnswer(MsgAnswer::No);

    closeWindow();

    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(m_messages.texts(), QStringList{question(form.currentFile())});
    EXPECT_EQ(readBytes(form.currentFile()), "alt\r\n");
    EXPECT_NE(setting(key::filter), QStringLiteral("<missing>"));
}

TEST_F(Save, ClosingAChangedTextAndYesSavesAndCloses)
{
    Form1 &form = startWith(QStringLiteral("ja.txt"), "alt\r\n");
    form.TextBox1->setText(QStringLiteral("neu"));
    m_messages.queueAnswer(MsgAnswer::Yes);

    closeWindow();

    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(readBytes(form.currentFile()), "neu\r\n");
}

TEST_F(Save, ClosingAChangedTextAndYesWithoutAFileStaysOpen)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("neu getippt"));
    m_messages.queueAnswer(MsgAnswer::Yes);
    QWidget other;
    other.show();

    closeWindow();

    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(other.isVisible());
    EXPECT_TRUE(panelShows(form));
    EXPECT_EQ(m_messages.texts(), QStringList({QStringLiteral("Datei  speichern ?"), askForName}));
    EXPECT_EQ(setting(key::filter), QStringLiteral("<missing>"));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("neu getippt"));

    // Once saved, closing asks nothing more.
    saveAs(form, QStringLiteral("jetzt.txt"));
    m_messages.clear();
    closeWindow();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

// ---- The drive list of the panel ---------------------------------------------

TEST(SaveAsPanelDrives, DriveThatIsNotReadyGoesBackAndSaysSo)
{
    QTemporaryDir ready;
    ASSERT_TRUE(ready.isValid());
    const QString readyPath = ready.path();
    // Listed, but its root cannot be read (a stick that was pulled).
    const QString gonePath = readyPath + QStringLiteral("-weg");
    const VolumeSource volumes = [readyPath, gonePath] {
        return QList<Volume>{{readyPath, true}, {gonePath, false}};
    };
    SaveAsPanel panel(volumes);
    ASSERT_TRUE(panel.Dir2->setPath(readyPath));
    QStringList status;
    QStringList chosen;
    QObject::connect(&panel, &SaveAsPanel::statusMessage,
                     [&status](const QString &text) { status.append(text); });
    QObject::connect(&panel, &SaveAsPanel::folderChosen,
                     [&chosen](const QString &path) { chosen.append(path); });

    EXPECT_TRUE(panel.Drive2->setDrive(gonePath));

    EXPECT_EQ(panel.Drive2->drive(), readyPath);
    EXPECT_EQ(panel.Dir2->path(), readyPath);
    EXPECT_EQ(status, QStringList{QStringLiteral("Laufwerk nicht verfügbar !")});
    EXPECT_TRUE(chosen.isEmpty());

    // A ready drive moves the folder list, and with it the proposed file.
    QDir(readyPath).mkdir(QStringLiteral("sub"));
    panel.saveas->setText(QStringLiteral("n.txt"));
    ASSERT_TRUE(panel.Dir2->setPath(QDir(readyPath).filePath(QStringLiteral("sub"))));
    EXPECT_EQ(chosen, QStringList{QDir(readyPath).filePath(QStringLiteral("sub/n.txt"))});
}

} // namespace
} // namespace kelo::test
