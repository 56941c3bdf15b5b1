// The line rules of the clean-up and of the line emptying, on file bytes.
#include "support/testenv.h"
#include "tools/linerules.h"
#include "tools/tempfile.h"

#include <gtest/gtest.h>

#include <random>

namespace kelo::test {
namespace {

using B = QByteArray;

TEST(LineRules, CleanLinesDropsBlankLinesAndShrinksSpaces)
{
    EXPECT_EQ(cleanLines("a\r\n\r\n  b   c\r\n   \r\nd\r\n"), B("a\r\n b c\r\nd\r\n"));
    EXPECT_EQ(cleanLines("\t\r\n"), B("\t\r\n")); // a tab is no space
    EXPECT_EQ(cleanLines("a  b   c    d     e"), B("a b c d e\r\n"));
    EXPECT_EQ(cleanLines("\xC2\xA0  \xC2\xA0"), B("\xC2\xA0 \xC2\xA0\r\n"));
    EXPECT_EQ(cleanLines(B("a\0  \0", 5)), B("a\0 \0\r\n", 6));
    EXPECT_EQ(cleanLines("a  \n\n  b\n \r\n"), B("a \n\n b\n \r\n")); // a lone LF ends no line
    EXPECT_EQ(cleanLines("a\r  \rb  \r"), B("a\r\nb \r\n"));
    EXPECT_EQ(cleanLines("\r\n\r\n \r\n  \r\nz\r\n\r\n"), B("z\r\n"));
}

TEST(LineRules, EmptyLinesContainingKeepsTheirBreaks)
{
    EXPECT_EQ(emptyLinesContaining("xabcx\r\nABC\r\nq", "abc"), B("\r\nABC\r\nq\r\n"));
    EXPECT_EQ(emptyLinesContaining("a\r\n\r\nb\r\n", ""), B("\r\n\r\n\r\n"));
    EXPECT_EQ(emptyLinesContaining("abc\r\nxabc\r\nabcx\r\nab", "abc"), B("\r\n\r\n\r\nab\r\n"));
    // A line never holds a CR, but may hold a lone LF.
    EXPECT_EQ(emptyLinesContaining("a\r\nb\r\n", "a\r\nb"), B("a\r\nb\r\n"));
    EXPECT_EQ(emptyLinesContaining("a\nb\r\nab\r\n", "a\nb"), B("\r\nab\r\n"));
    EXPECT_EQ(emptyLinesContaining(B("a\0b\r\nab\r\n", 9), B("\0", 1)), B("\r\nab\r\n"));
}

TEST(LongLines, TenMegabytesOnOneLineAreOneLine)
{
    QByteArray line;
    QByteArray expected;
    for (int i = 0; i < 2'000'000; ++i) {
        line += "ab   ";
        expected += "ab ";
    }
    EXPECT_EQ(cleanLines(QByteArray(line + "\r\n")), QByteArray(expected + "\r\n"));
    EXPECT_EQ(emptyLinesContaining(line, "b   a"), QByteArray("\r\n"));
    EXPECT_EQ(joinFileLines(line), QByteArray(line + "\r\n"));
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
