// The caret readout rests on the editor's line queries, which look up an
// index instead of counting lines, so a click at the end of a large text
// costs no more than one at its start.
#include "tools/caret.h"

#include "platform/textbox.h"

namespace kelo {

int GetCurrentLine(const TextBox &box)
{
    return box.lineFromChar(-1) + 1;
}

int GetCurrentCol(const TextBox &box)
{
    const int line = GetCurrentLine(box);
    const int lineStart = box.lineIndex(line - 1);
    return box.SelStart() - lineStart + 1;
}

QString caretReadout(int line, int column)
{
    return QStringLiteral("Zeile ") + QString::number(line) + QStringLiteral(", Spalte ") +
           QString::number(column);
}

} // namespace kelo
