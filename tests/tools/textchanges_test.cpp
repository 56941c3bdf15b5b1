// The edits that carry a whole-text command's result into the editor make it
// exactly, and for the line tools and replace all touch only what changed.
#include "tools/linerules.h"
#include "tools/replaceall.h"
#include "tools/textchanges.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace kelo {
namespace {

// The edits made on the bytes, checking that they are in order.
QByteArray applied(QByteArrayView before, const TextEdits &edits)
{
    QByteArray out;
    qsizetype at = 0;
    for (qsizetype i = 0; i < edits.size(); ++i) {
        const TextEdits::Edit edit = edits[i];
        EXPECT_GE(edit.at, at);
        EXPECT_LE(edit.at + edit.removed, before.size());
        out += before.sliced(at, edit.at - at);
        out += edit.inserted;
        at = edit.at + edit.removed;
    }
    return out + before.sliced(at);
}

QByteArray randomText(quint32 &seed, int pieces)
{
    static const QList<QByteArray> parts = {"Wort", " ", "  ", "   ", "\r\n", "\r\n\r\n", "\r",
                                            "\n", "\xc3\xa4", "abc", "  \r\n", "x"};
    QByteArray text;
    for (int i = 0; i < pieces; ++i) {
        seed = seed * 1103515245u + 12345u;
        text += parts[(seed >> 8) % parts.size()];
    }
    return text;
}

// What the file gives back: the text with its closing break, as written.
QByteArray asWritten(const QByteArray &text)
{
    return text.endsWith('\r') || text.endsWith('\n') ? text : text + "\r\n";
}

TEST(LineEdits, MakeWhatTheLineToolsMadeTakingOutOnlyWhatTheyDropped)
{
    quint32 seed = 7;
    for (int round = 0; round < 400; ++round) {
        const QByteArray before = randomText(seed, round % 40);
        SCOPED_TRACE(before.toPercentEncoding().toStdString());
        const QByteArray cleaned = joinFileLines(cleanLines(asWritten(before)));
        const QByteArray emptied = emptyLinesContaining(asWritten(before), "abc");
        for (const QByteArray &after : {cleaned, emptied}) {
            const TextEdits edits = lineEdits(before, after);
            ASSERT_EQ(applied(before, edits), after);
            // With CR LF lines only, the tools and the edits only take out.
            if (!before.isEmpty() && before.endsWith("\r\n") &&
                before.count('\r') == before.count("\r\n")) {
                EXPECT_EQ(edits.insertedBytes(), 0);
                EXPECT_EQ(edits.removedBytes(), before.size() - after.size());
            }
        }
    }
}

TEST(LineEdits, MakeAnyTextOfAnyOther)
{
    quint32 seed = 99;
    for (int round = 0; round < 300; ++round) {
        const QByteArray before = randomText(seed, round % 25);
        const QByteArray after = randomText(seed, (round * 7) % 25);
        SCOPED_TRACE(before.toPercentEncoding().toStdString() + " -> " +
                     after.toPercentEncoding().toStdString());
        ASSERT_EQ(applied(before, lineEdits(before, after)), after);
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
        {"Stra\xC3\x9F" "e!", "Stra\xC3\x9F" "e", "Strasse", "Strasse!", true, 2},
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
            EXPECT_EQ(applied(c.before, *edits), c.after);
            EXPECT_EQ(edits->removedBytes(), c.removed);
        }
    }
}

// Where replacements stay apart, the occurrences are handed over as edits:
// the same result, outcome and count as replace all, under the same limits.
TEST(ReplaceAllChange, GivesTheEditorExactlyWhatReplaceAllGives)
{
    struct Apart {
        QByteArray search, replacement;
        bool apart;
    };
    const Apart pairs[] = {
        {"Welt", "Erdball", true}, {"Stra\xC3\x9F" "e", "Strasse", true}, {"aa", "b", true},
        {"aba", "c", true},        {"a", "", true},                        {"ab", "a", false},
        {"ab", "b", false},        {"ab", "", false},                       {"abc", "b", false},
        {"ab", "ba", false},       {"Welt", "Weltall", false},              {"", "x", false},
    };
    for (const Apart &pair : pairs)
        EXPECT_EQ(replacementsStayApart(pair.search, pair.replacement), pair.apart)
            << pair.search.toStdString() << " -> " << pair.replacement.toStdString();

    const QByteArray alphabets[] = {"ab", "abc", "a b\r\n"};
    std::mt19937 random(20261209);
    const auto word = [&random](QByteArrayView alphabet, int low, int high) {
        QByteArray w;
        for (int n = std::uniform_int_distribution<int>(low, high)(random); n > 0; --n)
            w += alphabet[std::uniform_int_distribution<int>(0, int(alphabet.size()) - 1)(random)];
        return w;
    };
    int apart = 0, replacedApart = 0, limited = 0;
    for (int i = 0; i < 6000; ++i) {
        const QByteArray &alphabet = alphabets[i % 3];
        const QByteArray text = word(alphabet, 0, 16), search = word(alphabet, 1, 3),
                         replacement = word(alphabet, 0, 4);
        SCOPED_TRACE(QByteArray(text + " | " + search + " -> " + replacement).toStdString());
        // Few replacements, or little room to grow.
        const ReplaceLimits small = i % 2 ? ReplaceLimits{3, 40} : ReplaceLimits{12, 18};
        const ReplaceAllResult expected = replaceAll(text, search, replacement, small);
        const ReplaceAllChange change = replaceAllChange(text, search, replacement, small);
        ASSERT_EQ(change.outcome, expected.outcome);
        ASSERT_EQ(change.count, expected.count);
        if (change.outcome == ReplaceOutcome::Replaced && change.count > 0)
            ASSERT_EQ(change.edits ? applied(text, *change.edits) : change.text, expected.text);
        else
            EXPECT_TRUE(!change.edits && change.text.isEmpty());
        if (replacementsStayApart(search, replacement)) {
            ++apart;
            replacedApart += change.count > 0 && change.outcome == ReplaceOutcome::Replaced;
            limited += change.outcome == ReplaceOutcome::TooMuchWork;
        }
    }
    // Both ways must be taken often, the limits met on the short one too.
    EXPECT_GT(apart, 1000);
    EXPECT_GT(replacedApart, 500);
    EXPECT_GT(limited, 10);
}

// With a report, replace all and its edits look a megabyte at a time: matches
// across the borders are found, the report rises, and a stop gives nothing.
TEST(ReplaceAll, TellsHowFarAndStopsAsTextAndAsEdits)
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
    EXPECT_EQ(applied(text, *change.edits), plain.text);
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

    const auto stop = [](qint64) { return false; };
    const ReplaceAllResult stopped = replaceAll(text, "Welt", "Erdball", {}, stop);
    EXPECT_EQ(stopped.outcome, ReplaceOutcome::Cancelled);
    EXPECT_TRUE(stopped.text.isEmpty());
    const ReplaceAllChange stoppedEdits = replaceAllChange(text, "Welt", "Erdball", {}, stop);
    EXPECT_EQ(stoppedEdits.outcome, ReplaceOutcome::Cancelled);
    EXPECT_EQ(stoppedEdits.count, 0);
    EXPECT_FALSE(stoppedEdits.edits);
    EXPECT_EQ(replaceRefusal(ReplaceOutcome::Cancelled),
              QStringLiteral("Das Ersetzen wurde abgebrochen. Der Text bleibt unverändert."));
}

} // namespace
} // namespace kelo
