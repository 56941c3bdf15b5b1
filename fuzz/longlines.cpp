// The search for very long lines and the word styles of such a line against
// a plain reading:
//  - a line ends at CR, at LF or at CR LF; every line of at least the limit
//    is found, with its start and its length without the line end, and no
//    other;
//  - a byte's word style changes exactly where a piece starts: a word after
//    spaces, or, after a word's first 12 characters, two ASCII characters or
//    one character from U+0080 to U+027F, U+3000 to U+9FFF or U+B000 to
//    U+DFFF, with any other characters after it; a character is a byte that
//    is neither a space nor a UTF-8 continuation byte, with the continuation
//    bytes after it. Styling a line in two pieces gives what styling it
//    whole gives.
#include "fuzzcheck.h"

#include "platform/longlines.h"

#include <string>
#include <vector>

using namespace kelo;
using kelo::fuzz::literal;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const qsizetype limit = input.ConsumeIntegralInRange<qsizetype>(1, 40);
    const qsizetype cut = input.ConsumeIntegral<uint16_t>();
    const QByteArray text = kelo::fuzz::takeRest(input);

    std::vector<LineSpan> expected;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n')
            continue;
        if (i - start >= limit)
            expected.push_back({start, i - start});
        if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    const std::vector<LineSpan> found = longLines(text, limit);
    FUZZ_CHECK(found == expected, "lines of at least " + std::to_string(limit) + " in " +
                                      literal(text) + ": " + std::to_string(found.size()) +
                                      " found, " + std::to_string(expected.size()) + " expected");

    // Where the pieces start, from the words and their characters.
    std::vector<bool> startsPiece(std::size_t(text.size()), false);
    const auto isContinuation = [](char byte) { return (uchar(byte) & 0xC0) == 0x80; };
    std::vector<qsizetype> characters; // the starts of the current word's characters
    bool afterSpace = false;           // the line's first word goes on in the style it starts with
    const auto endWord = [&] {
        const auto lead = [&](std::size_t k) { return uchar(text[characters[k]]); };
        const auto ascii = [&](std::size_t k) { return lead(k) < 0x80; };
        const auto alone = [&](std::size_t k) {
            return ascii(k) || (lead(k) >= 0xC2 && lead(k) <= 0xC9) ||
                   (lead(k) >= 0xE3 && lead(k) <= 0xE9) || (lead(k) >= 0xEB && lead(k) <= 0xED);
        };
        if (!characters.empty() && afterSpace)
            startsPiece[std::size_t(characters[0])] = true;
        for (std::size_t k = 12; k < characters.size(); ++k) {
            if (!alone(k))
                continue; // goes on in the piece before it
            startsPiece[std::size_t(characters[k])] = true;
            if (ascii(k) && k + 1 < characters.size() && ascii(k + 1))
                ++k; // two ASCII characters make one piece
        }
        characters.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') {
            endWord();
            afterSpace = true;
        } else if (!isContinuation(text[i]))
            characters.push_back(i);
    }
    endWord();

    QByteArray whole(text.size(), '\0');
    WordStyles().next(text, whole.data());
    for (qsizetype i = 1; i < text.size(); ++i) {
        FUZZ_CHECK((whole[i] != whole[i - 1]) == startsPiece[std::size_t(i)],
                   "style at " + std::to_string(i) + " of " + literal(text));
    }
    QByteArray pieces(text.size(), '\0');
    const qsizetype first = text.isEmpty() ? 0 : cut % (text.size() + 1);
    WordStyles words;
    words.next(QByteArrayView(text).first(first), pieces.data());
    words.next(QByteArrayView(text).sliced(first), pieces.data() + first);
    FUZZ_CHECK(pieces == whole,
               "styles in two pieces cut at " + std::to_string(first) + " of " + literal(text));
    return 0;
}
