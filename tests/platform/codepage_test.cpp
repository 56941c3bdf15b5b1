// Tests of reading and writing text files: which bytes give which format and
// editor text, and that every byte sequence comes back unchanged on saving.
#include "platform/codepage.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace kelo {
namespace {

QByteArray utf8Of(char32_t codePoint)
{
    return QString::fromUcs4(&codePoint, 1).toUtf8();
}

void expectRoundTrip(const QByteArray &file)
{
    const DecodedText decoded = decodeText(file);
    const EncodedText encoded = encodeText(decoded.utf8, decoded.format);
    EXPECT_EQ(encoded.bytes, file) << file.toHex(' ').toStdString();
    EXPECT_FALSE(encoded.fellBackToUtf8) << file.toHex(' ').toStdString();
}

constexpr TextFormat utf8{Encoding::Utf8, false, false};
constexpr TextFormat utf8Unix{Encoding::Utf8, false, true};
constexpr TextFormat utf8Mark{Encoding::Utf8, true, false};
constexpr TextFormat cp1252{Encoding::Windows1252, false, false};
constexpr TextFormat cp1252Unix{Encoding::Windows1252, false, true};
const QByteArray mark = QByteArray::fromHex("efbbbf");

// The same form, for a file that ended with the given break (or none).
constexpr TextFormat ending(TextFormat format, FinalBreak finalBreak)
{
    format.finalBreak = finalBreak;
    return format;
}
constexpr FinalBreak none = FinalBreak::None;
constexpr FinalBreak lf = FinalBreak::Lf;

TEST(Codepage, ReadingGivesFormatAndEditorTextAndRoundTrips)
{
    const QByteArray ascii17(17, 'x');
    // clang-format off
    const std::tuple<QByteArray, TextFormat, QByteArray> cases[] = {
        {QByteArray(), ending(utf8, none), QByteArray()},
        {QByteArray("a\0b\0", 4), ending(utf8, none), QByteArray("a\0b\0", 4)},
        {"a\n\nb", ending(utf8Unix, none), "a\r\n\r\nb"},
        {"a\r\nb\nc\rd", ending(utf8, none), "a\r\nb\nc\rd"}, // mixed: taken as it is
        {"M\xC3\xBCll\n", ending(utf8Unix, lf), "M\xC3\xBCll\r\n"},
        {"a\r", ending(utf8, FinalBreak::Cr), "a\r"},
        {"a\rb\r\n", ending(utf8, FinalBreak::CrLf), "a\rb\r\n"},
        {mark, ending(utf8Mark, none), {}},
        {mark + mark, ending(utf8Mark, none), mark},
        {mark + "a\n", ending({Encoding::Utf8, true, true}, lf), "a\r\n"},
        {mark + "\xFF", ending(cp1252, none), "\xC3\xAF\xC2\xBB\xC2\xBF\xC3\xBF"},
        {"M\xFCll \xDF", ending(cp1252, none), "M\xC3\xBCll \xC3\x9F"},
        {"\xE4\n\x80\n", ending(cp1252Unix, lf), "\xC3\xA4\r\n\xE2\x82\xAC\r\n"},
        {ascii17 + "\xFF\n", ending(cp1252Unix, lf), ascii17 + "\xC3\xBF\r\n"}};
    // clang-format on
    for (const auto &[file, format, editorText] : cases) {
        SCOPED_TRACE(file.toHex(' ').toStdString());
        const DecodedText decoded = decodeText(file);
        EXPECT_EQ(decoded.format, format);
        EXPECT_EQ(decoded.utf8, editorText) << decoded.utf8.toHex(' ').toStdString();
        expectRoundTrip(file);
    }
}

TEST(Codepage, AllByteValuesRoundTripAloneAndTogether)
{
    const std::pair<int, char32_t> known[] = {
        {0x41, U'A'}, {0x80, 0x20AC}, {0x81, 0x81},   {0x8A, 0x160}, {0x8D, 0x8D},
        {0x8F, 0x8F}, {0x90, 0x90},   {0x99, 0x2122}, {0x9D, 0x9D},  {0x9F, 0x178},
        {0xA0, 0xA0}, {0xE4, U'ä'},   {0xDF, U'ß'},   {0xFF, 0xFF},  {0x84, 0x201E}};
    for (const auto &[byte, codePoint] : known)
        EXPECT_EQ(decodeText(QByteArray(1, char(byte)).append('\xFF')).utf8,
                  utf8Of(codePoint) + "\xC3\xBF")
            << byte;

    // The table is one to one: 256 code points map back to their byte.
    int mapped = 0;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (const auto byte = unicodeToWindows1252(cp)) {
            ++mapped;
            EXPECT_EQ(windows1252ToUnicode(*byte), cp);
        }
    }
    EXPECT_EQ(mapped, 256);

    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
        expectRoundTrip(QByteArray(1, static_cast<char>(b)));
    }
    EXPECT_EQ(decodeText(all).format, ending(cp1252, none));
    expectRoundTrip(all + all + all);
    // Without its CR the same file has Unix line ends.
    all.remove('\r', 1);
    EXPECT_EQ(decodeText(all).format, ending(cp1252Unix, none));
    expectRoundTrip(all);
}

TEST(Codepage, WritingGivesTheBytesOfTheFormatOrFallsBackToUtf8)
{
    // clang-format off
    const std::tuple<QByteArray, TextFormat, QByteArray, bool> cases[] = {
        {"\xE2\x82\xAC 5", cp1252, "\x80 5", false},
        {"\xC3\xA4\xCE\xA9", cp1252, "\xC3\xA4\xCE\xA9", true}, // Omega
        {"a\xF0\x9F\x98\x80\r\nb", cp1252Unix, "a\xF0\x9F\x98\x80\nb", true},
        {"\xC2\x80", cp1252, "\xC2\x80", true}, // U+0080 is no Windows-1252 byte
        {"\xC2\x9D", cp1252, "\x9D", false},    // but the undefined 0x9D is
        {"a\rb\r\nc\r", cp1252Unix, "a\rb\nc\r", false},
        {"0123456\r\n89abcdef\r\n", utf8Unix, "0123456\n89abcdef\n", false},
        // Bytes that are not UTF-8 never come from the editor; should they,
        // they are kept, not replaced.
        {"ab\xE2\x82", utf8, "ab\xE2\x82", false},
        {"\xC3\xA4\xFF", cp1252, "\xC3\xA4\xFF", true}};
    // clang-format on
    for (const auto &[editorText, format, file, fellBack] : cases) {
        const EncodedText encoded = encodeText(editorText, format);
        EXPECT_EQ(encoded.bytes, file) << encoded.bytes.toHex(' ').toStdString();
        EXPECT_EQ(encoded.fellBackToUtf8, fellBack) << file.toHex(' ').toStdString();
    }
}

// A long text written as Windows-1252 that misses a character the table
// lacks (or bytes that are not UTF-8) at some alignment, or maps one wrongly.
TEST(Codepage, LongEditorTextsAreWrittenCharacterForCharacter)
{
    // clang-format off
    static const char *const pieces[] = {
        "a", "Stra\xC3\x9F" "e ", "\xC3\xA4", "\xC3\x84", "\xC2\xA0", "\xC2\xBF", "\r",
        "\r\n", "\n", "\xC2\x80", "\xC2\x9D", "\xE2\x80\x9E", "\xE2\x82\xAC",
        "\xCE\xA9", "\xC3", "\xA4", "0123456789abcdef"};
    // clang-format on
    std::mt19937 random(20261208);
    for (int i = 0; i < 400; ++i) {
        const bool unix = i / 4 % 2 == 0;
        // Letters, umlauts and line ends only, with C1 controls and
        // punctuation, or with all of the rest.
        const unsigned kinds = i % 4 == 1 ? std::size(pieces) : i % 4 == 3 ? 9 : 13;
        QByteArray text(i % 16, 'x');
        const qsizetype shift = text.size();
        for (int n = std::uniform_int_distribution(1, 700)(random); n > 0; --n)
            text.append(pieces[random() % kinds]);
        const QByteArrayView view = QByteArrayView(text).sliced(shift);

        std::optional<QByteArray> expected;
        if (isValidUtf8(view)) {
            expected.emplace();
            const std::u32string characters = QString::fromUtf8(view).toStdU32String();
            for (std::size_t c = 0; c < characters.size() && expected; ++c) {
                if (unix && characters[c] == U'\r' && c + 1 < characters.size() &&
                    characters[c + 1] == U'\n')
                    continue;
                if (const std::optional<unsigned char> byte = unicodeToWindows1252(characters[c]))
                    expected->append(char(*byte));
                else
                    expected.reset();
            }
        }
        const TextFormat format = unix ? cp1252Unix : cp1252;
        const EncodedText written = encodeText(view, format);
        SCOPED_TRACE(view.toByteArray().toHex(' ').toStdString());
        ASSERT_EQ(written.fellBackToUtf8, !expected.has_value());
        if (expected) {
            EXPECT_EQ(written.bytes, *expected);
        } else {
            QByteArray utf8 = view.toByteArray();
            if (unix)
                utf8.replace("\r\n", "\n");
            EXPECT_EQ(written.bytes, utf8);
        }
    }
}

// Random files (form-deciding bytes, broken sequences, long Windows-1252
// texts) at every place of a 16-byte block: read as UTF-8 exactly where Qt's
// strict decoder agrees, else by the table; written back unchanged; read in
// pieces cut anywhere as whole.
TEST(Codepage, RandomFilesAreReadByTheTableInPiecesAsWholeAndComeBack)
{
    // clang-format off
    const QByteArray wellFormed[] = {
        "\r", "\n", "\r\n", QByteArray(1, '\0'), "ab", utf8Of(0x80), utf8Of(0xE4), utf8Of(0x7FF),
        utf8Of(0x800), utf8Of(0xD7FF), utf8Of(0xE000), utf8Of(0x20AC), utf8Of(0xFFFD), utf8Of(0xFFFF),
        utf8Of(0x10000), utf8Of(0x1F600), utf8Of(0x10FFFF)};
    // Cut, stray, overlong, a surrogate, above U+10FFFF.
    const QByteArray broken[] = {
        "\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xE4", "\x80\x9F", "\xC0\x80", "\xC1\xBF",
        "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80", mark};
    // clang-format on
    std::mt19937 random(20261207);
    const std::function<char()> windows1252[] = {
        [&] { return char(0x80 + random() % 128); },
        [&] { return char(0x80 + random() % 32); },
        [&] { return random() % 3 == 0 ? '\n' : char(0x80 + random() % 128); },
        [&] {
            static const char german[] = "Gr\xF6\xDF"
                                         "e \x84"
                                         "f\xFCr\x93 \x96 \x80 \xC4rger\n";
            return german[random() % (sizeof german - 1)];
        },
        [&] { return char(' ' + random() % 90); },
    };
    for (int i = 0; i < 8000; ++i) {
        QByteArray file;
        if (i % 100 == 0) {
            // Never UTF-8; a CR (or none) at the end decides the line ends.
            for (auto n = 1 + random() % 9000; n > 0; --n)
                file.append(windows1252[i / 100 % std::size(windows1252)]());
            file[random() % file.size()] = '\xFF';
            file.append(i / 100 % 2 == 0 ? '\n' : '\r');
        } else {
            file = random() % 6 == 0 ? mark : QByteArray();
            // Most files keep to one kind of text, so that each form comes up.
            const bool onlyWellFormed = i % 4 != 0;
            for (int n = std::uniform_int_distribution(0, 40)(random); n > 0; --n) {
                // Past the lists: any high byte.
                const unsigned pick = random() % (std::size(wellFormed) +
                                                  (onlyWellFormed ? 0 : std::size(broken) + 1));
                if (pick < std::size(wellFormed))
                    file.append(wellFormed[pick]);
                else if (pick - std::size(wellFormed) < std::size(broken))
                    file.append(broken[pick - std::size(wellFormed)]);
                else
                    file.append(char(0x80 + random() % 128));
            }
            if (i % 5 == 0)
                file.replace("\r", "");
        }
        SCOPED_TRACE(file.toHex(' ').toStdString());
        const QByteArray buffer = QByteArray(i % 16, 'x') + file + (i % 2 ? "\n" : "\x80\x80\x80");
        const QByteArrayView view = QByteArrayView(buffer).sliced(i % 16, file.size());
        const DecodedText whole = decodeText(view);
        ASSERT_TRUE(isValidUtf8(whole.utf8));
        QStringDecoder qtDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        [[maybe_unused]] const QString viaQt = qtDecoder.decode(file);
        ASSERT_EQ(isValidUtf8(view), !qtDecoder.hasError());
        ASSERT_EQ(whole.format.encoding == Encoding::Utf8, !qtDecoder.hasError());
        const bool unix = !file.contains('\r') && file.contains('\n');
        EXPECT_EQ(whole.format.unixLineEnds, unix);
        if (whole.format.encoding == Encoding::Windows1252) {
            QByteArray expected;
            for (const char c : file)
                expected +=
                    unix && c == '\n' ? QByteArray("\r\n") : utf8Of(windows1252ToUnicode(uchar(c)));
            ASSERT_EQ(whole.utf8, expected);
        }
        // Written back from a view too, with a LF behind a last CR.
        const QByteArray editor = whole.utf8 + '\n';
        const EncodedText written =
            encodeText(QByteArrayView(editor).first(whole.utf8.size()), whole.format);
        EXPECT_FALSE(written.fellBackToUtf8);
        EXPECT_TRUE(written.bytes == file);

        const qsizetype most = i % 3 == 0 ? 3 : i % 3 == 1 ? 9 : file.size() > 1000 ? 5000 : 100;
        const auto pieceSize = qsizetype(1 + random() % most);
        std::vector<QByteArrayView> pieces;
        for (qsizetype at = 0; at < view.size(); at += pieceSize)
            pieces.push_back(view.sliced(at, std::min(pieceSize, view.size() - at)));
        TextFormatScanner scanner;
        TextFormatScanner formOnly(TextFormatScanner::Learn::FormOnly);
        for (const QByteArrayView piece : pieces) {
            scanner.add(piece);
            formOnly.add(piece);
        }
        const TextFormat format = scanner.format();
        TextPieceDecoder decoder(format);
        QByteArray text;
        QByteArray piecesBuffer;
        for (const QByteArrayView piece : pieces)
            text.append(decoder.decode(piece, piecesBuffer));

        SCOPED_TRACE("in pieces of " + std::to_string(pieceSize));
        ASSERT_EQ(format, whole.format);
        EXPECT_EQ(formOnly.format(), whole.format);
        EXPECT_EQ(scanner.fileSize(), file.size());
        EXPECT_EQ(scanner.editorSize(), whole.utf8.size());
        ASSERT_TRUE(text == whole.utf8);
    }
}

} // namespace
} // namespace kelo
