// The case-ignoring search: a scan for the characters that can begin a match,
// each candidate checked character by character. Neither the text nor any
// part of it is copied or lower-cased as a whole, so a search across 20 MB
// reads the text once.
#include "tools/findnocase.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kelo {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The character at i of UTF-16 text: a surrogate pair is one character, a
// surrogate without its partner a character of its own. units gets 1 or 2.
char32_t decodeUtf16(QStringView text, qsizetype i, int &units)
{
    const char16_t unit = text[i].unicode();
    if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1].unicode())) {
        units = 2;
        return QChar::surrogateToUcs4(unit, text[i + 1].unicode());
    }
    units = 1;
    return unit;
}

// The character at p of UTF-8 text, judged as the editor judges it: a byte
// that does not begin a well-formed sequence is a character of its own, read
// as U+FFFD. bytes gets the sequence length.
char32_t decodeUtf8(const unsigned char *p, qsizetype available, int &bytes)
{
    const unsigned char lead = p[0];
    const auto trail = [&](qsizetype i) { return i < available && (p[i] & 0xC0) == 0x80; };
    bytes = 1;
    if (lead < 0x80)
        return lead;
    if (lead < 0xC2)
        return replacementCharacter;
    if (lead < 0xE0) {
        if (!trail(1))
            return replacementCharacter;
        bytes = 2;
        return char32_t(lead & 0x1F) << 6 | (p[1] & 0x3F);
    }
    if (lead < 0xF0) {
        if (!trail(1) || !trail(2) || (lead == 0xE0 && p[1] < 0xA0) ||
            (lead == 0xED && p[1] >= 0xA0))
            return replacementCharacter;
        bytes = 3;
        return char32_t(lead & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
    }
    if (lead < 0xF5) {
        if (!trail(1) || !trail(2) || !trail(3) || (lead == 0xF0 && p[1] < 0x90) ||
            (lead == 0xF4 && p[1] >= 0x90))
            return replacementCharacter;
        bytes = 4;
        return char32_t(lead & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 |
               char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
    }
    return replacementCharacter;
}

// Whether the byte at p of UTF-8 text begins a character, rather than
// continuing a well-formed sequence that began before it.
bool startsCharacter(const unsigned char *text, qsizetype p, qsizetype size)
{
    if ((text[p] & 0xC0) != 0x80)
        return true;
    for (qsizetype back = 1; back <= 3 && back <= p; ++back) {
        int bytes = 1;
        decodeUtf8(text + p - back, size - (p - back), bytes);
        if (bytes > back)
            return false;
    }
    return true;
}

// The lower-case form of one character as the search compares it.
char32_t searchLower(char32_t character)
{
    // The one character whose simple lower-case form QChar does not give:
    // it keeps "İ" as it is because the full mapping makes two characters of
    // it, but its simple mapping is "i".
    if (character == 0x0130)
        return u'i';
    if (character <= 0xFFFF)
        return QChar::toLower(char16_t(character));
    const char32_t lower = QChar::toLower(character);
    return lower > 0xFFFF ? lower : character;
}

// A match boundary between the CR and the LF of a line break.
bool splitsLineBreak(const unsigned char *text, qsizetype at, qsizetype size)
{
    return at > 0 && at < size && text[at - 1] == '\r' && text[at] == '\n';
}

// Every BMP character whose lower-case form is another character, as pairs
// (lower-case form, character) sorted by the first: the characters that a
// lower-case character stands for in a search. Built once.
const std::vector<std::pair<char16_t, char16_t>> &upperForms()
{
    static const std::vector<std::pair<char16_t, char16_t>> table = [] {
        std::vector<std::pair<char16_t, char16_t>> pairs;
        for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
            if (isHighSurrogate(unit) || isLowSurrogate(unit))
                continue;
            const char32_t lower = searchLower(unit);
            if (lower != unit)
                pairs.emplace_back(char16_t(lower), char16_t(unit));
        }
        std::sort(pairs.begin(), pairs.end());
        return pairs;
    }();
    return table;
}

// The term, lower-cased, and the lead bytes of the UTF-8 forms of the
// characters that can begin an occurrence of it: every character whose
// lower-case form is the term's first character.
class Pattern {
public:
    explicit Pattern(QStringView term)
    {
        for (qsizetype i = 0; i < term.size();) {
            int units = 1;
            m_characters.push_back(searchLower(decodeUtf16(term, i, units)));
            i += units;
        }
        if (m_characters.empty())
            return;
        const char32_t first = m_characters.front();
        if (first > 0xFFFF) {
            for (int lead = 0xF0; lead <= 0xF4; ++lead)
                m_firstBytes[size_t(lead)] = true;
            return;
        }
        // Half a surrogate pair never occurs in UTF-8, so it begins nothing.
        if (isHighSurrogate(first) || isLowSurrogate(first))
            return;
        if (searchLower(first) == first)
            markLeadByte(char16_t(first));
        const auto &forms = upperForms();
        const auto range =
            std::equal_range(forms.begin(), forms.end(), std::pair(char16_t(first), char16_t(0)),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
        for (auto it = range.first; it != range.second; ++it)
            markLeadByte(it->second);
        // U+FFFD also stands for any byte that is not well-formed.
        if (first == replacementCharacter) {
            for (int lead = 0x80; lead <= 0xFF; ++lead)
                m_firstBytes[size_t(lead)] = true;
        }
    }

    const std::vector<char32_t> &characters() const { return m_characters; }
    const std::array<bool, 256> &firstBytes() const { return m_firstBytes; }

private:
    void markLeadByte(char16_t unit)
    {
        if (unit < 0x80)
            m_firstBytes[unit] = true;
        else if (unit < 0x800)
            m_firstBytes[0xC0 | (unit >> 6)] = true;
        else
            m_firstBytes[0xE0 | (unit >> 12)] = true;
    }

    std::vector<char32_t> m_characters;
    std::array<bool, 256> m_firstBytes{};
};

char32_t asciiLower(unsigned char byte)
{
    return byte >= 'A' && byte <= 'Z' ? char32_t(byte + ('a' - 'A')) : char32_t(byte);
}

// Finds the next byte that may begin a match. This is where a long search
// spends its time, so when only a few byte values qualify (an ASCII letter
// in both cases, say) it compares 16 bytes at a time.
class FirstByteScanner {
public:
    explicit FirstByteScanner(const std::array<bool, 256> &table)
        : m_table(table)
    {
        for (int value = 0; value < 256; ++value) {
            if (!table[size_t(value)])
                continue;
            if (m_count == m_needles.size()) {
                m_count = 0; // too many for the block scan
                break;
            }
            m_needles[m_count++] = Block{} + static_cast<unsigned char>(value);
        }
    }

    qsizetype next(const unsigned char *bytes, qsizetype at, qsizetype to) const
    {
        if constexpr (std::endian::native == std::endian::little) {
            if (m_count > 0) {
                for (; at + qsizetype(sizeof(Block)) <= to; at += qsizetype(sizeof(Block))) {
                    Block block;
                    std::memcpy(&block, bytes + at, sizeof(Block));
                    auto hits = block == m_needles[0];
                    for (std::size_t i = 1; i < m_count; ++i)
                        hits |= block == m_needles[i];
                    std::uint64_t halves[2];
                    std::memcpy(halves, &hits, sizeof(halves));
                    if (halves[0] != 0)
                        return at + std::countr_zero(halves[0]) / 8;
                    if (halves[1] != 0)
                        return at + 8 + std::countr_zero(halves[1]) / 8;
                }
            }
        }
        while (at < to && !m_table[bytes[at]])
            ++at;
        return std::min(at, to);
    }

private:
    using Block = unsigned char __attribute__((vector_size(16)));
    std::array<bool, 256> m_table;
    std::array<Block, 4> m_needles{};
    std::size_t m_count = 0;
};

} // namespace

Utf8Match findNoCaseUtf8(QByteArrayView text, QStringView term, qsizetype from, qsizetype to)
{
    const qsizetype size = text.size();
    to = std::clamp<qsizetype>(to, 0, size);
    from = std::max<qsizetype>(from, 0);
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const auto acceptable = [&](qsizetype at, qsizetype length) {
        return startsCharacter(bytes, at, size) && !splitsLineBreak(bytes, at, size) &&
               !splitsLineBreak(bytes, at + length, size);
    };

    if (term.isEmpty()) {
        for (qsizetype at = from; at < to; ++at) {
            if (acceptable(at, 0))
                return {at, 0};
        }
        return {};
    }
    const Pattern pattern(term);
    const FirstByteScanner scanner(pattern.firstBytes());
    const std::vector<char32_t> &wanted = pattern.characters();
    for (qsizetype at = scanner.next(bytes, from, to); at < to;
         at = scanner.next(bytes, at + 1, to)) {
        qsizetype end = at;
        bool matches = true;
        for (const char32_t character : wanted) {
            if (end >= to) {
                matches = false;
                break;
            }
            int length = 1;
            const char32_t found = bytes[end] < 0x80
                                       ? asciiLower(bytes[end])
                                       : searchLower(decodeUtf8(bytes + end, size - end, length));
            if (found != character || end + length > to) {
                matches = false;
                break;
            }
            end += length;
        }
        if (matches && acceptable(at, end - at))
            return {at, end - at};
    }
    return {};
}

std::optional<Utf8Match> findNoCaseUtf8InSteps(QByteArrayView text, QStringView term,
                                               qsizetype from, qsizetype to,
                                               const std::function<bool(qint64 done)> &report,
                                               qsizetype stride)
{
    to = std::clamp<qsizetype>(to, 0, text.size());
    from = std::max<qsizetype>(from, 0);
    // Each character of the term matches one character of the text, of at
    // most four bytes: a match that begins before a step's end ends at most
    // this far after it, so each step searches that much further. A match
    // found there (even one beginning after the step's end) is the first.
    const qsizetype reach = 4 * term.size();
    stride = std::max<qsizetype>(stride, 1);
    qsizetype start = from;
    for (;;) {
        const qsizetype end = std::min(to, start + stride);
        const Utf8Match found = findNoCaseUtf8(text, term, start, std::min(to, end + reach));
        if (found.found() || end >= to)
            return found;
        start = end;
        if (report && !report(start - from))
            return std::nullopt;
    }
}

} // namespace kelo
