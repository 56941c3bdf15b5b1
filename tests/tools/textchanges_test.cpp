// The edits that carry a whole-text command's result into the editor: they
// must always make the result exactly, and for the line tools and replace
// all they must touch only what the command changed.
#include "tools/linerules.h"
#include "tools/textchanges.h"

#include <QStringList>

#include <gtest/gtest.h>

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
            // When every line ends with CR LF the tools only take bytes
            // out, and so must the edits.
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

// Replace all's result is taken as edits only where every replacement stands
// where an occurrence stood; one that made a new occurrence, or a result
// that is not the text's, gives none.
// What the search text and the replacement share at their ends stays, in
// whole characters: only the bytes between are taken out.
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

} // namespace
} // namespace kelo
