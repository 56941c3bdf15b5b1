// The temporary line file: its line rules, what it writes byte for byte, and
// its place. Links at its name and its failures are checked on the main
// window in linetools_test.
#include "support/testenv.h"
#include "tools/tempfile.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace kelo::test {
namespace {

struct LineCase {
    QByteArray bytes;
    QStringList lines;
};

class SplitFileLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(SplitFileLines, FollowsTheLineRules)
{
    EXPECT_EQ(splitFileLines(GetParam().bytes), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SplitFileLines,
    ::testing::Values(LineCase{"", {}}, LineCase{"a\r\nb", {"a", "b"}}, LineCase{"a\r\n", {"a"}},
                      LineCase{"\r\n\r\n", {"", ""}}, LineCase{"a\rb", {"a", "b"}},
                      LineCase{"a\r", {"a"}}, LineCase{"a\nb\n", {"a\nb\n"}},
                      LineCase{"a\r\r\nb", {"a", "", "b"}}, LineCase{"\n\r", {"\n"}},
                      LineCase{QByteArray("x\0y\r\n", 5), {QString::fromUtf8("x\0y", 3)}},
                      LineCase{"Grüße\r\n😀", {QStringLiteral("Grüße"), QStringLiteral("😀")}}));

class TempFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString at(const char *name) const { return QDir(m_dir.path()).filePath(QLatin1String(name)); }
    static mode_t mode(const QString &path)
    {
        struct stat info {};
        EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
        return info.st_mode;
    }

    QTemporaryDir m_dir;
};

struct WriteCase {
    QString text;
    QByteArray bytes;
    QStringList lines;
};

class TempFileWrite : public TempFileTest, public ::testing::WithParamInterface<WriteCase> {};

// Written as it was, a text ending with a line break came back with an empty line more.
TEST_P(TempFileWrite, WritesUtf8AndAClosingBreakOnlyWhenMissing)
{
    TemporaryTextFile file(m_dir.path());
    ASSERT_TRUE(file.write(GetParam().text)) << file.errorString().toStdString();
    EXPECT_EQ(readBytes(at("kelo.tmp")), GetParam().bytes);
    EXPECT_EQ(file.readLines(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TempFileWrite,
    ::testing::Values(WriteCase{"a\r\nb", "a\r\nb\r\n", {"a", "b"}},
                      WriteCase{"a\r\n", "a\r\n", {"a"}}, WriteCase{"a\n", "a\n", {"a\n"}},
                      WriteCase{"a\r", "a\r", {"a"}}, WriteCase{"", "\r\n", {""}},
                      WriteCase{"Łódź ☺ 😀", "Łódź ☺ 😀\r\n", {QStringLiteral("Łódź ☺ 😀")}}));

// A leftover of a crash is replaced, not reused with its mode. Links at the
// names are checked on the main window.
TEST_F(TempFileTest, LeftoverIsReplacedByAFreshPrivateFile)
{
    writeBytes(at("kelo.tmp"), "ein viel längerer alter Inhalt\r\nzwei");
    ASSERT_EQ(::chmod(QFile::encodeName(at("kelo.tmp")).constData(), 0644), 0);
    const mode_t previous = ::umask(0);
    const auto restore = qScopeGuard([previous] { ::umask(previous); });
    TemporaryTextFile file(m_dir.path());
    ASSERT_TRUE(file.write(QStringLiteral("kurz")));
    EXPECT_EQ(file.readLines(), QStringList{QStringLiteral("kurz")});
    EXPECT_EQ(mode(file.path()) & 0777, 0600u);
}

// The runtime folder in place of an unusable program folder is checked on
// the main window; here the fallback behind it.
TEST_F(TempFileTest, WithoutRuntimeFolderAPrivateCacheFolderIsMade)
{
    EXPECT_EQ(temporaryFolder(m_dir.path()), m_dir.path());
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), cache = qgetenv("XDG_CACHE_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("XDG_CACHE_HOME", cache);
    });
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(at("cache")));
    const QString folder = temporaryFolder(at("fehlt"));
    EXPECT_EQ(folder, at("cache/kelo"));
    EXPECT_EQ(mode(folder) & (S_IFMT | 0777), S_IFDIR | 0700u);
    TemporaryTextFile file(folder);
    EXPECT_TRUE(file.write(QStringLiteral("x")));
}

} // namespace
} // namespace kelo::test
