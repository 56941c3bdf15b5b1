#include "platform/textedits.h"

#include <algorithm>
#include <cstring>

namespace kelo {

namespace {

// Equal stretches are passed over this many bytes at a time.
constexpr qsizetype block = 4096;

bool continues(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace

TextEdits::Edit TextEdits::between(QByteArrayView before, QByteArrayView after)
{
    const qsizetype shortest = std::min(before.size(), after.size());
    const char *const b = before.data();
    const char *const a = after.data();
    qsizetype start = 0;
    while (start + block <= shortest && std::memcmp(b + start, a + start, block) == 0)
        start += block;
    while (start < shortest && b[start] == a[start])
        ++start;
    // The end both share, within what is left of the shorter one.
    qsizetype end = 0;
    const qsizetype most = shortest - start;
    const auto same = [&](qsizetype from, qsizetype length) {
        return std::memcmp(b + before.size() - from - length, a + after.size() - from - length,
                           size_t(length)) == 0;
    };
    while (end + block <= most && same(end, block))
        end += block;
    while (end < most && same(end, 1))
        ++end;
    // Neither edge may fall inside a character or between CR and LF.
    const auto startsInside = [&](QByteArrayView text, qsizetype at) {
        return at < text.size() && (continues(text[at]) || (text[at] == '\n' && at > 0 &&
                                                            text[at - 1] == '\r'));
    };
    while (start > 0 && (startsInside(before, start) || startsInside(after, start)))
        --start;
    while (end > 0 && (startsInside(before, before.size() - end) ||
                       startsInside(after, after.size() - end)))
        --end;
    return {start, before.size() - start - end, after.sliced(start, after.size() - start - end)};
}

TextEdits TextEdits::replacingAll(qsizetype before, const QByteArray &after)
{
    TextEdits edits;
    edits.m_insertions.append(after); // an empty array shares what it is given
    edits.m_removed = before;
    if (before > 0 || !after.isEmpty())
        edits.m_edits.push_back({0, std::uint32_t(before), 0, std::uint32_t(after.size())});
    return edits;
}

void TextEdits::add(qsizetype at, qsizetype removed, QByteArrayView inserted)
{
    if (removed == 0 && inserted.isEmpty())
        return;
    Q_ASSERT(at >= 0 && removed >= 0);
    Q_ASSERT(m_edits.empty() || at >= qsizetype(m_edits.back().at) + m_edits.back().removed);
    const auto start = std::uint32_t(m_insertions.size());
    if (!inserted.isEmpty())
        m_insertions.append(inserted);
    m_removed += removed;
    if (!m_edits.empty()) {
        Stored &last = m_edits.back();
        if (qsizetype(last.at) + last.removed == at) {
            last.removed += std::uint32_t(removed);
            last.inserted += std::uint32_t(inserted.size());
            return;
        }
    }
    m_edits.push_back({std::uint32_t(at), std::uint32_t(removed), start,
                       std::uint32_t(inserted.size())});
}

TextEdits::Edit TextEdits::operator[](qsizetype index) const
{
    const Stored &edit = m_edits[size_t(index)];
    return {qsizetype(edit.at), qsizetype(edit.removed),
            QByteArrayView(m_insertions).sliced(edit.insertionStart, edit.inserted)};
}

QByteArray TextEdits::appliedTo(QByteArrayView before) const
{
    Q_ASSERT(m_edits.empty() ||
             qsizetype(m_edits.back().at) + m_edits.back().removed <= before.size());
    QByteArray after;
    after.reserve(before.size() + insertedBytes() - removedBytes());
    qsizetype kept = 0; // in before: what lies before it is in after
    for (const Stored &edit : m_edits) {
        after.append(before.sliced(kept, qsizetype(edit.at) - kept));
        after.append(QByteArrayView(m_insertions).sliced(edit.insertionStart, edit.inserted));
        kept = qsizetype(edit.at) + edit.removed;
    }
    after.append(before.sliced(kept));
    return after;
}

QByteArray TextEdits::removedFrom(QByteArrayView before) const
{
    QByteArray removed;
    removed.reserve(m_removed);
    for (const Stored &edit : m_edits)
        removed.append(before.sliced(edit.at, edit.removed));
    return removed;
}

qint64 TextEdits::undoCost() const
{
    return qint64(m_edits.size() * sizeof(Stored)) + m_removed + m_insertions.size();
}

} // namespace kelo
