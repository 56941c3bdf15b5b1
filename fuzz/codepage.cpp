// Reading a file as Kelo reads it and writing the unchanged text as it
// writes it gives back the file's bytes, whatever they are: UTF-8 with or
// without a byte-order mark, Windows-1252, LF-only or mixed line breaks, NUL
// bytes, binary files. The decoded text is also checked against a plain
// reading of the rules (which bytes are UTF-8, what Windows-1252 makes of a
// byte, when LF breaks are shown as CR LF), and so is the text written as
// Windows-1252, whatever its file was.
#include "fuzzcheck.h"

#include "files/textwriter.h"
#include "platform/codepage.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

using namespace kelo;
using kelo::fuzz::literal;

namespace {

// What Windows-1252 makes of 0x80 to 0x9F; the five bytes it leaves
// undefined stay C1 controls of their own value. Every other byte is Latin-1.
constexpr std::array<char32_t, 32> windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Qt's decoder replaces every ill-formed sequence (overlong forms,
// surrogates, beyond U+10FFFF, cut off), so well-formed bytes are exactly
// those that survive the way there and back. A mark at the start is a
// character here like any other.
bool wellFormedUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError() && text.toUtf8() == bytes;
}

QByteArray lfToCrLf(QByteArrayView bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

QByteArray fromWindows1252(QByteArrayView bytes)
{
    QString text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += QChar(char16_t(byte >= 0x80 && byte < 0xA0 ? windows1252High[byte - 0x80] : byte));
    }
    return text.toUtf8();
}

// The editor's text as Windows-1252, character by character, or nothing
// when a character has no byte there; with Unix line ends a CR LF becomes LF.
std::optional<QByteArray> toWindows1252(QByteArrayView utf8, bool unixLineEnds)
{
    // A U+FEFF at the start is a character of the text (a second mark in
    // its file), which Windows-1252 has no byte for.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const std::u32string text = QString(decoder.decode(utf8)).toStdU32String();
    QByteArray out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (unixLineEnds && c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
            continue;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out += char(c);
            continue;
        }
        const auto *high = std::find(windows1252High.begin(), windows1252High.end(), c);
        if (high == windows1252High.end())
            return std::nullopt;
        out += char(0x80 + (high - windows1252High.begin()));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView file(reinterpret_cast<const char *>(data), qsizetype(size));
    const DecodedText decoded = decodeText(file);
    const TextFormat &format = decoded.format;

    // The reading, by the rules.
    const bool marked = file.startsWith("\xEF\xBB\xBF");
    const QByteArrayView body = marked ? file.sliced(3) : file;
    const bool utf8 = wellFormedUtf8(body);
    const bool unix = !file.contains('\r') && file.contains('\n');
    FUZZ_CHECK(format.encoding == (utf8 ? Encoding::Utf8 : Encoding::Windows1252), literal(file));
    FUZZ_CHECK(format.byteOrderMark == (utf8 && marked), literal(file));
    FUZZ_CHECK(format.unixLineEnds == unix, literal(file));
    const QByteArray shown = utf8 ? body.toByteArray() : fromWindows1252(file);
    const QByteArray expected = unix ? lfToCrLf(shown) : shown;
    FUZZ_CHECK(decoded.utf8 == expected,
               "file " + literal(file) + "\nread as " + literal(decoded.utf8) + "\nexpected " +
                   literal(expected));
    FUZZ_CHECK(isValidUtf8(decoded.utf8) && wellFormedUtf8(decoded.utf8), literal(decoded.utf8));

    // The way back: the unchanged text gives the same bytes.
    const EncodedText encoded = encodeText(decoded.utf8, format);
    FUZZ_CHECK(!encoded.fellBackToUtf8, literal(file));
    const QByteArray written = encoded.bytes + finalLineBreak(decoded.utf8, format).toByteArray();
    FUZZ_CHECK(written == file,
               "file " + literal(file) + "\nwritten back as " + literal(written));

    // The same text saved as Windows-1252, or as UTF-8 when it must be.
    for (const bool unixLineEnds : {false, true}) {
        const std::optional<QByteArray> bytes = toWindows1252(decoded.utf8, unixLineEnds);
        const EncodedText asWindows1252 =
            encodeText(decoded.utf8, {Encoding::Windows1252, false, unixLineEnds});
        FUZZ_CHECK(asWindows1252.fellBackToUtf8 == !bytes, literal(decoded.utf8));
        QByteArray utf8 = decoded.utf8;
        if (unixLineEnds)
            utf8.replace("\r\n", "\n");
        FUZZ_CHECK(asWindows1252.bytes == (bytes ? *bytes : utf8),
                   "text " + literal(decoded.utf8) + "\nwritten as " +
                       literal(asWindows1252.bytes));
    }
    return 0;
}
