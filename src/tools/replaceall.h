// Replace all of the Replace dialog: every occurrence of the search text
// replaced, exactly and case-sensitively, the text a replacement makes
// searched again.
//
// The result is that of replacing the leftmost occurrence and searching the
// new text again from its start, over and over, until none is left ("aaaa"
// with "aa" -> "a" gives "a" after three replacements). It is computed in one
// pass: a match that is found while reading the text left to right is always
// the leftmost one, since all matches are equally long and the text read so
// far holds none; the replacement is then read again as if it stood in the
// text, after the last length(search) - 1 characters before it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

namespace kelo {

// Bounds on inputs that end only after a huge number of replacements ("ab" ->
// "ba" on a...ab...b takes n² of them) or grow the text without end.
struct ReplaceLimits {
    qint64 maxReplacements = 100'000'000;
    qint64 maxBytes = qint64(1) << 30;
};

enum class ReplaceOutcome {
    Replaced,           // the text and the count are the result (the count may be 0)
    EmptySearch,        // refused: the empty text occurs everywhere
    EndlessReplacement, // refused: the replacement contains the search text, which occurs
    TooMuchWork,        // stopped at a limit
    Cancelled,          // stopped by the report
};

struct ReplaceAllResult {
    ReplaceOutcome outcome = ReplaceOutcome::Replaced;
    QByteArray text; // only when Replaced
    qint64 count = 0;
};

// Replace all on UTF-8 text (the editor's form). UTF-8 texts occur in one
// another exactly where their characters do, so the bytes give the result
// and the count of the characters. report, if set, is told every megabyte or
// so how many bytes of the text are read; false stops the replacing.
ReplaceAllResult replaceAll(QByteArrayView text, QByteArrayView search, QByteArrayView replacement,
                            const ReplaceLimits &limits = {},
                            const std::function<bool(qint64 done)> &report = {});

// Whether no replacement can ever make a new occurrence of the search text,
// with the text around it or with the replacements beside it, so that
// replace all replaces just the occurrences the text holds now: an
// occurrence that reached into a replacement would begin with an end of the
// replacement, end with a start of it, or hold it whole with something on
// either side. An empty replacement is held by any search text of two
// characters or more ("aabb" without "ab" is "ab").
bool replacementsStayApart(QByteArrayView search, QByteArrayView replacement);

// The German message for an outcome that changed nothing; empty for Replaced.
QString replaceRefusal(ReplaceOutcome outcome);

} // namespace kelo
