// Line breaks leaving the editor (CR LF) for the desktop (LF).
#include "platform/linebreaks.h"

#include <gtest/gtest.h>

namespace kelo {
namespace {

class LineBreaks : public ::testing::TestWithParam<std::pair<const char *, const char *>> {};

TEST_P(LineBreaks, CrLfBecomesLfInBytesAndInText)
{
    const auto &[editor, lf] = GetParam();
    EXPECT_EQ(crlfToLf(QByteArrayView(editor)), QByteArray(lf));
    EXPECT_EQ(crlfToLf(QString::fromUtf8(editor)), QString::fromUtf8(lf));
}

// Lone breaks are characters of the text and stay.
INSTANTIATE_TEST_SUITE_P(
    Edges, LineBreaks,
    ::testing::Values(std::pair{"", ""}, std::pair{"a\r\nb\r\n", "a\nb\n"},
                      std::pair{"a\rb\nc", "a\rb\nc"}, std::pair{"\r\r\n\n", "\r\n\n"},
                      std::pair{"\n\r", "\n\r"}, std::pair{"x\r", "x\r"},
                      std::pair{"Straße\r\n\xe2\x82\xac", "Straße\n\xe2\x82\xac"}));

} // namespace
} // namespace kelo
