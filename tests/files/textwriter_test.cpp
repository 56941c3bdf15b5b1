// Writing a text to its file: byte-exact round trips, the final line break,
// the UTF-8 fallback, links, and every refused or failed write leaving the
// old file exactly as it was.
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
#include <sys/mount.h>
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

    // Everything in a folder: names (hidden ones included, so that a
    // left-over temporary file shows), link targets, permissions, bytes.
    static QMap<QString, QByteArray> snapshot(const QString &folder)
    {
        QMap<QString, QByteArray> entries;
        const QDir dir(folder);
        for (const QFileInfo &info : dir.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot)) {
            QByteArray state = QByteArray::number(int(info.permissions()), 16);
            if (info.isSymLink())
                state += " -> " + QFile::encodeName(info.symLinkTarget());
            else if (info.isFile())
                state += ' ' + readBytes(info.filePath());
            else if (info.isDir())
                state += " dir";
            entries.insert(info.fileName(), state);
        }
        return entries;
    }

    QTemporaryDir m_dir;
};

// ---- Round trips ---------------------------------------------------------

struct RoundTrip {
    const char *name;
    QByteArray file;  // what the file held when it was loaded
    QByteArray saved; // what saving the unchanged text gives
};

void PrintTo(const RoundTrip &trip, std::ostream *out)
{
    *out << trip.name;
}

class TextWriterRoundTrip : public TextWriter, public ::testing::WithParamInterface<RoundTrip> {};

QByteArray bytes(const char *raw, qsizetype size)
{
    return QByteArray(raw, size);
}

const QByteArray bom = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfText, TextWriterRoundTrip,
    ::testing::Values(RoundTrip{"Windows1252",
                                "Gr\xfc\xdf"
                                "e\r\nStra\xdf"
                                "e \x80\r\n",
                                "Gr\xfc\xdf"
                                "e\r\nStra\xdf"
                                "e \x80\r\n"},
                      RoundTrip{"Windows1252UndefinedBytes", "\x81\x8d\x8f\x90\x9d\xe4\r\n",
                                "\x81\x8d\x8f\x90\x9d\xe4\r\n"},
                      RoundTrip{"Windows1252WithoutFinalBreak", "\xe4", "\xe4\r\n"},
                      RoundTrip{"Utf8", "Grüße „Welt“ €\r\n", "Grüße „Welt“ €\r\n"},
                      RoundTrip{"Utf8WithMark", bom + "Grüße\r\n", bom + "Grüße\r\n"},
                      RoundTrip{"Utf8WithMarkWithoutFinalBreak", bom + "x", bom + "x\r\n"},
                      RoundTrip{"Ascii", "plain\r\n", "plain\r\n"},
                      RoundTrip{"LfOnly", "eins\nzwei\n", "eins\nzwei\n"},
                      RoundTrip{"LfOnlyWithoutFinalBreak", "eins\nzw\xe4i", "eins\nzw\xe4i\n"},
                      RoundTrip{"Mixed", "a\r\nb\nc\rd\r\n", "a\r\nb\nc\rd\r\n"},
                      RoundTrip{"MixedEndingInLoneLf", "a\r\nb\n", "a\r\nb\n"},
                      RoundTrip{"EndingInLoneCr", "a\rb\r", "a\rb\r"},
                      RoundTrip{"MixedWithoutFinalBreak", "a\nb\r\nc", "a\nb\r\nc\r\n"},
                      RoundTrip{"NulBytes", bytes("a\0b\0\r\n", 6), bytes("a\0b\0\r\n", 6)},
                      RoundTrip{"NulBytesInWindows1252", bytes("\0\xe4\0", 3),
                                bytes("\0\xe4\0\r\n", 5)},
                      RoundTrip{"Empty", "", "\r\n"}, RoundTrip{"OnlyALineBreak", "\r\n", "\r\n"},
                      RoundTrip{"OnlyALf", "\n", "\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(TextWriterRoundTrip, SavedBytesLoadBackAndASecondSaveChangesNothing)
{
    const RoundTrip &trip = GetParam();
    const QString file = path(QStringLiteral("text.txt"));
    writeBytes(file, trip.file);
    const DecodedText loaded = decodeText(readBytes(file));

    const TextWriteResult first = writeTextFile(file, loaded.utf8, loaded.format);
    ASSERT_TRUE(first.ok) << first.error.toStdString();
    EXPECT_FALSE(first.fellBackToUtf8);
    EXPECT_EQ(first.writtenFormat, loaded.format);
    EXPECT_EQ(readBytes(file), trip.saved);

    // The next load gives the text that was saved (with its final break) in
    // the same form, and saving it again writes the very same bytes.
    const DecodedText reloaded = decodeText(readBytes(file));
    EXPECT_EQ(reloaded.format, loaded.format);
    EXPECT_TRUE(reloaded.utf8.startsWith(loaded.utf8));
    const TextWriteResult second = writeTextFile(file, reloaded.utf8, reloaded.format);
    ASSERT_TRUE(second.ok) << second.error.toStdString();
    EXPECT_EQ(readBytes(file), trip.saved);
    EXPECT_EQ(snapshot(m_dir.path()).keys(), QStringList{QStringLiteral("text.txt")});
}

TEST_F(TextWriter, NewFileIsCreated)
{
    const QString file = path(QStringLiteral("neu.txt"));
    const TextWriteResult result = writeTextFile(file, "neu", TextFormat{});
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(readBytes(file), "neu\r\n");
    EXPECT_EQ(result.writtenPath, file);
}

struct Fallback {
    const char *name;
    bool unixLineEnds;
    QByteArray expected;
};

class TextWriterFallback : public TextWriter, public ::testing::WithParamInterface<Fallback> {};

INSTANTIATE_TEST_SUITE_P(
    LineEnds, TextWriterFallback,
    ::testing::Values(Fallback{"CrLf", false, "Gr\xc3\xbc\xc3\x9f \xce\xa9\r\nx\r\n"},
                      Fallback{"Lf", true, "Gr\xc3\xbc\xc3\x9f \xce\xa9\nx\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(TextWriterFallback, Windows1252TextWithOtherCharactersIsWrittenAsUtf8)
{
    const QString file = path(QStringLiteral("omega.txt"));
    const TextFormat windows1252{Encoding::Windows1252, false, GetParam().unixLineEnds};

    const TextWriteResult result =
        writeTextFile(file, "Gr\xc3\xbc\xc3\x9f \xce\xa9\r\nx", windows1252);

    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_TRUE(result.fellBackToUtf8);
    EXPECT_EQ(readBytes(file), GetParam().expected);
    const TextFormat utf8{Encoding::Utf8, false, GetParam().unixLineEnds};
    EXPECT_EQ(result.writtenFormat, utf8);
    // What is read back is what the editor held, in the form now recorded.
    const DecodedText reloaded = decodeText(readBytes(file));
    EXPECT_EQ(reloaded.format, utf8);
    EXPECT_EQ(reloaded.utf8, QByteArray("Gr\xc3\xbc\xc3\x9f \xce\xa9\r\nx\r\n"));
}

// ---- Large texts ---------------------------------------------------------

// A large text is encoded and written in pieces of 1 MiB; the file must not
// tell: it holds what encoding the whole text at once gives. The cases put a
// character, a CR LF pair, the byte-order mark and the first character
// outside Windows-1252 where the pieces meet.
struct LargeText {
    const char *name;
    std::function<QByteArray()> text; // in the editor's form
    TextFormat format;
    bool fellBack;
};

void PrintTo(const LargeText &large, std::ostream *out)
{
    *out << large.name;
}

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
        // One line longer than a piece, an ä (two bytes) across its end.
        LargeText{"CharacterAcrossTheCut",
                  []() -> QByteArray { return QByteArray(mebibyte - 1, 'a') + "\xc3\xa4 Rest"; },
                  {Encoding::Windows1252, false, false},
                  false},
        LargeText{
            "FourByteCharacterAcrossTheCut",
            []() -> QByteArray { return QByteArray(mebibyte - 2, 'a') + "\xf0\x9f\x98\x80 Rest"; },
            {Encoding::Utf8, false, false},
            false},
        // CR at the last byte of a piece, its LF right after: one LF.
        LargeText{"CrLfAcrossTheCutWithUnixLineEnds",
                  []() -> QByteArray { return QByteArray(mebibyte - 1, 'a') + "\r\nb"; },
                  {Encoding::Utf8, false, true},
                  false},
        LargeText{"LinesWithUnixLineEnds",
                  []() -> QByteArray {
                      return lines("Stra\xc3\x9f"
                                   "e \xc3\xa4\xc3\xb6\r\n",
                                   3 * mebibyte);
                  },
                  {Encoding::Windows1252, false, true},
                  false},
        LargeText{"MarkOnlyAtTheStart",
                  []() -> QByteArray {
                      return lines("Gr\xc3\xbc\xc3\x9f"
                                   "e\r\n",
                                   3 * mebibyte);
                  },
                  {Encoding::Utf8, true, false},
                  false},
        LargeText{"OutsideWindows1252InALaterPiece",
                  []() -> QByteArray {
                      return lines("Gr\xc3\xbc\xc3\x9f"
                                   "e\r\n",
                                   2 * mebibyte) +
                             "\xce\xa9\r\n";
                  },
                  {Encoding::Windows1252, false, false},
                  true},
        LargeText{"OutsideWindows1252WithUnixLineEnds",
                  []() -> QByteArray {
                      return "\xce\xa9\r\n" + lines("Gr\xc3\xbc\xc3\x9f"
                                                    "e\r\n",
                                                    2 * mebibyte);
                  },
                  {Encoding::Windows1252, false, true},
                  true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(TextWriterLargeText, FileHoldsWhatTheWholeTextEncodesTo)
{
    const QString file = path(QStringLiteral("gross.txt"));
    writeBytes(file, "alt");
    const QByteArray text = GetParam().text();
    const TextFormat format = GetParam().format;

    const TextWriteResult result = writeTextFile(file, text, format);

    ASSERT_TRUE(result.ok) << result.error.toStdString();
    const EncodedText whole = encodeText(text, format);
    ASSERT_EQ(whole.fellBackToUtf8, GetParam().fellBack);
    EXPECT_EQ(result.fellBackToUtf8, GetParam().fellBack);
    const QByteArray saved = readBytes(file);
    EXPECT_EQ(saved.size(), whole.bytes.size() + finalLineBreak(text, format).size());
    EXPECT_TRUE(saved == whole.bytes + finalLineBreak(text, format)); // no 3 MB dump on failure
    EXPECT_EQ(snapshot(m_dir.path()).keys(), QStringList{QStringLiteral("gross.txt")});
}

// ---- Links -----------------------------------------------------------------

TEST_F(TextWriter, LinkIsFollowedAndStaysALink)
{
    QDir(m_dir.path()).mkdir(QStringLiteral("echt"));
    const QString real = path(QStringLiteral("echt/ziel.txt"));
    writeBytes(real, "alt\r\n");
    // A chain of two relative links, the second one in another folder.
    QDir(m_dir.path()).mkdir(QStringLiteral("echt/unter"));
    ASSERT_EQ(::symlink("../ziel.txt",
                        QFile::encodeName(path(QStringLiteral("echt/unter/zwischen"))).constData()),
              0);
    ASSERT_EQ(::symlink("echt/unter/zwischen",
                        QFile::encodeName(path(QStringLiteral("link"))).constData()),
              0);

    const TextWriteResult result = writeTextFile(path(QStringLiteral("link")), "neu", TextFormat{});

    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.writtenPath, real);
    EXPECT_EQ(readBytes(real), "neu\r\n");
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("link"))).isSymLink());
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("echt/unter/zwischen"))).isSymLink());
    EXPECT_EQ(QFile::symLinkTarget(path(QStringLiteral("link"))),
              path(QStringLiteral("echt/unter/zwischen")));
}

TEST_F(TextWriter, DanglingLinkCreatesTheFileItPointsTo)
{
    ASSERT_TRUE(QFile::link(QStringLiteral("kommt.txt"), path(QStringLiteral("link"))));
    const TextWriteResult result = writeTextFile(path(QStringLiteral("link")), "da", TextFormat{});
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(readBytes(path(QStringLiteral("kommt.txt"))), "da\r\n");
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("link"))).isSymLink());
}

TEST_F(TextWriter, ReplacedFileKeepsItsPermissionsAndOwner)
{
    const QString file = path(QStringLiteral("privat.txt"));
    writeBytes(file, "alt");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(QFile::encodeName(file).constData(), 4321, 4322), 0);
    }

    ASSERT_TRUE(writeTextFile(file, "neu", TextFormat{}).ok);

    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(after.st_uid, 4321u);
        EXPECT_EQ(after.st_gid, 4322u);
    }
    EXPECT_EQ(readBytes(file), "neu\r\n");
}

// ---- Refusals --------------------------------------------------------------

struct Refusal {
    const char *name;
    // Prepares the folder and returns the name to write to.
    std::function<QString(const QDir &)> prepare;
    const char *reason; // part of the German message
};

void PrintTo(const Refusal &refusal, std::ostream *out)
{
    *out << refusal.name;
}

class TextWriterRefusal : public TextWriter, public ::testing::WithParamInterface<Refusal> {};

QString makeReadOnly(const QDir &dir, const QString &name)
{
    writeBytes(dir.filePath(name), "schreibgeschützt\r\n");
    QFile::setPermissions(dir.filePath(name), QFile::ReadOwner | QFile::ReadGroup);
    return name;
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
        // Also as root, who could write it: the user marked it read-only.
        Refusal{"ReadOnlyFile",
                [](const QDir &dir) { return makeReadOnly(dir, QStringLiteral("nur.txt")); },
                "schreibgeschützt"},
        Refusal{"ReadOnlyFileBehindALink",
                [](const QDir &dir) {
                    makeReadOnly(dir, QStringLiteral("nur.txt"));
                    QFile::link(QStringLiteral("nur.txt"), dir.filePath(QStringLiteral("link")));
                    return QStringLiteral("link");
                },
                "schreibgeschützt"},
        Refusal{"NameTooLong", [](const QDir &) { return QString(300, QLatin1Char('n')); },
                "zu lang"},
        // QSaveFile can create such a name but not replace it.
        Refusal{"ExistingNameTooLongToReplace",
                [](const QDir &dir) {
                    const QString name = QString(252, QLatin1Char('n'));
                    writeBytes(dir.filePath(name), "alt");
                    return name;
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
    [](const auto &info) { return std::string(info.param.name); });

TEST_P(TextWriterRefusal, NothingIsTouchedAndTheReasonIsGiven)
{
    const QDir dir(m_dir.path());
    const QString target = dir.filePath(GetParam().prepare(dir));
    const auto before = snapshot(m_dir.path());

    const TextWriteResult result = writeTextFile(target, "neuer Text", TextFormat{});

    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QString::fromUtf8(GetParam().reason)))
        << result.error.toStdString();
    EXPECT_EQ(snapshot(m_dir.path()), before);
}

TEST_F(TextWriter, FolderWithoutWritePermissionIsAFailure)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    QDir(m_dir.path()).mkdir(QStringLiteral("zu"));
    const QString file = path(QStringLiteral("zu/a.txt"));
    writeBytes(file, "alt");
    QFile::setPermissions(path(QStringLiteral("zu")), QFile::ReadOwner | QFile::ExeOwner);
    const auto before = snapshot(path(QStringLiteral("zu")));

    const TextWriteResult result = writeTextFile(file, "neu", TextFormat{});

    QFile::setPermissions(path(QStringLiteral("zu")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_EQ(snapshot(path(QStringLiteral("zu"))), before);
}

// ---- A full disk -----------------------------------------------------------

// Runs the write in a child process whose files may not grow beyond a limit
// (the write then fails as on a full disk). The child's exit code: 0 saved,
// 1 refused with the incomplete-write reason, 2 any other failure.
int writeWithFileSizeLimit(const QString &file, const QByteArray &text, rlim_t limit)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &rl) != 0)
            ::_exit(3);
        const TextWriteResult result = writeTextFile(file, text, TextFormat{});
        ::_exit(result.ok ? 0 : result.error.contains(QStringLiteral("vollständig")) ? 1 : 2);
    }
    if (child < 0)
        return -1;
    int status = 0;
    pid_t done = 0;
    const bool ended = QTest::qWaitFor(
        [&] {
            done = ::waitpid(child, &status, WNOHANG);
            return done != 0;
        },
        60000);
    if (!ended) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -2;
    }
    return done == child && WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

struct FullDisk {
    const char *name;
    qsizetype textSize; // without a final line break
    rlim_t limit;
    int expected;
};

void PrintTo(const FullDisk &disk, std::ostream *out)
{
    *out << disk.name;
}

class TextWriterFullDisk : public TextWriter, public ::testing::WithParamInterface<FullDisk> {};

INSTANTIATE_TEST_SUITE_P(FileSizeLimit, TextWriterFullDisk,
                         ::testing::Values(FullDisk{"TextFarBeyond", 300000, 65536, 1},
                                           // Only the final line break no longer fits.
                                           FullDisk{"LineBreakBeyond", 65535, 65536, 1},
                                           FullDisk{"JustFits", 65534, 65536, 0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_P(TextWriterFullDisk, IncompleteWriteLeavesTheOldFile)
{
    const QString file = path(QStringLiteral("voll.txt"));
    writeBytes(file, "alter Inhalt\r\n");
    const QByteArray text(GetParam().textSize, 'x');

    EXPECT_EQ(writeWithFileSizeLimit(file, text, GetParam().limit), GetParam().expected);

    if (GetParam().expected == 0)
        EXPECT_EQ(readBytes(file), text + "\r\n");
    else
        EXPECT_EQ(readBytes(file), "alter Inhalt\r\n");
    EXPECT_EQ(snapshot(m_dir.path()).keys(), QStringList{QStringLiteral("voll.txt")});
}

// A real full file system, where the tests may mount one (root, and a system
// that allows it).
TEST_F(TextWriter, FullTmpfsLeavesTheOldFile)
{
    const QString mountPoint = path(QStringLiteral("klein"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    const QByteArray where = QFile::encodeName(mountPoint);
    if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        QByteArray where;
        ~Unmount() { ::umount2(where.constData(), MNT_DETACH); }
    } unmount{where};

    const QString file = QDir(mountPoint).filePath(QStringLiteral("voll.txt"));
    writeBytes(file, "alter Inhalt\r\n");
    const QByteArray text(200 * 1024, 'x');

    const TextWriteResult result = writeTextFile(file, text, TextFormat{});

    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("Datenträger voll")))
        << result.error.toStdString();
    EXPECT_EQ(readBytes(file), "alter Inhalt\r\n");
    EXPECT_EQ(snapshot(mountPoint).keys(), QStringList{QStringLiteral("voll.txt")});
}

} // namespace
} // namespace kelo
