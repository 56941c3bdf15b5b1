// Automatic indentation: Enter in the editor starts the new line with as many
// spaces as the caret's line begins with.
//
// Only spaces count (a tab or a non-breaking space ends the run), only CR LF
// ends a line, and a break typed on the first line of the text never carries
// an indentation over, even when that line begins with spaces. The run is
// measured in the whole line, so with the caret inside the leading spaces the
// spaces after it count as well.
#pragma once

#include <QByteArrayView>

namespace kelo {

class TextBox;

// The indentation for a line break typed at pos of the editor's UTF-8 text
// (a byte position): the spaces at the start of the line that holds pos. The
// rules look at CR, LF and spaces only, which are single bytes there.
int CountIndent(QByteArrayView text, qsizetype pos);

// Replaces the selection (or inserts at the caret) with CR LF and the
// indentation; the caret ends after it.
void AutoIndent(TextBox &box);

} // namespace kelo
