// Recovery copies: what a copy holds, how damage is known, that a running
// window's copy is never taken over and a dead one's is offered; the window
// keeping, removing and restoring its copy; the session's end; SIGKILL.
#include "files/recoverycopy.h"
#include "files/recoverykeeper.h"
#include "files/saving.h"
#include "platform/controls.h"
#include "platform/filenames.h"
#include "platform/memoryroom.h"
#include "platform/memorysnapshot.h"
#include "platform/textbox.h"
#include "shell/application.h"
#include "shell/sessionend.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <random>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelo::test {
namespace {

RecoveryCopy sampleCopy()
{
    RecoveryCopy copy;
    copy.text = QByteArray("Grüße\r\nzweite Zeile\0mit NUL", 29);
    copy.path = decodeFileName("/tmp/\xE4rger.txt");
    copy.format = {Encoding::Windows1252, false, true, FinalBreak::None};
    copy.identity = {true, 2049, 1234567, 42, 1700000000123456789};
    copy.written = QDateTime(QDate(2026, 12, 7), QTime(9, 30, 15, 250), Qt::UTC);
    return copy;
}

QByteArray fileOf(const RecoveryCopy &copy)
{
    return recoveryHeader(copy) + copy.text;
}

void expectSame(const RecoveryCopy &a, const RecoveryCopy &b)
{
    EXPECT_EQ(a.text, b.text);
    EXPECT_EQ(encodeFileName(a.path), encodeFileName(b.path));
    EXPECT_EQ(a.format, b.format);
    EXPECT_EQ(a.identity, b.identity);
    EXPECT_EQ(a.written, b.written);
}

// Everything a copy holds comes back; any damage is named, never read as text.
TEST(RecoveryCopyFile, HoldsTextFileAndFormAndKnowsDamage)
{
    const RecoveryCopy copy = sampleCopy();
    QString reason;
    const std::optional<RecoveryCopy> back = parseRecoveryCopy(fileOf(copy), &reason);
    ASSERT_TRUE(back) << reason.toStdString();
    expectSame(*back, copy);
    // The text stays where the file was read: a gigabyte is not held twice.
    QByteArray file = fileOf(copy);
    const char *const textAt = file.constData() + file.indexOf("\n\n") + 2;
    EXPECT_EQ(parseRecoveryCopy(std::move(file), nullptr).value().text.constData(), textAt);
    RecoveryCopy fresh; // a new text: no file, no identity
    fresh.written = copy.written;
    expectSame(parseRecoveryCopy(fileOf(fresh), nullptr).value(), fresh);

    const QByteArray good = fileOf(copy);
    QByteArray flipped = good;
    flipped[flipped.size() - 3] = 'X';
    QByteArray twice = good;
    twice.insert(good.indexOf("length"), "length 1\n");
    const QByteArray damaged[] = {
        QByteArray(),
        good.left(good.indexOf("\n\n")),                    // cut in the header
        good.chopped(1),                                    // cut in the text
        good + "x",                                         // more than it says
        flipped,                                            // a changed byte
        QByteArray(good).replace("sha1 ", "md5 "),          // unknown line
        QByteArray(good).replace("final-break none\n", ""), // missing line
        QByteArray(good).replace("encoding windows-1252", "encoding ebcdic"),
        twice,
        QByteArray(good).replace("Kelo-Sicherungskopie 1", "Kelo-Sicherungskopie 9"),
    };
    for (const QByteArray &bytes : damaged) {
        reason.clear();
        EXPECT_FALSE(parseRecoveryCopy(bytes, &reason)) << bytes.left(80).toStdString();
        EXPECT_FALSE(reason.isEmpty());
    }
}

class RecoveryFolder : public ::testing::Test {
protected:
    QString folder() const { return m_dir.filePath("state/Kelo"); }
    QStringList entries() const
    {
        return QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QTemporaryDir m_dir;
};

// A running window's copy is left alone by other claimers (in this process or
// another); once it is gone the copy is offered to one claimer at a time.
TEST_F(RecoveryFolder, ARunningWindowsCopyIsNeverTakenOverADeadOnesIsOffered)
{
    const RecoveryCopy copy = sampleCopy();
    auto slot = std::make_unique<RecoverySlot>(folder());
    ASSERT_EQ(slot->write(copy), QString());
    const auto modeOf = [](const QString &path) {
        struct stat info {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
        return info.st_mode & 0777;
    };
    EXPECT_EQ(modeOf(folder()), 0700u);
    EXPECT_EQ(modeOf(slot->copyPath()), 0600u);
    EXPECT_TRUE(claimLeftovers(folder()).empty());

    // A window in another process, alive: not offered either.
    const pid_t alive = ::fork();
    if (alive == 0) {
        RecoverySlot other(folder());
        other.write(copy);
        ::pause();
        ::_exit(0);
    }
    // Only finished copies: the child may not have renamed its ".copy.new".
    ASSERT_TRUE(QTest::qWaitFor([&] { return QDir(folder()).entryList({"*.copy"}).size() == 2; }));
    EXPECT_TRUE(claimLeftovers(folder()).empty());
    ::kill(alive, SIGKILL);
    ::waitpid(alive, nullptr, 0);

    slot.reset(); // this window "dies" too: its copy stays
    std::vector<std::unique_ptr<Leftover>> claimed = claimLeftovers(folder());
    ASSERT_EQ(claimed.size(), 2u);
    EXPECT_TRUE(claimLeftovers(folder()).empty()); // held while offered
    QString reason;
    expectSame(claimed[0]->read(&reason).value(), copy);
    claimed[0]->remove();
    claimed.pop_back(); // let go: offered again later
    claimed.clear();
    claimed = claimLeftovers(folder());
    ASSERT_EQ(claimed.size(), 1u);
    const QString aside = claimed[0]->setAside();
    EXPECT_TRUE(aside.endsWith(".beschaedigt"));
    claimed.clear();
    EXPECT_TRUE(claimLeftovers(folder()).empty());
    EXPECT_EQ(entries(), QStringList{QFileInfo(aside).fileName()});
}

// Windows starting at once share out the dead ones' copies, each to one.
TEST_F(RecoveryFolder, WindowsStartingTogetherNeverClaimTheSameCopy)
{
    for (int i = 0; i < 6; ++i)
        RecoverySlot(folder()).write(sampleCopy());
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    std::vector<pid_t> children;
    for (int c = 0; c < 4; ++c) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeEnds[0]);
            const auto claimed = claimLeftovers(folder());
            QByteArray names;
            for (const auto &leftover : claimed)
                names += QFileInfo(leftover->copyPath()).fileName().toUtf8() + '\n';
            // Held until every child has claimed: the parent reads, then ends us.
            [[maybe_unused]] const ssize_t wrote =
                ::write(pipeEnds[1], names.constData(), size_t(names.size()));
            ::pause();
            ::_exit(0);
        }
        children.push_back(child);
    }
    ::close(pipeEnds[1]);
    QTest::qWait(500);
    for (const pid_t child : children)
        ::kill(child, SIGKILL);
    QByteArray all;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        all.append(buffer, got);
    ::close(pipeEnds[0]);
    for (const pid_t child : children)
        ::waitpid(child, nullptr, 0);
    QList<QByteArray> names = all.split('\n');
    names.removeAll(QByteArray());
    EXPECT_EQ(names.size(), 6);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
}

// A killed window's half-done copy and lone lock are cleared; a copy without
// its lock is still offered.
TEST_F(RecoveryFolder, HalfDoneWorkOfAKilledWindowIsCleared)
{
    ASSERT_EQ(prepareRecoveryFolder(folder()), QString());
    writeBytes(folder() + "/1-aa.lock", "");
    writeBytes(folder() + "/1-aa.copy.new", "halb");
    writeBytes(folder() + "/2-bb.copy", fileOf(sampleCopy()));
    writeBytes(folder() + "/.3-cc.lock.3.0000abcd", "");
    std::vector<std::unique_ptr<Leftover>> claimed = claimLeftovers(folder());
    ASSERT_EQ(claimed.size(), 1u);
    EXPECT_TRUE(claimed[0]->copyPath().endsWith("/2-bb.copy"));
    EXPECT_EQ(entries(), QStringList({"2-bb.copy", "2-bb.lock"}));
}

// A copy that cannot be written says why (no folder to be made, a full disk;
// a file in the folder's place: AFailingCopyIsSaidOnce), and nothing is left
// half written.
TEST_F(RecoveryFolder, WritingFailuresAreReasonsNeverHalfCopies)
{
    RecoverySlot noFolder("/proc/kelo-gibt-es-nicht/Kelo");
    EXPECT_TRUE(noFolder.write(sampleCopy()).contains("/proc/kelo-gibt-es-nicht"));

    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(3);
        RecoverySlot slot(folder());
        RecoveryCopy big = sampleCopy();
        big.text = QByteArray(100000, 'x');
        const bool whole = slot.write(big).contains("kann nicht geschrieben werden");
        const std::unique_ptr<MemorySnapshot> snapshot = MemorySnapshot::take(big.text);
        const bool snapped =
            snapshot && slot.write(big, *snapshot).contains("kann nicht geschrieben werden");
        ::_exit(whole && snapped ? 1 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_TRUE(entries().filter(".copy").isEmpty()) << entries().join(' ').toStdString();
}

// A long text is copied as it was when the copy was taken, not as typed on.
TEST_F(RecoveryFolder, ALongTextIsCopiedAsItWasWhenTheCopyWasTaken)
{
    QByteArray text;
    while (text.size() < (3 << 20))
        text += "Grüße aus Köln, eine Zeile nach der anderen\r\n";
    TextBox box;
    box.loadUtf8(text);
    box.setSelStart(box.textLength());
    box.setSelText(QStringLiteral("Straße"));
    RecoveryKeeper keeper(folder(), box, [] { return RecoveryCopy{}; });
    keeper.copyNow();
    box.setSelText(QStringLiteral(" und was danach kam"));
    keeper.waitUntilWritten();
    QString reason;
    const std::optional<RecoveryCopy> copy =
        parseRecoveryCopy(readBytes(keeper.copyPath()), &reason);
    ASSERT_TRUE(copy) << reason.toStdString();
    EXPECT_TRUE(copy->text == text + "Straße");
}

struct FakeSession final : SessionEnd {
    explicit FakeSession(bool interaction)
        : interaction(interaction)
    {}
    bool allowsInteraction() override { return interaction; }
    void release() override { ++released; }
    void cancel() override { ++cancelled; }
    bool interaction;
    int released = 0;
    int cancelled = 0;
};

class Recovery : public Form1Fixture {
protected:
    Form1 &startWindow(const QStringList &arguments = {})
    {
        Form1 &form = startShown(arguments);
        form.recovery()->setIntervals(std::chrono::milliseconds(10),
                                      std::chrono::milliseconds(100));
        return form;
    }
    // The window's copy once it is written, or nullopt.
    std::optional<RecoveryCopy> windowsCopy()
    {
        if (!QTest::qWaitFor([this] { return !copies().isEmpty(); }, 3000))
            return std::nullopt;
        m_window->recovery()->waitUntilWritten();
        QFile file(m_window->recovery()->copyPath());
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return parseRecoveryCopy(file.readAll(), nullptr);
    }
    QStringList copies() const { return QDir(m_recoveryFolder).entryList({"*.copy"}, QDir::Files); }
    bool noCopyLeft()
    {
        if (m_window && m_window->recovery())
            m_window->recovery()->waitUntilWritten();
        return copies().isEmpty();
    }
    // A copy left by a window that is gone.
    void leaveCopy(const RecoveryCopy &copy)
    {
        RecoverySlot dead(m_recoveryFolder);
        ASSERT_EQ(dead.write(copy), QString());
    }
    // A copy of a text for a file as it is now, written just now.
    static RecoveryCopy copyFor(const QString &file, const QByteArray &text, TextFormat format)
    {
        return {text, file, format, identityOf(file), QDateTime::currentDateTimeUtc()};
    }
};

// Typing makes a copy with file, form and identity; saving (undoing to the
// saved text tells the same) and closing with "Nein" remove it; going back
// keeps it.
TEST_F(Recovery, TheCopyFollowsTheUnsavedText)
{
    const QString file = makeFile("brief.txt", "Gr\374\337e\n");
    Form1 &form = startWindow({file});
    EXPECT_TRUE(noCopyLeft());
    form.TextBox1->setSelStart(form.TextBox1->textLength());
    form.TextBox1->setSelText(QStringLiteral("Neues"));
    const std::optional<RecoveryCopy> copy = windowsCopy();
    ASSERT_TRUE(copy);
    expectSame(*copy, {"Grüße\r\nNeues", file, form.textFormat(), identityOf(file), copy->written});

    form.img_save->click();
    EXPECT_TRUE(noCopyLeft());
    form.TextBox1->setSelText(QStringLiteral("?"));
    ASSERT_TRUE(windowsCopy());
    m_messages.queueAnswer(MsgAnswer::Cancel);
    closeWindow();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(copies().isEmpty());
    m_messages.queueAnswer(MsgAnswer::No);
    closeWindow();
    m_window.reset(); // Kelo ends
    EXPECT_TRUE(noCopyLeft());
    EXPECT_TRUE(QDir(m_recoveryFolder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// A whole-text command on a text as it was loaded makes it modified only as
// its undo step goes in, after the change itself: it gets its copy all the
// same, whether the editor keeps the step (a few edits, or edits made as the
// text they make) or Scintilla does (a text that differs throughout).
TEST_F(Recovery, AWholeTextCommandOnALoadedTextIsCopied)
{
    const QByteArray loaded = QByteArray("eine  Zeile\r\n\r\n").repeated(50);
    TextEdits few;
    few.add(4, 1);
    TextEdits everyLine; // the clean-up's way: more edits than one in 200 bytes
    for (qsizetype at = 0; at < loaded.size(); at += 15)
        everyLine.add(at + 4, 1);
    const struct {
        const char *what;
        std::function<bool(TextBox &)> change;
    } changes[] = {
        {"few edits", [&](TextBox &box) { return box.replaceAllUtf8(few); }},
        {"an edit in every line", [&](TextBox &box) { return box.replaceAllUtf8(everyLine); }},
        {"another text", [](TextBox &box) { return box.replaceAllUtf8(QByteArray("neu\r\n")); }},
    };
    const QString file = makeFile("zeilen.txt", loaded);
    Form1 &form = startWindow({file});
    for (const auto &c : changes) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(form.TextBox1->loadUtf8(loaded));
        ASSERT_TRUE(noCopyLeft());
        ASSERT_TRUE(c.change(*form.TextBox1));
        ASSERT_TRUE(form.TextBox1->isModified());
        const std::optional<RecoveryCopy> copy = windowsCopy();
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->text, form.TextBox1->utf8View());
    }
}

// A copy that cannot be written is said once in the status line; typing goes on.
TEST_F(Recovery, AFailingCopyIsSaidOnce)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_recoveryFolder).path()));
    writeBytes(m_recoveryFolder, "keine Mappe");
    Form1 &form = startWindow();
    form.TextBox1->setSelText(QStringLiteral("a"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.lblstatus->text().contains("kein Ordner"); }));
    form.lblstatus->setText(QStringLiteral("anderes"));
    form.TextBox1->setSelText(QStringLiteral("b"));
    QTest::qWait(300);
    form.recovery()->waitUntilWritten();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.lblstatus->text(), QStringLiteral("anderes"));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("ab"));
}

// The session's end: without leave to ask the copy is written and stays; with
// leave, "Abbrechen" stops the session, "Nein" ends it without a second question.
TEST_F(Recovery, TheSessionEndAsksOrKeepsTheCopy)
{
    Form1 &form = startWindow();
    form.TextBox1->setText(QStringLiteral("ungespeichert"));
    FakeSession mute(false);
    form.commitData(mute);
    EXPECT_TRUE(m_messages.texts().isEmpty());
    closeWindow();
    EXPECT_TRUE(m_messages.texts().isEmpty());
    m_window.reset();
    ASSERT_EQ(copies().size(), 1);

    Form1 &again = startWindow();
    again.offerRecoveryCopies(); // answered "Nein": removed
    EXPECT_TRUE(noCopyLeft());
    again.TextBox1->setText(QStringLiteral("zweiter"));
    FakeSession asking(true);
    m_messages.clear();
    m_messages.queueAnswer(MsgAnswer::Cancel);
    again.commitData(asking);
    EXPECT_EQ(asking.cancelled, 1);
    EXPECT_EQ(asking.released, 1);
    EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNoCancel);
    m_messages.queueAnswer(MsgAnswer::No);
    again.commitData(asking);
    EXPECT_EQ(asking.cancelled, 1);
    closeWindow();
    EXPECT_EQ(m_messages.texts().size(), 2); // no third question on closing
    EXPECT_FALSE(again.isVisible());
    m_window.reset();
    EXPECT_TRUE(noCopyLeft());
}

// Each progress box as it shows: its label, whether it can be stopped
// ("stoppbar" or "fest") and how long the editor's text was at the time.
struct BoxWatch : QObject {
    BoxWatch() { qApp->installEventFilter(this); }
    ~BoxWatch() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QProgressDialog *>(watched);
        if (box && event->type() == QEvent::Show) {
            const auto *cancel = box->findChild<QPushButton *>();
            shown.append(box->labelText() +
                         (cancel && cancel->isEnabled() ? " / stoppbar / " : " / fest / ") +
                         QString::number(editor ? editor->utf8View().size() : -1));
        }
        return false;
    }
    const TextBox *editor = nullptr;
    QStringList shown;
};

// At start a dead window's copy is offered, "Ja" first. Without the memory
// for it the window stays as it was, the copy for a later offer. Else the
// text comes back as one undoable change with file, form and identity, saved
// over the unchanged file without a question; the others wait. Next time a
// damaged copy is set aside and named, going back keeps a copy, and one whose
// file changed since asks before it is saved over it. Short copies show no
// progress box.
TEST_F(Recovery, AtStartTheCopiesOfDeadWindowsAreOffered)
{
    BoxWatch watch;
    const QString file = makeFile("alt.txt", "alt\r\n");
    const RecoveryCopy copy = copyFor(file, "wiederhergestellt\r\n",
                                      {Encoding::Windows1252, false, false, FinalBreak::CrLf});
    leaveCopy(copy);
    RecoveryCopy second = copy;
    second.text = "zweite Kopie";
    second.written = copy.written.addSecs(5);
    leaveCopy(second);

    Form1 &form = startWindow({file});
    form.TextBox1->setRoomCheck([](std::initializer_list<qsizetype>) { return false; });
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.offerRecoveryCopies();
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_messages.texts()[1], "Für den neuen Text ist nicht genug Arbeitsspeicher frei.\n"
                                     "Die Sicherungskopie bleibt für den nächsten Start.");
    EXPECT_EQ(form.TextBox1->utf8Text(), "alt\r\n");
    EXPECT_FALSE(form.TextBox1->isModified());
    EXPECT_EQ(copies().size(), 2);

    form.TextBox1->setRoomCheck(memoryRoomFor);
    m_messages.clear();
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.offerRecoveryCopies();
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_TRUE(m_messages.texts()[0].contains(file));
    EXPECT_EQ(m_messages.shown()[0].defaultAnswer, MsgAnswer::Yes);
    EXPECT_EQ(form.TextBox1->utf8Text(), copy.text);
    EXPECT_EQ(form.currentFile(), file);
    EXPECT_EQ(form.textFormat(), copy.format);
    EXPECT_TRUE(form.lblstatus->text().contains("Weitere Sicherungskopien"));
    // The window's own copy holds the text at once, and the second one waits.
    ASSERT_EQ(copies().size(), 2);

    m_messages.clear();
    form.img_save->click();
    EXPECT_EQ(m_messages.texts(), QStringList{"Datei " + file + " wurde gespeichert"});
    EXPECT_EQ(readBytes(file), QByteArray("wiederhergestellt\r\n"));
    form.TextBox1->undo();
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("alt\r\n"));
    form.TextBox1->redo();
    m_window.reset();

    // The second copy, older than the file now: going back keeps it, "Ja"
    // brings it back, and saving it asks first (unanswered: "Nein").
    writeBytes(m_recoveryFolder + "/9-kaputt.copy", "Kelo-Sicherungskopie 1\nlength 3\n");
    Form1 &next = startWindow();
    m_messages.clear();
    m_messages.queueAnswer(MsgAnswer::Cancel);
    next.offerRecoveryCopies();
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_TRUE(m_messages.texts()[1].contains("beschädigt"));
    EXPECT_EQ(next.TextBox1->Text(), QString());
    EXPECT_EQ(copies().size(), 1);
    EXPECT_EQ(QDir(m_recoveryFolder).entryList({"*.beschaedigt"}).size(), 1);
    m_messages.clear();
    m_messages.queueAnswer(MsgAnswer::Yes);
    next.offerRecoveryCopies();
    EXPECT_EQ(next.TextBox1->utf8Text(), "zweite Kopie");
    m_messages.clear();
    next.img_save->click();
    EXPECT_TRUE(m_messages.texts().value(0).contains("anderen Programm"));
    EXPECT_EQ(readBytes(file), QByteArray("wiederhergestellt\r\n"));
    EXPECT_EQ(watch.shown, QStringList());
}

// A long copy takes seconds to be read and checked, and restoring it cannot
// be stopped: a box shows each, before its question and before the text goes
// in, and is gone once the text is in.
TEST_F(Recovery, ALongCopyIsReadAndRestoredUnderBoxes)
{
    BoxWatch watch;
    QByteArray text;
    for (int i = 0; text.size() < 33 * 1024 * 1024; ++i)
        text += "Zeile " + QByteArray::number(i) + " mit etwas mehr Text\r\n";
    leaveCopy(copyFor({}, text, {Encoding::Utf8, false, false, FinalBreak::CrLf}));
    Form1 *window = &startWindow();
    watch.editor = window->TextBox1;
    m_messages.queueAnswer(MsgAnswer::Yes);
    window->offerRecoveryCopies();
    EXPECT_EQ(watch.shown, QStringList({"Lese die Sicherungskopie … 0 % / fest / 0",
                                        "Stelle den Text wieder her … 0 % / fest / 0"}));
    EXPECT_TRUE(window->findChildren<QProgressDialog *>().isEmpty());
    EXPECT_TRUE(window->TextBox1->utf8View() == text);
}

// A Kelo process killed after an edit: the next start restores its text byte
// for byte with its file. Killed again and again while writing its copies, it
// never leaves a damaged one. The process is this test run again, told by
// KELO_RECOVERY_RUN to "edit" the file given it or to "churn" a large text,
// which says by the file "bereit" in its state folder when it may be killed.
TEST_F(Recovery, AKilledProcessLosesNothing)
{
    if (const QByteArray run = qgetenv("KELO_RECOVERY_RUN"); !run.isEmpty()) {
        const QStringList given = QCoreApplication::arguments().mid(1, 2); // the filter gone
        qputenv("XDG_STATE_HOME", qgetenv("KELO_RECOVERY_STATE"));
        const QString ready = qEnvironmentVariable("KELO_RECOVERY_STATE") + "/bereit";
        KeloApplication kelo(run == "edit" ? given.mid(0, 1) : QStringList());
        Form1 &window = kelo.window();
        window.Form_Load();
        window.show();
        RecoveryKeeper &recovery = *window.recovery();
        QTimer timer;
        if (run == "edit") { // as the user types: the copy follows when typing pauses
            window.TextBox1->replaceAllUtf8(given.value(1).toUtf8());
            QObject::connect(&timer, &QTimer::timeout, [&] {
                if (!recovery.copyPath().isEmpty() && QFile::exists(recovery.copyPath()))
                    writeBytes(ready, "");
            });
        } else {
            window.TextBox1->replaceAllUtf8(QByteArray("Zeile mit Text\r\n").repeated(400000));
            writeBytes(ready, "");
            QObject::connect(&timer, &QTimer::timeout, [&] {
                window.TextBox1->setSelText(QStringLiteral("x"));
                recovery.copyNow();
            });
        }
        timer.start(run == "edit" ? 20 : 1);
        QApplication::exec();
        ::_exit(0);
    }
    const QString file = makeFile("kill.txt", "vorher\r\n");
    const QByteArray edited = "nachher: Grüße \xE2\x82\xAC\r\nZeile zwei";
    const QString state = QFileInfo(m_recoveryFolder).path();
    const auto killedRun = [&](const char *what, int after) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KELO_RECOVERY_RUN", what);
        environment.insert("KELO_RECOVERY_STATE", state);
        environment.insert("TMPDIR", m_root.path()); // its folders go with ours
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setStandardOutputFile(QProcess::nullDevice());
        QFile::remove(state + "/bereit");
        child.start("/proc/self/exe", {"--gtest_filter=Recovery.AKilledProcessLosesNothing", file,
                                       QString::fromUtf8(edited)});
        EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(state + "/bereit"); }, 20000));
        QTest::qWait(after);
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();
    };
    killedRun("edit", 0);
    Form1 &form = startWindow();
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.offerRecoveryCopies();
    EXPECT_EQ(form.TextBox1->utf8Text(), edited);
    EXPECT_EQ(form.currentFile(), file);
    m_messages.clear();
    form.img_save->click();
    EXPECT_EQ(readBytes(file), edited + "\r\n");
    m_window.reset();

    // The killed window's snapshot children become ours, to be waited for.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    std::mt19937 random(5);
    for (int round = 0; round < 6; ++round) {
        killedRun("churn", int(random() % 300));
        while (::waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
        }
        for (const auto &leftover : claimLeftovers(m_recoveryFolder)) {
            QString reason;
            EXPECT_TRUE(leftover->read(&reason)) << reason.toStdString();
            leftover->remove();
        }
        EXPECT_TRUE(QDir(m_recoveryFolder).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

} // namespace
} // namespace kelo::test
