// Replace all against the straightforward loop it stands for (replace the
// leftmost occurrence, search again from the start, until none is left), on
// thousands of random small cases; its refusals and its bounds.
#include "support/testenv.h"
#include "tools/replaceall.h"

#include <gtest/gtest.h>

#include <random>

namespace kelo::test {
namespace {

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
    qint64 count = 0;
    while (s.contains(f)) {
        s = sReplace(s, f, r);
        if (++count > limits.maxReplacements || s.toUtf8().size() > limits.maxBytes)
            return {false, {}, count};
    }
    return {true, s, count};
}

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

        const Literal expected = literalReplaceAll(s, f, r, small);
        const QByteArray s8 = s.toUtf8(), f8 = f.toUtf8(), r8 = r.toUtf8();
        if (r.contains(f) && s.contains(f)) {
            EXPECT_FALSE(expected.ended);
            EXPECT_EQ(replaceAll(s8, f8, r8).outcome, ReplaceOutcome::EndlessReplacement);
            ++endless;
        } else if (!expected.ended) {
            EXPECT_EQ(replaceAll(s8, f8, r8, small).outcome, ReplaceOutcome::TooMuchWork);
            ++tooMuch;
        } else {
            const ReplaceAllResult got = replaceAll(s8, f8, r8);
            ASSERT_EQ(got.outcome, ReplaceOutcome::Replaced);
            EXPECT_EQ(got.text, expected.text.toUtf8());
            EXPECT_EQ(got.count, expected.count);
            replaced += expected.count > 0;
        }
    }
    // The cases must reach every branch, or the comparison proves little.
    EXPECT_GT(endless, 100);
    EXPECT_GT(tooMuch, 0);
    EXPECT_GT(replaced, 2000);
}

// The dialog shows the refusals; the random cases check the endless ones.
TEST(ReplaceAllRefusal, EmptySearchAndTheSearchAsItsOwnReplacementAreRefused)
{
    EXPECT_EQ(replaceAll("", "", "").outcome, ReplaceOutcome::EmptySearch);
    EXPECT_EQ(replaceAll("xaax", "a", "a").outcome, ReplaceOutcome::EndlessReplacement);
    EXPECT_TRUE(
        replaceRefusal(ReplaceOutcome::TooMuchWork).contains(QStringLiteral("unverändert")));
}

// "ab" -> "ba" on a^k b^k takes k² replacements: the bounds stop it at the
// limit, not one replacement or byte earlier or later.
TEST(ReplaceAllBounds, LimitsAreExact)
{
    const QByteArray text = QByteArray(30, 'a') + QByteArray(30, 'b');
    const ReplaceAllResult enough = replaceAll(text, "ab", "ba", {900, qint64(1) << 30});
    EXPECT_EQ(enough.outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(enough.count, 900);
    EXPECT_EQ(enough.text, QByteArray(30, 'b') + QByteArray(30, 'a'));
    const ReplaceAllResult tooFew = replaceAll(text, "ab", "ba", {899, qint64(1) << 30});
    EXPECT_EQ(tooFew.outcome, ReplaceOutcome::TooMuchWork);
    EXPECT_TRUE(tooFew.text.isEmpty());
    // 100 replacements of "x" by "yy": the text grows from 100 to 200 bytes.
    const QByteArray xs(100, 'x');
    EXPECT_EQ(replaceAll(xs, "x", "yy", {1000, 200}).outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(replaceAll(xs, "x", "yy", {1000, 199}).outcome, ReplaceOutcome::TooMuchWork);
}

} // namespace
} // namespace kelo::test
