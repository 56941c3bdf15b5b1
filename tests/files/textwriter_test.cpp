// Reading and writing files: byte-exact round trips, the final line break,
// pieces of a large text, links, and every refused or failed write leaving
// the old file exactly as it was.
#include "files/fileprocs.h"
#include "files/textwriter.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelo::test {
namespace {

class Files : public ::testing::Test {
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Every entry (hidden ones too, so that a left-over temporary file shows)
    // with its link target or bytes.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> entries;
        const auto filter = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        for (const QFileInfo &info : QDir(m_dir.path()).entryInfoList(filter))
            entries[info.fileName()] = info.isSymLink() ? QFile::encodeName(info.symLinkTarget())
                                       : info.isFile()  ? readBytes(info.filePath())
                                                        : QByteArray();
        return entries;
    }

    QTemporaryDir m_dir;
};

template <typename Case> std::string caseName(const ::testing::TestParamInfo<Case> &info)
{
    return info.param.name;
}

TEST_F(Files, ExistenceAndReading)
{
    writeBytes(path("a.txt"), "a");
    ASSERT_TRUE(QFile::link(path("a.txt"), path("link")));
    ASSERT_TRUE(QFile::link(path("gone"), path("dangling")));
    EXPECT_TRUE(FileExists(path("a.txt")) && FileExists(path("link")));
    EXPECT_FALSE(FileExists(m_dir.path()) || FileExists(path("dangling")));
    EXPECT_EQ(joinPath("/", "a.txt"), QStringLiteral("/a.txt"));

    // Vanished since it was listed: the empty text, no error.
    const FileReadResult missing = ReadWholeFile(path("vanished.txt"));
    EXPECT_TRUE(missing.ok && missing.text.utf8.isEmpty());
    const FileReadResult device = ReadWholeFile("/proc/self/stat"); // reports no size
    EXPECT_TRUE(device.ok && !device.text.utf8.isEmpty());
    if (::geteuid() != 0) { // root reads it anyway
        QFile::setPermissions(path("a.txt"), QFile::WriteOwner);
        const FileReadResult unreadable = ReadWholeFile(path("a.txt"));
        EXPECT_FALSE(unreadable.ok || unreadable.error.isEmpty());
    }
}

// ---- Round trips: loaded and saved unchanged, twice ---------------------------

struct RoundTrip {
    const char *name;
    QByteArray file, saved;
};

class FilesRoundTrip : public Files, public ::testing::WithParamInterface<RoundTrip> {};

const QByteArray bom = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfText, FilesRoundTrip,
    ::testing::Values(
        RoundTrip{"Windows1252", "Gr\374\337e \200\r\n", "Gr\374\337e \200\r\n"},
        RoundTrip{"Utf8", "Grüße „Welt“ €\r\n", "Grüße „Welt“ €\r\n"},
        RoundTrip{"Utf8WithMark", bom + "Grüße\r\n", bom + "Grüße\r\n"},
        RoundTrip{"Utf8WithMarkNoFinalBreak", bom + "x", bom + "x\r\n"},
        RoundTrip{"LfOnly", "eins\nzwei\n", "eins\nzwei\n"},
        RoundTrip{"LfOnlyNoFinalBreak", "eins\nzw\xe4i", "eins\nzw\xe4i\n"},
        RoundTrip{"Mixed", "a\r\nb\nc\rd\r\n", "a\r\nb\nc\rd\r\n"},
        RoundTrip{"EndingInLoneCr", "a\rb\r", "a\rb\r"},
        RoundTrip{"MixedNoFinalBreak", "a\nb\r\nc", "a\nb\r\nc\r\n"},
        RoundTrip{"NulBytes", QByteArray("a\0b\0\r\n", 6), QByteArray("a\0b\0\r\n", 6)},
        RoundTrip{"NulInWindows1252", QByteArray("\0\xe4", 2), QByteArray("\0\xe4\r\n", 4)},
        RoundTrip{"Empty", "", "\r\n"}),
    caseName<RoundTrip>);

TEST_P(FilesRoundTrip, SavedBytesLoadBackAndASecondSaveChangesNothing)
{
    const QString file = path("text.txt");
    writeBytes(file, GetParam().file);
    for (int save = 0; save < 2; ++save) {
        const FileReadResult loaded = ReadWholeFile(file);
        ASSERT_TRUE(loaded.ok);
        const TextWriteResult written = writeTextFile(file, loaded.text.utf8, loaded.text.format);
        ASSERT_TRUE(written.ok) << written.error.toStdString();
        EXPECT_FALSE(written.fellBackToUtf8);
        EXPECT_EQ(readBytes(file), GetParam().saved);
    }
    EXPECT_EQ(snapshot().keys(), QStringList{QStringLiteral("text.txt")});
}

// ---- Large texts go out in pieces of 1 MiB; the file must not tell ------------

struct LargeText {
    const char *name;
    QByteArray line; // repeated, then the tail: in the editor's form
    qsizetype times;
    QByteArray tail;
    TextFormat format;
};

class FilesLargeText : public Files, public ::testing::WithParamInterface<LargeText> {};

constexpr qsizetype mebibyte = 1 << 20;

INSTANTIATE_TEST_SUITE_P(
    AcrossPieces, FilesLargeText,
    ::testing::Values(
        // A line longer than a piece, an ä (two bytes) across the cut.
        LargeText{
            "CharacterAcrossTheCut", "a", mebibyte - 1, "\xc3\xa4 Rest", {Encoding::Windows1252}},
        // CR the last byte of a piece: its LF must not make a second break.
        LargeText{"CrLfAcrossTheCut", "a", mebibyte - 1, "\r\nb", {Encoding::Utf8, false, true}},
        // The mark starts the first piece only.
        LargeText{
            "MarkAndUnixLineEnds", "Stra\303\237e\r\n", 400000, "", {Encoding::Utf8, true, true}}),
    caseName<LargeText>);

TEST_P(FilesLargeText, FileHoldsWhatTheWholeTextEncodesTo)
{
    const LargeText &c = GetParam();
    const QByteArray text = c.line.repeated(c.times) + c.tail;
    ASSERT_TRUE(writeTextFile(path("gross.txt"), text, c.format).ok);
    // Compared as a whole, without printing megabytes on a failure.
    EXPECT_TRUE(readBytes(path("gross.txt")) ==
                encodeText(text, c.format).bytes + finalLineBreak(text, c.format));
}

// ---- Links and what a replaced file keeps -------------------------------------

TEST_F(Files, LinksAreFollowedAndStayLinks)
{
    // link -> echt/unter/zwischen -> ../ziel.txt, both relative.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("echt/unter"));
    writeBytes(path("echt/ziel.txt"), "alt\r\n");
    ASSERT_TRUE(QFile::link("../ziel.txt", path("echt/unter/zwischen")));
    ASSERT_TRUE(QFile::link("echt/unter/zwischen", path("link")));
    ASSERT_TRUE(QFile::link("kommt.txt", path("offen")));

    const TextWriteResult result = writeTextFile(path("link"), "neu", {});
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readBytes(path("echt/ziel.txt")), "neu\r\n");
    EXPECT_EQ(QFile::symLinkTarget(path("link")), path("echt/unter/zwischen"));
    EXPECT_TRUE(QFileInfo(path("echt/unter/zwischen")).isSymLink());

    // A dangling link: the file it points to is made.
    ASSERT_TRUE(writeTextFile(path("offen"), "da", {}).ok);
    EXPECT_EQ(readBytes(path("kommt.txt")), "da\r\n");
    EXPECT_TRUE(QFileInfo(path("offen")).isSymLink());
}

// As root, the owner and group of a replaced file would otherwise change.
TEST_F(Files, ReplacedFileKeepsItsOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root may give a file away";
    const QByteArray file = QFile::encodeName(path("privat.txt"));
    writeBytes(path("privat.txt"), "alt");
    ASSERT_EQ(::chown(file.constData(), 4321, 4322), 0);
    ASSERT_TRUE(writeTextFile(path("privat.txt"), "neu", {}).ok);
    struct stat after {};
    ASSERT_EQ(::stat(file.constData(), &after), 0);
    EXPECT_EQ(after.st_uid, 4321u);
    EXPECT_EQ(after.st_gid, 4322u);
}

// ---- Refusals: nothing is touched and the reason is given ---------------------

struct Refusal {
    const char *name;
    std::string target;
    const char *reason; // part of the German message
};

class FilesRefusal : public Files, public ::testing::WithParamInterface<Refusal> {};

INSTANTIATE_TEST_SUITE_P(
    OldFileStaysWhole, FilesRefusal,
    ::testing::Values(Refusal{"Folder", "ordner", "ist ein Ordner"},
                      Refusal{"MissingFolder", "fehlt/a.txt", "gibt es nicht"},
                      Refusal{"FileInPlaceOfAFolder", "datei/a.txt", "ist kein Ordner"},
                      // Also for root, who could write it: the user marked it read-only.
                      Refusal{"ReadOnlyFile", "nur.txt", "schreibgeschützt"},
                      Refusal{"NameTooLong", std::string(256, 'n'), "zu lang"},
                      // QSaveFile can create such a name but not replace it.
                      Refusal{"ExistingNameTooLongToReplace", std::string(250, 'n'), "zu lang"},
                      Refusal{"LinkLoop", "a", "im Kreis"},
                      // Root would otherwise replace the pipe by an ordinary file.
                      Refusal{"Fifo", "rohr", "keine gewöhnliche Datei"}),
    caseName<Refusal>);

TEST_P(FilesRefusal, NothingIsTouchedAndTheReasonIsGiven)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("ordner"));
    writeBytes(path("datei"), "x");
    writeBytes(path("nur.txt"), "alt");
    QFile::setPermissions(path("nur.txt"), QFile::ReadOwner);
    writeBytes(path(QString(250, u'n')), "alt");
    ASSERT_TRUE(QFile::link("b", path("a")) && QFile::link("a", path("b")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("rohr")).constData(), 0666), 0);
    const auto before = snapshot();

    const TextWriteResult result =
        writeTextFile(path(QString::fromStdString(GetParam().target)), "neuer Text", {});

    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QString::fromUtf8(GetParam().reason)))
        << result.error.toStdString();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(Files, FolderWithoutWritePermissionIsAFailure)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    writeBytes(path("a.txt"), "alt");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(writeTextFile(path("a.txt"), "neu", {}).ok);
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(snapshot().keys(), QStringList{QStringLiteral("a.txt")});
    EXPECT_EQ(readBytes(path("a.txt")), "alt");
}

// ---- A full disk ------------------------------------------------------------------

// Writes in a child process whose files may not grow beyond a limit, as on a
// full disk. Returns 0 saved, 1 refused as incomplete, 2 any other failure.
int writeWithFileSizeLimit(const QString &file, const QByteArray &text, rlim_t limit)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &rl) != 0)
            ::_exit(3);
        const TextWriteResult result = writeTextFile(file, text, {});
        ::_exit(result.ok ? 0 : result.error.contains(QStringLiteral("vollständig")) ? 1 : 2);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

// Beyond the limit lies the text, or only its final line break.
TEST_F(Files, IncompleteWriteOnAFullDiskLeavesTheOldFile)
{
    for (const qsizetype size : {300000, 65535}) {
        writeBytes(path("voll.txt"), "alter Inhalt\r\n");
        EXPECT_EQ(writeWithFileSizeLimit(path("voll.txt"), QByteArray(size, 'x'), 65536), 1);
        EXPECT_EQ(readBytes(path("voll.txt")), "alter Inhalt\r\n");
        EXPECT_EQ(snapshot().keys(), QStringList{QStringLiteral("voll.txt")});
    }
}

} // namespace
} // namespace kelo::test
