// Where a whole-text command's result differs from the text it was made of,
// as edits the editor can make one by one (see platform/textedits.h), so that
// its undo step keeps only what changed.
#pragma once

#include "platform/textedits.h"
#include "tools/replaceall.h"

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <optional>

namespace kelo {

// The edits that make `after` of `before`, found line by line (a line ends at
// CR LF or at a lone CR, as in the temporary file): a line of `after` is
// taken as the next line of `before` with bytes taken out wherever it can be
// (the clean-up shrinks runs of spaces, the emptying empties lines), and a
// line of `before` that cannot become it is taken out whole (the clean-up
// drops blank lines). Line breaks that differ are changed, lines left over
// at the end taken out or added. The edits always make `after` exactly;
// they are few when `after` came about like that, and many (up to taking
// out and adding everything) when it did not.
TextEdits lineEdits(QByteArrayView before, QByteArrayView after);

// The same, with `after` coming a block of whole lines at a time (each with
// its line break, as the temporary file's lines are rebuilt): the edits are
// found as the blocks come, so `after` is never held whole. `before` must
// stay as it is until finish().
class LineEditsFinder {
public:
    explicit LineEditsFinder(QByteArrayView before);
    void add(QByteArrayView after);
    // The edits, the lines of `before` that no block took up taken out.
    TextEdits finish();

private:
    QByteArrayView m_before;
    qsizetype m_b = 0; // where the lines of `before` not yet taken up start
    TextEdits m_edits;
};

// The edits that put the replacement in place of every occurrence of the
// search text in `before`, from the left, if that makes `after`; nullopt
// when it does not (a replacement that made a new occurrence with the text
// around it was replaced again).
std::optional<TextEdits> replacementEdits(QByteArrayView before, QByteArrayView search,
                                          QByteArrayView replacement, QByteArrayView after);

// Replace all (see tools/replaceall.h) for the editor: the outcome and the
// count as replaceAll gives them, and when it replaced something, its result
// as the edits that make it, or else whole. Where the replacements stay
// apart, only the occurrences are looked for and the whole result is never
// made; report is told as replaceAll tells it.
struct ReplaceAllChange {
    ReplaceOutcome outcome = ReplaceOutcome::Replaced;
    qint64 count = 0;
    std::optional<TextEdits> edits;
    QByteArray text; // the result, when there are no edits for it
};
ReplaceAllChange replaceAllChange(QByteArrayView text, QByteArrayView search,
                                  QByteArrayView replacement, const ReplaceLimits &limits = {},
                                  const std::function<bool(qint64 done)> &report = {});

} // namespace kelo
