// The quotes start-up takes off the command line.
#include "shell/startup.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kelo {
namespace {

struct QuoteCase {
    const char *given;
    const char *expected;
    friend void PrintTo(const QuoteCase &c, std::ostream *out) { *out << '[' << c.given << ']'; }
};

class StripQuotes : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(StripQuotes, DropsFirstAndLastCharacterOnlyAfterAnOpeningQuote)
{
    EXPECT_EQ(stripQuotes(QString::fromUtf8(GetParam().given)),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, StripQuotes,
    ::testing::Values(QuoteCase{"\"/home/a b/c.txt\"", "/home/a b/c.txt"},
                      QuoteCase{"\"/home/a/c.txt", "/home/a/c.tx"}, // no closing quote
                      QuoteCase{"\"", "\""},                        // the cut fails
                      QuoteCase{"\"\"", ""}, QuoteCase{"/plain/path", "/plain/path"},
                      QuoteCase{"x\"y\"", "x\"y\""}, QuoteCase{"", ""}));

} // namespace
} // namespace kelo
