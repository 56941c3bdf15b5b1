// The temporary line file: its line rules, what it writes, its place, and what
// the clean-up and the line emptying make of its lines. Links at its name and
// its failures are checked on the main window in linetools_test.
#include "support/testenv.h"
#include "tools/linerules.h"
#include "tools/tempfile.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

namespace kelo::test {
namespace {

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

// Written as it was, a text ending with a line break came back with an empty
// line more. A leftover of a crash is replaced, not reused with its mode.
TEST_F(TempFileTest, ReplacesALeftoverByAPrivateFileOfUtf8WithAClosingBreakOnlyWhenMissing)
{
    const mode_t previous = ::umask(0);
    const auto restore = qScopeGuard([previous] { ::umask(previous); });
    const auto written = [&](const char *text, const QStringList &lines) {
        writeBytes(at("kelo.tmp"), "ein viel längerer alter Inhalt\r\nzwei");
        TemporaryTextFile file(m_dir.path());
        EXPECT_TRUE(file.write(QString::fromUtf8(text)));
        EXPECT_EQ(file.readLines(), lines);
        EXPECT_EQ(mode(file.path()) & 0777, 0600u);
        return readBytes(file.path());
    };
    // Lines end at CR LF or a lone CR, not at a lone LF.
    EXPECT_EQ(written("a\r\nb", {"a", "b"}), QByteArray("a\r\nb\r\n"));
    EXPECT_EQ(written("\r\n\r\n", {"", ""}), QByteArray("\r\n\r\n"));
    EXPECT_EQ(written("a\r\r\nb\nc\n", {"a", "", "b\nc\n"}), QByteArray("a\r\r\nb\nc\n"));
    EXPECT_EQ(written("a\r", {"a"}), QByteArray("a\r"));
    EXPECT_EQ(written("", {""}), QByteArray("\r\n"));
    EXPECT_EQ(written("Łódź ☺ 😀", {"Łódź ☺ 😀"}), QByteArray("Łódź ☺ 😀\r\n"));
}

// The runtime folder is checked on the main window; here the fallback behind it.
TEST_F(TempFileTest, WithoutRuntimeFolderAPrivateCacheFolderIsMade)
{
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
}

using B = QByteArray;

// The Part's examples and what the random files below do not hold.
TEST(LineRules, CleanLinesAndEmptyLinesContaining)
{
    EXPECT_EQ(cleanLines("\t\r\n"), B("\t\r\n")); // a tab is no space
    EXPECT_EQ(cleanLines("\xC2\xA0  \xC2\xA0"), B("\xC2\xA0 \xC2\xA0\r\n"));
    EXPECT_EQ(cleanLines("a  \n\n  b\n \r\n"), B("a \n\n b\n \r\n")); // a lone LF ends no line
    EXPECT_EQ(emptyLinesContaining("xabcx\r\nABC\r\nq", "abc"), B("\r\nABC\r\nq\r\n"));
    // A line never holds a CR, but may hold a NUL.
    EXPECT_EQ(emptyLinesContaining("a\r\nb\r\n", "a\r\nb"), B("a\r\nb\r\n"));
    EXPECT_EQ(emptyLinesContaining(B("a\0b\r\nab\r\n", 9), B("\0", 1)), B("\r\nab\r\n"));
}

// The one-pass rules against the same rules written out line by line, on
// random small files full of breaks and spaces.
TEST(LineRulesProperty, AgreeWithTheLineByLineRules)
{
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

} // namespace
} // namespace kelo::test
