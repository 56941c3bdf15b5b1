// The line rules, the temporary file (also shared with child processes that
// stand for other Kelo windows) and the passage through it; beside a stand-in
// window the clean-up, "ganze Zeile löschen" and the Replace dialog.
#include "platform/memoryroom.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "support/fakeport.h"
#include "support/testenv.h"
#include "tools/frm_ersetz.h"
#include "tools/linerules.h"
#include "tools/linetools.h"
#include "tools/tempfile.h"
#include "tools/textpassage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelo::test {
namespace {

mode_t mode(const QString &path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    return info.st_mode;
}

// Everything in a folder, hidden files included, sorted by bytes.
QStringList entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

const TextPassage leerzeilen{.rewrite = cleanLines, .rebuild = joinFileLines};
const TextPassage emptying{.rewrite = {}, .rebuild = [](QByteArrayView lines) {
                               return emptyLinesContaining(lines, "abc");
                           }};

// A text ending with a break once came back with an empty line more; a
// crash's leftover is replaced, not reused with its mode.
TEST(TempFile, ReplacesALeftoverByAPrivateFileOfUtf8WithAClosingBreakOnlyWhenMissing)
{
    const mode_t previous = ::umask(0);
    const auto restore = qScopeGuard([previous] { ::umask(previous); });
    QTemporaryDir dir;
    const auto written = [&](const char *text, const QStringList &lines) {
        writeBytes(dir.filePath("kelo.tmp"), "ein viel längerer alter Inhalt\r\nzwei");
        TemporaryTextFile file(dir.path());
        EXPECT_TRUE(file.writeText(text));
        EXPECT_EQ(file.readLines(), lines);
        EXPECT_EQ(mode(file.path()) & 0777, 0600u);
        return readBytes(file.path());
    };
    // Lines end at CR LF or a lone CR, not at a lone LF.
    EXPECT_EQ(written("a\r\nb", {"a", "b"}), QByteArray("a\r\nb\r\n"));
    EXPECT_EQ(written("\r\n\r\n", {"", ""}), QByteArray("\r\n\r\n"));
    EXPECT_EQ(written("Ł\r\r\nb\n😀\n", {"Ł", "", "b\n😀\n"}), QByteArray("Ł\r\r\nb\n😀\n"));
    EXPECT_EQ(written("a\r", {"a"}), QByteArray("a\r"));
    EXPECT_EQ(written("", {""}), QByteArray("\r\n"));
}

using B = QByteArray;

// The one-pass rules on bytes the random files lack, then against the rules
// written out line by line on random small files.
TEST(LineRules, FollowTheExamplesAndAgreeWithTheLineByLineRules)
{
    EXPECT_EQ(cleanLines("\xC2\xA0  \xC2\xA0"), B("\xC2\xA0 \xC2\xA0\r\n"));
    EXPECT_EQ(emptyLinesContaining("xabcx\r\nABC\r\nq", "abc"), B("\r\nABC\r\nq\r\n"));
    // A line never holds a CR, but may hold a NUL.
    EXPECT_EQ(emptyLinesContaining("a\r\nb\r\n", "a\r\nb"), B("a\r\nb\r\n"));
    EXPECT_EQ(emptyLinesContaining(B("a\0b\r\nab\r\n", 9), B("\0", 1)), B("\r\nab\r\n"));

    const char *const pieces[] = {"a", " ", "  ", "\r", "\n", "\r\n", "ä", "\t"};
    std::mt19937 random(4711);
    const auto file = [&](int most) {
        QByteArray bytes;
        for (int n = std::uniform_int_distribution<int>(0, most)(random); n > 0; --n)
            bytes += pieces[std::uniform_int_distribution<int>(0, 7)(random)];
        return bytes;
    };
    for (int i = 0; i < 5000; ++i) {
        const QByteArray bytes = file(12);
        const QByteArray text = file(2).replace('\r', "");
        QByteArray cleaned, emptied, joined;
        forEachFileLine(bytes, [&](QByteArrayView view) {
            QByteArray line = view.toByteArray();
            while (line.contains("  "))
                line.replace("  ", " ");
            if (!line.trimmed().isEmpty() || line.contains('\t') || line.contains('\n'))
                cleaned += line + "\r\n";
            emptied += (view.contains(text) ? QByteArray() : view.toByteArray()) + "\r\n";
            joined += view.toByteArray() + "\r\n";
        });
        SCOPED_TRACE(bytes.toPercentEncoding().toStdString() + " / " +
                     text.toPercentEncoding().toStdString());
        ASSERT_EQ(cleanLines(bytes), cleaned);
        ASSERT_EQ(emptyLinesContaining(bytes, text), emptied);
        ASSERT_EQ(joinFileLines(bytes), joined);
    }
}

// In blocks of whole lines read from the file (cut inside a CR LF, after a CR,
// mid-line, after a lone LF; lines longer than a block) every rule gives its
// result on the whole; a stop hands over no more.
TEST(LineRules, InBlocksOfWholeLinesReadFromTheFileGiveTheWholeResultAndStop)
{
    QTemporaryDir folder;
    const QByteArray files[] = {"a\r\n\r\n  b   c\r\n   \r\nd", "x\ry\r\r\nz\n\nabc\n",   "\r\n\r",
                                "abc  abc\r\nabcabc  \rab\nc",  "ohne Umbruch  am  Ende", ""};
    const QByteArray texts[] = {"abc", "b\nc", "\nz", "", "\r"};
    std::vector<std::pair<std::string, LineRule>> rules = {{"cleanLines", cleanLines},
                                                           {"joinFileLines", joinFileLines}};
    for (const QByteArray &text : texts)
        rules.emplace_back(
            "emptyLinesContaining " + text.toPercentEncoding().toStdString(),
            [text](QByteArrayView bytes) { return emptyLinesContaining(bytes, text); });
    for (const QByteArray &bytes : files) {
        TemporaryTextFile file(folder.path());
        ASSERT_TRUE(file.writeBytes(bytes));
        for (const qsizetype blockSize : {1, 2, 3, 4, 7, 1 << 20}) {
            QList<QByteArray> blocks;
            ASSERT_TRUE(file.readLineBlocks(
                [&blocks](QByteArrayView block) {
                    blocks.append(block.toByteArray());
                    return true;
                },
                blockSize));
            SCOPED_TRACE(bytes.toPercentEncoding().toStdString() + " in blocks of " +
                         std::to_string(blockSize));
            EXPECT_EQ(blocks.join(), bytes);
            for (const auto &[name, rule] : rules) {
                SCOPED_TRACE(name);
                QByteArray inBlocks;
                for (const QByteArray &block : blocks)
                    inBlocks += rule(block);
                EXPECT_EQ(inBlocks, rule(bytes));
            }
            if (blocks.size() > 1) {
                int handed = 0;
                ASSERT_TRUE(file.readLineBlocks([&handed](QByteArrayView) { return ++handed < 2; },
                                                blockSize));
                EXPECT_EQ(handed, 2);
            }
        }
    }
}

// Memory running out in a rule after its first block: no text, a message, no
// file left; the rewrite of a user's file keeps its working copy, the old file.
TEST(Passage, RunningOutOfMemoryInARuleKeepsTheTextOrTheUsersFileAndSaysSo)
{
    QTemporaryDir folder;
    const QByteArray text = QByteArray("eine  Zeile\r\n").repeated(300000); // several blocks
    const auto failingAfterOneBlock = [] {
        return [blocks = 0](QByteArrayView bytes) mutable {
            if (++blocks > 1)
                throw std::bad_alloc();
            return cleanLines(bytes);
        };
    };
    const std::pair<TextPassage, PassageStep> passages[] = {
        {{.rewrite = {}, .rebuild = failingAfterOneBlock()}, PassageStep::Read},
        {{.rewrite = failingAfterOneBlock(), .rebuild = cleanLines}, PassageStep::Rewrite}};
    for (const auto &[passage, step] : passages) {
        const PassageResult result = passThroughTemporaryFile(folder.path(), text, passage);
        EXPECT_FALSE(result.edits);
        EXPECT_EQ(result.failedStep, step);
        if (step == PassageStep::Read)
            EXPECT_EQ(result.error, "Für den neuen Text ist nicht genug Arbeitsspeicher frei.");
        else
            EXPECT_TRUE(result.error.startsWith("Für das Umschreiben der Datei " + folder.path()))
                << result.error.toStdString();
        EXPECT_EQ(entries(folder.path()), QStringList());
    }

    writeBytes(folder.filePath("liste.txt"), text);
    {
        TemporaryTextFile users(folder.path(), QStringLiteral("liste.txt"));
        ASSERT_TRUE(users.openExisting());
        const std::optional<QString> error = rewriteThroughCopy(users, failingAfterOneBlock());
        ASSERT_TRUE(error);
        EXPECT_TRUE(error->contains("nicht genug Arbeitsspeicher")) << error->toStdString();
    }
    EXPECT_EQ(entries(folder.path()), QStringList({"Temp_liste.txt", "liste.txt"}));
    EXPECT_EQ(readBytes(folder.filePath("Temp_liste.txt")), text);
}

// A passage that only rebuilds the lines gives the edits block by block: on
// texts of many blocks with every kind of line break, the rule's result on the
// whole text, in only the edits that the changed lines need.
TEST(TextPassage, ABlockByBlockRebuildGivesTheWholeTextsResultInFewEdits)
{
    QTemporaryDir folder;
    QByteArray crlf;
    QByteArray mixed;
    for (int line = 0; line < 120000; ++line) {
        const QByteArray words = QByteArray("Zeile ") + QByteArray::number(line) +
                                 (line % 997 == 0 ? " mit abc" : " ohne") + " und \xc3\xa4";
        crlf += words + "\r\n";
        mixed += words + (line % 3 == 0 ? "\r\n" : line % 3 == 1 ? "\r" : "\n");
    }
    const TextPassage joining{.rewrite = {}, .rebuild = joinFileLines};
    const struct {
        QByteArray text;
        const TextPassage &passage;
        QByteArray expected;
        qsizetype edits; // at most
    } cases[] = {
        {crlf, emptying, emptyLinesContaining(crlf, "abc"), 121},
        {crlf, joining, crlf, 0},
        {crlf + "letzte", joining, crlf + "letzte\r\n", 1},
        {mixed, emptying, emptyLinesContaining(mixed, "abc"), 80000},
    };
    for (const auto &c : cases) {
        ASSERT_GT(c.text.size(), 2 << 20); // several blocks
        const PassageResult result = passThroughTemporaryFile(folder.path(), c.text, c.passage);
        ASSERT_TRUE(result.edits) << result.error.toStdString();
        EXPECT_EQ(result.edits->appliedTo(c.text), c.expected);
        EXPECT_LE(result.edits->size(), c.edits);
    }
    EXPECT_EQ(entries(folder.path()), QStringList());
}

// Another Kelo run sharing the program folder is a child process here; it
// ends with its result as its exit code, or -1 when a signal ended it.
int exitCodeOf(pid_t child)
{
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Held files are not deleted, truncated or read; our run takes names of its
// own, the working copy's name on its own (runs that re-created one fixed
// name put one window's text in another's editor). Once their holder is
// killed (none of its own clean-up runs), the next run removes them and takes
// their names.
TEST(SharedProgramFolder, HeldFilesStayAsTheyAreAndAKilledHoldersFilesAreTakenOver)
{
    const struct {
        QStringList names;
        QString ourName;
        bool killed = false;
    } cases[] = {{{"kelo.tmp"}, "kelo-2.tmp"},
                 {{"Temp_kelo.tmp"}, "kelo.tmp"},
                 {{"kelo.tmp", "kelo-2.tmp", "Temp_kelo-3.tmp"}, "kelo-3.tmp"},
                 {{"kelo.tmp", "kelo-2.tmp", "Temp_kelo.tmp"}, "kelo-3.tmp", true}};
    for (const auto &[names, ourName, killed] : cases) {
        SCOPED_TRACE(names.join(u' ').toStdString());
        QTemporaryDir folder;
        int ready[2], letGo[2];
        ASSERT_EQ(::pipe(ready) | ::pipe(letGo), 0);
        const pid_t holder = ::fork();
        if (holder == 0) { // takes its files, says so, holds them until let go
            ::close(letGo[1]);
            std::vector<std::unique_ptr<TemporaryTextFile>> files;
            for (const QString &name : names) {
                files.push_back(std::make_unique<TemporaryTextFile>(folder.path(), name));
                if (!files.back()->writeText(QByteArray("gehalten: " + name.toUtf8())))
                    ::_exit(1);
            }
            char byte = 0;
            const bool letGone = ::write(ready[1], "r", 1) == 1 && ::read(letGo[0], &byte, 1) == 0;
            files.clear();
            ::_exit(letGone ? 0 : 2);
        }
        ::close(ready[1]);
        ::close(letGo[0]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1); // (should the test stop, the holder ends with it)
        ::close(ready[0]);
        {
            TemporaryTextFile file(folder.path());
            ASSERT_TRUE(file.writeText("eigener Text")) << file.errorString().toStdString();
            EXPECT_EQ(file.fileName(), ourName);
            // Nor is a held file taken over for a rewrite in place.
            TemporaryTextFile other(folder.path(), names.first());
            EXPECT_FALSE(other.openExisting());
            EXPECT_TRUE(other.errorString().contains(QStringLiteral("anderen Kelo-Fenster")))
                << other.errorString().toStdString();
        }
        const auto passes = [&folder] {
            const PassageResult result =
                passThroughTemporaryFile(folder.path(), "abc  x\r\n\r\n  y", leerzeilen);
            ASSERT_TRUE(result.edits) << result.error.toStdString();
            EXPECT_EQ(result.edits->appliedTo("abc  x\r\n\r\n  y"), "abc x\r\n y\r\n");
        };
        passes();
        QStringList heldNames = names;
        heldNames.sort();
        EXPECT_EQ(entries(folder.path()), heldNames);
        for (const QString &name : names)
            EXPECT_EQ(readBytes(folder.filePath(name)), "gehalten: " + name.toUtf8() + "\r\n");

        // Killed, or let go: then the run ends and deletes its files.
        if (killed)
            ::kill(holder, SIGKILL);
        ::close(letGo[1]);
        EXPECT_EQ(exitCodeOf(holder), killed ? -1 : 0);
        if (killed) {
            TemporaryTextFile file(folder.path());
            ASSERT_TRUE(file.writeText("neu")) << file.errorString().toStdString();
            EXPECT_EQ(file.path(), folder.filePath(names.first()));
            // The numbered name after ours goes with it; the copy's when a copy is made.
            EXPECT_EQ(entries(folder.path()), QStringList({"Temp_kelo.tmp", "kelo.tmp"}));
        }
        passes();
        EXPECT_EQ(entries(folder.path()), QStringList());
    }
}

// What a tool told its progress box: the steps, the stop at stopAt (0:
// never), and once the rest cannot be stopped, what it was shown.
struct Record {
    QList<qint64> steps;
    qint64 total = 0;
    int stopAt = 0;
    QList<qint64> shown;
    int unstoppable = 0;
    std::function<void()> onUnstoppable;
};

struct StoppingProgress : WorkProgress {
    explicit StoppingProgress(Record &record)
        : r(record)
    {}
    bool step(qint64 done, qint64 total) override
    {
        EXPECT_EQ(r.unstoppable, 0);
        r.steps.append(done);
        r.total = total;
        return r.stopAt == 0 || r.steps.size() < r.stopAt;
    }
    void beginUnstoppable() override
    {
        ++r.unstoppable;
        if (r.onUnstoppable)
            r.onUnstoppable();
    }
    void show(qint64 done, qint64 total) override
    {
        EXPECT_EQ(r.unstoppable, 1);
        EXPECT_EQ(total, r.total);
        r.shown.append(done);
    }
    Record &r;
};

class LineToolsTest : public PortTest {
protected:
    frm_ersetz &openReplace()
    {
        m_tools.cmd_replace_Click();
        frm_ersetz *dialog = m_tools.replaceDialog();
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }
    void expectUndoneTo(const QByteArray &text)
    {
        editor().undo();
        EXPECT_EQ(editor().utf8Text(), text);
        EXPECT_FALSE(editor().isUndoAvailable());
    }

    LineTools m_tools{m_port};
};

// Each run meets a leftover of a crash and planted links at the two names, which
// it does not follow; a folder there stops it.
TEST_F(LineToolsTest, LeerzeilenAndZeileLoeschenAreOneUndoStepFollowingNoLinkLeavingNoFile)
{
    const QString victim = m_port.makeFile(QStringLiteral("victim.txt"), "nicht anfassen");
    const auto leerzeilen = [&](const QByteArray &text) {
        writeBytes(m_programFolder + "/kelo.tmp", "alter Rest\r\n");
        EXPECT_TRUE(QFile::link(victim, m_programFolder + "/Temp_kelo.tmp"));
        editor().loadUtf8(text);
        const int refreshes = m_port.refreshes;
        m_tools.cmdDelEmpty_Click();
        const QByteArray result = editor().utf8Text();
        EXPECT_EQ(m_port.refreshes, refreshes + 1);
        EXPECT_EQ(entries(m_programFolder), QStringList());
        expectUndoneTo(text);
        return result;
    };
    EXPECT_EQ(leerzeilen("a\r\n\r\n  b   c\r\n   \r\nd"), QByteArray("a\r\n b c\r\nd\r\n"));
    // A text ending with a line break used to grow by an empty line each time;
    // characters beyond Windows-1252 used to be lost in the file.
    EXPECT_EQ(leerzeilen("Łódź  ☺\r\n\r\n😀\r\n"), QByteArray("Łódź ☺\r\n😀\r\n"));

    ASSERT_TRUE(QFile::link(victim, m_programFolder + "/kelo.tmp"));
    const QByteArray text = "eins abc\r\nzwei\r\nabc drei";
    editor().loadUtf8(text);
    frm_ersetz &dialog = openReplace();
    dialog.txt_finde->setText(QStringLiteral("abc"));
    const int refreshes = m_port.refreshes;
    for (int run = 0; run < 2; ++run) {
        dialog.cmdZSLOESCH->click();
        EXPECT_EQ(editor().utf8Text(), QByteArray("\r\nzwei\r\n\r\n"));
    }
    EXPECT_EQ(m_port.refreshes, refreshes + 2);
    EXPECT_EQ(entries(m_programFolder), QStringList());
    EXPECT_EQ(readBytes(victim), QByteArray("nicht anfassen"));
    expectUndoneTo(text);
    EXPECT_TRUE(m_messages.shown().isEmpty());

    // A folder that cannot be removed at the temporary file's or copy's name
    // (the line emptying needs no copy) keeps the text; the box says which.
    const std::pair<QString, std::function<void()>> cases[] = {
        {QStringLiteral("kelo.tmp"), [this] { m_tools.cmdDelEmpty_Click(); }},
        {QStringLiteral("kelo.tmp"), [this] { EXPECT_FALSE(m_tools.SLoesch("a")); }},
        {QStringLiteral("Temp_kelo.tmp"), [this] { m_tools.cmdDelEmpty_Click(); }}};
    for (const auto &[name, run] : cases) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(QDir(m_programFolder).mkpath(name + "/drin"));
        run();
        EXPECT_EQ(editor().utf8Text(), text);
        EXPECT_FALSE(editor().isUndoAvailable());
        EXPECT_EQ(entries(m_programFolder), QStringList{name});
        ASSERT_EQ(m_messages.shown().size(), 1);
        EXPECT_EQ(m_messages.shown().first().title, "Fehler");
        EXPECT_TRUE(m_messages.shown().first().text.contains(name));
        EXPECT_EQ(m_port.statusLine, QStringLiteral("Abgebrochen: Die temporäre Datei hat "
                                                    "versagt, der Text ist unverändert."));
        m_messages.clear();
        ASSERT_TRUE(QDir(m_programFolder + '/' + name).removeRecursively());
    }
}

// The clean-up, "ganze Zeile löschen" and replace all tell their progress; the
// editor's part cannot be stopped and is only shown, from before the text
// changes to its end. Stopped before it, text, caret and undo history stay, no
// file is left, nothing is asked.
TEST_F(LineToolsTest, StoppedToolsLeaveTheTextAsItWas)
{
    m_port.show();
    QByteArray text;
    for (int line = 0; text.size() < (qsizetype(3) << 20); ++line)
        text += line % 7 == 0 ? QByteArray("   \r\n")
                              : "Zeile  mit abc und  Straße, dazu noch etwas mehr Text, so dass "
                                "die Zeile lang genug ist und das Rückgängigmachen Zeile für "
                                "Zeile billiger\r\n";
    frm_ersetz &dialog = openReplace();
    dialog.txt_finde->setText(QStringLiteral("abc"));
    dialog.txt_replace->setText(QStringLiteral("xyz"));
    const std::pair<QString, std::function<void()>> tools[] = {
        {QStringLiteral("Entferne Leerzeilen"), [this] { m_tools.cmdDelEmpty_Click(); }},
        {QStringLiteral("Leere Zeilen"), [&dialog] { dialog.cmdZSLOESCH->click(); }},
        {QStringLiteral("Ersetze"), [&dialog] { dialog.cmd_ersetzen->click(); }}};
    for (const auto &[what, run] : tools) {
        SCOPED_TRACE(what.toStdString());
        Record record;
        QStringList asked;
        m_port.work = [&](const QString &name) {
            asked.append(name);
            return std::make_unique<StoppingProgress>(record);
        };
        const QByteArray loaded = text.first(text.size() - 2);
        const auto prepare = [&] {
            editor().loadUtf8(loaded);
            editor().setSelStart(editor().textLength());
            QTest::keyClicks(&editor(), "Ende"); // undo steps to keep
            editor().setSelStart(5);
            record = {};
            m_port.statusLine.clear();
        };
        const QByteArray typed = loaded + "Ende";
        prepare();
        bool unchangedAtTheTurn = false;
        record.onUnstoppable = [&] { unchangedAtTheTurn = editor().utf8View() == typed; };
        run();
        EXPECT_TRUE(editor().utf8View() != typed);
        ASSERT_GE(record.steps.size(), 3);
        EXPECT_TRUE(std::is_sorted(record.steps.begin(), record.steps.end()));
        EXPECT_LT(record.steps.last(), record.total);
        EXPECT_GE(record.total, qint64(2) * text.size());
        EXPECT_EQ(record.unstoppable, 1);
        EXPECT_TRUE(unchangedAtTheTurn);
        ASSERT_GE(record.shown.size(), 2);
        EXPECT_GE(record.shown.first(), record.steps.last());
        EXPECT_TRUE(std::is_sorted(record.shown.begin(), record.shown.end()));
        EXPECT_EQ(record.shown.last(), record.total);
        const qsizetype allSteps = record.steps.size();

        const auto said = [&] {
            return what == "Ersetze" ? dialog.lbl_text->text() : m_port.statusLine;
        };
        const QString stopped = what == "Ersetze"
                                    ? QStringLiteral("abgebrochen")
                                    : QStringLiteral("Abgebrochen: Der Text ist unverändert.");
        // Stopped at a step, even the last before the editor's part, or (0) at
        // none but without the memory for the new text.
        for (const qsizetype stop :
             {qsizetype(1), allSteps / 2, allSteps - 1, allSteps, qsizetype(0)}) {
            SCOPED_TRACE("stopped at step " + std::to_string(stop));
            prepare();
            record.stopAt = int(stop);
            if (stop == 0)
                editor().setRoomCheck([](std::initializer_list<qsizetype>) { return false; });
            run();
            editor().setRoomCheck(memoryRoomFor);
            if (stop > 0) {
                EXPECT_EQ(record.steps.size(), stop);
                EXPECT_EQ(record.unstoppable, 0);
                EXPECT_TRUE(m_messages.shown().isEmpty());
            } else {
                EXPECT_EQ(m_messages.texts(),
                          QStringList{QStringLiteral("Für den neuen Text ist nicht genug "
                                                     "Arbeitsspeicher frei.\nDer Text bleibt "
                                                     "unverändert.")});
                m_messages.clear();
            }
            EXPECT_TRUE(editor().utf8Text() == typed);
            EXPECT_EQ(editor().SelStart(), what == "Ersetze" ? 5 : 0); // the refresh still ran
            while (editor().isUndoAvailable())
                editor().undo();
            EXPECT_TRUE(editor().utf8Text() == loaded);
            EXPECT_EQ(entries(m_programFolder), QStringList());
            EXPECT_EQ(said(), stopped);
        }
        EXPECT_EQ(asked.first(), what);
    }
}

// CleanFile rewrites a user's file in place through its working copy; a link
// is not followed, a missing file is said.
TEST_F(LineToolsTest, CleanFileRewritesAPlainFileInPlaceAndNothingElse)
{
    const QString victim = m_port.makeFile(QStringLiteral("victim.txt"), "a  b");
    writeBytes(m_programFolder + "/liste.txt", "a  b\r\n   \r\nc");
    ASSERT_TRUE(QFile::link(victim, m_programFolder + "/link.txt"));
    EXPECT_TRUE(m_tools.CleanFile(m_programFolder, QStringLiteral("liste.txt")));
    EXPECT_EQ(readBytes(m_programFolder + "/liste.txt"), QByteArray("a b\r\nc\r\n"));
    EXPECT_TRUE(m_messages.shown().isEmpty());
    for (const QString &name : {QStringLiteral("link.txt"), QStringLiteral("fehlt.txt")}) {
        EXPECT_FALSE(m_tools.CleanFile(m_programFolder, name));
        ASSERT_EQ(m_messages.shown().size(), 1);
        EXPECT_EQ(m_messages.shown().first().title, "Fehler");
        EXPECT_TRUE(m_messages.texts().first().contains(name));
        m_messages.clear();
    }
    EXPECT_EQ(readBytes(victim), QByteArray("a  b"));
    EXPECT_EQ(entries(m_programFolder), QStringList({"link.txt", "liste.txt"}));
}

// Without a usable program folder the runtime folder takes the file, else a
// private folder in the cache.
TEST_F(LineToolsTest, UnusableProgramFolderTakesTheRuntimeFolderElseAPrivateCacheFolder)
{
    ASSERT_TRUE(QDir(m_programFolder).removeRecursively());
    writeBytes(m_programFolder, "kein Ordner");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), cache = qgetenv("XDG_CACHE_HOME");
    ASSERT_FALSE(runtime.isEmpty());
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("XDG_CACHE_HOME", cache);
    });
    const QStringList before = entries(QFile::decodeName(runtime));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_work + "/cache"));
    for (int run = 0; run < 2; ++run) {
        editor().loadUtf8("a\r\n\r\nb");
        m_tools.cmdDelEmpty_Click();
        EXPECT_EQ(editor().utf8Text(), QByteArray("a\r\nb\r\n"));
        EXPECT_TRUE(m_messages.shown().isEmpty());
        EXPECT_EQ(entries(QFile::decodeName(runtime)), before);
        EXPECT_EQ(QFileInfo::exists(m_work + "/cache"), run == 1);
        qunsetenv("XDG_RUNTIME_DIR");
    }
    EXPECT_EQ(mode(m_work + "/cache/kelo") & (S_IFMT | 0777), S_IFDIR | 0700u);
    EXPECT_EQ(entries(m_work + "/cache/kelo"), QStringList());
}

// Replace all is one undo step showing its count, or refuses; "EXIT" keeps
// the fields for the next start.
TEST_F(LineToolsTest, ReplaceDialogReplacesAllOrRefusesAndKeepsTheFieldsHoweverClosed)
{
    m_port.show();
    QPointer<frm_ersetz> dialog = &openReplace();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->txt_finde->text() + '|' + dialog->txt_replace->text(),
              "Suchbegriff eingeben|Ersatzbegriff eingeben");
    const auto replace = [&](const QString &find, const QString &replacement) {
        dialog->txt_finde->setText(find);
        dialog->txt_replace->setText(replacement);
        dialog->cmd_ersetzen->click();
    };
    // The text afterwards and the labels; one undo brings the text back.
    const auto ersetzen = [&](const char *text, const QString &find, const QString &replacement) {
        editor().loadUtf8(text);
        editor().setSelStart(3);
        replace(find, replacement);
        const QString result = editor().Text() + QStringLiteral(" / ") +
                               dialog->lbl_anzahl->text() + u' ' + dialog->lbl_text->text();
        expectUndoneTo(text); // nor an empty step when nothing changed
        return result;
    };
    EXPECT_EQ(ersetzen("aaaa", "aa", "a"), QStringLiteral("a / 3 ersetzt"));
    EXPECT_EQ(ersetzen("abc", "Suchbegriff eingeben", "x"), QStringLiteral("abc / 0 ersetzt"));
    EXPECT_EQ(ersetzen("a        b      c    \r\n  d", "    ", "\t"),
              QStringLiteral("a\t\tb\t  c\t\r\n  d / 4 ersetzt"));
    EXPECT_TRUE(m_messages.shown().isEmpty());

    // The endless cases change nothing, clear the labels and say why.
    for (const auto &[find, replacement] : {std::pair(QString(), QStringLiteral("x")),
                                            std::pair(QStringLiteral("a"), QStringLiteral("ba"))}) {
        EXPECT_EQ(ersetzen("a b a", "a", "c"), QStringLiteral("c b c / 2 ersetzt"));
        m_messages.clear();
        replace(find, replacement);
        EXPECT_EQ(editor().utf8Text(), QByteArray("a b a"));
        EXPECT_FALSE(editor().isUndoAvailable());
        ASSERT_EQ(m_messages.shown().size(), 1);
        EXPECT_TRUE(m_messages.texts().first().contains(QStringLiteral("unverändert")));
        EXPECT_EQ(dialog->lbl_anzahl->text() + dialog->lbl_text->text(), QString());
    }

    // "EXIT" stores the fields; open, the dialog is shown again as it is, closed,
    // it is opened anew from the settings.
    dialog->txt_finde->setText("Straße, Weg");
    dialog->txt_replace->setText("x");
    dialog->cmdTAB->click();
    EXPECT_EQ(&openReplace(), dialog.data());
    dialog->cmd_exit->click();
    EXPECT_EQ(m_port.storedSetting(key::txtFinde) + '|' + m_port.storedSetting(key::txtReplace),
              "Straße, Weg|\t");
    EXPECT_TRUE(QTest::qWaitFor([&dialog] { return dialog.isNull(); }));
    dialog = &openReplace();
    EXPECT_EQ(dialog->txt_finde->text() + '|' + dialog->txt_replace->text(), "Straße, Weg|\t");
}

} // namespace
} // namespace kelo::test
