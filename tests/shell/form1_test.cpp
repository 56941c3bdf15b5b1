// The main window: start-up, loading (big files under their progress box),
// the colour schemes, the settings written on closing, and its layout.
#include "files/fileprocs.h"
#include "files/openpanel.h"
#include "files/recoverykeeper.h"
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "platform/filenames.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "platform/workprogress.h"
#include "shell/application.h"
#include "shell/colourschemes.h"
#include "shell/layout.h"
#include "shell/loadprogress.h"
#include "shell/optionspanel.h"
#include "shell/startup.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

namespace kelo::test {
namespace {

using namespace std::chrono_literals;

const QColor navy(0, 0, 128);
const QColor cyan(0, 255, 255);

// Argument bytes that are not UTF-8 changed, or quotes taken off where no
// opening one was.
TEST(CommandLine, ArgumentsKeepTheirBytesAndLoseQuotesOnlyAfterAnOpeningOne)
{
    // clang-format off
    const char *argv[] = {"kelo", "/tmp/\xC4lteres/\xE4rger.txt", "Gr\xC3\xBC\xC3\x9F" "e", ""};
    const QStringList arguments = commandLineArguments(4, argv);
    ASSERT_EQ(arguments.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(encodeFileName(arguments.at(i)), QByteArray(argv[i + 1]));
    EXPECT_EQ(arguments.at(1), QStringLiteral("Grüße"));
    // A quoted path with blanks: see the start-up below.
    for (const auto &[command, stripped] : {std::pair{"\"/home/a/c.txt", "/home/a/c.tx"},
                                            {"\"", "\""}, {"\"\"", ""}, {"x\"y\"", "x\"y\""}})
        // clang-format on
        EXPECT_EQ(stripQuotes(QString::fromUtf8(command)), QString::fromUtf8(stripped)) << command;
}

using StartUp = Form1Fixture;

// Stored settings not applied, nonsense in them not ignored, or a command
// line naming no readable file that reads something or keeps quiet.
TEST_F(StartUp, TheCommandLineFileIsReadAndTheStoredSettingsAreApplied)
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

    const QString stored = QDir(m_root.path()).filePath(QStringLiteral("stored"));
    QDir().mkpath(stored);
    for (const auto &[argument, reason] :
         {std::pair<QString, QString>{m_work + "/neu.txt", "Die Datei %1 gibt es noch nicht."},
          {m_work, "%1 ist ein Ordner, keine Datei."}}) {
        m_window.reset();
        presetSetting(key::dir1, stored);
        Form1 &unread = start({argument});
        EXPECT_EQ(unread.currentFile(), argument);
        EXPECT_TRUE(unread.TextBox1->Text().isEmpty());
        EXPECT_EQ(unread.Dateiauswahl->Dir1->path(), stored);
        EXPECT_EQ(unread.lblstatus->text(), reason.arg(argument));
    }
    EXPECT_TRUE(m_messages.shown().isEmpty());
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

// Loading by the open panel or a drop: without a chosen file, over a changed
// text (going back must change nothing), or failing, loses nothing.
TEST_F(Loading, OpenPanelAndDropsAskOverAChangedTextAndAFailedReadLosesNothing)
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

    const auto choose = [&](const QString &name) {
        form.cmd_open_Click();
        panel->File1->refresh();
        panel->File1->setListIndex(panel->File1->list().indexOf(name));
        Q_EMIT panel->File1->fileClicked();
    };
    choose(QStringLiteral("brief.txt"));
    EXPECT_EQ(form.lblstatus->text(), path);
    form.FileLoad();
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Grüße\r\n")); // Windows-1252 bytes
    EXPECT_TRUE(form.TextBox1->editorFont().bold());               // refreshed
    m_messages.clear();

    const QString sub = m_work + "/ablage";
    ASSERT_TRUE(QDir().mkpath(sub));
    const QString hidden = makeFile("ablage/.versteckt", "geheim");
    makeFile("ablage/zwei.txt", "zwei\r\n");
    EXPECT_TRUE(dropUrl(&form, QUrl::fromLocalFile(hidden), false)); // read after it
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Grüße\r\n"));
    QCoreApplication::processEvents();
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("geheim"));
    EXPECT_EQ(form.currentFile(), hidden);
    EXPECT_EQ(form.Dateiauswahl->Dir1->path(), sub);
    EXPECT_EQ(setting(key::dir1), sub);
    EXPECT_TRUE(m_messages.texts().isEmpty()); // an unchanged text loads at once

    form.TextBox1->setText(QStringLiteral("geändert"));
    for (const bool drop : {true, false}) {
        SCOPED_TRACE(drop ? "dropped" : "open panel");
        m_messages.queueAnswer(MsgAnswer::Cancel);
        if (drop) {
            dropUrl(&form, QUrl::fromLocalFile(path));
        } else {
            choose(QStringLiteral("zwei.txt"));
            form.FileLoad();
        }
        EXPECT_EQ(form.currentFile(), hidden);
        EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("geändert"));
        EXPECT_TRUE(form.TextBox1->isModified());
        EXPECT_EQ(panel->isVisible(), !drop);
    }
    // A folder cannot be read, even by root; "Nein" to saving lets the load go on.
    m_messages.queueAnswer(MsgAnswer::No);
    form.loadDroppedFile(m_work);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("geändert"));
    EXPECT_EQ(form.currentFile(), hidden);
    EXPECT_EQ(form.lblstatus->text(),
              "Die Datei " + m_work + " kann nicht gelesen werden: " + m_work + " ist ein Ordner.");

    const QString empty = makeFile(QStringLiteral("leer.txt"), QByteArray());
    m_messages.queueAnswer(MsgAnswer::No);
    dropUrl(form.TextBox1->viewport(), QUrl::fromLocalFile(empty));
    EXPECT_TRUE(form.TextBox1->Text().isEmpty());
    EXPECT_EQ(form.currentFile(), empty);
    EXPECT_FALSE(form.TextBox1->isModified());
    EXPECT_EQ(readBytes(hidden), "geheim");
    const QString question = "Datei " + hidden + " speichern ?";
    EXPECT_EQ(m_messages.texts(),
              QStringList({question, question, question,
                           QStringLiteral("Hoppla, es ist ein Fehler aufgetreten !"), question}));
    EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNoCancel);
}

// What a window's loads told their progress. stopAt: the step (from 1) at
// which the fake user stops, 0 never; `box` adds the real progress box.
constexpr int stopWhileWaiting = -1;
struct Steps {
    QList<qint64> done;
    qint64 total = -1;
    int stopAt = 0;
    int waits = 0;
    bool stopped = false;
    bool box = false;
    std::function<void(bool last)> during; // runs at every step

    bool risesToTotal() const
    {
        return !done.isEmpty() && std::is_sorted(done.begin(), done.end()) && done.last() == total;
    }
};

class FakeProgress : public LoadProgress {
public:
    FakeProgress(Steps &steps, QWidget &window, const QString &path)
        : m_steps(steps)
    {
        if (steps.box)
            m_box.emplace(window, path, 0ms);
    }
    bool step(qint64 done, qint64 total) override
    {
        m_steps.done.append(done);
        m_steps.total = total;
        if (m_steps.during)
            m_steps.during(done == total);
        const bool goOn = !m_box || m_box->step(done, total);
        m_steps.stopped = m_steps.stopped || m_steps.done.size() == m_steps.stopAt;
        return goOn && !m_steps.stopped;
    }
    bool wait() override
    {
        ++m_steps.waits;
        m_steps.stopped = m_steps.stopped || m_steps.stopAt == stopWhileWaiting;
        return !m_steps.stopped;
    }

private:
    Steps &m_steps;
    std::optional<LoadProgressDialog> m_box;
};

LoadProgressFactory recordingInto(Steps &steps)
{
    return [&steps](QWidget &window, const QString &path) -> std::unique_ptr<LoadProgress> {
        steps.done.clear();
        steps.waits = 0;
        steps.stopped = false;
        return std::make_unique<FakeProgress>(steps, window, path);
    };
}

// A Windows-1252 text of a little over three pieces: read twice, in eight steps.
QByteArray bigText()
{
    return QByteArray("Gr\374\337e aus der Ferne\r\n").repeated(3 * (1 << 20) / 22 + 100);
}

// The progress box: its label and bar, modal over the window; Abbrechen (at
// the very end too), Escape and closing stop; an unstoppable rest greys the
// button and runs nothing else, unless quick; the window is active after.
TEST(ProgressBox, ShowsHowFarStopsOnRequestAndOnlyShowsAnUnstoppableRest)
{
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QString file = QStringLiteral("/tmp/ordner/gro\u00DF.txt");
    for (const std::string_view way : {"Abbrechen", "Escape", "closed", "unstoppable"}) {
        SCOPED_TRACE(way);
        LoadProgressDialog progress(window, file, 0ms);
        QProgressDialog &dialog = progress.dialog();
        EXPECT_TRUE(progress.step(0, 2000));
        EXPECT_TRUE(progress.step(801, 2000));
        ASSERT_TRUE(dialog.isVisible());
        EXPECT_EQ(dialog.labelText(), QStringLiteral("Lade gro\u00DF.txt … 40 %"));
        const QProgressBar *bar = dialog.findChild<QProgressBar *>();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(double(bar->value() - bar->minimum()) / (bar->maximum() - bar->minimum()), 0.4);
        EXPECT_EQ(dialog.windowModality(), Qt::WindowModal);
        EXPECT_EQ(QApplication::activeModalWidget(), &dialog);
        QPushButton *cancel = nullptr;
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            cancel = button->text() == QStringLiteral("Abbrechen") ? button : cancel;
        ASSERT_NE(cancel, nullptr);
        if (way == "unstoppable") {
            progress.beginUnstoppable();
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_FALSE(cancel->isEnabled());
            bool ran = false;
            QMetaObject::invokeMethod(
                &window, [&ran] { ran = true; }, Qt::QueuedConnection);
            progress.show(734, 1000);
            EXPECT_EQ(dialog.labelText(), QStringLiteral("Lade gro\u00DF.txt … 73 %"));
            EXPECT_EQ(bar->value() - bar->minimum(), 734);
            progress.show(1000, 1000);
            EXPECT_EQ(dialog.labelText(), QStringLiteral("Lade gro\u00DF.txt … 100 %"));
            EXPECT_FALSE(ran);
            QCoreApplication::processEvents();
            EXPECT_TRUE(ran);
        } else if (way == "Abbrechen") {
            EXPECT_TRUE(progress.step(2000, 2000));
            EXPECT_EQ(dialog.labelText(), QStringLiteral("Lade gro\u00DF.txt … 100 %"));
            QTest::mouseClick(cancel, Qt::LeftButton);
            EXPECT_FALSE(progress.step(2000, 2000));
        } else {
            if (way == "Escape")
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
            EXPECT_FALSE(progress.step(1200, 2000));
        }
    }
    {
        LoadProgressDialog quick(window, file); // no box flashes up for the rest
        EXPECT_TRUE(quick.step(200, 1000));
        quick.beginUnstoppable();
        quick.show(500, 1000);
        EXPECT_FALSE(quick.dialog().isVisible());
    }
    {
        LoadProgressDialog slow(window, file, 1000ms); // a while already: it comes up now
        EXPECT_TRUE(slow.step(200, 1000));
        EXPECT_FALSE(slow.dialog().isVisible());
        QTest::qWait(250);
        slow.beginUnstoppable();
        EXPECT_TRUE(slow.dialog().isVisible());
    }
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
}

class BigLoads : public Form1Fixture {
protected:
    // A loaded file changed by typing: what a stopped load must leave as it is.
    Form1 &changedWindow()
    {
        Form1 &form = startShown();
        m_old = makeFile(QStringLiteral("alt.txt"), "\344lt\nzwei\n");
        form.loadDroppedFile(m_old);
        form.TextBox1->setSelStart(3);
        form.TextBox1->setSelText(QStringLiteral(" und neu"));
        m_big = makeFile(QStringLiteral("gross.txt"), bigText());
        form.setLoadProgress(recordingInto(m_steps));
        return form;
    }

    QString m_old;
    QString m_big;
    Steps m_steps;
};

// A load stopped at any step, or while room is made, that changes the text,
// file, format, identity, undo, modified flag or recovery copy.
TEST_F(BigLoads, AStoppedLoadLeavesEverythingAsItWas)
{
    for (const bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "dropped" : "open panel");
        Form1 &form = changedWindow();
        // Everything a stopped load must leave as it is.
        const auto state = [&form] {
            return std::tuple(form.TextBox1->Text(), form.currentFile(), form.Label1->text(),
                              form.textFormat(), form.knownFile().path, form.knownFile().identity,
                              form.TextBox1->SelStart(), form.TextBox1->isModified(),
                              form.recovery()->copyPath());
        };
        const auto before = state();
        const int steps = 2 * int((bigText().size() + defaultPieceSize - 1) / defaultPieceSize);
        for (const int stopAt : {1, steps / 2, steps, stopWhileWaiting}) {
            SCOPED_TRACE("stopped at step " + std::to_string(stopAt));
            m_steps.stopAt = stopAt;
            m_messages.clear();
            m_messages.queueAnswer(MsgAnswer::No); // drop the changes: load
            if (drop) {
                form.loadDroppedFile(m_big);
            } else {
                form.cmd_open_Click();
                form.Dateiauswahl->File1->refresh();
                form.Dateiauswahl->File1->setListIndex(
                    form.Dateiauswahl->File1->list().indexOf(QStringLiteral("gross.txt")));
                form.FileLoad();
            }
            // Asked once more after the room was refused.
            EXPECT_EQ(m_steps.done.size(), stopAt == stopWhileWaiting ? steps / 2 + 1 : stopAt);
            EXPECT_EQ(m_steps.waits > 0, stopAt == stopWhileWaiting || stopAt == steps);
            EXPECT_EQ(state(), before);
            EXPECT_EQ(m_messages.texts(), QStringList{"Datei " + m_old + " speichern ?"});
            EXPECT_EQ(form.lblstatus->text(),
                      QStringLiteral("Das Laden von %1 wurde abgebrochen.").arg(m_big));
        }
        form.TextBox1->undo();
        EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("\u00E4lt\r\nzwei\r\n"));
        EXPECT_FALSE(form.TextBox1->isModified());

        m_steps.stopAt = 0;
        form.loadDroppedFile(m_big);
        EXPECT_EQ(form.currentFile(), m_big);
        EXPECT_EQ(form.TextBox1->textLength(), bigText().size()); // one unit per byte
        EXPECT_EQ(m_steps.done.size(), steps);
        EXPECT_TRUE(m_steps.risesToTotal());
        EXPECT_EQ(m_steps.total, 2 * bigText().size());
    }
}

// Keys and clicks on the bar while the box shows are held back, not kept.
TEST_F(BigLoads, InputDuringALoadDoesNothing)
{
    Form1 &form = changedWindow();
    m_messages.queueAnswer(MsgAnswer::No);
    bool eventsRan = false;
    bool eventsRanDuringLoad = false;
    m_steps.box = true;
    m_steps.during = [&](bool last) {
        if (m_steps.done.size() == 3) {
            QWindow *handle = form.windowHandle();
            for (QWidget *button :
                 std::initializer_list<QWidget *>{form.cmd_open, form.cmd_Einstell})
                QTest::mouseClick(handle, Qt::LeftButton, {},
                                  button->mapTo(&form, button->rect().center()));
            QTest::keyClick(handle, Qt::Key_O, Qt::ControlModifier);
            QTest::keyClick(handle, Qt::Key_X);
            QTimer::singleShot(0, &form, [&] { eventsRan = true; });
        }
        if (last)
            eventsRanDuringLoad = eventsRan;
    };
    form.loadDroppedFile(m_big);
    EXPECT_TRUE(eventsRanDuringLoad); // the window went on, its events ran
    QTest::qWait(50);
    EXPECT_EQ(form.currentFile(), m_big);
    EXPECT_EQ(form.TextBox1->utf8View().size(), QString::fromLatin1(bigText()).toUtf8().size());
    EXPECT_FALSE(form.TextBox1->isModified());
    EXPECT_FALSE(form.Dateiauswahl->isVisible());
    EXPECT_FALSE(form.Frame1->isVisible());
    EXPECT_EQ(m_messages.texts(), QStringList{"Datei " + m_old + " speichern ?"});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// The command-line file read before the window shows, or a stopped read that
// leaves a file named.
TEST(ShowingFirst, TheCommandLineFileIsReadOnceTheWindowShows)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("gross.txt"));
    writeBytes(file, bigText());
    for (const bool read : {true, false}) {
        SCOPED_TRACE(read ? "read" : "stopped");
        KeloApplication kelo({file});
        Form1 &window = kelo.window();
        Steps steps;
        steps.stopAt = read ? 0 : 1;
        bool shownAtEveryStep = true;
        steps.during = [&](bool) { shownAtEveryStep &= window.isVisible(); };
        window.setLoadProgress(recordingInto(steps));
        kelo.start();
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(steps.done.isEmpty());
        EXPECT_EQ(window.TextBox1->textLength(), 0);
        EXPECT_EQ(window.Label1->text(), file);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !steps.done.isEmpty(); }));
        EXPECT_TRUE(shownAtEveryStep);
        EXPECT_TRUE(!read || steps.risesToTotal());
        EXPECT_EQ(window.TextBox1->utf8View().size(),
                  read ? QString::fromLatin1(bigText()).toUtf8().size() : 0);
        EXPECT_EQ(window.currentFile(), read ? file : QString());
        EXPECT_EQ(window.Label1->text(), read ? file : QString());
    }
}

using Latin1Names = Latin1Fixture;

// A Latin-1 file name from the command line, a drop (percent-encoded, on the
// window or the editor) or the open panel that is not read, shown or saved
// under its own bytes, or not kept as "dir1".
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
    const QByteArray water = m_folderRaw + "/Wa\xDF"
                                           "er";
    writeRaw(oil, "\xD6l");
    writeRaw(water, "H2O");
    for (const auto &[target, file, text] :
         {std::tuple{static_cast<QWidget *>(&form), oil, QStringLiteral("Öl")},
          std::tuple{form.TextBox1->viewport(), water, QStringLiteral("H2O")}}) {
        dropUrl(target, QUrl::fromEncoded("file://" + file.toPercentEncoding("/")));
        EXPECT_EQ(form.TextBox1->Text(), text);
        EXPECT_EQ(encodeFileName(form.currentFile()), file);
        EXPECT_EQ(encodeFileName(form.Dateiauswahl->Dir1->path()), m_folderRaw);
    }
    EXPECT_EQ(m_messages.shown().size(), 1);

    form.cmd_open_Click();
    OpenPanel *panel = form.Dateiauswahl;
    ASSERT_TRUE(panel->Dir1->setPath(m_work));
    const auto entry = [](QListWidget &list, const QString &text) {
        const QList<QListWidgetItem *> items = list.findItems(text, Qt::MatchExactly);
        EXPECT_EQ(items.size(), 1) << text.toStdString();
        return items.value(0);
    };
    doubleClick(*panel->Dir1, entry(*panel->Dir1, QStringLiteral("Älteres")));
    EXPECT_EQ(encodeFileName(panel->Dir1->path()), m_folderRaw);
    doubleClick(*panel->File1, entry(*panel->File1, QStringLiteral("ärger.txt")));
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

// The options panel's window size, each scheme's colours, font and caret,
// and the settings stored on closing.
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

using WindowResize = Form1Fixture;

// The editor and the status line follow the window's outer size (no gap
// between them); a window too low is set back to 2000 twips; minimised
// changes nothing.
TEST_F(WindowResize, EditorAndStatusLineFollowTheWindowButNotWhileMinimised)
{
    // The rule's edges: just high enough, the highest that snaps, and a width
    // that would leave the editor a negative one.
    EXPECT_EQ(layoutFor(6000, 1671, false).editorHeight, 6);
    EXPECT_EQ(layoutFor(6000, 1670, false).action, LayoutStep::Action::SetHeight);
    EXPECT_EQ(layoutFor(120, 3000, false).editorWidth, 0);
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
