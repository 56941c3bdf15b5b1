// The temporary line file: its line rules, what it writes byte for byte, its
// place, and that it never follows or writes through what lies at its name.
#include "support/testenv.h"
#include "tools/tempfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace kelo::test {
namespace {

struct LineCase {
    const char *name;
    QByteArray bytes;
    QStringList lines;
};

void PrintTo(const LineCase &c, std::ostream *out)
{
    *out << c.name;
}

class SplitFileLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(SplitFileLines, FollowsTheLineRules)
{
    EXPECT_EQ(splitFileLines(GetParam().bytes), GetParam().lines);
}

// The byte walk and the string form must agree: the tools use the first, the
// translation the second.
TEST_P(SplitFileLines, ByteWalkGivesTheSameLines)
{
    QStringList lines;
    forEachFileLine(GetParam().bytes,
                    [&lines](QByteArrayView line) { lines.append(QString::fromUtf8(line)); });
    EXPECT_EQ(lines, GetParam().lines);
}

const QString nulLine = QString(QStringLiteral("x")) + QChar(0) + QStringLiteral("y");

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitFileLines,
    ::testing::Values(
        LineCase{"Empty", "", {}}, LineCase{"CrLfBetween", "a\r\nb", {"a", "b"}},
        LineCase{"ClosingCrLfAddsNoLine", "a\r\n", {"a"}}, LineCase{"OnlyCrLf", "\r\n", {""}},
        LineCase{"TwoCrLf", "\r\n\r\n", {"", ""}}, LineCase{"LoneCrEndsALine", "a\rb", {"a", "b"}},
        LineCase{"LoneCrAtTheEnd", "a\r", {"a"}}, LineCase{"OnlyLoneCr", "\r", {""}},
        LineCase{"LoneLfIsOrdinary", "a\nb\n", {"a\nb\n"}},
        LineCase{"CrBeforeCrLf", "a\r\r\nb", {"a", "", "b"}}, LineCase{"LfCr", "\n\r", {"\n"}},
        LineCase{"NulStays", QByteArray("x\0y\r\n", 5), {nulLine}},
        LineCase{"Utf8", "Grüße\r\n€ 😀\r\n", {QStringLiteral("Grüße"), QStringLiteral("€ 😀")}},
        LineCase{"TabsAndSpaces", "\t \r\n  ", {"\t ", "  "}}),
    [](const auto &info) { return std::string(info.param.name); });

class TempFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString at(const QString &name) const { return QDir(m_dir.path()).filePath(name); }

    QTemporaryDir m_dir;
};

struct WriteCase {
    const char *name;
    QString text;
    QByteArray bytes;
    QStringList lines;
};

void PrintTo(const WriteCase &c, std::ostream *out)
{
    *out << c.name;
}

class TempFileWrite : public TempFileTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(TempFileWrite, WritesUtf8AndAClosingBreakOnlyWhenMissing)
{
    TemporaryTextFile file(m_dir.path());
    ASSERT_TRUE(file.write(GetParam().text)) << file.errorString().toStdString();
    EXPECT_EQ(readBytes(at(QStringLiteral("kelo.tmp"))), GetParam().bytes);
    EXPECT_EQ(file.readLines(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TempFileWrite,
    ::testing::Values(WriteCase{"TwoLines", QStringLiteral("a\r\nb"), "a\r\nb\r\n", {"a", "b"}},
                      // Written as it was, the text would come back with an empty line more.
                      WriteCase{"EndsWithCrLf", QStringLiteral("a\r\n"), "a\r\n", {"a"}},
                      WriteCase{"EndsWithLf", QStringLiteral("a\n"), "a\n", {"a\n"}},
                      WriteCase{"EndsWithCr", QStringLiteral("a\r"), "a\r", {"a"}},
                      WriteCase{"Empty", QString(), "\r\n", {""}},
                      WriteCase{"BeyondWindows1252",
                                QStringLiteral("Łódź ☺ 😀"),
                                "Łódź ☺ 😀\r\n",
                                {QStringLiteral("Łódź ☺ 😀")}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(TempFileTest, FileIsPrivate)
{
    const mode_t previous = ::umask(0);
    TemporaryTextFile file(m_dir.path());
    const bool written = file.write(QStringLiteral("geheim"));
    ::umask(previous);
    ASSERT_TRUE(written);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(file.path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(TempFileTest, PlantedLinkIsNeitherFollowedNorWrittenThrough)
{
    const QString victim = at(QStringLiteral("victim"));
    writeBytes(victim, "unberührt");
    ASSERT_TRUE(QFile::link(victim, at(QStringLiteral("kelo.tmp"))));

    TemporaryTextFile file(m_dir.path());
    ASSERT_TRUE(file.write(QStringLiteral("neu")));

    EXPECT_EQ(readBytes(victim), QByteArray("unberührt"));
    EXPECT_FALSE(QFileInfo(file.path()).isSymLink());
    EXPECT_EQ(readBytes(file.path()), QByteArray("neu\r\n"));
}

TEST_F(TempFileTest, DanglingLinkDoesNotCreateItsTarget)
{
    const QString target = at(QStringLiteral("wohin"));
    ASSERT_TRUE(QFile::link(target, at(QStringLiteral("kelo.tmp"))));
    TemporaryTextFile file(m_dir.path());
    ASSERT_TRUE(file.write(QStringLiteral("x")));
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(TempFileTest, LeftoverOfACrashIsReplacedWhole)
{
    writeBytes(at(QStringLiteral("kelo.tmp")), "ein viel längerer alter Inhalt\r\nzwei");
    ASSERT_EQ(::chmod(QFile::encodeName(at(QStringLiteral("kelo.tmp"))).constData(), 0644), 0);
    TemporaryTextFile file(m_dir.path());
    ASSERT_TRUE(file.write(QStringLiteral("kurz")));
    EXPECT_EQ(file.readLines(), QStringList{QStringLiteral("kurz")});
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(file.path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
}

TEST_F(TempFileTest, FolderInPlaceOfTheFileIsAFailureThatSaysSo)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("kelo.tmp/inhalt")));
    TemporaryTextFile file(m_dir.path());
    EXPECT_FALSE(file.write(QStringLiteral("x")));
    EXPECT_TRUE(file.errorString().contains(file.path()));
    EXPECT_TRUE(file.errorString().contains(QStringLiteral("kann nicht entfernt werden")));
    EXPECT_TRUE(QFileInfo(at(QStringLiteral("kelo.tmp/inhalt"))).isDir());
    // A folder that cannot be removed is no file to delete either.
    EXPECT_FALSE(file.remove());
}

TEST_F(TempFileTest, MissingFolderIsAFailureThatSaysSo)
{
    TemporaryTextFile file(at(QStringLiteral("fehlt")));
    EXPECT_FALSE(file.write(QStringLiteral("x")));
    EXPECT_TRUE(file.errorString().contains(QStringLiteral("kann nicht angelegt werden")));
    EXPECT_FALSE(file.readLines().has_value());
    EXPECT_TRUE(file.errorString().contains(QStringLiteral("kann nicht gelesen werden")));
}

TEST_F(TempFileTest, FileReplacedBehindItsBackIsNotRead)
{
    TemporaryTextFile file(m_dir.path());
    ASSERT_TRUE(file.write(QStringLiteral("meins")));
    // Moved aside rather than deleted, so its inode cannot be handed out again.
    ASSERT_TRUE(QFile::rename(file.path(), at(QStringLiteral("beiseite"))));
    writeBytes(file.path(), "fremd\r\n");
    EXPECT_FALSE(file.readBytes().has_value());
    EXPECT_FALSE(file.errorString().isEmpty());
}

TEST_F(TempFileTest, PipePlantedAtTheNameIsRefusedWithoutWaiting)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(at(QStringLiteral("kelo.tmp"))).constData(), 0600), 0);
    TemporaryTextFile file(m_dir.path());
    EXPECT_FALSE(file.readLines().has_value());
    EXPECT_FALSE(file.errorString().isEmpty());
}

TEST_F(TempFileTest, RemoveAndDestructorLeaveNothingBehind)
{
    {
        TemporaryTextFile file(m_dir.path());
        ASSERT_TRUE(file.write(QStringLiteral("x")));
        EXPECT_TRUE(file.remove());
        EXPECT_FALSE(QFileInfo::exists(file.path()));
        EXPECT_TRUE(file.remove()); // nothing there: nothing to fail
        ASSERT_TRUE(file.write(QStringLiteral("y")));
    }
    EXPECT_FALSE(QFileInfo::exists(at(QStringLiteral("kelo.tmp"))));
}

TEST_F(TempFileTest, OtherNamesLieInTheSameFolder)
{
    TemporaryTextFile copy(m_dir.path() + QLatin1Char('/'), QStringLiteral("Temp_kelo.tmp"));
    EXPECT_EQ(copy.path(), at(QStringLiteral("Temp_kelo.tmp")));
    ASSERT_TRUE(copy.writeBytes(""));
    EXPECT_EQ(readBytes(copy.path()), QByteArray());
}

// Restores an environment variable when the test ends.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(const char *name)
        : m_name(name)
        , m_value(qgetenv(name))
        , m_wasSet(qEnvironmentVariableIsSet(name))
    {}
    ~EnvironmentGuard()
    {
        if (m_wasSet)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    QByteArray m_value;
    bool m_wasSet;
};

class TemporaryFolderTest : public TempFileTest {
protected:
    EnvironmentGuard m_runtime{"XDG_RUNTIME_DIR"};
    EnvironmentGuard m_cache{"XDG_CACHE_HOME"};
};

TEST_F(TemporaryFolderTest, WritableProgramFolderIsUsed)
{
    EXPECT_EQ(temporaryFolder(m_dir.path()), m_dir.path());
}

TEST_F(TemporaryFolderTest, UnusableProgramFolderGivesTheRuntimeFolder)
{
    const QString runtime = at(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    ASSERT_EQ(::chmod(QFile::encodeName(runtime).constData(), 0700), 0);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));

    writeBytes(at(QStringLiteral("eine Datei")), "x");
    EXPECT_EQ(temporaryFolder(at(QStringLiteral("fehlt"))), runtime);
    EXPECT_EQ(temporaryFolder(at(QStringLiteral("eine Datei"))), runtime);
    EXPECT_EQ(temporaryFolder(QString()), runtime);
}

TEST_F(TemporaryFolderTest, ReadOnlyProgramFolderGivesTheRuntimeFolder)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    const QString program = at(QStringLiteral("programm"));
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 0555), 0);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir.path()));
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0700);
    EXPECT_EQ(temporaryFolder(program), m_dir.path());
}

TEST_F(TemporaryFolderTest, WithoutRuntimeFolderAPrivateCacheFolderIsMade)
{
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(at(QStringLiteral("cache"))));
    const QString folder = temporaryFolder(at(QStringLiteral("fehlt")));
    EXPECT_EQ(folder, at(QStringLiteral("cache/kelo")));
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    TemporaryTextFile file(folder);
    EXPECT_TRUE(file.write(QStringLiteral("x")));
}

TEST_F(TemporaryFolderTest, RuntimeFolderThatIsALinkIsNotTrusted)
{
    const QString real = at(QStringLiteral("echt"));
    ASSERT_TRUE(QDir().mkpath(real));
    const QString link = at(QStringLiteral("verweis"));
    ASSERT_TRUE(QFile::link(real, link));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(link));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(at(QStringLiteral("cache"))));
    EXPECT_EQ(temporaryFolder(at(QStringLiteral("fehlt"))), at(QStringLiteral("cache/kelo")));
}

} // namespace
} // namespace kelo::test
