// Line breaks between the editor (CR LF) and the desktop (LF).
#include "platform/linebreaks.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo {
namespace {

struct BreakCase {
    const char *editor;
    const char *lf;   // crlfToLf
    const char *crlf; // breaksToCrlf
};

class LineBreaks : public ::testing::TestWithParam<BreakCase> {};

TEST_P(LineBreaks, ConvertBothWaysInBytesAndInText)
{
    const BreakCase &c = GetParam();
    EXPECT_EQ(crlfToLf(QByteArrayView(c.editor)), QByteArray(c.lf));
    EXPECT_EQ(crlfToLf(QString::fromUtf8(c.editor)), QString::fromUtf8(c.lf));
    EXPECT_EQ(breaksToCrlf(QByteArrayView(c.editor)), QByteArray(c.crlf));
}

INSTANTIATE_TEST_SUITE_P(Edges, LineBreaks,
                         ::testing::Values(BreakCase{"", "", ""}, BreakCase{"\r\n", "\n", "\r\n"},
                                           BreakCase{"a\r\nb\r\n", "a\nb\n", "a\r\nb\r\n"},
                                           // Lone breaks are characters of the text and stay.
                                           BreakCase{"a\rb\nc", "a\rb\nc", "a\r\nb\r\nc"},
                                           BreakCase{"\r\r\n\n", "\r\n\n", "\r\n\r\n\r\n"},
                                           BreakCase{"\n\r", "\n\r", "\r\n\r\n"},
                                           BreakCase{"x\r", "x\r", "x\r\n"},
                                           BreakCase{"Straße\r\n\xe2\x82\xac",
                                                     "Straße\n\xe2\x82\xac",
                                                     "Straße\r\n\xe2\x82\xac"}));

} // namespace
} // namespace kelo
