// The line rules of the clean-up and of the line emptying, on file bytes.
#include "support/testenv.h"
#include "tools/linerules.h"
#include "tools/tempfile.h"

#include <gtest/gtest.h>

#include <random>

namespace kelo::test {
namespace {

// Table cases carry a name, which failure messages show.
template <typename Case>
auto operator<<(std::ostream &out, const Case &c) -> decltype(out << c.name)
{
    return out << c.name;
}

struct BytesCase {
    const char *name;
    QByteArray in;
    QByteArray out;
};

const auto caseName = [](const auto &info) { return std::string(info.param.name); };

class CleanLines : public ::testing::TestWithParam<BytesCase> {};

TEST_P(CleanLines, DropsBlankLinesAndShrinksSpaces)
{
    EXPECT_EQ(cleanLines(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Files, CleanLines,
    ::testing::Values(
        BytesCase{"Example", "a\r\n\r\n  b   c\r\n   \r\nd\r\n", "a\r\n b c\r\nd\r\n"},
        BytesCase{"TabLineStays", "\t\r\n", "\t\r\n"},
        BytesCase{"SpacesAroundATab", "  \t  \r\n", " \t \r\n"},
        BytesCase{"OddAndEvenRuns", "a  b   c    d     e", "a b c d e\r\n"},
        BytesCase{"NoBreakSpaceIsNoSpace", "\xC2\xA0  \xC2\xA0", "\xC2\xA0 \xC2\xA0\r\n"},
        BytesCase{"Nul", QByteArray("a\0  \0", 5), QByteArray("a\0 \0\r\n", 6)},
        BytesCase{"OnlyAnEmptyLine", "\r\n", ""}, BytesCase{"Nothing", "", ""},
        BytesCase{"LastLineWithoutBreak", "x", "x\r\n"},
        BytesCase{"LoneLfLinesAreOneLine", "a  \n\n  b\n \r\n", "a \n\n b\n \r\n"},
        BytesCase{"LoneCrEndsLines", "a\r  \rb  \r", "a\r\nb \r\n"},
        BytesCase{"ManyBlankLines", "\r\n\r\n \r\n  \r\nz\r\n\r\n", "z\r\n"}),
    caseName);

struct EmptyCase {
    const char *name;
    QByteArray in;
    QByteArray text;
    QByteArray out;
};

class EmptyLinesContaining : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(EmptyLinesContaining, EmptiesMatchingLinesAndKeepsTheirBreaks)
{
    EXPECT_EQ(emptyLinesContaining(GetParam().in, GetParam().text), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Files, EmptyLinesContaining,
    ::testing::Values(
        EmptyCase{"CaseMatters", "xabcx\r\nABC\r\nq\r\n", "abc", "\r\nABC\r\nq\r\n"},
        EmptyCase{"NoMatch", "a\r\n", "zzz", "a\r\n"},
        EmptyCase{"EmptyTextEmptiesEveryLine", "a\r\n\r\nb\r\n", "", "\r\n\r\n\r\n"},
        EmptyCase{"AtStartAndEnd", "abc\r\nxabc\r\nabcx\r\nab\r\n", "abc", "\r\n\r\n\r\nab\r\n"},
        // A line never holds a CR: a text with CR LF matches no line.
        EmptyCase{"CrLfInTheText", "a\r\nb\r\n", "a\r\nb", "a\r\nb\r\n"},
        // A lone LF belongs to its line and can be matched.
        EmptyCase{"LoneLfInTheText", "a\nb\r\nab\r\n", "a\nb", "\r\nab\r\n"},
        EmptyCase{"Umlaut", "Tür\r\nTur\r\n", "ü", "\r\nTur\r\n"},
        EmptyCase{"LastLineWithoutBreak", "q\r\nabc", "abc", "q\r\n\r\n"},
        EmptyCase{"Nul", QByteArray("a\0b\r\nab\r\n", 9), QByteArray("\0", 1), "\r\nab\r\n"}),
    caseName);

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

// The one-pass rules against the rules written out line by line as the
// clean-up describes them, on random small files full of breaks and spaces.
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
