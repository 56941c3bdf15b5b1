// The case-insensitive search against a plain one: the text taken apart into
// its characters from the start (a byte that begins no well-formed sequence
// is a character of its own, read as U+FFFD), both sides lower-cased one
// character at a time with the simple mapping ("İ" becomes "i"; a character
// beyond the Basic Multilingual Plane only when its lower-case form is
// beyond it too), and every character boundary from the start position on
// tried in turn. A match must end by the end position and neither begin nor
// end between the CR and the LF of a line break. Offsets must be equal.
#include "fuzzcheck.h"

#include "platform/codepage.h"
#include "tools/findnocase.h"

#include <QList>
#include <QStringDecoder>

#include <vector>

using namespace kelo;
using kelo::fuzz::literal;

namespace {

struct Character {
    qsizetype position;
    qsizetype bytes;
    char32_t codePoint;
};

std::vector<Character> charactersOf(const QByteArray &text)
{
    std::vector<Character> characters;
    const auto *p = reinterpret_cast<const unsigned char *>(text.constData());
    for (qsizetype at = 0; at < text.size();) {
        const int length = utf8SequenceLength(p + at, p + text.size());
        char32_t codePoint = 0xFFFD;
        if (length > 0) {
            QStringDecoder decoder(QStringConverter::Utf8,
                                   QStringConverter::Flag::ConvertInitialBom);
            const QString one = decoder.decode(text.mid(at, length));
            codePoint = one.toUcs4().value(0);
        }
        characters.push_back({at, std::max(length, 1), codePoint});
        at += std::max(length, 1);
    }
    return characters;
}

char32_t lowered(char32_t c)
{
    if (c == 0x0130)
        return U'i';
    if (c <= 0xFFFF)
        return QChar::toLower(char16_t(c));
    const char32_t lower = QChar::toLower(c);
    return lower > 0xFFFF ? lower : c;
}

bool splitsBreak(const QByteArray &text, qsizetype at)
{
    return at > 0 && at < text.size() && text[at - 1] == '\r' && text[at] == '\n';
}

Utf8Match referenceFind(const QByteArray &text, const QString &term, qsizetype from, qsizetype to)
{
    std::vector<char32_t> wanted;
    for (const char32_t c : term.toUcs4())
        wanted.push_back(lowered(c));
    const std::vector<Character> characters = charactersOf(text);
    to = std::clamp<qsizetype>(to, 0, text.size());
    // Every character start, and the end of the text.
    for (std::size_t i = 0; i <= characters.size(); ++i) {
        const qsizetype at = i < characters.size() ? characters[i].position : text.size();
        if (at < from || at >= to)
            continue;
        qsizetype end = at;
        bool matches = i + wanted.size() <= characters.size();
        for (std::size_t k = 0; matches && k < wanted.size(); ++k) {
            const Character &c = characters[i + k];
            matches = lowered(c.codePoint) == wanted[k];
            end = c.position + c.bytes;
        }
        if (matches && end <= to && !splitsBreak(text, at) && !splitsBreak(text, end))
            return {at, end - at};
    }
    return {};
}

// A term drawn from the text: some of its characters, with their case
// changed one by one, so that the special mappings meet each other.
QString termFrom(const QByteArray &text, FuzzedDataProvider &input)
{
    const std::vector<Character> characters = charactersOf(text);
    if (characters.empty())
        return {};
    const auto first = input.ConsumeIntegralInRange<std::size_t>(0, characters.size() - 1);
    const auto count = input.ConsumeIntegralInRange<std::size_t>(0, 4);
    QString term;
    for (std::size_t i = first; i < characters.size() && i < first + count; ++i) {
        char32_t c = characters[i].codePoint;
        switch (input.ConsumeIntegralInRange(0, 3)) {
        case 1:
            c = QChar::toUpper(c);
            break;
        case 2:
            c = QChar::toLower(c);
            break;
        case 3:
            c = QChar::toTitleCase(c);
            break;
        default:
            break;
        }
        // Appended unit by unit: QString::fromUcs4 drops U+FEFF.
        if (QChar::requiresSurrogates(c)) {
            term += QChar(QChar::highSurrogate(c));
            term += QChar(QChar::lowSurrogate(c));
        } else {
            term += QChar(char16_t(c));
        }
    }
    return term;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool termFromText = input.ConsumeBool();
    const int fromChoice = input.ConsumeIntegral<uint8_t>();
    const int toChoice = input.ConsumeIntegral<uint8_t>();
    const QByteArray typed = fuzz::takeBytes(input, 24);
    const QByteArray text = fuzz::takeRest(input);
    // Terms are typed, so they are text: no lone surrogates.
    QString term = termFromText ? termFrom(text, input) : QString::fromUtf8(typed);
    // Start and end: mostly the whole text, sometimes any byte position.
    const qsizetype from = fromChoice < 128 ? 0 : fromChoice % (text.size() + 3) - 1;
    const qsizetype to = toChoice < 128 ? text.size() : toChoice % (text.size() + 3) - 1;

    const Utf8Match found = findNoCaseUtf8(text, term, from, to);
    const Utf8Match expected = referenceFind(text, term, from, to);
    FUZZ_CHECK(found.position == expected.position && found.bytes == expected.bytes,
               "text " + literal(text) + ", term " + literal(term) + ", from " +
                   std::to_string(from) + " to " + std::to_string(to) + ": found at " +
                   std::to_string(found.position) + " (" + std::to_string(found.bytes) +
                   " bytes), expected at " + std::to_string(expected.position) + " (" +
                   std::to_string(expected.bytes) + " bytes)");
    return 0;
}
