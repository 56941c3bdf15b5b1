// The temporary file between Kelo windows sharing a program folder: worker
// processes run the line tools at the same moment, die holding their files,
// or hold them while this process runs.
#include "support/testenv.h"
#include "tools/linerules.h"
#include "tools/tempfile.h"
#include "tools/textpassage.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace kelo::test {
namespace {

// Generous, only so that a hanging worker cannot hang the suite.
constexpr int workerLimitMs = 120000;

// Everything in a folder, hidden files included, sorted by bytes.
QStringList entries(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                               QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

std::unique_ptr<QProcess> startWorker(const QStringList &arguments)
{
    auto worker = std::make_unique<QProcess>();
    worker->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    worker->start(QStringLiteral(KELO_TEMPFILE_WORKER), arguments);
    EXPECT_TRUE(worker->waitForStarted()) << worker->errorString().toStdString();
    return worker;
}

// A worker holding temporary files under the names, with the paths it took.
std::unique_ptr<QProcess> startHolder(const QString &folder, const QStringList &names,
                                      QStringList *paths)
{
    std::unique_ptr<QProcess> holder =
        startWorker(QStringList{folder, QStringLiteral("hold")} + names);
    QByteArray output;
    while (!output.endsWith("ready\n") && holder->state() == QProcess::Running) {
        holder->waitForReadyRead(workerLimitMs);
        output += holder->readAllStandardOutput();
    }
    EXPECT_TRUE(output.endsWith("ready\n")) << output.toStdString();
    *paths = QString::fromUtf8(output).split(u'\n', Qt::SkipEmptyParts);
    paths->removeLast();
    return holder;
}

void expectFinishedWell(QProcess &worker, const QByteArray &output)
{
    ASSERT_TRUE(worker.waitForFinished(workerLimitMs));
    EXPECT_EQ(worker.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(worker.exitCode(), 0);
    EXPECT_EQ(worker.readAllStandardOutput(), output);
}

const TextPassage leerzeilen{.rewrite = cleanLines, .rebuild = joinFileLines};

// Runs re-creating one fixed name put one window's text in another's editor.
TEST(SharedProgramFolder, RunsAtTheSameMomentEachGetExactlyTheirOwnText)
{
    constexpr int workers = 3;
    const QString rounds = QStringLiteral("250");
    QTemporaryDir folder;
    std::vector<std::unique_ptr<QProcess>> running;
    for (int seed = 1; seed <= workers; ++seed)
        running.push_back(
            startWorker({folder.path(), QStringLiteral("rounds"), QString::number(seed), rounds}));
    // Written out now: QProcess writes only when waited on.
    for (const auto &worker : running) {
        worker->write("go\n");
        ASSERT_TRUE(worker->waitForBytesWritten(workerLimitMs));
        worker->closeWriteChannel();
    }
    for (const auto &worker : running)
        expectFinishedWell(*worker, "ok " + rounds.toUtf8() + '\n');
    EXPECT_EQ(entries(folder.path()), QStringList());
}

// A killed run's files are removed by the next run, which takes their names.
TEST(SharedProgramFolder, LeftoversOfAKilledRunAreRemovedAndTheirNamesTaken)
{
    QTemporaryDir folder;
    QStringList paths;
    const std::unique_ptr<QProcess> holder = startHolder(
        folder.path(),
        {QStringLiteral("kelo.tmp"), QStringLiteral("kelo-2.tmp"), QStringLiteral("Temp_kelo.tmp")},
        &paths);
    holder->kill(); // SIGKILL: nothing of the run's own clean-up runs
    ASSERT_TRUE(holder->waitForFinished(workerLimitMs));
    ASSERT_EQ(entries(folder.path()), QStringList({"Temp_kelo.tmp", "kelo-2.tmp", "kelo.tmp"}));

    {
        TemporaryTextFile file(folder.path());
        ASSERT_TRUE(file.writeText("neu")) << file.errorString().toStdString();
        EXPECT_EQ(file.path(), paths[0]);
        EXPECT_EQ(file.readBytes(), QByteArray("neu\r\n"));
        // The numbered name after ours goes with it; the copy's when a copy is made.
        EXPECT_EQ(entries(folder.path()), QStringList({"Temp_kelo.tmp", "kelo.tmp"}));
    }
    const PassageResult result =
        passThroughTemporaryFile(folder.path(), "a  b\r\n\r\nc", leerzeilen);
    ASSERT_TRUE(result.edits) << result.error.toStdString();
    EXPECT_EQ(result.edits->appliedTo("a  b\r\n\r\nc"), "a b\r\nc\r\n");
    EXPECT_EQ(entries(folder.path()), QStringList());
}

// A passage that only rebuilds the lines gives the edits block by block, each
// block's new lines weighed against the text where they stand: the same new
// text as the rule on the whole text, and only the edits that the changed
// lines need, on texts of many blocks with every kind of line break.
TEST(TextPassage, ABlockByBlockRebuildGivesTheWholeTextsResultInFewEdits)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QByteArray crlf;
    QByteArray mixed;
    for (int line = 0; line < 120000; ++line) {
        const QByteArray words = QByteArray("Zeile ") + QByteArray::number(line) +
                                 (line % 997 == 0 ? " mit abc" : " ohne") + " und \xc3\xa4";
        crlf += words + "\r\n";
        mixed += words + (line % 3 == 0 ? "\r\n" : line % 3 == 1 ? "\r" : "\n");
    }
    const TextPassage emptying{.rewrite = {}, .rebuild = [](QByteArrayView lines) {
                                   return emptyLinesContaining(lines, "abc");
                               }};
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
        {mixed, joining, joinFileLines(mixed), 80000},
    };
    for (const auto &c : cases) {
        ASSERT_GT(c.text.size(), 2 << 20); // several blocks
        const PassageResult result = passThroughTemporaryFile(folder.path(), c.text, c.passage);
        ASSERT_TRUE(result.edits) << result.error.toStdString();
        EXPECT_TRUE(result.text.isNull()); // never made whole
        EXPECT_EQ(result.edits->appliedTo(c.text), c.expected);
        EXPECT_LE(result.edits->size(), c.edits);
    }
    EXPECT_EQ(entries(folder.path()), QStringList());
}

struct Held {
    QStringList names; // what another running Kelo holds
    QString ourName;   // the name our run then takes
};

void PrintTo(const Held &held, std::ostream *out)
{
    *out << held.names.join(u' ').toStdString();
}

class HeldByARunningKelo : public ::testing::TestWithParam<Held> {};

// Held files are not deleted, truncated or read; our run takes its own names.
TEST_P(HeldByARunningKelo, StaysAsItIsWhileTheRunTakesANameOfItsOwn)
{
    const Held &held = GetParam();
    QTemporaryDir folder;
    QStringList paths;
    const std::unique_ptr<QProcess> holder = startHolder(folder.path(), held.names, &paths);
    ASSERT_EQ(paths.size(), held.names.size());
    std::map<QString, QByteArray> before;
    for (const QString &path : paths)
        before[path] = readBytes(path);

    {
        TemporaryTextFile file(folder.path());
        ASSERT_TRUE(file.writeText("eigener Text")) << file.errorString().toStdString();
        EXPECT_EQ(file.fileName(), held.ourName);
        EXPECT_EQ(file.readBytes(), QByteArray("eigener Text\r\n"));

        // Nor is a held file taken over for a rewrite in place.
        TemporaryTextFile other(folder.path(), held.names.first());
        EXPECT_FALSE(other.openExisting());
        EXPECT_TRUE(other.errorString().contains(QStringLiteral("anderen Kelo-Fenster")))
            << other.errorString().toStdString();
    }
    const QByteArray text = "abc  x\r\n\r\n  y  abc\r\nz";
    const TextPassage emptying{.rewrite = {}, .rebuild = [](QByteArrayView lines) {
                                   return emptyLinesContaining(lines, "abc");
                               }};
    for (const auto &[passage, expected] :
         {std::pair(leerzeilen, QByteArray("abc x\r\n y abc\r\nz\r\n")),
          std::pair(emptying, QByteArray("\r\n\r\n\r\nz\r\n"))}) {
        const PassageResult result = passThroughTemporaryFile(folder.path(), text, passage);
        ASSERT_TRUE(result.edits) << result.error.toStdString();
        EXPECT_EQ(result.edits->appliedTo(text), expected);
    }

    QStringList heldNames = held.names;
    heldNames.sort();
    EXPECT_EQ(entries(folder.path()), heldNames);
    for (const auto &[path, bytes] : before)
        EXPECT_EQ(readBytes(path), bytes) << path.toStdString();

    holder->closeWriteChannel(); // the run ends and deletes its files
    expectFinishedWell(*holder, {});
    EXPECT_EQ(entries(folder.path()), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Names, HeldByARunningKelo,
                         ::testing::Values(Held{{"kelo.tmp"}, "kelo-2.tmp"},
                                           // The working copy's name is taken on its own.
                                           Held{{"Temp_kelo.tmp"}, "kelo.tmp"},
                                           Held{{"kelo.tmp", "kelo-2.tmp", "Temp_kelo-3.tmp"},
                                                "kelo-3.tmp"}));

} // namespace
} // namespace kelo::test
