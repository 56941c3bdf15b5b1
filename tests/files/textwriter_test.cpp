// Reading and writing files: byte-exact round trips, large texts, links, and
// refused or failed writes leaving the old file as it was; all of it also in
// a folder whose name is not UTF-8.
#include "files/fileprocs.h"
#include "files/textwriter.h"
#include "platform/filenames.h"
#include "support/testenv.h"

#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace kelo::test {
namespace {

using Entries = QMap<QString, QByteArray>;

// Paths by their bytes, so that Qt's decoding of names plays no part.
const auto native = encodeFileName;

bool makeLink(const QString &target, const QString &link)
{
    return ::symlink(native(target).constData(), native(link).constData()) == 0;
}

// Where a link points, as it holds it; empty for anything else.
QByteArray linkTarget(const QString &link)
{
    char raw[PATH_MAX];
    const ssize_t length = ::readlink(native(link).constData(), raw, sizeof raw);
    return QByteArray(raw, std::max<ssize_t>(length, 0));
}

void setMode(const QString &path, mode_t mode)
{
    ASSERT_EQ(::chmod(native(path).constData(), mode), 0) << path.toStdString();
}

// Runs work in a child process; its exit code, or -1 when it did not exit.
int exitCodeOf(const std::function<int()> &work)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work());
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every test runs in a plain folder and in one named in Latin-1 ("Älteres"),
// which Qt's own file classes cannot reach.
class Files : public ::testing::TestWithParam<QByteArray> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = m_dir.path();
        if (!GetParam().isEmpty()) {
            m_folder += u'/' + decodeFileName(GetParam());
            test::makeRawFolder(native(m_folder));
        }
    }

    // QTemporaryDir cannot remove names that are not UTF-8.
    void TearDown() override
    {
        ::chmod(native(m_folder).constData(), S_IRWXU);
        const QByteArray top = native(m_dir.path());
        for (const QByteArray &name : test::rawEntries(top))
            test::removeRawTree(top + '/' + name);
    }

    QString path(const QString &name) const { return m_folder + u'/' + name; }

    // Every entry, hidden ones too (a left-over temporary file), with its
    // bytes or link target.
    Entries snapshot() const
    {
        Entries entries;
        for (const QByteArray &name : test::rawEntries(native(m_folder))) {
            const QString entry = path(decodeFileName(name));
            struct stat status {};
            EXPECT_EQ(::lstat(native(entry).constData(), &status), 0);
            entries[decodeFileName(name)] =
                S_ISREG(status.st_mode) ? readBytes(entry) : linkTarget(entry);
        }
        return entries;
    }

    QTemporaryDir m_dir;
    QString m_folder;
};

INSTANTIATE_TEST_SUITE_P(Folders, Files, ::testing::Values(QByteArray(), QByteArray("\xC4lteres")),
                         [](const auto &info) {
                             return std::string(info.param.isEmpty() ? "Plain" : "Latin1");
                         });

// Windows-1252, UTF-8 with and without the mark, LF only, mixed, NULs, a lone
// CR or no break at the end, empty; a mark before non-UTF-8, a cut sequence.
// clang-format off
const QByteArray sampleFiles[] = {
    "Gr\374\337e \200\r\n", "Grüße „Welt“ €\r\n", "\xEF\xBB\xBFGrüße\r\n", "eins\nzwei\n", "a\nb\xe4",
    "a\r\nb\nc\rd\r\n", "a\rb\r", "ä\r\n\r\n€😀\n", QByteArray("a\0b\0\r\n", 6), "", "ohne",
    "\xEF\xBB\xBF\xE4", "a\r\nb\r\nä€\xe4", QByteArray("\xEF\xBB\xBF") + "a\rb\xC3"};
// clang-format on

// What ReadFileInPieces hands over, collected.
struct Collected {
    QByteArray text;
    qsizetype announced = -1;
    int begins = 0;
    std::function<void()> onFirstBegin; // between the two readings

    TextReceiver receiver()
    {
        return {[this](qsizetype bytes) {
                    if (++begins == 1 && onFirstBegin)
                        onFirstBegin();
                    announced = bytes;
                    text.clear();
                    return true;
                },
                [this](QByteArrayView utf8) {
                    text.append(utf8);
                    return true;
                }};
    }
};

// Random files up to 4 KB, heavy in CR, LF, NUL, 0x80-0x9F, whole and cut
// UTF-8 and marks; every third one pure UTF-8.
std::vector<QByteArray> randomFiles()
{
    const QByteArray pieces[] = {"\r",
                                 "\n",
                                 "\r\n",
                                 QByteArray(1, '\0'),
                                 "\xC3\xA4",
                                 "\xE2\x82\xAC",
                                 "\xF0\x9F\x98\x80",
                                 "\xC3",
                                 "\xE2\x82",
                                 "\xEF\xBB\xBF",
                                 " "};
    std::mt19937 random(61226);
    std::vector<QByteArray> files;
    for (int round = 0; round < 150; ++round) {
        const qsizetype size = qsizetype(1) << std::uniform_int_distribution(0, 12)(random);
        const bool wellFormed = round % 3 == 0;
        QByteArray bytes;
        while (bytes.size() < size) {
            const unsigned kind = random() % 10;
            if (kind < 4)
                bytes += pieces[random() % (wellFormed ? 7 : std::size(pieces))];
            else if (kind < 6 && !wellFormed)
                bytes += char(0x80 + random() % (kind == 4 ? 0x20 : 0x80));
            else
                bytes += char('a' + random() % 26);
        }
        if (random() % 4 == 0)
            bytes.chop(bytes.size() - qsizetype(random() % (bytes.size() + 1)));
        files.push_back(bytes);
    }
    return files;
}

// Read in pieces (cutting CR LF, UTF-8 sequences and the mark), a file gives
// ReadWholeFile's form, text and failures; loaded and saved twice it keeps
// its bytes, not one more. A device, a vanished file are read whole.
TEST_P(Files, ReadingInPiecesMatchesReadingWholeAndRoundTrips)
{
    const QString file = path("text.txt");
    std::vector<QByteArray> files = randomFiles();
    files.insert(files.begin(), std::begin(sampleFiles), std::end(sampleFiles));
    for (const QByteArray &bytes : files) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        writeBytes(file, bytes);
        const FileReadResult whole = ReadWholeFile(file);
        for (const qsizetype pieceSize : {1, 2, 3, 5, 1 << 20}) {
            SCOPED_TRACE("in pieces of " + std::to_string(pieceSize));
            Collected collected;
            const FileReadResult pieces = ReadFileInPieces(file, collected.receiver(), pieceSize);
            ASSERT_TRUE(pieces.ok);
            EXPECT_EQ(pieces.text.format, whole.text.format);
            EXPECT_TRUE(pieces.text.utf8.isEmpty());
            EXPECT_EQ(collected.text, whole.text.utf8);
            // Shown during the first reading it is announced by its size; a
            // second reading starts over once.
            EXPECT_LE(collected.begins, 2);
            EXPECT_TRUE(collected.announced == whole.text.utf8.size() ||
                        (collected.begins == 1 && collected.announced == bytes.size()));
        }
        for (int save = 0; save < 2; ++save) {
            const FileReadResult loaded = ReadWholeFile(file);
            const TextWriteResult written =
                writeTextFile(file, loaded.text.utf8, loaded.text.format);
            EXPECT_TRUE(loaded.ok && written.ok && !written.fellBackToUtf8);
            EXPECT_EQ(readBytes(file), bytes);
        }
        EXPECT_EQ(snapshot().keys(), QStringList{QStringLiteral("text.txt")});
        // Edited, it ends as the file did: a final break the text lost comes
        // back, and a file without one gets none.
        const FileReadResult loaded = ReadWholeFile(file);
        QByteArray edited = loaded.text.utf8;
        edited.chop(edited.endsWith("\r\n") ? 2 : edited.endsWith('\n') || edited.endsWith('\r'));
        if (!edited.endsWith('\n') && !edited.endsWith('\r')) {
            const QByteArray more = edited.size() < loaded.text.utf8.size() ? "" : "!";
            ASSERT_TRUE(writeTextFile(file, QByteArray(edited + more), loaded.text.format).ok);
            EXPECT_EQ(readBytes(file), bytes + more);
        }
    }
    // A new text gets CR LF, and is known to have it from then on.
    const TextWriteResult fresh = writeTextFile(path("neu.txt"), "", {});
    EXPECT_EQ(readBytes(path("neu.txt")), "\r\n");
    EXPECT_EQ(fresh.writtenFormat.finalBreak, FinalBreak::CrLf);

    // A device is read whole, telling its end once, and refused when too long.
    Collected device;
    TextReceiver fromDevice = device.receiver();
    int told = 0;
    fromDevice.progress = [&told](qint64 done, qint64 total) {
        return ++told == 1 && done == total;
    };
    EXPECT_TRUE(ReadFileInPieces("/proc/self/stat", fromDevice, 2).ok);
    EXPECT_EQ(told, 1);
    EXPECT_TRUE(device.text.startsWith(QByteArray::number(::getpid()).append(' ')));
    fromDevice.capacity = 10;
    EXPECT_EQ(ReadFileInPieces("/proc/self/stat", fromDevice).error,
              QStringLiteral("Sie ist zu groß (Kelo kann höchstens 2 GiB Text halten)."));
    Collected vanished;
    EXPECT_TRUE(ReadFileInPieces(path("vanished.txt"), vanished.receiver()).ok);
    EXPECT_EQ(vanished.text, "");
    Collected folder;
    const FileReadResult ofFolder = ReadFileInPieces(m_folder, folder.receiver());
    EXPECT_FALSE(ofFolder.ok || ofFolder.cancelled);
    EXPECT_EQ(ofFolder.error, ReadWholeFile(m_folder).error);
}

// A file written between the two readings is read whole again when its form
// changed (a CR came in, which the Unix form would double), else taken as is.
TEST_P(Files, ReadingInPiecesNoticesAFileChangedMeanwhile)
{
    const QString file = path("text.txt");
    for (const auto &[changed, begins] : {std::pair{"ab\r\n", 2}, std::pair{"xyz\n", 1}}) {
        writeBytes(file, "abc\n");
        Collected collected;
        collected.onFirstBegin = [&] { writeBytes(file, changed); };
        const FileReadResult read = ReadFileInPieces(file, collected.receiver(), 2);
        ASSERT_TRUE(read.ok);
        EXPECT_EQ(collected.begins, begins);
        EXPECT_EQ(read.text.format, ReadWholeFile(file).text.format);
        EXPECT_EQ(collected.text, ReadWholeFile(file).text.utf8);
    }
}

// Progress rises to the total of two readings, however often the file was
// read (twice, once with an early start, three times when that start fails);
// a stop at any step cancels the reading without an error, while a receiver
// out of memory, at the start or on the way, is an error. A text one byte
// longer than the receiver holds is refused, before reading when the file's
// size shows it (the mark does not count), else when it grows on its way in.
TEST_P(Files, ReadingInPiecesTellsProgressStopsAndRefuses)
{
    const QString file = path("text.txt");
    const QString noMemory =
        QStringLiteral("Nicht genug Arbeitsspeicher, um %1 zu lesen.").arg(file);
    const QString tooBig =
        QStringLiteral("Sie ist zu groß (Kelo kann höchstens 2 GiB Text halten).");
    const QByteArray files[] = {"Gr\374\337e \200\r\nzwei\r\n",
                                "a\r\nGrüße\r\n€\r\n",
                                "a\r\nzwei \xe4\r\n",
                                "a\nb\nc\nd\n",
                                "x",
                                "\xEF\xBB\xBFGrüße\r\n"};
    for (const QByteArray &bytes : files) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        writeBytes(file, bytes);
        Collected collected;
        TextReceiver receiver = collected.receiver();
        QList<qint64> steps;
        receiver.progress = [&](qint64 done, qint64 total) {
            EXPECT_EQ(total, 2 * bytes.size());
            steps.append(done);
            return true;
        };
        ASSERT_TRUE(ReadFileInPieces(file, receiver, 3).ok);
        EXPECT_EQ(collected.text, ReadWholeFile(file).text.utf8);
        const qsizetype length = collected.text.size();
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
        ASSERT_EQ(steps.count(2 * bytes.size()), 1);
        EXPECT_EQ(steps.last(), 2 * bytes.size());

        for (const qsizetype stopAt : {qsizetype(1), steps.size() / 2 + 1, steps.size()}) {
            qsizetype step = 0;
            receiver.progress = [&](qint64, qint64) { return ++step < stopAt; };
            const FileReadResult read = ReadFileInPieces(file, receiver, 3);
            EXPECT_TRUE(read.cancelled && !read.ok && read.error.isEmpty()) << stopAt;
            EXPECT_EQ(step, stopAt);
        }
        for (const bool atBegin : {true, false}) {
            TextReceiver refusing = collected.receiver();
            if (atBegin)
                refusing.begin = [](qsizetype) { return false; };
            else
                refusing.append = [](QByteArrayView) { return false; };
            const FileReadResult read = ReadFileInPieces(file, refusing, 3);
            EXPECT_FALSE(read.ok || read.cancelled);
            EXPECT_EQ(read.error, noMemory);
        }
        for (const qsizetype capacity : {length - 1, length}) {
            TextReceiver holding = collected.receiver();
            holding.capacity = capacity;
            // Like the editor, it cannot even begin a longer text.
            holding.begin = [begin = holding.begin, capacity](qsizetype size) {
                return size <= capacity && begin(size);
            };
            int told = 0;
            holding.progress = [&told](qint64, qint64) { return ++told > 0; };
            const FileReadResult read = ReadFileInPieces(file, holding, 3);
            EXPECT_EQ(read.ok, capacity == length) << capacity;
            EXPECT_FALSE(read.cancelled);
            EXPECT_EQ(read.error, read.ok ? QString() : tooBig);
            EXPECT_EQ(told == 0, bytes.size() - 3 > capacity); // not read at all
        }
    }
}

// A link is followed and stays a link, also one to a name in Latin-1; the
// file keeps its permissions and, as root, its owner and group, and nothing
// is left beside it. A dangling link: the file it points to is made. 200
// Latin-1 letters leave room for the temporary name (in UTF-8 they would not).
TEST_P(Files, ReplacedFileKeepsItsNameLinksAndOwner)
{
    // link -> echt/unter/zwischen -> ../ärger.txt, both relative.
    makeRawFolder(native(path("echt")));
    makeRawFolder(native(path("echt/unter")));
    const QString target = path("echt/" + decodeFileName("\xE4rger.txt"));
    writeBytes(target, "Gr\374\337e\r\n");
    ASSERT_TRUE(makeLink(decodeFileName("../\xE4rger.txt"), path("echt/unter/zwischen")));
    ASSERT_TRUE(makeLink("echt/unter/zwischen", path("link")));
    ASSERT_TRUE(makeLink("kommt.txt", path("offen")));
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(native(target).constData(), 4321, 4322) == 0);
    setMode(target, 0640);

    const FileReadResult loaded = ReadWholeFile(path("link"));
    ASSERT_TRUE(
        writeTextFile(path("link"), QByteArray(loaded.text.utf8 + "und mehr"), loaded.text.format)
            .ok);
    EXPECT_EQ(readBytes(target), "Gr\374\337e\r\nund mehr\r\n");
    EXPECT_EQ(linkTarget(path("link")), "echt/unter/zwischen");
    EXPECT_EQ(rawEntries(native(path("echt"))), (QByteArrayList{"unter", "\xE4rger.txt"}));
    struct stat after {};
    ASSERT_EQ(::stat(native(target).constData(), &after), 0);
    EXPECT_TRUE(!root || (after.st_uid == 4321 && after.st_gid == 4322)) << after.st_uid;
    EXPECT_EQ(after.st_mode & 07777, 0640u);

    ASSERT_TRUE(writeTextFile(path("offen"), "da", {}).ok);
    EXPECT_EQ(readBytes(path("kommt.txt")), "da\r\n");
    EXPECT_EQ(linkTarget(path("offen")), "kommt.txt");
    const QByteArray longName(200, '\xE4');
    ASSERT_TRUE(writeTextFile(path(decodeFileName(longName)), "lang", {}).ok);
    EXPECT_EQ(readRaw(native(m_folder) + '/' + longName), "lang\r\n");
}

// Refused before anything is touched, with the reason; also for names that
// are not UTF-8 (Latin-1 "ärger.txt", 250 "ä").
TEST_P(Files, RefusedWritesTouchNothingAndGiveTheReason)
{
    makeRawFolder(native(path("ordner")));
    const QString latin1 = decodeFileName("\xE4rger.txt");
    for (const QString &readOnly : {QStringLiteral("nur.txt"), latin1}) {
        writeBytes(path(readOnly), "alt");
        setMode(path(readOnly), S_IRUSR);
    }
    writeBytes(path(QString(250, u'n')), "alt");
    ASSERT_TRUE(makeLink("b", path("a")) && makeLink("a", path("b")));
    ASSERT_EQ(::mkfifo(native(path("rohr")).constData(), 0666), 0);
    const Entries before = snapshot();
    const std::pair<QString, QString> cases[] = {
        {"ordner", "ordner ist ein Ordner."},
        {"fehlt/a.txt", "Den Ordner " + path("fehlt") + " gibt es nicht."},
        {"nur.txt", "nur.txt ist schreibgeschützt."}, // also for root: the user marked it so
        {latin1, "rger.txt ist schreibgeschützt."},
        {QString(250, u'n'), "ist für das Dateisystem zu lang."}, // too long for the temporary
        {decodeFileName(QByteArray(250, '\xE4')), "ist für das Dateisystem zu lang."},
        {"a", "/a führt im Kreis."},
        {"rohr", "rohr ist keine gewöhnliche Datei."}}; // root would put a file in its place
    for (const auto &[target, reason] : cases) {
        const TextWriteResult result = writeTextFile(path(target), "neuer Text", {});
        EXPECT_FALSE(result.ok) << target.toStdString();
        EXPECT_TRUE(result.error.endsWith(reason)) << result.error.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
}

// Written in pieces of 1 MiB, a text comes out as it encodes whole: an ä or
// CR LF across a cut stays whole, the mark comes once, and a character
// Windows-1252 lacks in the last piece makes the whole file UTF-8. The save
// tells its progress up to the whole (from 0 again for that fallback);
// stopped at any step, even the last, it leaves the old file, or none, as it
// was.
TEST_P(Files, LargeTextsComeOutAsTheyEncodeWholeOrNotAtAll)
{
    const QByteArray longLine((1 << 20) - 1, 'a');
    const QByteArray lines = QByteArray("Zeile mit \xc3\xa4 und mehr\r\n").repeated(120'000);
    const QByteArray lacking = "Grüße 😀\r\n";
    const TextFormat cp1252{Encoding::Windows1252};
    const std::pair<QByteArray, TextFormat> cases[] = {
        {longLine + "\xc3\xa4 Rest", cp1252},
        {longLine + "\r\nb", {Encoding::Utf8, false, true}},
        {QByteArray("Stra\303\237e\r\n").repeated(400000), {Encoding::Utf8, true, true}},
        {lines, cp1252},
        {lines + lacking, cp1252}};
    const QString file = path("a.txt");
    for (const auto &[text, format] : cases) {
        SCOPED_TRACE(text.size());
        QList<qint64> told;
        const TextWriteResult written = writeTextFile(file, text, format, [&told](qint64 done) {
            told.append(done);
            return true;
        });
        ASSERT_TRUE(written.ok && !written.cancelled);
        EXPECT_EQ(written.fellBackToUtf8, text.endsWith(lacking));
        EXPECT_TRUE(readBytes(file) ==
                    encodeText(text, format).bytes + finalLineBreak(text, format));
        ASSERT_GE(told.size(), 2);
        EXPECT_EQ(told.last(), text.size());
        const auto restart = std::is_sorted_until(told.begin(), told.end());
        EXPECT_EQ(restart != told.end(), written.fellBackToUtf8); // the fallback starts over
        EXPECT_TRUE(std::is_sorted(restart, told.end()));

        for (const bool existed : {true, false}) {
            for (const qsizetype stopAt : {qsizetype(1), told.size() / 2, told.size()}) {
                SCOPED_TRACE(std::to_string(stopAt) + (existed ? " over a file" : " new"));
                if (existed)
                    writeBytes(file, "alt");
                else
                    ::unlink(native(file).constData());
                qsizetype step = 0;
                const TextWriteResult stopped = writeTextFile(
                    file, text, format, [&step, stopAt](qint64) { return ++step < stopAt; });
                EXPECT_TRUE(stopped.cancelled && !stopped.ok);
                EXPECT_EQ(step, stopAt);
                EXPECT_EQ(stopped.error,
                          "Das Speichern wurde abgebrochen: Die Datei " + file +
                              (existed ? " bleibt, wie sie war." : " wurde nicht angelegt."));
                EXPECT_EQ(snapshot(), existed ? Entries({{"a.txt", "alt"}}) : Entries());
            }
        }
    }
}

// A folder without write permission; a full disk (files limited to 64 KiB)
// after the text, just before its final break, or with pieces encoded ahead;
// memory running out while encoding, on the second thread or (no thread to be
// had) the saving one: a message, the old file kept. The limits apply in a
// fresh copy of this program, its address space a little more than it has.
TEST_P(Files, FailedWritesLeaveTheOldFile)
{
    const QString file = path("a.txt");
    const QByteArray german = QByteArray("Gr\303\274\303\237e\r\n").repeated(700000);
    writeBytes(file, "alt");
    if (const char *limited = std::getenv("KELO_TEST_SAVE_LIMIT")) { // the fresh copy
        const QByteArrayList words = QByteArray(limited).split(' ');
        const qsizetype amount = words.value(1).toLongLong();
        TextWriteResult result;
        if (words.first() == "file") {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{65536, 65536};
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
            result = writeTextFile(file, QByteArray(amount, 'x'), {});
            EXPECT_TRUE(result.error.contains(" kann nicht vollständig geschrieben werden"));
        } else {
#if defined(__SANITIZE_ADDRESS__)
            GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#endif
            long sizeKiB = -1;
            for (const QByteArray &line : readBytes("/proc/self/status").split('\n')) {
                if (line.startsWith("VmSize:"))
                    sizeKiB = line.mid(7).trimmed().split(' ').value(0).toLong();
            }
            ASSERT_GE(sizeKiB, 0);
            const auto bytes = rlim_t(sizeKiB + amount) * 1024;
            const rlimit limit{bytes, bytes};
            ASSERT_EQ(::setrlimit(RLIMIT_AS, &limit), 0);
            result = writeTextFile(file, german, {Encoding::Windows1252});
            EXPECT_EQ(result.error, "Nicht genug Arbeitsspeicher, um " + file +
                                        " zu speichern. Die Datei bleibt, wie sie war.");
        }
        EXPECT_FALSE(result.ok) << result.error.toStdString();
        EXPECT_EQ(snapshot(), Entries({{"a.txt", "alt"}}));
        // The copy ends as any test run does: its folders are removed, and
        // its exit code says whether it passed.
        return;
    }
    if (::geteuid() != 0) { // root writes into any folder
        setMode(m_folder, S_IRUSR | S_IXUSR);
        const TextWriteResult result = writeTextFile(file, "neu", {});
        EXPECT_TRUE(result.error.startsWith("Die Datei " + file + " kann nicht angelegt werden"))
            << result.error.toStdString();
        setMode(m_folder, S_IRWXU);
        EXPECT_EQ(snapshot(), Entries({{"a.txt", "alt"}}));
    }
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string only =
        std::string("--gtest_filter=") + test->test_suite_name() + '.' + test->name();
    // Memory for less than a piece, and for a thread's stack but not its piece.
    for (const char *limit :
         {"file 300000", "file 65535", "file 5000000", "memory 512", "memory 8704"}) {
        EXPECT_EQ(exitCodeOf([&] {
                      ::setenv("KELO_TEST_SAVE_LIMIT", limit, 1);
                      ::execl("/proc/self/exe", "files_tests", only.c_str(),
                              static_cast<char *>(nullptr));
                      return 5;
                  }),
                  0)
            << limit;
    }
}

} // namespace
} // namespace kelo::test
