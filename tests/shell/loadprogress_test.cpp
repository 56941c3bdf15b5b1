// Big files: the progress box over the window, stopping a load, and the
// command-line file read once the window shows.
#include "files/fileprocs.h"
#include "files/openpanel.h"
#include "files/recoverykeeper.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "platform/workprogress.h"
#include "shell/application.h"
#include "shell/loadprogress.h"
#include "shell/optionspanel.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <string_view>

namespace kelo::test {
namespace {

using namespace std::chrono_literals;

// What a window's loads told their progress. stopAt: the step (from 1) at
// which the fake user stops, 0 never; `box` adds the real progress box.
constexpr int stopWhileWaiting = -1;
struct Steps {
    QList<qint64> done;
    qint64 total = -1;
    int stopAt = 0;
    int waits = 0;
    bool stopped = false;
    bool windowShownAtEveryStep = true;
    bool box = false;
    std::function<void(int step, bool last)> during; // runs at every step
};

class FakeProgress : public LoadProgress {
public:
    FakeProgress(Steps &steps, QWidget &window, const QString &path)
        : m_steps(steps)
        , m_window(window)
    {
        if (steps.box)
            m_box.emplace(window, path, 0ms);
    }
    bool step(qint64 done, qint64 total) override
    {
        m_steps.done.append(done);
        m_steps.total = total;
        m_steps.windowShownAtEveryStep &= m_window.isVisible();
        if (m_steps.during)
            m_steps.during(int(m_steps.done.size()), done == total);
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
    QWidget &m_window;
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

bool risesToTotal(const Steps &steps)
{
    return !steps.done.isEmpty() && std::is_sorted(steps.done.begin(), steps.done.end()) &&
           steps.done.last() == steps.total;
}

QPushButton *cancelButton(QProgressDialog &dialog)
{
    for (QPushButton *button : dialog.findChildren<QPushButton *>())
        if (button->text() == QStringLiteral("Abbrechen"))
            return button;
    return nullptr;
}

// The box names the file and how far the load is and stands modal over the
// window; "Abbrechen" (pressed at the very end, it still counts), Escape and
// the box's own close button stop the load at the next step.
TEST(LoadProgressDialogTest, ShowsHowFarAndStopsAtAbbrechenEscapeOrClosing)
{
    QWidget window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const std::string_view way : {"Abbrechen", "Escape", "closed"}) {
        SCOPED_TRACE(way);
        LoadProgressDialog progress(window, QStringLiteral("/tmp/ordner/gro\u00DF.txt"), 0ms);
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
        if (way == "Abbrechen") {
            EXPECT_TRUE(progress.step(2000, 2000));
            EXPECT_EQ(dialog.labelText(), QStringLiteral("Lade gro\u00DF.txt … 100 %"));
            QPushButton *cancel = cancelButton(dialog);
            ASSERT_NE(cancel, nullptr);
            QTest::mouseClick(cancel, Qt::LeftButton);
            EXPECT_FALSE(progress.step(2000, 2000));
            continue;
        }
        if (way == "Escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
        EXPECT_FALSE(progress.step(1200, 2000));
    }
}

// A rest that cannot be stopped: the box comes up at once with "Abbrechen"
// greyed out, unless the work was quick so far, and then only the box is
// painted, with nothing else running. Once it is gone, the window is active
// again even without a window manager (its keys work without a click).
TEST(WorkProgressBoxTest, AnUnstoppableRestIsOnlyShownAndTheWindowIsActiveAfter)
{
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto label = [](int percent) { return QStringLiteral("Ersetze … %1 %").arg(percent); };
    {
        WorkProgressBox quick(window, label); // no box flashes up for the rest
        EXPECT_TRUE(quick.step(200, 1000));
        quick.beginUnstoppable();
        quick.show(500, 1000);
        EXPECT_FALSE(quick.dialog().isVisible());
    }
    {
        WorkProgressBox slow(window, label, 1000ms); // a while already: it comes up now
        EXPECT_TRUE(slow.step(200, 1000));
        EXPECT_FALSE(slow.dialog().isVisible());
        QTest::qWait(250);
        slow.beginUnstoppable();
        EXPECT_TRUE(slow.dialog().isVisible());
    }
    {
        WorkProgressBox box(window, label, 0ms);
        QProgressDialog &dialog = box.dialog();
        EXPECT_TRUE(box.step(200, 1000));
        ASSERT_TRUE(dialog.isVisible());
        box.beginUnstoppable();
        EXPECT_TRUE(dialog.isVisible());
        QPushButton *cancel = cancelButton(dialog);
        ASSERT_NE(cancel, nullptr);
        EXPECT_FALSE(cancel->isEnabled());
        bool ran = false;
        QMetaObject::invokeMethod(&window, [&ran] { ran = true; }, Qt::QueuedConnection);
        box.show(734, 1000);
        EXPECT_EQ(dialog.labelText(), QStringLiteral("Ersetze … 73 %"));
        const QProgressBar *bar = dialog.findChild<QProgressBar *>();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->value(), 734);
        box.show(1000, 1000);
        EXPECT_EQ(dialog.labelText(), QStringLiteral("Ersetze … 100 %"));
        EXPECT_FALSE(ran);
        QCoreApplication::processEvents();
        EXPECT_TRUE(ran);
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

// Stopped at the first, a middle or the last step, or while the editor makes
// room, a load by the open panel or a drop leaves the text, its file, format,
// identity, undo steps, modified flag and recovery copy as they were and says
// so in the status line only. A load that goes through rises to its total.
TEST_F(BigLoads, AStoppedLoadLeavesEverythingAsItWas)
{
    for (const bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "dropped" : "open panel");
        Form1 &form = changedWindow();
        const QString text = form.TextBox1->Text();
        const QString caption = form.Label1->text();
        const TextFormat format = form.textFormat();
        const KnownFile known = form.knownFile();
        const int caret = form.TextBox1->SelStart();
        const QString copy = form.recovery()->copyPath();
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
            EXPECT_EQ(form.TextBox1->Text(), text);
            EXPECT_EQ(form.currentFile(), m_old);
            EXPECT_EQ(form.Label1->text(), caption);
            EXPECT_EQ(form.textFormat(), format);
            EXPECT_EQ(form.knownFile().path, known.path);
            EXPECT_EQ(form.knownFile().identity, known.identity);
            EXPECT_EQ(form.TextBox1->SelStart(), caret);
            EXPECT_TRUE(form.TextBox1->isModified());
            EXPECT_EQ(form.recovery()->copyPath(), copy);
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
        EXPECT_TRUE(risesToTotal(m_steps));
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
    m_steps.during = [&](int step, bool last) {
        if (step == 3) {
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

// Kelo shows its window first and reads the command-line file after, with
// the window standing; stopped, the window is empty and names no file.
TEST(ShowingFirst, TheCommandLineFileIsReadOnceTheWindowShows)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("gross.txt"));
    writeBytes(file, bigText());
    for (const int stopAt : {0, 1}) {
        SCOPED_TRACE(stopAt == 0 ? "read" : "stopped");
        KeloApplication kelo({file});
        Form1 &window = kelo.window();
        Steps steps;
        steps.stopAt = stopAt;
        window.setLoadProgress(recordingInto(steps));
        kelo.start();
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(steps.done.isEmpty());
        EXPECT_EQ(window.TextBox1->textLength(), 0);
        EXPECT_EQ(window.Label1->text(), file);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !steps.done.isEmpty(); }));
        EXPECT_TRUE(steps.windowShownAtEveryStep);
        const bool read = stopAt == 0;
        EXPECT_TRUE(!read || risesToTotal(steps));
        EXPECT_EQ(window.TextBox1->utf8View().size(),
                  read ? QString::fromLatin1(bigText()).toUtf8().size() : 0);
        EXPECT_EQ(window.currentFile(), read ? file : QString());
        EXPECT_EQ(window.Label1->text(), read ? file : QString());
    }
}

} // namespace
} // namespace kelo::test
