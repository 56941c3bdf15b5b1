// Replace all against the straightforward loop it stands for (replace the
// leftmost occurrence, search again from the start, until none is left), on
// thousands of random small cases; its refusals and its bounds.
#include "support/testenv.h"
#include "tools/replaceall.h"

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

// The loop as the dialog was first written, one replacement per pass on the
// whole text, stopped at the same bounds as replaceAll.
struct Literal {
    bool ended = true;
    QString text;
    qint64 count = 0;
};

Literal literalReplaceAll(QString s, const QString &f, const QString &r,
                          const ReplaceLimits &limits)
{
    Literal result;
    qint64 previous;
    do {
        previous = result.count;
        if (s.contains(f)) {
            s = sReplace(s, f, r);
            ++result.count;
            if (result.count > limits.maxReplacements || s.toUtf8().size() > limits.maxBytes) {
                result.ended = false;
                return result;
            }
        }
    } while (previous != result.count);
    result.text = s;
    return result;
}

struct AllCase {
    const char *name;
    QString text, search, replacement, result;
    qint64 count;
};

class ReplaceAll : public ::testing::TestWithParam<AllCase> {};

TEST_P(ReplaceAll, GivesTheResultAndCountOfTheLoop)
{
    const AllCase &c = GetParam();
    const ReplaceAllResult got =
        replaceAll(c.text.toUtf8(), c.search.toUtf8(), c.replacement.toUtf8());
    ASSERT_EQ(got.outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(got.text, c.result.toUtf8());
    EXPECT_EQ(got.count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReplaceAll,
    ::testing::Values(AllCase{"MadeTextIsSearchedAgain", "aaaa", "aa", "a", "a", 3},
                      AllCase{"FourSpacesToTab", "a        b      c    d", "    ", "\t",
                              "a\t\tb\t  c\td", 4},
                      AllCase{"AcrossLines", "a\r\nb a\r\nb", "\r\nb", " ", "a  a ", 2},
                      AllCase{"EndlessLookingButNotThere", "xyz", "a", "ab", "xyz", 0},
                      AllCase{"Umlauts", "Grüße über Grüße", "ü", "ue", "Grueße ueber Grueße", 3}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ReplaceAllProperty, AgreesWithTheLoopOnRandomSmallCases)
{
    // Small alphabets make matches, overlaps and cascades frequent; the
    // umlaut and the emoji check that bytes and characters agree.
    const QStringList alphabets[] = {
        {"a", "b"}, {"a", "b", "c"}, {"a", "ä", "😀"}, {"a", " ", "\r", "\n"}};
    const ReplaceLimits small{2000, 2000};
    std::mt19937 random(20240607);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    int endless = 0, tooMuch = 0, replaced = 0;
    for (int i = 0; i < 6000; ++i) {
        const QStringList &alphabet = alphabets[i % 4];
        const auto word = [&](int low, int high) {
            QString w;
            for (int n = pick(low, high); n > 0; --n)
                w += alphabet[pick(0, int(alphabet.size()) - 1)];
            return w;
        };
        const QString s = word(0, 14), f = word(1, 3), r = word(0, 4);
        SCOPED_TRACE(("case " + std::to_string(i) + ": '" + s.toStdString() + "' '" +
                      f.toStdString() + "' -> '" + r.toStdString() + "'"));

        if (r.contains(f) && s.contains(f)) {
            EXPECT_EQ(replaceAll(s.toUtf8(), f.toUtf8(), r.toUtf8()).outcome,
                      ReplaceOutcome::EndlessReplacement);
            EXPECT_FALSE(literalReplaceAll(s, f, r, small).ended);
            ++endless;
            continue;
        }
        const Literal expected = literalReplaceAll(s, f, r, small);
        if (!expected.ended) {
            EXPECT_EQ(replaceAll(s.toUtf8(), f.toUtf8(), r.toUtf8(), small).outcome,
                      ReplaceOutcome::TooMuchWork);
            ++tooMuch;
            continue;
        }
        const ReplaceAllResult got = replaceAll(s.toUtf8(), f.toUtf8(), r.toUtf8());
        ASSERT_EQ(got.outcome, ReplaceOutcome::Replaced);
        EXPECT_EQ(got.text, expected.text.toUtf8());
        EXPECT_EQ(got.count, expected.count);
        replaced += expected.count > 0;
    }
    // The cases must reach every branch, or the comparison proves little.
    EXPECT_GT(endless, 100);
    EXPECT_GT(tooMuch, 0);
    EXPECT_GT(replaced, 2000);
}

TEST(ReplaceAllRefusal, EmptySearchAndReplacementHoldingTheSearchChangeNothing)
{
    EXPECT_EQ(replaceAll("abc", "", "x").outcome, ReplaceOutcome::EmptySearch);
    EXPECT_EQ(replaceAll("", "", "").outcome, ReplaceOutcome::EmptySearch);
    const ReplaceAllResult endless = replaceAll("a", "a", "ab");
    EXPECT_EQ(endless.outcome, ReplaceOutcome::EndlessReplacement);
    EXPECT_EQ(endless.count, 0);
    EXPECT_EQ(replaceAll("xaax", "a", "a").outcome, ReplaceOutcome::EndlessReplacement);
    for (ReplaceOutcome refused : {ReplaceOutcome::EmptySearch, ReplaceOutcome::EndlessReplacement,
                                   ReplaceOutcome::TooMuchWork})
        EXPECT_TRUE(replaceRefusal(refused).contains(QStringLiteral("unverändert")));
    EXPECT_TRUE(replaceRefusal(ReplaceOutcome::Replaced).isEmpty());
}

// "ab" -> "ba" on a^k b^k takes k² replacements: the bound stops it at the
// limit, not one replacement earlier or later.
TEST(ReplaceAllBounds, ReplacementLimitIsExact)
{
    const QByteArray text = QByteArray(30, 'a') + QByteArray(30, 'b');
    const ReplaceAllResult enough = replaceAll(text, "ab", "ba", {900, qint64(1) << 30});
    EXPECT_EQ(enough.outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(enough.count, 900);
    EXPECT_EQ(enough.text, QByteArray(30, 'b') + QByteArray(30, 'a'));
    const ReplaceAllResult tooFew = replaceAll(text, "ab", "ba", {899, qint64(1) << 30});
    EXPECT_EQ(tooFew.outcome, ReplaceOutcome::TooMuchWork);
    EXPECT_TRUE(tooFew.text.isEmpty());
}

TEST(ReplaceAllBounds, GrowthLimitIsExact)
{
    // 100 replacements of "x" by "yy": the text grows from 100 to 200 bytes.
    const QByteArray text(100, 'x');
    EXPECT_EQ(replaceAll(text, "x", "yy", {1000, 200}).outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(replaceAll(text, "x", "yy", {1000, 199}).outcome, ReplaceOutcome::TooMuchWork);
}

// A megabyte of 'a' with "aa" -> "a": a million replacements, each making a
// new occurrence at the start. The loop would need hours; this must not.
TEST(ReplaceAllBounds, WorstCaseOfTheLoopEndsWithTheLoopsResult)
{
    const QByteArray text(1 << 20, 'a');
    const ReplaceAllResult got = replaceAll(text, "aa", "a");
    ASSERT_EQ(got.outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(got.text, QByteArray("a"));
    EXPECT_EQ(got.count, (1 << 20) - 1);
}

} // namespace
} // namespace kelo::test
