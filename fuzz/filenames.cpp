// File names are bytes: every byte string that the system gives as a name
// comes back as the same bytes, a well-formed UTF-8 name reads as its
// characters, and a name typed as text (without the private characters that
// stand for bytes) goes to the system and back unchanged.
#include "fuzzcheck.h"

#include "platform/filenames.h"

#include <QStringDecoder>

#include <cstring>

using namespace kelo;
using kelo::fuzz::literal;

namespace {

bool standsForByte(char16_t c)
{
    return c >= 0xF780 && c <= 0xF7FF;
}

// The characters of a well-formed UTF-8 name, or nothing.
std::optional<QString> utf8Name(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError() || text.toUtf8() != bytes)
        return std::nullopt;
    return text;
}

bool holdsLoneSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // Bytes from the system.
    const QString name = decodeFileName(bytes);
    FUZZ_CHECK(encodeFileName(name) == bytes,
               literal(bytes) + " came back as " + literal(encodeFileName(name)));
    bool escapes = false;
    for (const QChar c : name)
        escapes = escapes || standsForByte(c.unicode());
    FUZZ_CHECK(hasUndecodableBytes(name) == escapes, literal(bytes));
    FUZZ_CHECK(!holdsLoneSurrogate(name), literal(bytes));
    if (const std::optional<QString> text = utf8Name(bytes)) {
        bool hasEscapeCharacter = false;
        for (const QChar c : *text)
            hasEscapeCharacter = hasEscapeCharacter || standsForByte(c.unicode());
        if (!hasEscapeCharacter)
            FUZZ_CHECK(name == *text, literal(bytes) + " read as " + literal(name));
    } else {
        FUZZ_CHECK(hasUndecodableBytes(name), literal(bytes));
    }

    // The same bytes as UTF-16, a name typed by the user.
    QString typed(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(typed.data(), data, size / 2 * 2);
    bool typable = !holdsLoneSurrogate(typed);
    for (const QChar c : typed)
        typable = typable && !standsForByte(c.unicode());
    if (typable) {
        const QByteArray encoded = encodeFileName(typed);
        FUZZ_CHECK(encoded == typed.toUtf8(), literal(typed));
        FUZZ_CHECK(decodeFileName(encoded) == typed, literal(typed));
    }
    return 0;
}
