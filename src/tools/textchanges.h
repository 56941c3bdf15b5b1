// Where a whole-text command's result differs from the text it was made of,
// as edits the editor can make one by one (see platform/textedits.h), so that
// its undo step keeps only what changed.
#pragma once

#include "platform/textedits.h"

#include <QByteArrayView>

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

// The edits that put the replacement in place of every occurrence of the
// search text in `before`, from the left, if that makes `after`; nullopt
// when it does not (a replacement that made a new occurrence with the text
// around it was replaced again).
std::optional<TextEdits> replacementEdits(QByteArrayView before, QByteArrayView search,
                                          QByteArrayView replacement, QByteArrayView after);

} // namespace kelo
