#include "platform/utf16offsets.h"

#include "platform/bitcounts.h"
#include "platform/codepage.h"
#include "platform/shortsequences.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace kelo {

namespace {

using Byte = unsigned char;

// A character that starts more than this many bytes before an edit cannot
// reach into it (a well-formed sequence has at most four bytes).
constexpr long kLookBehind = 4;
// How far past a stop a character that starts before it may reach.
constexpr long kLookAhead = 3;

int unitsOf(int sequenceLength)
{
    return sequenceLength == 4 ? 2 : 1;
}

int characterLength(const Byte *p, const Byte *end)
{
    return *p < 0x80 ? 1 : std::max(1, utf8SequenceLength(p, end));
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Counts eight bytes at once when they hold nothing but ASCII and well-formed
// two-byte sequences (all of Latin-1: ä, ö, ü, ß, é): every byte but a
// continuation byte starts one unit. `word` holds the bytes in memory order
// from its lowest byte up. Gives the number of bytes taken (7 when the last
// one starts a sequence that goes on in the next word) and adds their units,
// or 0 when the word holds anything else.
int countLatinWord(std::uint64_t word, long &units)
{
    const std::uint64_t high = word & kHighBits;
    const std::uint64_t bit6 = (word << 1) & kHighBits;
    const std::uint64_t leads = high & bit6;
    const std::uint64_t continuations = high & ~bit6;
    if ((leads & (word << 2)) != 0)
        return 0; // a lead of three or four bytes
    if ((leads & ~((word << 3) | (word << 4) | (word << 5) | (word << 6))) != 0)
        return 0; // 0xC0 or 0xC1, which start no well-formed sequence
    // Each lead is followed by a continuation and each continuation follows
    // a lead (a lead in the last byte is left for the next word).
    if (continuations != (leads << 8))
        return 0;
    const int taken = (leads >> 56) != 0 ? 7 : 8;
    units += taken - markedBytes(continuations);
    return taken;
}

// Counts the units of the characters that start in [p, stop) and returns
// where the last of them ends (at most kLookAhead bytes past stop). `end`
// bounds the look-ahead.
const Byte *countUnits(const Byte *p, const Byte *stop, const Byte *end, long &total)
{
    // Counted in a local: the bytes read could alias `total`, which would
    // keep it in memory.
    long units = total;
    while (p < stop) {
        // Sixteen bytes at a time while they hold sequences of at most three
        // bytes (a unit each: every byte but the continuations), eight while
        // they are ASCII or Latin-1 letters, and otherwise up to the next
        // byte that is not ASCII.
#ifdef __SSE2__
        if (stop - p >= 16) {
            if (const ShortSequences block = shortSequences(p); block.taken != 0) {
                p += block.taken;
                units += block.taken - block.continuations;
                continue;
            }
        }
#endif
        if (stop - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if constexpr (std::endian::native == std::endian::little) {
                if (const int taken = countLatinWord(word, units)) {
                    p += taken;
                    continue;
                }
            }
            const std::uint64_t high = word & kHighBits;
            if (high == 0) {
                p += 8;
                units += 8;
                continue;
            }
            // The ASCII bytes in front of the first one that is not.
            const int ascii =
                (std::endian::native == std::endian::little ? std::countr_zero(high)
                                                            : std::countl_zero(high)) /
                8;
            p += ascii;
            units += ascii;
        } else if (*p < 0x80) {
            ++p;
            ++units;
            continue;
        }
        // A two-byte sequence (ä, ö, ü, ß) without the general decoder.
        if (*p >= 0xc2 && *p <= 0xdf && end - p >= 2 && (p[1] & 0xc0) == 0x80) {
            p += 2;
            ++units;
            continue;
        }
        const int length = characterLength(p, end);
        units += unitsOf(length);
        p += length;
    }
    total = units;
    return p;
}

} // namespace

Utf16Offsets::Utf16Offsets(const Source &text, long blockSize)
    : m_text(text)
    , m_blockSize(std::max(1L, blockSize))
{}

void Utf16Offsets::drop()
{
    m_marks.clear();
    m_pending.reset();
}

void Utf16Offsets::build() const
{
    takeInPendingEdit();
    if (isBuilt() && m_marks.back().byte == m_text.size())
        return;
    m_pending.reset();
    m_marks = {Mark{0, 0}, Mark{m_text.size(), 0}};
    recount(0, m_marks.back().byte);
}

std::size_t Utf16Offsets::blockAt(long position) const
{
    // The end mark starts no block; an empty text has one empty block.
    const auto blocksEnd = m_marks.end() - 1;
    const auto after = std::upper_bound(m_marks.begin(), blocksEnd, position,
                                        [](long at, const Mark &mark) { return at < mark.byte; });
    return std::size_t(std::max<std::ptrdiff_t>(0, after - m_marks.begin() - 1));
}

void Utf16Offsets::recount(std::size_t first, long reach) const
{
    const long size = m_text.size();
    long position = m_marks[first].byte;
    long units = m_marks[first].units;
    std::size_t next = first + 1;
    while (m_marks[next].byte < reach)
        ++next; // the end mark is at the end of the text, at or after the reach
    std::vector<Mark> cuts;
    long lastCut = position;
    while (true) {
        const long to = m_marks[next].byte;
        // Block by block, so that the source never has to hand out more
        // than a block in one piece.
        while (position < to) {
            const long stop = std::min(to, lastCut + m_blockSize);
            const long available = std::min(size, stop + kLookAhead) - position;
            const Byte *base = m_text.bytes(position, available);
            position +=
                long(countUnits(base, base + (stop - position), base + available, units) - base);
            if (position < to && position - lastCut >= m_blockSize) {
                cuts.push_back(Mark{position, units});
                lastCut = position;
            }
        }
        // Landed on a mark: from there on the text and its characters are
        // as they were counted before.
        while (m_marks[next].byte < position)
            ++next; // a character ran over the mark, which is no start any more
        if (m_marks[next].byte == position)
            break;
    }
    const long change = units - m_marks[next].units;
    m_marks.erase(m_marks.begin() + std::ptrdiff_t(first) + 1,
                  m_marks.begin() + std::ptrdiff_t(next));
    m_marks.insert(m_marks.begin() + std::ptrdiff_t(first) + 1, cuts.begin(), cuts.end());
    for (auto mark = m_marks.begin() + std::ptrdiff_t(first + 1 + cuts.size());
         mark != m_marks.end(); ++mark)
        mark->units += change;
}

void Utf16Offsets::takeInPendingEdit() const
{
    if (!m_pending || !isBuilt())
        return;
    const PendingEdit edit = *m_pending;
    m_pending.reset();
    if (m_marks.back().byte != m_text.size()) {
        m_marks.clear(); // an edit went by untold: count afresh
        return;
    }
    std::size_t first = blockAt(edit.position);
    while (first > 0 && m_marks[first].byte > edit.position - kLookBehind)
        --first;
    recount(first, edit.position + edit.length);
}

void Utf16Offsets::beforeInsert(long position, long length)
{
    takeInPendingEdit();
    if (!isBuilt() || length <= 0)
        return;
    position = std::clamp(position, 0L, m_marks.back().byte);
    // The new bytes go into the block that holds the position (or that ends
    // at it); the marks after it move on.
    for (auto mark = m_marks.begin() + 1; mark != m_marks.end(); ++mark) {
        if (mark->byte > position || mark + 1 == m_marks.end())
            mark->byte += length;
    }
    m_pending = PendingEdit{position, length};
}

void Utf16Offsets::beforeDelete(long position, long length)
{
    takeInPendingEdit();
    if (!isBuilt() || length <= 0)
        return;
    const long size = m_marks.back().byte;
    position = std::clamp(position, 0L, size);
    const long end = std::min(size, position + length);
    // Marks inside the deleted bytes go, with the one at their start: its
    // bytes are gone, and the recount must land on a mark behind the edit,
    // whose count is off by the units deleted. The marks after them move back.
    const auto gone = [&](const Mark &mark) {
        return mark.byte >= position && mark.byte <= end && mark.byte > 0;
    };
    m_marks.erase(std::remove_if(m_marks.begin(), m_marks.end() - 1, gone), m_marks.end() - 1);
    for (auto mark = m_marks.begin() + 1; mark != m_marks.end(); ++mark) {
        if (mark->byte > end || mark + 1 == m_marks.end())
            mark->byte -= end - position;
    }
    m_pending = PendingEdit{position, 0};
}

long Utf16Offsets::units() const
{
    build();
    return m_marks.back().units;
}

long Utf16Offsets::unitsBefore(long position) const
{
    build();
    const long size = m_marks.back().byte;
    position = std::clamp(position, 0L, size);
    if (position == size)
        return m_marks.back().units;
    const Mark &start = m_marks[blockAt(position)];
    const long available = std::min(size, position + kLookAhead) - start.byte;
    const Byte *base = m_text.bytes(start.byte, available);
    const Byte *end = base + available;
    const Byte *wanted = base + (position - start.byte);
    long units = start.units;
    // Fast up to where no character can reach past the position, then one
    // by one: a character that the position cuts is not counted.
    const Byte *p = countUnits(base, std::max(base, wanted - kLookAhead), end, units);
    while (p < wanted) {
        const int length = characterLength(p, end);
        if (p + length > wanted)
            break;
        units += unitsOf(length);
        p += length;
    }
    return units;
}

long Utf16Offsets::positionAfter(long units) const
{
    build();
    units = std::clamp(units, 0L, m_marks.back().units);
    if (units == m_marks.back().units)
        return m_marks.back().byte;
    // The last block start at or before the count (blocks are never empty).
    const auto after =
        std::upper_bound(m_marks.begin(), m_marks.end() - 1, units,
                         [](long count, const Mark &mark) { return count < mark.units; });
    const std::size_t block = std::size_t(after - m_marks.begin() - 1);
    const Mark &start = m_marks[block];
    const long size = m_marks.back().byte;
    const long available = std::min(size, m_marks[block + 1].byte + kLookAhead) - start.byte;
    const Byte *base = m_text.bytes(start.byte, available);
    const Byte *end = base + available;
    const Byte *p = base;
    long remaining = units - start.units;
    while (remaining > 0) {
        if (remaining >= 8 && end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & kHighBits) == 0) {
                p += 8;
                remaining -= 8;
                continue;
            }
        }
        const int length = characterLength(p, end);
        if (unitsOf(length) > remaining)
            break; // half a surrogate pair
        remaining -= unitsOf(length);
        p += length;
    }
    return start.byte + long(p - base);
}

} // namespace kelo
