// The caret readout: the line and column of the caret (or of the start of
// the selection), counted from 1, shown in the status line after a click
// into the editor. Lines are CR LF lines, as a Windows edit control numbers
// them; columns count UTF-16 code units from the line's start.
#pragma once

#include <QString>

namespace kelo {

class TextBox;

// The 1-based line that holds the selection start.
int GetCurrentLine(const TextBox &box);
// The 1-based column of the selection start within its line.
int GetCurrentCol(const TextBox &box);
// "Zeile 12, Spalte 1".
QString caretReadout(int line, int column);

} // namespace kelo
