// Reading and writing files: byte-exact round trips, large texts, links, and
// refused or failed writes leaving the old file as it was; all of it also in
// a folder whose name is not UTF-8.
#include "files/fileprocs.h"
#include "files/textwriter.h"
#include "platform/filenames.h"
#include "platform/textbox.h"
#include "support/testenv.h"

#include <QDir>
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

bool isLink(const QString &path)
{
    struct stat status {};
    return ::lstat(native(path).constData(), &status) == 0 && S_ISLNK(status.st_mode);
}

// Where a link points, as an absolute path.
QString linkTarget(const QString &link)
{
    char raw[PATH_MAX];
    const ssize_t length = ::readlink(native(link).constData(), raw, sizeof raw);
    const QString target = decodeFileName(QByteArrayView(raw, std::max<ssize_t>(length, 0)));
    return QDir::cleanPath(
        target.startsWith(u'/') ? target : link.left(link.lastIndexOf(u'/') + 1) + target);
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
    // link target or bytes.
    Entries snapshot() const
    {
        Entries entries;
        for (const QByteArray &name : test::rawEntries(native(m_folder))) {
            const QString entry = path(decodeFileName(name));
            struct stat status {};
            EXPECT_EQ(::lstat(native(entry).constData(), &status), 0);
            entries[decodeFileName(name)] = S_ISREG(status.st_mode)   ? readBytes(entry)
                                            : S_ISLNK(status.st_mode) ? native(linkTarget(entry))
                                                                      : QByteArray();
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
    bool refuseBegin = false;
    qsizetype appendsBeforeRefusal = -1; // -1: never refuse
    std::function<void()> onFirstBegin;  // between the two readings

    TextReceiver receiver()
    {
        return {[this](qsizetype bytes) {
                    if (++begins == 1 && onFirstBegin)
                        onFirstBegin();
                    announced = bytes;
                    text.clear();
                    return !refuseBegin;
                },
                [this](QByteArrayView utf8) {
                    if (appendsBeforeRefusal == 0)
                        return false;
                    --appendsBeforeRefusal;
                    text.append(utf8);
                    return true;
                }};
    }
};

// Random files up to 4 KB, heavy in CR, LF, NUL, 0x80-0x9F, whole and cut
// UTF-8 and marks; every third one pure UTF-8.
std::vector<QByteArray> randomFiles()
{
    const QByteArray pieces[] = {"\r", "\n", "\r\n", QByteArray(1, '\0'), "\xC3\xA4", "\xE2\x82\xAC",
                                 "\xF0\x9F\x98\x80", "\xC3", "\xE2\x82", "\xEF\xBB\xBF", " "};
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
    EXPECT_TRUE(ReadWholeFile(path("vanished.txt")).ok);
    EXPECT_FALSE(ReadWholeFile("/proc/self/stat").text.utf8.isEmpty());
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
    }

    Collected device;
    EXPECT_TRUE(ReadFileInPieces("/proc/self/stat", device.receiver(), 2).ok);
    EXPECT_TRUE(device.text.startsWith(QByteArray::number(::getpid()).append(' ')));
    Collected vanished;
    EXPECT_TRUE(ReadFileInPieces(path("vanished.txt"), vanished.receiver()).ok);
    EXPECT_EQ(vanished.text, "");
    Collected folder;
    const FileReadResult ofFolder = ReadFileInPieces(m_folder, folder.receiver());
    EXPECT_FALSE(ofFolder.ok);
    EXPECT_EQ(ofFolder.error, ReadWholeFile(m_folder).error);
}

// A file written between the two readings is read whole again when its form
// changed (a CR came in, which the Unix form would double), else taken as is.
TEST_P(Files, ReadingInPiecesNoticesAFileChangedMeanwhile)
{
    const QString file = path("text.txt");
    const std::pair<QByteArray, int> changes[] = {{"ab\r\n", 2}, {"xyz\n", 1}};
    for (const auto &[changed, begins] : changes) {
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

// The receiver running out of memory, at the start or on the way.
TEST_P(Files, ReadingInPiecesReportsMemoryRunningOut)
{
    const QString file = path("text.txt");
    writeBytes(file, "eins\r\nzwei\r\n");
    const QString message =
        QStringLiteral("Nicht genug Arbeitsspeicher, um %1 zu lesen.").arg(file);
    Collected atBegin;
    atBegin.refuseBegin = true;
    Collected onTheWay;
    onTheWay.appendsBeforeRefusal = 2;
    for (Collected *collected : {&atBegin, &onTheWay}) {
        const FileReadResult read = ReadFileInPieces(file, collected->receiver(), 4);
        EXPECT_FALSE(read.ok);
        EXPECT_EQ(read.error, message);
    }
    EXPECT_EQ(onTheWay.text, "eins\r\nzw");
}

// A text longer than the receiver holds is refused: by the file's size before
// reading, or when it grows on its way in (Windows-1252, LF to CR LF, a UTF-8
// start disproved later). The mark does not count; exactly the capacity fits.
TEST_P(Files, ReadingInPiecesRefusesATextTooLong)
{
    const QString file = path("text.txt");
    const QString message =
        QStringLiteral("Sie ist zu groß (Kelo kann höchstens 2 GiB Text halten).");
    // A receiver that, like the editor, cannot even begin a longer text.
    const auto holdingTen = [](Collected &collected, int *told = nullptr) {
        TextReceiver receiver = collected.receiver();
        receiver.capacity = 10;
        receiver.begin = [begin = receiver.begin](qsizetype bytes) {
            return bytes <= 10 && begin(bytes);
        };
        receiver.progress = [told](qint64, qint64) {
            if (told)
                ++*told;
            return true;
        };
        return receiver;
    };
    const QByteArray tooLong[] = {"0123456789abcd", "\xe4\xe4\xe4\xe4\xe4\xe4", "a\nb\nc\nd\ne\n",
                                  "ab\r\n\xe4\xe4\xe4\xe4\xe4"};
    const QByteArray fitting[] = {"\xEF\xBB\xBF"
                                  "01234567\r\n",
                                  "01234567\r\n", "a\nb\nc\xe4"};
    for (const qsizetype pieceSize : {3, 1 << 20}) {
        for (const QByteArray &bytes : tooLong) {
            SCOPED_TRACE(::testing::PrintToString(bytes));
            writeBytes(file, bytes);
            Collected collected;
            int told = 0;
            const FileReadResult read =
                ReadFileInPieces(file, holdingTen(collected, &told), pieceSize);
            EXPECT_FALSE(read.ok || read.cancelled);
            EXPECT_EQ(read.error, message);
            if (bytes.size() - 3 > 10) {
                EXPECT_EQ(told, 0); // not read at all
            }
        }
        for (const QByteArray &bytes : fitting) {
            SCOPED_TRACE(::testing::PrintToString(bytes));
            writeBytes(file, bytes);
            Collected collected;
            ASSERT_TRUE(ReadFileInPieces(file, holdingTen(collected), pieceSize).ok);
            EXPECT_EQ(collected.text, ReadWholeFile(file).text.utf8);
        }
    }
    Collected device;
    EXPECT_EQ(ReadFileInPieces("/proc/self/stat", holdingTen(device)).error, message);
}

// Progress rises to the total (two readings of the file, however often it was
// read), and a stop at any step cancels the reading without an error.
TEST_P(Files, ReadingInPiecesTellsProgressAndStops)
{
    const QString file = path("text.txt");
    const QByteArray files[] = {"Gr\374\337e \200\r\nzwei\r\n", "a\r\nGrüße\r\n€\r\n",
                                "a\r\nzwei \xe4\r\n", "a\nb\nc\nd\n", "x"};
    for (const QByteArray &bytes : files) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        writeBytes(file, bytes);
        Collected collected;
        TextReceiver receiver = collected.receiver();
        QList<qint64> steps;
        receiver.progress = [&](qint64 done, qint64 total) {
            EXPECT_EQ(total, 2 * bytes.size());
            EXPECT_TRUE(steps.isEmpty() || steps.last() <= done);
            steps.append(done);
            return true;
        };
        ASSERT_TRUE(ReadFileInPieces(file, receiver, 3).ok);
        EXPECT_EQ(collected.text, ReadWholeFile(file).text.utf8);
        ASSERT_FALSE(steps.isEmpty());
        EXPECT_EQ(steps.last(), 2 * bytes.size());
        EXPECT_EQ(steps.count(2 * bytes.size()), 1);

        for (const qsizetype stopAt : {qsizetype(1), steps.size() / 2 + 1, steps.size()}) {
            SCOPED_TRACE("stopped at step " + std::to_string(stopAt));
            qsizetype step = 0;
            receiver.progress = [&](qint64, qint64) { return ++step < stopAt; };
            const FileReadResult read = ReadFileInPieces(file, receiver, 3);
            EXPECT_FALSE(read.ok);
            EXPECT_TRUE(read.cancelled);
            EXPECT_TRUE(read.error.isEmpty());
            EXPECT_EQ(step, stopAt);
        }
    }

    // What is read whole tells its end once; a failure is no cancel.
    Collected device;
    TextReceiver receiver = device.receiver();
    int told = 0;
    receiver.progress = [&](qint64 done, qint64 total) {
        ++told;
        return done == total;
    };
    EXPECT_TRUE(ReadFileInPieces("/proc/self/stat", receiver).ok);
    EXPECT_EQ(told, 1);
    const FileReadResult ofFolder = ReadFileInPieces(m_folder, receiver);
    EXPECT_FALSE(ofFolder.ok || ofFolder.cancelled);
}

// An edited text gets its file's final break back when the user removed it,
// none when the file had none; a new text gets CR LF.
TEST_P(Files, TheEndOfAnEditedTextFollowsItsFile)
{
    const std::tuple<QByteArray, QByteArray, QByteArray> cases[] = {
        {"a\r\nb\r\n", "a\r\nb", "a\r\nb\r\n"},
        {"eins\nzwei\n", "eins\r\nzwei", "eins\nzwei\n"},
        {"a\r\nb\n", "a\r\nb", "a\r\nb\n"},
        {"a\rb\r", "a\rb", "a\rb\r"},
        {"ohne", "ohne Ende", "ohne Ende"},
        {"ohne", "mit\r\n", "mit\r\n"},
        {"", "", ""}};
    for (const auto &[original, edited, saved] : cases) {
        SCOPED_TRACE(::testing::PrintToString(original + " / " + edited));
        writeBytes(path("text.txt"), original);
        const FileReadResult loaded = ReadWholeFile(path("text.txt"));
        ASSERT_TRUE(writeTextFile(path("text.txt"), edited, loaded.text.format).ok);
        EXPECT_EQ(readBytes(path("text.txt")), saved);
    }
    const TextWriteResult fresh = writeTextFile(path("neu.txt"), "", TextFormat{});
    ASSERT_TRUE(fresh.ok);
    EXPECT_EQ(readBytes(path("neu.txt")), "\r\n");
    EXPECT_EQ(fresh.writtenFormat.finalBreak, FinalBreak::CrLf);
}

// A 10 MB line (cut by the pieces inside its characters) and a million empty
// lines come back byte for byte through the editor.
TEST_P(Files, LongLinesAndManyEmptyLinesComeBackThroughTheEditor)
{
    if (!GetParam().isEmpty())
        GTEST_SKIP() << "the folder's name plays no part here";
    // "schön " is seven bytes in the editor: the first cut falls inside the ö.
    const std::pair<QByteArray, QByteArray> lines[] = {
        {"", "sch\366n "}, {"", "Grüße „Welt“ € "}, {"\xEF\xBB\xBF", "Grüße 😀 "}};
    std::vector<std::pair<std::string, QByteArray>> files;
    for (const auto &[mark, word] : lines)
        files.emplace_back("one line", mark + word.repeated(10'000'000 / word.size()) + "Ende");
    files.front().second += "\r\n";
    files.emplace_back("empty CR LF lines", QByteArray("\r\n").repeated(1'000'000));
    files.emplace_back("empty LF lines", QByteArray("\n").repeated(1'000'000) + "x");
    files.emplace_back("empty CR lines", QByteArray("\r").repeated(1'000'000));
    const QString file = path("lang.txt");
    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name);
        writeBytes(file, bytes);
        TextBox editor;
        const FileReadResult loaded = ReadFileInPieces(
            file, {[&editor](qsizetype size) { return editor.beginLoad(size); },
                   [&editor](QByteArrayView utf8) { return editor.appendLoad(utf8); }});
        ASSERT_TRUE(loaded.ok);
        editor.finishLoad();
        ASSERT_TRUE(writeTextFile(file, editor.utf8View(), loaded.text.format).ok);
        const QByteArray saved = readBytes(file);
        EXPECT_EQ(saved.size(), bytes.size());
        EXPECT_TRUE(saved == bytes); // not printed: megabytes
    }
}

// Written in pieces of 1 MiB: an ä or CR LF across a cut stays whole, the mark
// comes once.
TEST_P(Files, LargeTextsComeOutAsTheWholeTextEncodes)
{
    const QByteArray longLine((1 << 20) - 1, 'a');
    const std::pair<QByteArray, TextFormat> cases[] = {
        {longLine + "\xc3\xa4 Rest", {Encoding::Windows1252}},
        {longLine + "\r\nb", {Encoding::Utf8, false, true}},
        {QByteArray("Stra\303\237e\r\n").repeated(400000), {Encoding::Utf8, true, true}}};
    for (const auto &[text, format] : cases) {
        ASSERT_TRUE(writeTextFile(path("gross.txt"), text, format).ok);
        EXPECT_TRUE(readBytes(path("gross.txt")) ==
                    encodeText(text, format).bytes + finalLineBreak(text, format))
            << text.size();
    }
    // A character Windows-1252 lacks in the last piece: the whole file is UTF-8.
    const QByteArray german = QByteArray("Gr\303\274\303\237e\r\n").repeated(300000);
    const QByteArray omega = german + "\316\251";
    const TextWriteResult written =
        writeTextFile(path("gross.txt"), omega, {Encoding::Windows1252});
    ASSERT_TRUE(written.ok);
    EXPECT_TRUE(written.fellBackToUtf8);
    EXPECT_TRUE(readBytes(path("gross.txt")) == omega + "\r\n");
    ASSERT_TRUE(writeTextFile(path("gross.txt"), german, {Encoding::Windows1252}).ok);
    EXPECT_TRUE(readBytes(path("gross.txt")) == QByteArray("Gr\374\337e\r\n").repeated(300000));
}

// A link is followed and stays a link; the file keeps its permissions and,
// as root, its owner and group.
TEST_P(Files, ReplacedFileKeepsItsLinksAndOwner)
{
    // link -> echt/unter/zwischen -> ../ziel.txt, both relative.
    makeRawFolder(native(path("echt")));
    makeRawFolder(native(path("echt/unter")));
    writeBytes(path("echt/ziel.txt"), "alt\r\n");
    ASSERT_TRUE(makeLink("../ziel.txt", path("echt/unter/zwischen")));
    ASSERT_TRUE(makeLink("echt/unter/zwischen", path("link")));
    ASSERT_TRUE(makeLink("kommt.txt", path("offen")));
    const QByteArray target = native(path("echt/ziel.txt"));
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(target.constData(), 4321, 4322) == 0);
    setMode(path("echt/ziel.txt"), 0640);

    ASSERT_TRUE(writeTextFile(path("link"), "neu", {}).ok);
    EXPECT_EQ(readBytes(path("echt/ziel.txt")), "neu\r\n");
    EXPECT_EQ(linkTarget(path("link")), path("echt/unter/zwischen"));
    struct stat after {};
    ASSERT_EQ(::stat(target.constData(), &after), 0);
    EXPECT_TRUE(!root || (after.st_uid == 4321 && after.st_gid == 4322)) << after.st_uid;
    EXPECT_EQ(after.st_mode & 07777, 0640u);

    // A dangling link: the file it points to is made.
    ASSERT_TRUE(writeTextFile(path("offen"), "da", {}).ok);
    EXPECT_EQ(readBytes(path("kommt.txt")), "da\r\n");
    EXPECT_TRUE(isLink(path("offen")));
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
        {"ordner", "ist ein Ordner"},
        {"fehlt/a.txt", "gibt es nicht"},
        {"nur.txt", "schreibgeschützt"}, // also for root: the user marked it read-only
        {latin1, "schreibgeschützt"},
        {QString(250, u'n'), "zu lang"}, // QSaveFile can create it but not replace it
        {decodeFileName(QByteArray(250, '\xE4')), "zu lang"},
        {"a", "im Kreis"},
        {"rohr", "keine gewöhnliche Datei"}}; // root would replace the pipe by a file
    for (const auto &[target, reason] : cases) {
        const TextWriteResult result = writeTextFile(path(target), "neuer Text", {});
        EXPECT_FALSE(result.ok) << target.toStdString();
        EXPECT_TRUE(result.error.contains(reason)) << result.error.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
}

// A Latin-1 name is read and replaced under exactly that name, also through a
// link, leaving nothing beside it; 200 Latin-1 letters fit (400 in UTF-8).
TEST_P(Files, AFileWhoseOwnNameIsNotUtf8IsWrittenUnderThatName)
{
    const QByteArray raw = native(m_folder) + "/\xE4rger.txt";
    const QString file = decodeFileName(raw);
    test::writeRaw(raw, "Gr\374\337e\r\n");
    const FileReadResult loaded = ReadWholeFile(file);
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.text.utf8, "Grüße\r\n");
    ASSERT_TRUE(writeTextFile(file, "Grüße und mehr\r\n", loaded.text.format).ok);
    EXPECT_EQ(test::readRaw(raw), "Gr\374\337e und mehr\r\n");
    EXPECT_EQ(test::rawEntries(native(m_folder)), QByteArrayList{"\xE4rger.txt"});

    const QString link = path(decodeFileName("\xC4rger-Verkn\xFCpfung"));
    ASSERT_TRUE(makeLink(decodeFileName("\xE4rger.txt"), link));
    ASSERT_TRUE(writeTextFile(link, "neu", {}).ok);
    EXPECT_EQ(test::readRaw(raw), "neu\r\n");
    EXPECT_TRUE(isLink(link));

    const QByteArray longName(200, '\xE4');
    ASSERT_TRUE(writeTextFile(path(decodeFileName(longName)), "lang", {}).ok);
    EXPECT_EQ(test::readRaw(native(m_folder) + '/' + longName), "lang\r\n");
}

// A folder without write permission; a full disk (files limited to 64 KiB)
// after the text, just before its final break, or with pieces encoded ahead.
TEST_P(Files, FailedWritesLeaveTheOldFile)
{
    writeBytes(path("a.txt"), "alt");
    if (::geteuid() != 0) { // root writes into any folder
        setMode(m_folder, S_IRUSR | S_IXUSR);
        EXPECT_FALSE(writeTextFile(path("a.txt"), "neu", {}).ok);
        setMode(m_folder, S_IRWXU);
        EXPECT_EQ(snapshot(), Entries({{"a.txt", "alt"}}));
    }
    for (const qsizetype size : {300000, 65535, 5000000}) {
        EXPECT_EQ(exitCodeOf([&] {
                      std::signal(SIGXFSZ, SIG_IGN);
                      const rlimit limit{65536, 65536};
                      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                          return 3;
                      const TextWriteResult result =
                          writeTextFile(path("a.txt"), QByteArray(size, 'x'), {});
                      return result.ok ? 0 : result.error.contains("vollständig") ? 1 : 2;
                  }),
                  1)
            << size;
        EXPECT_EQ(snapshot(), Entries({{"a.txt", "alt"}}));
    }
}

// A long save tells its progress up to the whole (from 0 again when falling
// back to UTF-8); stopped at any step, even the last, it leaves the old file,
// or none, as it was.
TEST_P(Files, AStoppedSaveLeavesTheOldFile)
{
    const QByteArray text = QByteArray("Zeile mit \xc3\xa4 und mehr\r\n").repeated(120'000);
    const QByteArray lastLineInUtf8 = "Grüße 😀\r\n";
    TextFormat cp1252;
    cp1252.encoding = Encoding::Windows1252;
    for (const QByteArray &saved : {text, QByteArray(text + lastLineInUtf8)}) {
        SCOPED_TRACE(saved.size());
        QList<qint64> told;
        const TextWriteResult written =
            writeTextFile(path("a.txt"), saved, cp1252, [&told](qint64 done) {
                told.append(done);
                return true;
            });
        ASSERT_TRUE(written.ok);
        EXPECT_FALSE(written.cancelled);
        EXPECT_GE(told.size(), 3);
        EXPECT_EQ(told.last(), saved.size());
        qsizetype restart = 1;
        while (restart < told.size() && told[restart] > told[restart - 1])
            ++restart;
        EXPECT_EQ(restart == told.size(), saved == text); // the fallback starts over
        EXPECT_TRUE(std::is_sorted(told.begin() + restart, told.end()));

        for (const bool existed : {true, false}) {
            const qsizetype steps = told.size();
            for (const qsizetype stopAt : {qsizetype(1), steps / 2, steps}) {
                SCOPED_TRACE(std::to_string(stopAt) + (existed ? " over a file" : " new"));
                if (existed)
                    writeBytes(path("a.txt"), "alt");
                else
                    ::unlink(native(path("a.txt")).constData());
                qsizetype step = 0;
                const TextWriteResult stopped =
                    writeTextFile(path("a.txt"), saved, cp1252,
                                  [&step, stopAt](qint64) { return ++step < stopAt; });
                EXPECT_FALSE(stopped.ok);
                EXPECT_TRUE(stopped.cancelled);
                EXPECT_EQ(step, stopAt);
                EXPECT_EQ(stopped.error,
                          "Das Speichern wurde abgebrochen: Die Datei " + path("a.txt") +
                              (existed ? " bleibt, wie sie war." : " wurde nicht angelegt."));
                EXPECT_EQ(snapshot(), existed ? Entries({{"a.txt", "alt"}}) : Entries());
            }
        }
    }
}

// Memory running out while encoding, on the second thread or (no thread to be
// had) the saving one: a message, the old file kept. It runs in a fresh copy
// of this program with its address space limited to a little more than it has.
TEST_P(Files, RunningOutOfMemoryWhileSavingLeavesTheOldFile)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
#else
    const QByteArray text = QByteArray("Gr\303\274\303\237e\r\n").repeated(700000);
    writeBytes(path("a.txt"), "alt");
    if (const char *room = std::getenv("KELO_TEST_SAVE_ROOM_KIB")) { // the fresh copy
        const QString target = path("a.txt");
        const QString message = QStringLiteral("Nicht genug Arbeitsspeicher, um %1 zu speichern. "
                                               "Die Datei bleibt, wie sie war.")
                                    .arg(target);
        long sizeKiB = -1;
        for (const QByteArray &line : readBytes("/proc/self/status").split('\n')) {
            if (line.startsWith("VmSize:"))
                sizeKiB = line.mid(7).trimmed().split(' ').value(0).toLong();
        }
        ASSERT_GE(sizeKiB, 0);
        const auto bytes = rlim_t(sizeKiB + std::atol(room)) * 1024;
        const rlimit limit{bytes, bytes};
        ASSERT_EQ(::setrlimit(RLIMIT_AS, &limit), 0);
        const TextWriteResult result = writeTextFile(target, text, {Encoding::Windows1252});
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, message);
        EXPECT_EQ(snapshot(), Entries({{"a.txt", "alt"}}));
        // The copy ends as any test run does: its folders are removed, and
        // its exit code says whether it passed.
        return;
    }
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string only =
        std::string("--gtest_filter=") + test->test_suite_name() + '.' + test->name();
    // Room for less than a piece, and for a thread's stack but not its piece.
    for (const char *room : {"512", "8704"}) {
        EXPECT_EQ(exitCodeOf([&] {
                      ::setenv("KELO_TEST_SAVE_ROOM_KIB", room, 1);
                      ::execl("/proc/self/exe", "files_tests", only.c_str(),
                              static_cast<char *>(nullptr));
                      return 5;
                  }),
                  0)
            << room;
    }
#endif
}

} // namespace
} // namespace kelo::test
