// The indentation width: only CR LF ends a line, only spaces count, the run
// is measured in the whole line, the first line never indents. The UTF-16
// and the UTF-8 forms must agree.
#include "tools/autoindent.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>

namespace kelo {
namespace {

// The width for a caret at a UTF-16 offset, from both forms.
int indent(const char *utf8, int pos)
{
    const QString text = QString::fromUtf8(utf8);
    const int width = CountIndent(text, pos);
    const QByteArray bytes = text.toUtf8();
    EXPECT_EQ(CountIndent(QByteArrayView(bytes), text.left(std::max(pos, 0)).toUtf8().size()),
              width);
    return width;
}

TEST(CountIndent, CountsTheLeadingSpacesOfTheCaretsLine)
{
    // The first line carries nothing over, however it begins.
    EXPECT_EQ(indent("   abc", 6), 0);
    EXPECT_EQ(indent("", 0), 0);
    // A later line: its leading spaces, wherever the caret is in it, even
    // inside the run, where the spaces after the caret count too.
    EXPECT_EQ(indent("x\r\n   abc", 8), 3);
    EXPECT_EQ(indent("x\r\n   abc", 3), 3);
    EXPECT_EQ(indent("x\r\n   äö", 8), 3);
    EXPECT_EQ(indent("x\r\n    x", 5), 4);
    // Tabs and non-breaking spaces end the run.
    EXPECT_EQ(indent("x\r\n\t  abc", 9), 0);
    EXPECT_EQ(indent("x\r\n  \t abc", 9), 2);
    EXPECT_EQ(indent("x\r\n\u00a0 abc", 8), 0);
    // An empty line, also before an indented one; a line of spaces only.
    EXPECT_EQ(indent("x\r\n", 3), 0);
    EXPECT_EQ(indent("x\r\n\r\n   y", 3), 0);
    EXPECT_EQ(indent("x\r\n  \r\n   y", 5), 2);
    EXPECT_EQ(indent("x\r\n   ", 6), 3);
    // A lone LF or CR does not start a line.
    EXPECT_EQ(indent("  a\n  b", 7), 0);
    EXPECT_EQ(indent("  a\r  b", 7), 0);
    EXPECT_EQ(indent("x\r\n a\n  b", 9), 1);
    // The caret between CR and LF is still on the line before.
    EXPECT_EQ(indent("x\r\n  y\r\n", 7), 2);
    EXPECT_EQ(indent("  x\r\n", 4), 0);
    // The last of several line breaks decides; a caret beyond the end counts
    // as at the end.
    EXPECT_EQ(indent(" a\r\n  b\r\n    c", 13), 4);
    EXPECT_EQ(indent(" a\r\n  b", 99), 2);
    EXPECT_EQ(indent(" a\r\n  b", -1), 0);
}

} // namespace
} // namespace kelo
