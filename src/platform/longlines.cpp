#include "platform/longlines.h"

#include <cstring>

namespace kelo {

namespace {

// The last line break in [from, to), or -1.
qsizetype lastBreak(const char *text, qsizetype from, qsizetype to)
{
    if (to <= from)
        return -1;
    // A text's lines mostly end in LF or CR LF, so LF is looked for first
    // and a lone CR only after the last LF.
    const void *lf = memrchr(text + from, '\n', std::size_t(to - from));
    const qsizetype afterLf = lf ? static_cast<const char *>(lf) - text + 1 : from;
    if (const void *cr = memrchr(text + afterLf, '\r', std::size_t(to - afterLf)))
        return static_cast<const char *>(cr) - text;
    return lf ? afterLf - 1 : -1;
}

// The first line break at or after `from`, or `size`.
qsizetype nextBreak(const char *text, qsizetype from, qsizetype size)
{
    const void *lf = std::memchr(text + from, '\n', std::size_t(size - from));
    const qsizetype end = lf ? static_cast<const char *>(lf) - text : size;
    const void *cr = std::memchr(text + from, '\r', std::size_t(end - from));
    return cr ? static_cast<const char *>(cr) - text : end;
}

} // namespace

std::vector<LineSpan> longLines(QByteArrayView text, qsizetype atLeast)
{
    std::vector<LineSpan> found;
    const char *bytes = text.data();
    const qsizetype size = text.size();
    qsizetype start = 0; // always the start of a line
    while (size - start >= atLeast) {
        // A line of atLeast bytes starting here leaves no break in the next
        // atLeast bytes; otherwise the last break there starts a line to
        // look at next, and the lines before it are all shorter.
        const qsizetype last = lastBreak(bytes, start, start + atLeast);
        if (last >= 0) {
            start = last + 1;
            continue;
        }
        const qsizetype end = nextBreak(bytes, start + atLeast, size);
        found.push_back({start, end - start});
        start = end + 1;
    }
    return found;
}

namespace {

// Whether a character, told by the first byte of its UTF-8 form, can be a
// piece of its own: Latin letters and signs from U+0080 to U+027F, Chinese
// and Japanese characters and punctuation from U+3000 to U+9FFF, Hangul
// syllables from U+B000 to U+DFFF. Any other goes on in the piece before it,
// since it may be drawn together with its neighbours: combining marks, the
// letters of scripts that join them, the joiners and variation selectors
// of emoji, emoji and their skin tones.
bool standsAlone(unsigned char lead)
{
    return (lead >= 0xC2 && lead <= 0xC9) || (lead >= 0xE3 && lead <= 0xE9) ||
           (lead >= 0xEB && lead <= 0xED);
}

} // namespace

void WordStyles::next(QByteArrayView piece, char *styles)
{
    const char *bytes = piece.data();
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == ' ') {
            m_afterSpace = true;
        } else if ((byte & 0xC0) != 0x80) { // a character starts here
            if (m_afterSpace) {
                m_style ^= 1;
                m_wordLength = 0;
                m_afterSpace = false;
                m_pairOpen = false;
            } else if (m_wordLength >= wholeWord) {
                // Two ASCII characters share a piece.
                if (byte < 0x80) {
                    if (!m_pairOpen)
                        m_style ^= 1;
                    m_pairOpen = !m_pairOpen;
                } else {
                    if (standsAlone(byte))
                        m_style ^= 1;
                    m_pairOpen = false;
                }
            }
            if (m_wordLength < wholeWord)
                ++m_wordLength;
        }
        styles[i] = m_style;
    }
}

} // namespace kelo
