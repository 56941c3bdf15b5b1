// The indentation width: only CR LF ends a line, only spaces count, the run
// is measured in the whole line, the first line never indents. The UTF-16
// and the UTF-8 forms must agree.
#include "tools/autoindent.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

namespace kelo {
namespace {

struct IndentCase {
    const char *text;
    int pos; // UTF-16 offset of the caret
    int expected;
};

void PrintTo(const IndentCase &c, std::ostream *out)
{
    for (const char *p = c.text; *p != 0; ++p)
        *out << (*p == '\r' ? "CR" : *p == '\n' ? "LF" : *p == ' ' ? "_" : std::string(1, *p));
    *out << " @" << c.pos;
}

class CountIndentTable : public ::testing::TestWithParam<IndentCase> {};

TEST_P(CountIndentTable, CountsTheLeadingSpacesOfTheCaretsLine)
{
    const IndentCase &c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    EXPECT_EQ(CountIndent(text, c.pos), c.expected);
    const QByteArray bytes = text.toUtf8();
    EXPECT_EQ(CountIndent(QByteArrayView(bytes), text.left(std::max(c.pos, 0)).toUtf8().size()),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, CountIndentTable,
                         ::testing::Values(
                             // The first line carries nothing over, however it begins.
                             IndentCase{"   abc", 6, 0}, IndentCase{"   abc", 1, 0},
                             IndentCase{"", 0, 0},
                             // A later line: its leading spaces, wherever the caret is in it.
                             IndentCase{"x\r\n   abc", 8, 3}, IndentCase{"x\r\n   abc", 3, 3},
                             IndentCase{"x\r\n   \xc3\xa4\xc3\xb6", 8, 3},
                             // Caret inside the run: the spaces after it count too.
                             IndentCase{"x\r\n    x", 5, 4},
                             // Tabs and non-breaking spaces end the run.
                             IndentCase{"x\r\n\t  abc", 9, 0}, IndentCase{"x\r\n  \t abc", 9, 2},
                             IndentCase{"x\r\n\xc2\xa0 abc", 8, 0},
                             // An empty line, also before an indented one.
                             IndentCase{"x\r\n", 3, 0}, IndentCase{"x\r\n\r\n   y", 3, 0},
                             IndentCase{"x\r\n  \r\n   y", 5, 2},
                             // A line of spaces only, up to the end of the text.
                             IndentCase{"x\r\n   ", 6, 3},
                             // A lone LF or CR does not start a line.
                             IndentCase{"  a\n  b", 7, 0}, IndentCase{"  a\r  b", 7, 0},
                             IndentCase{"x\r\n a\n  b", 9, 1},
                             // The caret between CR and LF is still on the line before.
                             IndentCase{"x\r\n  y\r\n", 7, 2}, IndentCase{"  x\r\n", 4, 0},
                             // The last of several line breaks decides; a caret beyond the end
                             // counts as at the end.
                             IndentCase{" a\r\n  b\r\n    c", 13, 4},
                             IndentCase{" a\r\n  b", 99, 2}, IndentCase{" a\r\n  b", -1, 0}));

} // namespace
} // namespace kelo
