// Replace all against the loop it stands for, and the edits that carry a
// whole-text command's result into the editor: they make it exactly, and for
// the line tools and replace all touch only what changed.
#include "tools/linerules.h"
#include "tools/replaceall.h"
#include "tools/textchanges.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <tuple>

namespace kelo {
namespace {

// The edits make any text of any other, also when they are found block by
// block; of what the line tools make of CR LF lines (the text with its
// closing break, as the file gives it back) they only take out what the
// tools dropped.
TEST(LineEdits, MakeAnyTextOfAnyOtherTakingOutOnlyWhatTheLineToolsDropped)
{
    const QByteArray parts[] = {"Wort", " ",  "  ",       "   ", "\r\n",   "\r\n\r\n",
                                "\r",   "\n", "\xc3\xa4", "abc", "  \r\n", "x"};
    std::mt19937 random(7);
    const auto randomText = [&](int pieces) {
        QByteArray text;
        while (pieces-- > 0)
            text += parts[random() % std::size(parts)];
        return text;
    };
    for (int round = 0; round < 400; ++round) {
        const QByteArray before = randomText(round % 40);
        const QByteArray written =
            before.endsWith('\r') || before.endsWith('\n') ? before : before + "\r\n";
        const bool crLfOnly = before.endsWith("\r\n") && before.count('\r') == before.count("\r\n");
        const QByteArray afters[] = {joinFileLines(cleanLines(written)),
                                     emptyLinesContaining(written, "abc"),
                                     randomText(round * 7 % 25)};
        for (const QByteArray &after : afters) {
            SCOPED_TRACE(before.toPercentEncoding().toStdString() + " -> " +
                         after.toPercentEncoding().toStdString());
            const TextEdits edits = lineEdits(before, after);
            ASSERT_EQ(edits.appliedTo(before), after);
            // Found as `after` comes back in blocks of whole lines, some of
            // them empty (blank lines all dropped), the edits are the same.
            LineEditsFinder finder(before);
            for (qsizetype from = 0; from < after.size();) {
                const qsizetype crLf = after.indexOf("\r\n", from + random() % 12);
                const qsizetype end = crLf < 0 ? after.size() : crLf + 2;
                finder.add(after.sliced(from, end - from));
                if (random() % 4 == 0)
                    finder.add({});
                from = end;
            }
            const TextEdits inBlocks = finder.finish();
            ASSERT_EQ(inBlocks.appliedTo(before), after);
            EXPECT_EQ(inBlocks.size(), edits.size());
            if (&after != &afters[2] && crLfOnly) {
                EXPECT_EQ(edits.insertedBytes(), 0);
                EXPECT_EQ(edits.removedBytes(), before.size() - after.size());
            }
        }
    }
}

// Replace all's result becomes edits only where every replacement stands where
// an occurrence stood, else none; what search and replacement share at their
// ends stays, in whole characters.
TEST(ReplacementEdits, PutTheReplacementAtEveryOccurrenceOrGiveNone)
{
    struct Case {
        QByteArray before, search, replacement, after;
        bool edits;
        qsizetype removed = 0;
    };
    const Case cases[] = {
        {"Welt und Welt.", "Welt", "Erdball", "Erdball und Erdball.", true, 8},
        {"Welt und Welt.", "Welt", "Weltall", "Weltall und Weltall.", true, 0},
        {"Straße!", "Straße", "Strasse", "Strasse!", true, 2},
        // ä and ö share their first byte, which is no character of its own.
        {"B\xC3\xA4r", "\xC3\xA4", "\xC3\xB6", "B\xC3\xB6r", true, 2},
        {"x\xC3\xA4\xC3\xA4", "\xC3\xA4\xC3\xA4", "\xC3\xA4", "x\xC3\xA4", true, 2},
        {"WeltWelt", "Welt", "", "", true, 8},
        {"aWeltb", "Welt", "\r\n", "a\r\nb", true, 4},
        {"aab", "ab", "a", "aa", true, 1},
        // "abb" -> "ab" -> "a": the first replacement made a new occurrence.
        {"abb", "ab", "a", "a", false},
        {"aaaa", "aa", "a", "a", false},
        {"Welt", "Welt", "All", "Alle", false},
        {"Welt", "Welt", "All", "Al", false},
        {"xWelt", "Welt", "All", "yAll", false},
        {"ohne", "Welt", "All", "ohne", true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QByteArray(c.before + " / " + c.search + " -> " + c.after).toStdString());
        const std::optional<TextEdits> edits =
            replacementEdits(c.before, c.search, c.replacement, c.after);
        ASSERT_EQ(edits.has_value(), c.edits);
        if (edits) {
            EXPECT_EQ(edits->appliedTo(c.before), c.after);
            EXPECT_EQ(edits->removedBytes(), c.removed);
        }
    }
}

// Replace the leftmost occurrence, search again from the start; nothing when
// it passes the bounds.
std::optional<std::pair<QString, qint64>> loop(QString s, const QString &f, const QString &r,
                                               const ReplaceLimits &limits)
{
    qint64 count = 0;
    for (qsizetype p = s.indexOf(f); p >= 0; p = s.indexOf(f)) {
        s.replace(p, f.size(), r);
        if (++count > limits.maxReplacements || s.toUtf8().size() > limits.maxBytes)
            return std::nullopt;
    }
    return std::pair(s, count);
}

// Replace all agrees with the loop it stands for; where replacements stay
// apart, the editor gets the occurrences as edits, else the whole result,
// with the same outcome and count under the same limits.
TEST(ReplaceAllChange, AgreesWithTheLoopReplaceAllStandsForOnRandomSmallCases)
{
    // Search, replacement, and whether they stay apart.
    // clang-format off
    const std::tuple<const char *, const char *, bool> pairs[] = {
        {"Welt", "Erdball", true}, {"Stra\u00dfe", "Strasse", true}, {"aa", "b", true},
        {"aba", "c", true}, {"a", "", true}, {"ab", "a", false}, {"ab", "b", false},
        {"ab", "", false}, {"abc", "b", false}, {"ab", "ba", false},
        {"Welt", "Weltall", false}, {"", "x", false}};
    // clang-format on
    for (const auto &[search, replacement, apart] : pairs)
        EXPECT_EQ(replacementsStayApart(search, replacement), apart)
            << search << " -> " << replacement;

    // Small alphabets make overlaps and cascades frequent, the umlaut and emoji
    // check bytes against characters, and limits this small are often met.
    const QStringList alphabets[] = {
        {"a", "b"}, {"a", "b", "c"}, {"a", "ä", "😀"}, {"a", " ", "\r", "\n"}};
    const ReplaceLimits limits[] = {{12, 40}, {3, 40}, {12, 18}};
    std::mt19937 random(20240607);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    int endless = 0, tooMuch = 0, replaced = 0, apart = 0, replacedApart = 0, limited = 0;
    for (int i = 0; i < 12000; ++i) {
        const QStringList &alphabet = alphabets[i % 4];
        const auto word = [&](int low, int high) {
            QString w;
            for (int n = pick(low, high); n > 0; --n)
                w += alphabet[pick(0, int(alphabet.size()) - 1)];
            return w;
        };
        const QString s = word(0, 16), f = word(1, 3), r = word(0, 4);
        const QByteArray text = s.toUtf8(), search = f.toUtf8(), replacement = r.toUtf8();
        const ReplaceLimits &small = limits[i % 3];
        SCOPED_TRACE(QString(s + " | " + f + " -> " + r).toStdString() + " at most " +
                     std::to_string(small.maxReplacements));
        const auto expected = loop(s, f, r, small);
        const ReplaceAllResult got = replaceAll(text, search, replacement, small);
        if (r.contains(f) && s.contains(f)) {
            EXPECT_EQ(got.outcome, ReplaceOutcome::EndlessReplacement);
            ++endless;
        } else if (!expected) {
            EXPECT_EQ(got.outcome, ReplaceOutcome::TooMuchWork);
            ++tooMuch;
        } else {
            ASSERT_EQ(got.outcome, ReplaceOutcome::Replaced);
            EXPECT_EQ(got.text, expected->first.toUtf8());
            EXPECT_EQ(got.count, expected->second);
            replaced += expected->second > 0;
        }
        const ReplaceAllChange change = replaceAllChange(text, search, replacement, small);
        ASSERT_EQ(change.outcome, got.outcome);
        ASSERT_EQ(change.count, got.count);
        if (change.outcome == ReplaceOutcome::Replaced && change.count > 0)
            ASSERT_EQ(change.edits ? change.edits->appliedTo(text) : change.text, got.text);
        else
            EXPECT_TRUE(!change.edits && change.text.isEmpty());
        if (replacementsStayApart(search, replacement)) {
            ++apart;
            replacedApart += change.count > 0 && change.outcome == ReplaceOutcome::Replaced;
            limited += change.outcome == ReplaceOutcome::TooMuchWork;
        }
    }
    // The cases must reach every branch, or the comparison proves little.
    EXPECT_GT(endless, 100);
    EXPECT_GT(tooMuch, 20);
    EXPECT_GT(replaced, 1500);
    EXPECT_GT(apart, 1000);
    EXPECT_GT(replacedApart, 500);
    EXPECT_GT(limited, 10);
}

// With a report, replace all and its edits look a megabyte at a time: matches
// across the borders are found, the report rises, and a stop gives nothing (as
// edits, through the Replace dialog in linetools_test.cpp).
TEST(ReplaceAll, TellsHowFarAndStops)
{
    const qsizetype mega = qsizetype(1) << 20;
    QByteArray text(3 * mega + 5, 'x');
    for (const qsizetype at : {mega - 2, 2 * mega - 1, 2 * mega + 7, 3 * mega + 1})
        text.replace(at, 4, "Welt");
    text.replace(mega - 3, 1, "W"); // "WWelt": the search starts over inside it
    const ReplaceAllResult plain = replaceAll(text, "Welt", "Erdball");
    EXPECT_EQ(plain.count, 4);
    QList<qint64> told, toldAsEdits;
    const auto recordInto = [](QList<qint64> &steps) {
        return [&steps](qint64 done) {
            steps.append(done);
            return true;
        };
    };
    const ReplaceAllResult reported = replaceAll(text, "Welt", "Erdball", {}, recordInto(told));
    EXPECT_EQ(reported.outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(reported.count, 4);
    EXPECT_TRUE(reported.text == plain.text);
    const ReplaceAllChange change =
        replaceAllChange(text, "Welt", "Erdball", {}, recordInto(toldAsEdits));
    ASSERT_EQ(change.outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(change.count, 4);
    ASSERT_TRUE(change.edits);
    EXPECT_EQ(change.edits->appliedTo(text), plain.text);
    for (const QList<qint64> &steps : {told, toldAsEdits}) {
        ASSERT_GE(steps.size(), 3);
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
        EXPECT_LE(steps.last(), text.size());
    }
    // Matches that make more matches across a border ("aab" -> "ab").
    QByteArray chain(mega - 1, 'x');
    chain += "aaaab";
    EXPECT_TRUE(replaceAll(chain, "ab", "b", {}, [](qint64) { return true; }).text ==
                replaceAll(chain, "ab", "b").text);

    const ReplaceAllResult stopped =
        replaceAll(text, "Welt", "Erdball", {}, [](qint64) { return false; });
    EXPECT_EQ(stopped.outcome, ReplaceOutcome::Cancelled);
    EXPECT_TRUE(stopped.text.isEmpty());
    EXPECT_EQ(replaceRefusal(ReplaceOutcome::Cancelled),
              QStringLiteral("Das Ersetzen wurde abgebrochen. Der Text bleibt unverändert."));
}

} // namespace
} // namespace kelo
