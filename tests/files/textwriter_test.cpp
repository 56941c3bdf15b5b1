// Reading and writing files: byte-exact round trips, large texts, links, and
// every refused or failed write leaving the old file exactly as it was.
#include "files/fileprocs.h"
#include "files/textwriter.h"
#include "platform/textbox.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace kelo::test {
namespace {

using Entries = QMap<QString, QByteArray>;

class Files : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Every entry (hidden ones too, so that a left-over temporary file shows)
    // with its link target or bytes.
    Entries snapshot() const
    {
        Entries entries;
        const auto filter = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        for (const QFileInfo &info : QDir(m_dir.path()).entryInfoList(filter))
            entries[info.fileName()] = info.isFile() && !info.isSymLink()
                                           ? readBytes(info.filePath())
                                           : QFile::encodeName(info.symLinkTarget());
        return entries;
    }

    QTemporaryDir m_dir;
};

// Loaded and saved twice: the same bytes, not one more. A vanished file is
// the empty text; a device reporting no size is read whole.
TEST_F(Files, ReadingAndRoundTrips)
{
    EXPECT_TRUE(ReadWholeFile(path("vanished.txt")).ok);
    EXPECT_FALSE(ReadWholeFile("/proc/self/stat").text.utf8.isEmpty());
    // Windows-1252, UTF-8 with and without the mark, LF only, mixed, NULs,
    // a lone CR or no line break at the end, the empty file.
    const QByteArray files[] = {"Gr\374\337e \200\r\n", "Grüße „Welt“ €\r\n",
                                "\xEF\xBB\xBFGrüße\r\n", "eins\nzwei\n",
                                "a\nb\xe4",               "a\r\nb\nc\rd\r\n",
                                "a\rb\r",                 QByteArray("a\0b\0\r\n", 6),
                                "",                       "ohne"};
    for (const QByteArray &bytes : files) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        const QString file = path("text.txt");
        writeBytes(file, bytes);
        for (int save = 0; save < 2; ++save) {
            const FileReadResult loaded = ReadWholeFile(file);
            const TextWriteResult written =
                writeTextFile(file, loaded.text.utf8, loaded.text.format);
            EXPECT_TRUE(loaded.ok && written.ok && !written.fellBackToUtf8);
            EXPECT_EQ(readBytes(file), bytes);
        }
        EXPECT_EQ(snapshot().keys(), QStringList{QStringLiteral("text.txt")});
    }
}

// An edited text ends as its file did: a text whose file ended with a line
// break gets that file's kind of break back when the user removed it; one
// whose file had none gets none; a new text gets CR LF.
TEST_F(Files, TheEndOfAnEditedTextFollowsItsFile)
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
    // Once written, the new text is a file that ends with CR LF.
    EXPECT_EQ(fresh.writtenFormat.finalBreak, FinalBreak::CrLf);
}

// Any bytes at all, loaded into the editor and saved without a change, come
// back exactly: random files up to 64 KB, heavy in what is easy to get wrong
// (CR, LF, NUL, the bytes 0x80-0x9F, UTF-8 sequences whole and cut, a mark).
TEST_F(Files, RandomFilesComeBackUnchangedThroughTheEditor)
{
    const QByteArray pieces[] = {"\r", "\n", "\r\n", QByteArray(1, '\0'), "\xC3\xA4", "\xE2\x82\xAC",
                                 "\xF0\x9F\x98\x80", "\xC3", "\xE2\x82", "\xEF\xBB\xBF", " "};
    std::mt19937 random(61226);
    TextBox editor;
    const QString file = path("zufall.txt");
    for (int round = 0; round < 300; ++round) {
        // Sizes spread from a few bytes to 64 KB; every third file pure UTF-8.
        const qsizetype size = qsizetype(1) << std::uniform_int_distribution(0, 16)(random);
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
        writeBytes(file, bytes);
        const FileReadResult loaded = ReadWholeFile(file);
        ASSERT_TRUE(loaded.ok);
        editor.loadUtf8(loaded.text.utf8);
        ASSERT_TRUE(writeTextFile(file, editor.utf8View(), loaded.text.format).ok);
        const QByteArray saved = readBytes(file);
        ASSERT_TRUE(saved == bytes) << "round " << round << ", " << bytes.size() << " bytes: "
                                    << bytes.left(200).toHex(' ').toStdString();
    }
}

// Written in pieces of 1 MiB: an ä or a CR LF across the cut of a long line
// must stay whole, and the mark comes only once. (Compared as a whole, so as
// not to print megabytes on a failure.)
TEST_F(Files, LargeTextsComeOutAsTheWholeTextEncodes)
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
}

// A link is followed and stays a link; as root, the replaced file keeps its
// owner and group, which would otherwise become root's.
TEST_F(Files, ReplacedFileKeepsItsLinksAndOwner)
{
    // link -> echt/unter/zwischen -> ../ziel.txt, both relative.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("echt/unter"));
    writeBytes(path("echt/ziel.txt"), "alt\r\n");
    ASSERT_TRUE(QFile::link("../ziel.txt", path("echt/unter/zwischen")));
    ASSERT_TRUE(QFile::link("echt/unter/zwischen", path("link")));
    ASSERT_TRUE(QFile::link("kommt.txt", path("offen")));
    const QByteArray target = QFile::encodeName(path("echt/ziel.txt"));
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(target.constData(), 4321, 4322) == 0);

    ASSERT_TRUE(writeTextFile(path("link"), "neu", {}).ok);
    EXPECT_EQ(readBytes(path("echt/ziel.txt")), "neu\r\n");
    EXPECT_EQ(QFile::symLinkTarget(path("link")), path("echt/unter/zwischen"));
    struct stat after {};
    ASSERT_EQ(::stat(target.constData(), &after), 0);
    EXPECT_TRUE(!root || (after.st_uid == 4321 && after.st_gid == 4322)) << after.st_uid;

    // A dangling link: the file it points to is made.
    ASSERT_TRUE(writeTextFile(path("offen"), "da", {}).ok);
    EXPECT_EQ(readBytes(path("kommt.txt")), "da\r\n");
    EXPECT_TRUE(QFileInfo(path("offen")).isSymLink());
}

// Refused before anything is touched, with the reason in German.
TEST_F(Files, RefusedWritesTouchNothingAndGiveTheReason)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("ordner"));
    writeBytes(path("nur.txt"), "alt");
    QFile::setPermissions(path("nur.txt"), QFile::ReadOwner);
    writeBytes(path(QString(250, u'n')), "alt");
    ASSERT_TRUE(QFile::link("b", path("a")) && QFile::link("a", path("b")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("rohr")).constData(), 0666), 0);
    const Entries before = snapshot();
    const std::pair<QString, QString> cases[] = {
        {"ordner", "ist ein Ordner"},
        {"fehlt/a.txt", "gibt es nicht"},
        {"nur.txt", "schreibgeschützt"}, // also for root: the user marked it read-only
        {QString(250, u'n'), "zu lang"}, // QSaveFile can create it but not replace it
        {"a", "im Kreis"},
        {"rohr", "keine gewöhnliche Datei"}}; // root would replace the pipe by a file
    for (const auto &[target, reason] : cases) {
        const TextWriteResult result = writeTextFile(path(target), "neuer Text", {});
        EXPECT_FALSE(result.ok) << target.toStdString();
        EXPECT_TRUE(result.error.contains(reason)) << result.error.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
}

// A folder without write permission, and a full disk (files limited to 64 KiB
// in a child process) after the text or only before its final line break.
TEST_F(Files, FailedWritesLeaveTheOldFile)
{
    writeBytes(path("a.txt"), "alt");
    if (::geteuid() != 0) { // root writes into any folder
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_FALSE(writeTextFile(path("a.txt"), "neu", {}).ok);
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(snapshot(), Entries({{"a.txt", "alt"}}));
    }
    for (const qsizetype size : {300000, 65535}) {
        const pid_t child = ::fork();
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{65536, 65536};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(3);
            const TextWriteResult result = writeTextFile(path("a.txt"), QByteArray(size, 'x'), {});
            ::_exit(result.ok ? 0 : result.error.contains(QStringLiteral("vollständig")) ? 1 : 2);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_EQ(snapshot(), Entries({{"a.txt", "alt"}}));
    }
}

} // namespace
} // namespace kelo::test
