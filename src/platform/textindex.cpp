#include "platform/textindex.h"

#include "platform/linebreaks.h"
#include "platform/scintillacalls.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kelo {

using namespace sci;

TextIndex::TextIndex(const QsciScintillaBase &editor)
    : m_editor(editor)
{}

// ---- UTF-16 offsets --------------------------------------------------------

long TextIndex::EditorBytes::size() const
{
    return send(m_editor, Sci::SCI_GETLENGTH);
}

const unsigned char *TextIndex::EditorBytes::bytes(long from, long length) const
{
    return reinterpret_cast<const unsigned char *>(rangePointer(m_editor, from, length));
}

long TextIndex::utf16ToPosition(int offset) const
{
    if (offset <= 0)
        return 0; // the start needs no index (a refresh after loading asks for it)
    const long position = m_utf16.positionAfter(offset);
    if (position > 0 &&
        send(m_editor, Sci::SCI_GETCHARAT, static_cast<unsigned long>(position)) == '\n' &&
        send(m_editor, Sci::SCI_GETCHARAT, static_cast<unsigned long>(position - 1)) == '\r')
        return position - 1; // a CR LF pair is never split either
    return position;
}

int TextIndex::positionToUtf16(long position) const
{
    if (position <= 0)
        return 0;
    return int(std::min<long>(m_utf16.unitsBefore(position), std::numeric_limits<int>::max()));
}

int TextIndex::textLength() const
{
    return int(std::min<long>(m_utf16.units(), std::numeric_limits<int>::max()));
}

// ---- CR LF lines -----------------------------------------------------------

bool TextIndex::endsInLoneBreak(long line) const
{
    const long end = send(m_editor, Sci::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    const long length = send(m_editor, Sci::SCI_GETLENGTH);
    if (end >= length)
        return false; // the last line has no break
    if (send(m_editor, Sci::SCI_GETCHARAT, static_cast<unsigned long>(end)) == '\n')
        return true;
    return end + 1 >= length ||
           send(m_editor, Sci::SCI_GETCHARAT, static_cast<unsigned long>(end + 1)) != '\n';
}

void TextIndex::resolvePendingEdit() const
{
    if (!m_pendingEdit)
        return;
    const PendingEdit edit = *m_pendingEdit;
    m_pendingEdit.reset();
    updateLoneBreakIndex(edit.position, send(m_editor, Sci::SCI_GETLINECOUNT) - edit.linesBefore);
}

void TextIndex::updateLoneBreakIndex(long position, long linesAdded) const
{
    if (!m_loneBreakIndexValid)
        return;
    // Looking at every line end of a big insertion costs more than one pass
    // over the whole text.
    constexpr long incrementalLimit = 4096;
    if (std::labs(linesAdded) > incrementalLimit) {
        m_loneBreakIndexValid = false;
        return;
    }
    // The edit changed the line ends from the line before the one of its
    // position to the line of its end. The margins allow for a CR before the
    // edit that met an LF after it (or lost it), which moves the position's
    // line by one. Lines beyond that range keep their ends and only move.
    const long line =
        send(m_editor, Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
    const long first = std::max(0L, line - 1);
    const long lastBefore = line + 2 + std::max(0L, -linesAdded);
    const long lastAfter =
        std::min(line + 2 + std::max(0L, linesAdded), send(m_editor, Sci::SCI_GETLINECOUNT) - 1);

    std::vector<long> &lines = m_loneBreakLines;
    const auto from = std::lower_bound(lines.begin(), lines.end(), first);
    const auto to = std::upper_bound(from, lines.end(), lastBefore);
    for (auto moved = to; moved != lines.end(); ++moved)
        *moved += linesAdded;
    std::vector<long> found;
    for (long candidate = first; candidate <= lastAfter; ++candidate) {
        if (endsInLoneBreak(candidate))
            found.push_back(candidate);
    }
    const auto at = lines.erase(from, to);
    lines.insert(at, found.begin(), found.end());
}

void TextIndex::ensureLoneBreakIndex() const
{
    if (m_loneBreakIndexValid) {
        resolvePendingEdit();
        return;
    }
    m_pendingEdit.reset();
    const long length = send(m_editor, Sci::SCI_GETLENGTH);
    m_loneBreakLines = loneBreakLines(QByteArrayView(characterPointer(m_editor), length));
    m_loneBreakIndexValid = true;
}

int TextIndex::crlfLineCount() const
{
    ensureLoneBreakIndex();
    return int(send(m_editor, Sci::SCI_GETLINECOUNT) - long(m_loneBreakLines.size()));
}

int TextIndex::crlfLineOfScintillaLine(long line) const
{
    ensureLoneBreakIndex();
    // Each lone break before this Scintilla line merged two of them into one.
    const auto joined = std::lower_bound(m_loneBreakLines.begin(), m_loneBreakLines.end(), line) -
                        m_loneBreakLines.begin();
    return int(line - joined);
}

int TextIndex::crlfLineOfOffset(int offset) const
{
    ensureLoneBreakIndex();
    const long line = send(m_editor, Sci::SCI_LINEFROMPOSITION,
                           static_cast<unsigned long>(utf16ToPosition(offset)));
    return crlfLineOfScintillaLine(line);
}

int TextIndex::crlfLineOfPosition(long position) const
{
    ensureLoneBreakIndex();
    return crlfLineOfScintillaLine(
        send(m_editor, Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
}

int TextIndex::crlfLineStart(int line) const
{
    ensureLoneBreakIndex();
    // CR LF line k starts after the k-th Scintilla line that ends in CR LF.
    // The lone break at Scintilla line L[i] has L[i] - i CR LF ends before it
    // (a non-decreasing sequence), so the lone breaks in front of line k are
    // those with L[i] - i < k.
    std::size_t low = 0;
    std::size_t high = m_loneBreakLines.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (m_loneBreakLines[mid] - long(mid) < line)
            low = mid + 1;
        else
            high = mid;
    }
    const long scintillaLine = line + long(low);
    return positionToUtf16(
        send(m_editor, Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(scintillaLine)));
}

// ---- Keeping up ------------------------------------------------------------

void TextIndex::beforeEdit(long position, bool insertion, const char *text, long length)
{
    // The edit before this one is done by now.
    resolvePendingEdit();
    if (insertion)
        m_utf16.beforeInsert(position, length);
    else
        m_utf16.beforeDelete(position, length);
    if (!m_loneBreakIndexValid)
        return;
    // An edit that joins a CR and an LF into a pair or splits one has a CR
    // just before it or an LF just after it; in a text of CR LF lines that
    // only happens next to a lone CR or LF.
    const long after = insertion ? position : position + length;
    const bool crBefore = position > 0 && send(m_editor, Sci::SCI_GETCHARAT,
                                               static_cast<unsigned long>(position - 1)) == '\r';
    const bool lfAfter =
        after < send(m_editor, Sci::SCI_GETLENGTH) &&
        send(m_editor, Sci::SCI_GETCHARAT, static_cast<unsigned long>(after)) == '\n';
    // Text without CR or LF, away from them, neither moves a line nor joins
    // or splits a CR LF pair: typing inside a line keeps the index.
    bool linesMayChange = crBefore || lfAfter;
    if (!linesMayChange && length > 0) {
        const char *changed = insertion ? text : rangePointer(m_editor, position, length);
        linesMayChange = changed == nullptr ||
                         std::memchr(changed, '\r', size_t(length)) != nullptr ||
                         std::memchr(changed, '\n', size_t(length)) != nullptr;
    }
    if (linesMayChange)
        m_pendingEdit = PendingEdit{position, send(m_editor, Sci::SCI_GETLINECOUNT)};
}

void TextIndex::beforeWholeReplacement()
{
    m_utf16.drop();
}

void TextIndex::afterWholeReplacement()
{
    m_pendingEdit.reset();
    m_loneBreakIndexValid = false;
    m_utf16.drop();
}

void TextIndex::build() const
{
    m_utf16.build();
    ensureLoneBreakIndex();
}

} // namespace kelo
