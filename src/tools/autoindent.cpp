// Automatic indentation. AutoIndent reads the editor's UTF-8 text in place:
// converting a large text to UTF-16 on every Enter would make typing slow.
#include "tools/autoindent.h"

#include "platform/textbox.h"

#include <algorithm>

namespace kelo {

int CountIndent(QByteArrayView text, qsizetype pos)
{
    pos = std::clamp<qsizetype>(pos, 0, text.size());
    // The last CR LF before the caret; without one the caret is on the first
    // line, which gives nothing.
    qsizetype lineStart = -1;
    for (qsizetype i = pos - 2; i >= 0; --i) {
        if (text[i] == '\r' && text[i + 1] == '\n') {
            lineStart = i + 2;
            break;
        }
    }
    if (lineStart < 0)
        return 0;
    int spaces = 0;
    for (qsizetype i = lineStart; i < text.size() && text[i] == ' '; ++i)
        ++spaces;
    return spaces;
}

void AutoIndent(TextBox &box)
{
    const int spaces = CountIndent(box.utf8View(), box.utf16ToPosition(box.SelStart()));
    box.setSelText(QStringLiteral("\r\n") + QString(spaces, u' '));
}

} // namespace kelo
