// Tests of reading and writing text files: which bytes give which format and
// editor text, and that every byte sequence comes back unchanged on saving.
#include "platform/codepage.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <random>

namespace kelo {
namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(static_cast<char>(v));
    return result;
}

QByteArray utf8Of(char32_t codePoint)
{
    return QString::fromUcs4(&codePoint, 1).toUtf8();
}

// Qt's own UTF-8 decoder, as a second opinion on what is valid UTF-8.
bool qtAcceptsUtf8(const QByteArray &data)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(data);
    return !decoder.hasError();
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

struct DecodeCase {
    const char *name;
    QByteArray file;
    TextFormat format;
    QByteArray editorText;
};

class Reading : public testing::TestWithParam<DecodeCase> {};

TEST_P(Reading, GivesFormatAndEditorTextAndRoundTrips)
{
    const DecodeCase &c = GetParam();
    const DecodedText decoded = decodeText(c.file);
    EXPECT_EQ(decoded.format, c.format);
    EXPECT_EQ(decoded.utf8, c.editorText) << decoded.utf8.toHex(' ').toStdString();
    EXPECT_TRUE(isValidUtf8(decoded.utf8));
    expectRoundTrip(c.file);
}

const QByteArray mark = bytes({0xEF, 0xBB, 0xBF});

INSTANTIATE_TEST_SUITE_P(
    Codepage, Reading,
    testing::Values(
        DecodeCase{"Empty", {}, utf8, {}}, DecodeCase{"Ascii", "abc", utf8, "abc"},
        DecodeCase{"AsciiWithNul", QByteArray("a\0b\0", 4), utf8, QByteArray("a\0b\0", 4)},
        DecodeCase{"LfOnly", "a\nb\n", utf8Unix, "a\r\nb\r\n"},
        DecodeCase{"LfWithoutFinalBreak", "a\n\nb", utf8Unix, "a\r\n\r\nb"},
        DecodeCase{"CrLf", "a\r\nb", utf8, "a\r\nb"},
        DecodeCase{"Mixed", "a\r\nb\nc\rd", utf8, "a\r\nb\nc\rd"},
        DecodeCase{"LoneCrOnly", "a\rb\r", utf8, "a\rb\r"},
        DecodeCase{"Utf8", "M\xC3\xBCll\n", utf8Unix, "M\xC3\xBCll\r\n"},
        DecodeCase{"MarkOnly", mark, utf8Mark, {}},
        DecodeCase{"MarkAndAscii", mark + "a\r\n", utf8Mark, "a\r\n"},
        DecodeCase{"MarkTwice", mark + mark, utf8Mark, mark},
        DecodeCase{"MarkAndLf", mark + "a\n", {Encoding::Utf8, true, true}, "a\r\n"},
        DecodeCase{"MarkThenInvalid", mark + "\xFF", cp1252, "\xC3\xAF\xC2\xBB\xC2\xBF\xC3\xBF"},
        DecodeCase{"Windows1252", "M\xFCll \xDF", cp1252, "M\xC3\xBCll \xC3\x9F"},
        DecodeCase{"Windows1252Lf", "\xE4\n\x80\n", cp1252Unix, "\xC3\xA4\r\n\xE2\x82\xAC\r\n"},
        DecodeCase{"Windows1252Nul", QByteArray("\xE4\0", 2), cp1252, QByteArray("\xC3\xA4\0", 3)},
        DecodeCase{"SmallestTwoByte", bytes({0xC2, 0x80}), utf8, bytes({0xC2, 0x80})},
        DecodeCase{"SmallestThreeByte", bytes({0xE0, 0xA0, 0x80}), utf8, bytes({0xE0, 0xA0, 0x80})},
        DecodeCase{"LastBeforeSurrogates", bytes({0xED, 0x9F, 0xBF}), utf8,
                   bytes({0xED, 0x9F, 0xBF})},
        DecodeCase{"SmallestFourByte", bytes({0xF0, 0x90, 0x80, 0x80}), utf8,
                   bytes({0xF0, 0x90, 0x80, 0x80})},
        DecodeCase{"LargestCodePoint", bytes({0xF4, 0x8F, 0xBF, 0xBF}), utf8,
                   bytes({0xF4, 0x8F, 0xBF, 0xBF})},
        DecodeCase{"OverlongNul", bytes({0xC0, 0x80}), cp1252, "\xC3\x80\xE2\x82\xAC"},
        DecodeCase{"OverlongTwoByte", bytes({0xC1, 0xBF}), cp1252, "\xC3\x81\xC2\xBF"},
        DecodeCase{"OverlongThreeByte", bytes({0xE0, 0x9F, 0xBF}), cp1252,
                   "\xC3\xA0\xC5\xB8\xC2\xBF"},
        DecodeCase{"OverlongFourByte", bytes({0xF0, 0x8F, 0xBF, 0xBF}), cp1252,
                   "\xC3\xB0\xC2\x8F\xC2\xBF\xC2\xBF"},
        DecodeCase{"Surrogate", bytes({0xED, 0xA0, 0x80}), cp1252, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
        DecodeCase{"AboveLargest", bytes({0xF4, 0x90, 0x80, 0x80}), cp1252,
                   "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
        DecodeCase{"Truncated", bytes({0xE2, 0x82}), cp1252, "\xC3\xA2\xE2\x80\x9A"},
        DecodeCase{"TruncatedBeforeAscii", bytes({0xE2, 0x82, 'z'}), cp1252,
                   "\xC3\xA2\xE2\x80\x9Az"},
        DecodeCase{"LoneContinuation", bytes({'a', 0x81}), cp1252, "a\xC2\x81"},
        DecodeCase{"InvalidAfterLongAsciiRun", QByteArray(17, 'x') + "\xFF\n", cp1252Unix,
                   QByteArray(17, 'x') + "\xC3\xBF\r\n"}),
    [](const testing::TestParamInfo<DecodeCase> &info) { return std::string(info.param.name); });

TEST(Codepage, WindowsTableMatchesKnownCharacters)
{
    const std::pair<int, char32_t> known[] = {
        {0x41, U'A'}, {0x80, 0x20AC}, {0x81, 0x81},   {0x8A, 0x160}, {0x8D, 0x8D},
        {0x8F, 0x8F}, {0x90, 0x90},   {0x99, 0x2122}, {0x9D, 0x9D},  {0x9F, 0x178},
        {0xA0, 0xA0}, {0xE4, U'ä'},   {0xDF, U'ß'},   {0xFF, 0xFF},  {0x84, 0x201E}};
    for (const auto &[byte, codePoint] : known)
        EXPECT_EQ(windows1252ToUnicode(static_cast<unsigned char>(byte)), codePoint) << byte;
}

TEST(Codepage, WindowsTableIsABijectionOf256CodePoints)
{
    int mapped = 0;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (const auto byte = unicodeToWindows1252(cp)) {
            ++mapped;
            EXPECT_EQ(windows1252ToUnicode(*byte), cp);
        }
    }
    EXPECT_EQ(mapped, 256);
}

TEST(Codepage, EverySingleByteRoundTrips)
{
    for (int b = 0; b < 256; ++b) {
        const QByteArray file(1, static_cast<char>(b));
        const DecodedText decoded = decodeText(file);
        const QByteArray expected =
            b == '\n' ? QByteArray("\r\n") : utf8Of(windows1252ToUnicode(static_cast<uchar>(b)));
        EXPECT_EQ(decoded.utf8, expected) << b;
        expectRoundTrip(file);
    }
}

TEST(Codepage, AllByteValuesInOneFileRoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    expectRoundTrip(all);
    EXPECT_EQ(decodeText(all).format, cp1252);
    // Without its CR the same file has Unix line ends.
    QByteArray noCr = all;
    noCr.remove('\r', 1);
    EXPECT_EQ(decodeText(noCr).format, cp1252Unix);
    expectRoundTrip(noCr);
    expectRoundTrip(all + all + all);
}

// A view cut in the middle of a sequence or a CR LF must not look at the
// bytes behind its end, which here would complete what was cut off.
TEST(Codepage, ViewsAreNotReadPastTheirEnd)
{
    const QByteArray whole = "\xE2\x82\xAC\r\n\xF0\x9F\x98\x80\r\n\xC3\xA4";
    for (qsizetype cut = 0; cut <= whole.size(); ++cut) {
        const QByteArrayView view(whole.constData(), cut);
        const QByteArray copy = view.toByteArray();
        EXPECT_EQ(isValidUtf8(view), isValidUtf8(copy)) << cut;
        const DecodedText fromView = decodeText(view);
        const DecodedText fromCopy = decodeText(copy);
        EXPECT_EQ(fromView.utf8, fromCopy.utf8) << cut;
        EXPECT_EQ(fromView.format, fromCopy.format) << cut;
        for (const TextFormat &format : {utf8, utf8Unix, cp1252, cp1252Unix})
            EXPECT_EQ(encodeText(view, format).bytes, encodeText(copy, format).bytes) << cut;
    }
}

struct EncodeCase {
    const char *name;
    QByteArray editorText;
    TextFormat format;
    QByteArray file;
    bool fellBack;
};

class Writing : public testing::TestWithParam<EncodeCase> {};

TEST_P(Writing, WritesExpectedBytes)
{
    const EncodeCase &c = GetParam();
    const EncodedText encoded = encodeText(c.editorText, c.format);
    EXPECT_EQ(encoded.bytes, c.file) << encoded.bytes.toHex(' ').toStdString();
    EXPECT_EQ(encoded.fellBackToUtf8, c.fellBack);
}

INSTANTIATE_TEST_SUITE_P(
    Codepage, Writing,
    testing::Values(
        EncodeCase{"EuroIsWindows1252", "\xE2\x82\xAC 5", cp1252, "\x80 5", false},
        EncodeCase{"OmegaFallsBack", "\xC3\xA4\xCE\xA9", cp1252, "\xC3\xA4\xCE\xA9", true},
        EncodeCase{"EmojiFallsBackKeepingLf", "a\xF0\x9F\x98\x80\r\nb", cp1252Unix,
                   "a\xF0\x9F\x98\x80\nb", true},
        EncodeCase{"C1ControlU0080FallsBack", "\xC2\x80", cp1252, "\xC2\x80", true},
        EncodeCase{"UndefinedByteGoesBack", "\xC2\x9D", cp1252, "\x9D", false},
        EncodeCase{"LoneCrStaysWithUnixEnds", "a\rb\r\nc\r", cp1252Unix, "a\rb\nc\r", false},
        EncodeCase{"CrLfInLongRun", "0123456\r\n89abcdef\r\n", utf8Unix, "0123456\n89abcdef\n",
                   false},
        EncodeCase{"MarkWritten", "\xC3\xA4", utf8Mark, "\xEF\xBB\xBF\xC3\xA4", false},
        EncodeCase{"MarkOnEmptyText", {}, utf8Mark, "\xEF\xBB\xBF", false},
        // Bytes that are not UTF-8 never come from the editor; should they,
        // they are kept, not replaced.
        EncodeCase{"InvalidByteIsKept", "a\xFFz", utf8, "a\xFFz", false},
        EncodeCase{"TruncatedAtEndIsKept", "ab\xE2\x82", utf8, "ab\xE2\x82", false},
        EncodeCase{"InvalidWithUnixEnds", "\xFF\r\n", utf8Unix, "\xFF\n", false},
        EncodeCase{"InvalidInWindowsFallsBack", "\xC3\xA4\xFF", cp1252, "\xC3\xA4\xFF", true}),
    [](const testing::TestParamInfo<EncodeCase> &info) { return std::string(info.param.name); });

// Random files built from the pieces that matter: line breaks, NULs, high
// bytes, well-formed multi-byte sequences, and now and then a mark in front.
QByteArray randomFile(std::mt19937 &random, bool wellFormedOnly, bool withCr)
{
    const int length = std::uniform_int_distribution(0, 80)(random);
    QByteArray file = random() % 8 == 0 ? mark : QByteArray();
    for (int i = 0; i < length; ++i) {
        switch (random() % (wellFormedOnly ? 6 : 8)) {
        case 0:
            file.append(withCr ? '\r' : '\n');
            break;
        case 1:
            file.append('\n');
            break;
        case 2:
            file.append('\0');
            break;
        case 3: {
            static const char32_t samples[] = {0x80,     0xE4,  0x20AC, 0xFFFD, 0xFFFF, 0x1F600,
                                               0x10FFFF, 0x7FF, 0x800,  0xD7FF, 0xE000};
            file.append(utf8Of(samples[random() % std::size(samples)]));
            break;
        }
        case 4:
        case 5:
            file.append(static_cast<char>('a' + random() % 26));
            break;
        default:
            file.append(static_cast<char>(0x80 + random() % 128));
        }
    }
    return file;
}

TEST(Codepage, RandomFilesRoundTrip)
{
    std::mt19937 random(20240611);
    for (int i = 0; i < 4000; ++i) {
        const QByteArray file = randomFile(random, i % 3 == 0, i % 2 == 0);
        const DecodedText decoded = decodeText(file);
        ASSERT_TRUE(isValidUtf8(decoded.utf8));
        EXPECT_EQ(isValidUtf8(file), qtAcceptsUtf8(file)) << file.toHex(' ').toStdString();
        const bool unix = !file.contains('\r') && file.contains('\n');
        EXPECT_EQ(decoded.format.unixLineEnds, unix);
        if (decoded.format.encoding == Encoding::Windows1252) {
            EXPECT_FALSE(qtAcceptsUtf8(file));
            // One character per byte, plus the CR added before each LF.
            EXPECT_EQ(QString::fromUtf8(decoded.utf8).size(),
                      file.size() + (unix ? file.count('\n') : 0));
        }
        expectRoundTrip(file);
    }
}

} // namespace
} // namespace kelo
