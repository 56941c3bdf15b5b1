#include "platform/codepage.h"
#include "platform/utf16offsets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kelo;

namespace {

class StringText final : public Utf16Offsets::Source {
public:
    std::string text;
    long size() const override { return long(text.size()); }
    const unsigned char *bytes(long from, long length) const override
    {
        EXPECT_GE(from, 0);
        EXPECT_LE(from + length, size());
        return reinterpret_cast<const unsigned char *>(text.data()) + from;
    }
};

// The text's characters one by one, as the editor walks them: the byte
// position where each starts and the units before it, and the end.
std::vector<std::pair<long, long>> characterStarts(const std::string &text)
{
    std::vector<std::pair<long, long>> starts;
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    long at = 0;
    long units = 0;
    while (at < long(text.size())) {
        starts.emplace_back(at, units);
        const int length = std::max(1, utf8SequenceLength(p + at, p + text.size()));
        units += length == 4 ? 2 : 1;
        at += length;
    }
    starts.emplace_back(at, units);
    return starts;
}

void expectOffsets(const Utf16Offsets &offsets, const std::string &text)
{
    const auto starts = characterStarts(text);
    ASSERT_EQ(offsets.units(), starts.back().second);
    for (long position = -1; position <= long(text.size()) + 1; ++position) {
        const auto after =
            std::upper_bound(starts.begin(), starts.end(), position,
                             [](long at, const auto &start) { return at < start.first; });
        const long expected = after == starts.begin() ? 0 : std::prev(after)->second;
        ASSERT_EQ(offsets.unitsBefore(position), expected) << "at byte " << position;
    }
    for (long units = -1; units <= starts.back().second + 1; ++units) {
        const auto after =
            std::upper_bound(starts.begin(), starts.end(), units,
                             [](long count, const auto &start) { return count < start.second; });
        const long expected = after == starts.begin() ? 0 : std::prev(after)->first;
        ASSERT_EQ(offsets.positionAfter(units), expected) << "after " << units << " units";
    }
}

} // namespace

// Edits that cut or join UTF-8 sequences, checked singly or piled up, with
// blocks from one byte to more than the text; then whole texts at the edges.
TEST(Utf16Offsets, EditsKeepEveryOffsetRight)
{
    // clang-format off
    const std::vector<std::string> pieces{
        "a", "xyz", "\r\n", "\xc3\xa4", "\xc3", "\xa4", "\xf0\x9f", "\x98\x80",
        "\xf0\x9f\x98\x80", "\xef\xbf\xbf", "\xe2\x82", "\xac", "0123456789abcdefghij", "\xff",
        "\xc0\x80", "\xc1\xbf", "Stra\xc3\x9f" "enb\xc3\xa4ume", ""};
    // clang-format on
    unsigned seed = 2024;
    const auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return long((seed >> 8) % range);
    };
    for (const long blockSize : {1L, 2L, 3L, 5L, 7L, 16L, 1L << 14}) {
        SCOPED_TRACE(blockSize);
        StringText source;
        source.text = "Gr\xc3\xbc\xc3\x9f"
                      "e \xf0\x9f\x98\x80 aus K\xc3\xb6ln\r\n";
        Utf16Offsets offsets(source, blockSize);
        if (blockSize > 5)
            offsets.build(); // otherwise the first query builds it
        for (int step = 0; step < 600; ++step) {
            SCOPED_TRACE(step);
            const long size = long(source.text.size());
            const long position = next(unsigned(size) + 1);
            if (size > 0 && next(3) == 0) {
                const long length = std::min(size - position, 1 + next(6));
                offsets.beforeDelete(position, length);
                source.text.erase(std::size_t(position), std::size_t(length));
            } else {
                const std::string &piece = pieces[std::size_t(next(unsigned(pieces.size())))];
                offsets.beforeInsert(position, long(piece.size()));
                source.text.insert(std::size_t(position), piece);
            }
            if (next(4) == 0) {
                ASSERT_NO_FATAL_FAILURE(expectOffsets(offsets, source.text)) << source.text;
            }
        }
        ASSERT_NO_FATAL_FAILURE(expectOffsets(offsets, source.text));
    }

    // Empty, a big insertion into a small index, deleted to the end, and
    // replaced without single edits (dropped, counted afresh).
    StringText source;
    Utf16Offsets offsets(source, 4);
    ASSERT_NO_FATAL_FAILURE(expectOffsets(offsets, source.text));
    std::string big;
    for (int i = 0; i < 300; ++i)
        big += "x\xc3\xa4\xf0\x9f\x98\x80";
    for (const long at : {0L, 100L, 0L}) {
        if (source.text.empty()) {
            offsets.beforeInsert(0, long(big.size()));
            source.text = big;
        } else {
            offsets.beforeDelete(at, long(source.text.size()) - at);
            source.text.resize(std::size_t(at));
        }
        ASSERT_NO_FATAL_FAILURE(expectOffsets(offsets, source.text)) << at;
    }
    offsets.drop();
    source.text = "\xf0\x9f\x98\x80\xf0\x9f";
    ASSERT_NO_FATAL_FAILURE(expectOffsets(offsets, source.text));
}

// The sixteen-bytes-at-a-time count of German text, with a longer or broken
// character at every place of a block.
TEST(Utf16Offsets, LongLatinTextsAreCountedAtEveryPlace)
{
    const std::string breaks[] = {"\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xc3", "\xa4",
                                  "\xff",         "\xc1\xbf"};
    std::string german;
    for (int i = 0; i < 40; ++i)
        german += "Gr\xc3\xbc\xc3\x9f"
                  "e aus K\xc3\xb6ln, \xc3\x84rger \xc3\xbc"
                  "ber Stra\xc3\x9f"
                  "en\r\n";
    for (std::size_t shift = 0; shift < 16; ++shift) {
        SCOPED_TRACE(shift);
        StringText source;
        source.text = std::string(shift, 'x') + german;
        // Something else in a few places, the last in the block's final byte.
        const std::size_t at = 500 + shift * 37;
        source.text.insert(at, breaks[shift % std::size(breaks)]);
        source.text.insert(1500 + 15 - (1500 + shift) % 16,
                           breaks[(shift + 1) % std::size(breaks)]);
        for (const long blockSize : {7L, 1L << 14}) {
            Utf16Offsets offsets(source, blockSize);
            ASSERT_NO_FATAL_FAILURE(expectOffsets(offsets, source.text));
        }
    }
}
