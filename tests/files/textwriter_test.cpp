// Writing a text to its file: byte-exact round trips, the final line break,
// pieces of a large text, links, and every refused or failed write leaving
// the old file exactly as it was.
#include "files/textwriter.h"
#include "support/testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelo {
namespace {

using test::readBytes;
using test::writeBytes;

class TextWriter : public ::testing::Test {
protected:
    QString path(const QString &name) const { return QDir(m_dir.path()).filePath(name); }

    // Every entry of a folder (hidden ones too, so that a left-over
    // temporary file shows) with its permissions, link target or bytes.
    static QMap<QString, QByteArray> snapshot(const QString &folder)
    {
        QMap<QString, QByteArray> entries;
        for (const QFileInfo &info : QDir(folder).entryInfoList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            QByteArray state = QByteArray::number(int(info.permissions()), 16);
            if (info.isSymLink())
                state += " -> " + QFile::encodeName(info.symLinkTarget());
            else if (info.isFile())
                state += ' ' + readBytes(info.filePath());
            entries.insert(info.fileName(), state);
        }
        return entries;
    }

    QTemporaryDir m_dir;
};

template <typename Case> std::string caseName(const ::testing::TestParamInfo<Case> &info)
{
    return info.param.name;
}

// ---- Round trips ---------------------------------------------------------

struct RoundTrip {
    const char *name;
    QByteArray file;  // what the file held when it was loaded
    QByteArray saved; // what saving the unchanged text gives
};

class TextWriterRoundTrip : public TextWriter, public ::testing::WithParamInterface<RoundTrip> {};

const QByteArray bom = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfText, TextWriterRoundTrip,
    ::testing::Values(
        RoundTrip{"Windows1252", "Gr\374\337e \200\r\n", "Gr\374\337e \200\r\n"},
        RoundTrip{"Windows1252UndefinedBytes", "\x81\x8d\x8f\x90\x9d\xe4",
                  "\x81\x8d\x8f\x90\x9d\xe4\r\n"},
        RoundTrip{"Utf8", "Grüße „Welt“ €\r\n", "Grüße „Welt“ €\r\n"},
        RoundTrip{"Utf8WithMark", bom + "Grüße\r\n", bom + "Grüße\r\n"},
        RoundTrip{"Utf8WithMarkWithoutFinalBreak", bom + "x", bom + "x\r\n"},
        RoundTrip{"LfOnly", "eins\nzwei\n", "eins\nzwei\n"},
        RoundTrip{"LfOnlyWithoutFinalBreak", "eins\nzw\xe4i", "eins\nzw\xe4i\n"},
        RoundTrip{"Mixed", "a\r\nb\nc\rd\r\n", "a\r\nb\nc\rd\r\n"},
        RoundTrip{"EndingInLoneCr", "a\rb\r", "a\rb\r"},
        RoundTrip{"MixedWithoutFinalBreak", "a\nb\r\nc", "a\nb\r\nc\r\n"},
        RoundTrip{"NulBytes", QByteArray("a\0b\0\r\n", 6), QByteArray("a\0b\0\r\n", 6)},
        RoundTrip{"NulBytesInWindows1252", QByteArray("\0\xe4", 2), QByteArray("\0\xe4\r\n", 4)},
        RoundTrip{"Empty", "", "\r\n"}),
    caseName<RoundTrip>);

TEST_P(TextWriterRoundTrip, SavedBytesLoadBackAndASecondSaveChangesNothing)
{
    const QString file = path(QStringLiteral("text.txt"));
    writeBytes(file, GetParam().file);
    const DecodedText loaded = decodeText(readBytes(file));

    const TextWriteResult first = writeTextFile(file, loaded.utf8, loaded.format);
    ASSERT_TRUE(first.ok) << first.error.toStdString();
    EXPECT_FALSE(first.fellBackToUtf8);
    EXPECT_EQ(readBytes(file), GetParam().saved);

    const DecodedText reloaded = decodeText(readBytes(file));
    EXPECT_EQ(reloaded.format, loaded.format);
    ASSERT_TRUE(writeTextFile(file, reloaded.utf8, reloaded.format).ok);
    EXPECT_EQ(readBytes(file), GetParam().saved);
    EXPECT_EQ(snapshot(m_dir.path()).keys(), QStringList{QStringLiteral("text.txt")});
}

// ---- Large texts: written in pieces of 1 MiB, the file must not tell -------

struct LargeText {
    const char *name;
    QByteArray (*text)(); // in the editor's form
    TextFormat format;
};

class TextWriterLargeText : public TextWriter, public ::testing::WithParamInterface<LargeText> {};

constexpr qsizetype mebibyte = 1 << 20;

QByteArray lines(const QByteArray &line, qsizetype atLeast)
{
    QByteArray text;
    while (text.size() < atLeast)
        text += line;
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    AcrossPieces, TextWriterLargeText,
    ::testing::Values(
        // A line longer than a piece with an ä (two bytes) across its end.
        LargeText{"CharacterAcrossTheCut",
                  []() -> QByteArray { return QByteArray(mebibyte - 1, 'a') + "\xc3\xa4 Rest"; },
                  {Encoding::Windows1252, false, false}},
        // CR as the last byte of a piece, its LF right after: one LF.
        LargeText{"CrLfAcrossTheCutWithUnixLineEnds",
                  []() -> QByteArray { return QByteArray(mebibyte - 1, 'a') + "\r\nb"; },
                  {Encoding::Utf8, false, true}},
        // Pieces end after a line feed; the mark starts the first only.
        LargeText{"MarkAndUnixLineEnds",
                  []() -> QByteArray { return lines("Stra\303\237e\r\n", 3 * mebibyte); },
                  {Encoding::Utf8, true, true}}),
    caseName<LargeText>);

TEST_P(TextWriterLargeText, FileHoldsWhatTheWholeTextEncodesTo)
{
    const QString file = path(QStringLiteral("gross.txt"));
    writeBytes(file, "alt");
    const QByteArray text = GetParam().text();

    const TextWriteResult result = writeTextFile(file, text, GetParam().format);

    ASSERT_TRUE(result.ok) << result.error.toStdString();
    const EncodedText whole = encodeText(text, GetParam().format);
    EXPECT_FALSE(result.fellBackToUtf8);
    // Compared as a whole, without printing megabytes on a failure.
    EXPECT_TRUE(readBytes(file) == whole.bytes + finalLineBreak(text, GetParam().format));
    EXPECT_EQ(snapshot(m_dir.path()).keys(), QStringList{QStringLiteral("gross.txt")});
}

// ---- Links and what a replaced file keeps -----------------------------------

TEST_F(TextWriter, LinksAreFollowedAndStayLinks)
{
    // link -> echt/unter/zwischen -> ../ziel.txt, both relative.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("echt/unter")));
    writeBytes(path(QStringLiteral("echt/ziel.txt")), "alt\r\n");
    ASSERT_EQ(::symlink("../ziel.txt", QFile::encodeName(path("echt/unter/zwischen")).constData()),
              0);
    ASSERT_EQ(::symlink("echt/unter/zwischen", QFile::encodeName(path("link")).constData()), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("kommt.txt"), path(QStringLiteral("offen"))));

    const TextWriteResult result = writeTextFile(path(QStringLiteral("link")), "neu", {});
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.writtenPath, path(QStringLiteral("echt/ziel.txt")));
    EXPECT_EQ(readBytes(path(QStringLiteral("echt/ziel.txt"))), "neu\r\n");
    EXPECT_EQ(QFile::symLinkTarget(path(QStringLiteral("link"))), path("echt/unter/zwischen"));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("echt/unter/zwischen"))).isSymLink());

    // A dangling link: the file it points to is made.
    ASSERT_TRUE(writeTextFile(path(QStringLiteral("offen")), "da", {}).ok);
    EXPECT_EQ(readBytes(path(QStringLiteral("kommt.txt"))), "da\r\n");
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("offen"))).isSymLink());
}

TEST_F(TextWriter, ReplacedFileKeepsItsPermissionsAndOwner)
{
    const QByteArray file = QFile::encodeName(path(QStringLiteral("privat.txt")));
    writeBytes(path(QStringLiteral("privat.txt")), "alt");
    ASSERT_EQ(::chmod(file.constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(file.constData(), 4321, 4322), 0);
    }

    ASSERT_TRUE(writeTextFile(path(QStringLiteral("privat.txt")), "neu", {}).ok);

    struct stat after {};
    ASSERT_EQ(::stat(file.constData(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(after.st_uid, 4321u);
        EXPECT_EQ(after.st_gid, 4322u);
    }
}

// ---- Refusals: nothing is touched and the reason is given -----------------

struct Refusal {
    const char *name;
    QString (*prepare)(const QDir &); // returns the name to write to
    const char *reason;               // part of the German message
};

class TextWriterRefusal : public TextWriter, public ::testing::WithParamInterface<Refusal> {};

QString readOnlyFile(const QDir &dir)
{
    writeBytes(dir.filePath(QStringLiteral("nur.txt")), "schreibgeschützt\r\n");
    QFile::setPermissions(dir.filePath(QStringLiteral("nur.txt")), QFile::ReadOwner);
    return QStringLiteral("nur.txt");
}

INSTANTIATE_TEST_SUITE_P(
    OldFileStaysWhole, TextWriterRefusal,
    ::testing::Values(
        Refusal{"Folder",
                [](const QDir &dir) {
                    dir.mkdir(QStringLiteral("ordner"));
                    return QStringLiteral("ordner");
                },
                "ist ein Ordner"},
        Refusal{"MissingFolder", [](const QDir &) { return QStringLiteral("fehlt/a.txt"); },
                "gibt es nicht"},
        Refusal{"FileInPlaceOfAFolder",
                [](const QDir &dir) {
                    writeBytes(dir.filePath(QStringLiteral("datei")), "x");
                    return QStringLiteral("datei/a.txt");
                },
                "ist kein Ordner"},
        // Also for root, who could write it: the user marked it read-only.
        Refusal{"ReadOnlyFile", readOnlyFile, "schreibgeschützt"},
        Refusal{"NameTooLong", [](const QDir &) { return QString(256, QLatin1Char('n')); },
                "zu lang"},
        // QSaveFile can create such a name but not replace it.
        Refusal{"ExistingNameTooLongToReplace",
                [](const QDir &dir) {
                    writeBytes(dir.filePath(QString(250, QLatin1Char('n'))), "alt");
                    return QString(250, QLatin1Char('n'));
                },
                "zu lang"},
        Refusal{"LinkLoop",
                [](const QDir &dir) {
                    QFile::link(QStringLiteral("b"), dir.filePath(QStringLiteral("a")));
                    QFile::link(QStringLiteral("a"), dir.filePath(QStringLiteral("b")));
                    return QStringLiteral("a");
                },
                "im Kreis"},
        // Root would otherwise replace the pipe by an ordinary file.
        Refusal{"Fifo",
                [](const QDir &dir) {
                    ::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("rohr"))).constData(),
                             0666);
                    return QStringLiteral("rohr");
                },
                "keine gewöhnliche Datei"}),
    caseName<Refusal>);

TEST_P(TextWriterRefusal, NothingIsTouchedAndTheReasonIsGiven)
{
    const QDir dir(m_dir.path());
    const QString target = dir.filePath(GetParam().prepare(dir));
    const auto before = snapshot(m_dir.path());

    const TextWriteResult result = writeTextFile(target, "neuer Text", {});

    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QString::fromUtf8(GetParam().reason)))
        << result.error.toStdString();
    EXPECT_EQ(snapshot(m_dir.path()), before);
}

TEST_F(TextWriter, FolderWithoutWritePermissionIsAFailure)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    writeBytes(path(QStringLiteral("a.txt")), "alt");
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(writeTextFile(path(QStringLiteral("a.txt")), "neu", {}).ok);
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(snapshot(m_dir.path()).keys(), QStringList{QStringLiteral("a.txt")});
    EXPECT_EQ(readBytes(path(QStringLiteral("a.txt"))), "alt");
}

// ---- A full disk -------------------------------------------------------------

// Runs the write in a child process whose files may not grow beyond a limit,
// so that the write fails as on a full disk. Returns the child's exit code:
// 0 saved, 1 refused as an incomplete write, 2 any other failure.
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
    if (child < 0)
        return -1;
    int status = 0;
    const bool ended =
        QTest::qWaitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 60000);
    if (!ended) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -2;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

struct FullDisk {
    const char *name;
    qsizetype textSize; // without a final line break
    int expected;
};

class TextWriterFullDisk : public TextWriter, public ::testing::WithParamInterface<FullDisk> {};

constexpr rlim_t fileSizeLimit = 65536;

INSTANTIATE_TEST_SUITE_P(FileSizeLimit, TextWriterFullDisk,
                         ::testing::Values(FullDisk{"TextFarBeyond", 300000, 1},
                                           // Only the final line break does not fit.
                                           FullDisk{"LineBreakBeyond", 65535, 1},
                                           FullDisk{"JustFits", 65534, 0}),
                         caseName<FullDisk>);

TEST_P(TextWriterFullDisk, IncompleteWriteLeavesTheOldFile)
{
    const QString file = path(QStringLiteral("voll.txt"));
    writeBytes(file, "alter Inhalt\r\n");
    const QByteArray text(GetParam().textSize, 'x');

    EXPECT_EQ(writeWithFileSizeLimit(file, text, fileSizeLimit), GetParam().expected);

    EXPECT_EQ(readBytes(file), GetParam().expected == 0 ? QByteArray(text + "\r\n")
                                                        : QByteArray("alter Inhalt\r\n"));
    EXPECT_EQ(snapshot(m_dir.path()).keys(), QStringList{QStringLiteral("voll.txt")});
}

} // namespace
} // namespace kelo
