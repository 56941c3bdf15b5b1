// Reading and writing text files in UTF-8 or Windows-1252, with the line-break
// convention of the file, so that a file that is loaded and saved unchanged
// comes back byte for byte.
//
// Everything works on bytes (QByteArray to QByteArray) without a detour
// through QString: a 20 MB file is converted in a few passes over memory, each
// output buffer is allocated once, and runs of plain ASCII are handled eight
// bytes at a time.
#include "platform/codepage.h"

#include "platform/shortsequences.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

namespace kelo {

namespace {

using Byte = unsigned char;

// What Windows-1252 makes of the bytes 0x80 to 0x9F (all others are Latin-1).
// The five bytes it leaves undefined keep their own value as C1 controls, so
// that a file in any other single-byte code page survives a load and a save.
constexpr std::array<char32_t, 32> highControlBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

constexpr char32_t toUnicode(Byte byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return highControlBlock[byte - 0x80];
    return byte;
}

// The block above turned round (code point to byte), sorted by code point for
// a binary search on the way back.
struct ReverseEntry {
    char32_t codePoint;
    Byte byte;
};

constexpr std::array<ReverseEntry, 32> reverseHighBlock = [] {
    std::array<ReverseEntry, 32> entries{};
    for (int i = 0; i < 32; ++i)
        entries[i] = {highControlBlock[i], static_cast<Byte>(0x80 + i)};
    std::sort(entries.begin(), entries.end(), [](const ReverseEntry &a, const ReverseEntry &b) {
        return a.codePoint < b.codePoint;
    });
    return entries;
}();

// The byte of each character from U+2000 to U+203F (UTF-8 E2 80 80 to E2 80
// BF: dashes, quotes, the ellipsis), 0 where Windows-1252 has none; German
// text is full of them, so saving takes them without a search.
constexpr std::array<Byte, 64> punctuationBytes = [] {
    std::array<Byte, 64> bytes{};
    for (int i = 0; i < 32; ++i) {
        if (highControlBlock[i] >= 0x2000 && highControlBlock[i] < 0x2040)
            bytes[highControlBlock[i] - 0x2000] = static_cast<Byte>(0x80 + i);
    }
    return bytes;
}();

// UTF-8 form of every byte from 0x80 up, so that the hot loop of loading
// copies two or three bytes instead of encoding a code point.
struct Utf8Form {
    Byte length = 0;
    std::array<Byte, 3> bytes{};
};

constexpr Utf8Form utf8Form(char32_t cp)
{
    if (cp < 0x800)
        return {2, {static_cast<Byte>(0xC0 | (cp >> 6)), static_cast<Byte>(0x80 | (cp & 0x3F)), 0}};
    return {3,
            {static_cast<Byte>(0xE0 | (cp >> 12)), static_cast<Byte>(0x80 | ((cp >> 6) & 0x3F)),
             static_cast<Byte>(0x80 | (cp & 0x3F))}};
}

constexpr std::array<Utf8Form, 128> highByteForms = [] {
    std::array<Utf8Form, 128> forms{};
    for (int i = 0; i < 128; ++i)
        forms[i] = utf8Form(toUnicode(static_cast<Byte>(0x80 + i)));
    return forms;
}();

// The same forms padded to four bytes, so that the loop over sixteen bytes at
// a time stores each in one fixed move and steps on by its length.
constexpr std::array<std::array<Byte, 4>, 128> paddedHighByteForms = [] {
    std::array<std::array<Byte, 4>, 128> padded{};
    for (int i = 0; i < 128; ++i)
        padded[i] = {highByteForms[i].bytes[0], highByteForms[i].bytes[1],
                     highByteForms[i].bytes[2], 0};
    return padded;
}();

// Bit i is set when the byte 0x80 + i takes three bytes in UTF-8 (most of
// 0x80 to 0x9F: the euro sign, dashes, quotes); every other byte from 0x80
// up takes two.
constexpr std::uint32_t threeByteControls = [] {
    std::uint32_t bits = 0;
    for (int i = 0; i < 32; ++i) {
        if (highByteForms[i].length == 3)
            bits |= std::uint32_t(1) << i;
    }
    return bits;
}();

// --- Eight bytes at a time --------------------------------------------------

constexpr std::uint64_t highBits = 0x8080808080808080ull;
constexpr std::uint64_t low7Bits = 0x7F7F7F7F7F7F7F7Full;
constexpr std::uint64_t everyByte = 0x0101010101010101ull;

inline std::uint64_t load8(const Byte *p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// 0x80 in each byte of the word that equals c, 0 in every other byte. Exact:
// unlike the usual "has a zero byte" trick, no borrow runs between bytes, so
// the bits can be counted.
inline std::uint64_t bytesEqualTo(std::uint64_t word, Byte c)
{
    const std::uint64_t t = word ^ (everyByte * c);
    return ~(((t & low7Bits) + low7Bits) | t | low7Bits);
}

// How many bytes of a word come before the first byte marked with 0x80 in
// mask (which is not 0), in memory order.
inline int unmarkedPrefix(std::uint64_t mask)
{
    if constexpr (std::endian::native == std::endian::little)
        return std::countr_zero(mask) / 8;
    else
        return std::countl_zero(mask) / 8;
}

// The first byte from p on that is not ASCII, or end.
inline const Byte *skipAscii(const Byte *p, const Byte *end)
{
    while (end - p >= 8) {
        const std::uint64_t high = load8(p) & highBits;
        if (high != 0)
            return p + unmarkedPrefix(high);
        p += 8;
    }
    while (p < end && *p < 0x80)
        ++p;
    return p;
}

// --- UTF-8 ------------------------------------------------------------------

inline bool isContinuation(Byte b)
{
    return (b & 0xC0) == 0x80;
}

// Decodes the well-formed sequence at p (p < end) and returns its length, or 0
// when the bytes at p do not start one. Well-formed means the shortest form, no
// surrogate, nothing above U+10FFFF and nothing cut off by the end.
int decodeUtf8(const Byte *p, const Byte *end, char32_t &cp)
{
    const Byte b0 = p[0];
    const std::ptrdiff_t left = end - p;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        if (left < 2 || !isContinuation(p[1]))
            return 0;
        cp = (char32_t(b0 & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        // E0 needs A0 or more (no overlong form), ED at most 9F (no surrogate).
        const Byte low = b0 == 0xE0 ? 0xA0 : 0x80;
        const Byte high = b0 == 0xED ? 0x9F : 0xBF;
        if (left < 3 || p[1] < low || p[1] > high || !isContinuation(p[2]))
            return 0;
        cp = (char32_t(b0 & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        return 3;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        // F0 needs 90 or more (no overlong form), F4 at most 8F (U+10FFFF).
        const Byte low = b0 == 0xF0 ? 0x90 : 0x80;
        const Byte high = b0 == 0xF4 ? 0x8F : 0xBF;
        if (left < 4 || p[1] < low || p[1] > high || !isContinuation(p[2]) || !isContinuation(p[3]))
            return 0;
        cp = (char32_t(b0 & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
             (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F);
        return 4;
    }
    return 0; // a continuation byte, C0, C1 or F5 to FF
}

enum class Utf8Kind { Ascii, NonAscii, Invalid };

Utf8Kind classifyUtf8(const Byte *p, const Byte *end)
{
    bool nonAscii = false;
    while ((p = skipAscii(p, end)) < end) {
        char32_t cp;
        const int length = decodeUtf8(p, end, cp);
        if (length == 0)
            return Utf8Kind::Invalid;
        nonAscii = true;
        p += length;
    }
    return nonAscii ? Utf8Kind::NonAscii : Utf8Kind::Ascii;
}

constexpr Byte cr = '\r';
constexpr Byte lf = '\n';
constexpr std::array<Byte, 3> byteOrderMark = {0xEF, 0xBB, 0xBF};

// Output is written through a raw pointer into a buffer sized beforehand.
class Writer {
public:
    explicit Writer(QByteArray &buffer)
        : Writer(buffer.data(), buffer.data() + buffer.size())
    {}
    Writer(char *out, char *end)
        : m_out(out)
        , m_end(end)
    {}
    void put(Byte b) { *m_out++ = static_cast<char>(b); }
    void put(const Byte *data, std::size_t length)
    {
        if (length == 0)
            return; // memcpy must not see the null pointer of an empty view
        std::memcpy(m_out, data, length);
        m_out += length;
    }
    // Puts the first `length` bytes of the eight at `word`. While there is
    // room, all eight are copied in one move (the surplus is overwritten by
    // what follows), avoiding a memcpy of variable length.
    void putPrefixOfWord(const Byte *word, int length)
    {
        if (m_end - m_out >= 8)
            std::memcpy(m_out, word, 8);
        else
            std::memcpy(m_out, word, static_cast<std::size_t>(length));
        m_out += length;
    }
#ifdef __SSE2__
    // The same for the sixteen bytes of a block.
    void putPrefixOfBlock(__m128i block, const Byte *bytes, int length)
    {
        if (m_end - m_out >= 16)
            _mm_storeu_si128(reinterpret_cast<__m128i *>(m_out), block);
        else
            std::memcpy(m_out, bytes, static_cast<std::size_t>(length));
        m_out += length;
    }
#endif
    char *position() const { return m_out; }
    // Counts `length` bytes put straight at position().
    void skip(std::ptrdiff_t length) { m_out += length; }

private:
    char *m_out;
    char *m_end;
};

// --- Loading ----------------------------------------------------------------

// A UTF-8 file body as editor text: copied whole, or with every LF widened to
// CR LF for a file with Unix line ends.
// The text goes into `text`, whose memory is reused when it is big enough
// (loading in pieces decodes every piece into the same buffer).
void utf8FileToEditor(const Byte *p, const Byte *end, bool unixLineEnds, QByteArray &text)
{
    const auto length = static_cast<qsizetype>(end - p);
    if (!unixLineEnds) {
        text = QByteArray(reinterpret_cast<const char *>(p), length);
        return;
    }

    const auto lineFeeds = static_cast<qsizetype>(std::count(p, end, lf));
    text.resize(length + lineFeeds);
    Writer out(text);
    while (p < end) {
        const auto *next = static_cast<const Byte *>(std::memchr(p, lf, end - p));
        const Byte *runEnd = next ? next : end;
        out.put(p, runEnd - p);
        if (!next)
            break;
        out.put(cr);
        out.put(lf);
        p = next + 1;
    }
    Q_ASSERT(out.position() == text.constData() + text.size());
}

// What the length of a Windows-1252 file's editor text depends on: its LFs
// (each becomes CR LF in a file with Unix line ends) and how many bytes its
// characters take beyond one per file byte (one or two for each byte from
// 0x80 up).
struct Windows1252Counts {
    qsizetype lineFeeds = 0;
    qsizetype extra = 0;
};

#ifdef __SSE2__
// The sum of the sixteen bytes of a tally.
qsizetype sumOfBytes(__m128i tally)
{
    const __m128i sums = _mm_sad_epu8(tally, _mm_setzero_si128());
    return qsizetype(_mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
}
#endif

Windows1252Counts countWindows1252(const Byte *p, const Byte *end)
{
    Windows1252Counts counts;
#ifdef __SSE2__
    // Sixteen bytes at a time into a tally per byte lane, which holds 255
    // blocks before it is summed. Only the rare bytes 0x80 to 0x9F are
    // looked at one by one, for their length.
    const __m128i lineFeed = _mm_set1_epi8(char(lf));
    const __m128i topThree = _mm_set1_epi8(char(0xE0));
    const __m128i controlBlock = _mm_set1_epi8(char(0x80));
    while (end - p >= 16) {
        const std::ptrdiff_t blocks = std::min<std::ptrdiff_t>((end - p) / 16, 255);
        __m128i high = _mm_setzero_si128();
        __m128i feeds = _mm_setzero_si128();
        for (std::ptrdiff_t i = 0; i < blocks; ++i, p += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            // A byte from 0x80 up is negative as a signed byte: -1 in the mask.
            high = _mm_sub_epi8(high, _mm_cmplt_epi8(block, _mm_setzero_si128()));
            feeds = _mm_sub_epi8(feeds, _mm_cmpeq_epi8(block, lineFeed));
            auto controls = unsigned(
                _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(block, topThree), controlBlock)));
            for (; controls != 0; controls &= controls - 1)
                counts.extra += (threeByteControls >> (p[std::countr_zero(controls)] - 0x80)) & 1;
        }
        counts.extra += sumOfBytes(high);
        counts.lineFeeds += sumOfBytes(feeds);
    }
#endif
    for (; p < end; ++p) {
        if (*p >= 0x80)
            counts.extra += highByteForms[*p - 0x80].length - 1;
        else if (*p == lf)
            ++counts.lineFeeds;
    }
    return counts;
}

// With exactSize the text is allocated at its length, else at the most it
// can take (three bytes per byte, four per LF), which spares a pass over the
// bytes when the buffer is reused anyway.
void windows1252FileToEditor(const Byte *p, const Byte *end, bool unixLineEnds, QByteArray &text,
                             bool exactSize = true)
{
    const auto length = static_cast<qsizetype>(end - p);
    if (exactSize) {
        const Windows1252Counts counts = countWindows1252(p, end);
        text.resize(length + counts.extra + (unixLineEnds ? counts.lineFeeds : 0));
    } else {
        text.resize(length * (unixLineEnds ? 4 : 3));
    }
    char *out = text.data();
    char *const outEnd = out + text.size();
#ifdef __SSE2__
    // Sixteen bytes at a time. A block without a byte from 0x80 up (or an
    // LF to widen) is stored as it is. Otherwise each run of plain bytes up
    // to the next special one is stored with one 16-byte move whose surplus
    // the special byte's form overwrites. A block gives at most 48 bytes and
    // a move reaches at most 16 past where it leaves `out`; a move reads at
    // most 32 bytes from the block's start.
    const __m128i lineFeed = _mm_set1_epi8(char(lf));
    while (end - p >= 32 && outEnd - out >= 64) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        auto special = unsigned(_mm_movemask_epi8(block));
        if (unixLineEnds)
            special |= unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lineFeed)));
        int from = 0;
        for (; special != 0; special &= special - 1) {
            const int at = std::countr_zero(special);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out),
                             _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + from)));
            out += at - from;
            const Byte b = p[at];
            if (b >= 0x80) {
                std::memcpy(out, paddedHighByteForms[b - 0x80].data(), 4);
                out += highByteForms[b - 0x80].length;
            } else {
                out[0] = char(cr);
                out[1] = char(lf);
                out += 2;
            }
            from = at + 1;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + from)));
        out += 16 - from;
        p += 16;
    }
#endif
    // The rest (all of it without SSE2) eight bytes at a time.
    Writer writer(out, outEnd);
    auto putByte = [&](Byte b) {
        if (b >= 0x80) {
            const Utf8Form &form = highByteForms[b - 0x80];
            writer.put(form.bytes.data(), form.length);
        } else {
            if (unixLineEnds && b == lf)
                writer.put(cr);
            writer.put(b);
        }
    };
    while (p < end) {
        if (end - p >= 8) {
            const std::uint64_t word = load8(p);
            const std::uint64_t special =
                (word & highBits) | (unixLineEnds ? bytesEqualTo(word, lf) : 0);
            const int plain = special == 0 ? 8 : unmarkedPrefix(special);
            writer.putPrefixOfWord(p, plain);
            p += plain;
            if (plain == 8)
                continue;
        }
        putByte(*p++);
    }
    Q_ASSERT(!exactSize || writer.position() == outEnd);
    text.resize(writer.position() - text.constData());
}

// --- Saving -----------------------------------------------------------------

// Editor text as UTF-8 file bytes: copied, with CR LF narrowed to LF for a
// file with Unix line ends (a lone CR stays). The editor holds UTF-8 already,
// so its bytes go out as they are: no pass to check them, and should a byte
// ever not be UTF-8, it is kept rather than replaced.
QByteArray editorToUtf8File(const Byte *p, const Byte *end, bool withMark, bool unixLineEnds)
{
    const std::size_t markLength = withMark ? byteOrderMark.size() : 0;
    QByteArray bytes(static_cast<qsizetype>(markLength + (end - p)), Qt::Uninitialized);
    Writer out(bytes);
    out.put(byteOrderMark.data(), markLength);
    if (!unixLineEnds) {
        out.put(p, end - p);
        return bytes;
    }
    while (p < end) {
        const auto *next = static_cast<const Byte *>(std::memchr(p, cr, end - p));
        const Byte *runEnd = next ? next : end;
        out.put(p, runEnd - p);
        if (!next)
            break;
        if (next + 1 == end || next[1] != lf)
            out.put(cr);
        p = next + 1;
    }
    bytes.resize(out.position() - bytes.constData());
    return bytes;
}

#ifdef __SSE2__
// For each set of up to eight bytes to leave out of eight (bit i: byte i),
// the order of the bytes kept, for SSSE3's byte shuffle (0x80 gives a zero),
// and how many are kept.
struct KeptBytes {
    std::array<Byte, 8> order;
    int count;
};
constexpr std::array<KeptBytes, 256> keptBytes = [] {
    std::array<KeptBytes, 256> rows{};
    for (unsigned left = 0; left < 256; ++left) {
        int kept = 0;
        for (Byte i = 0; i < 8; ++i) {
            if (((left >> i) & 1U) == 0)
                rows[left].order[kept++] = i;
        }
        rows[left].count = kept;
        for (int i = kept; i < 8; ++i)
            rows[left].order[i] = 0x80;
    }
    return rows;
}();

// Whether this processor has SSSE3's byte shuffle, which every x86-64 one of
// the last fifteen years has but the x86-64 baseline this is built for does not
// promise.
bool hasByteShuffle()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
}

// What putLatinBlock took: bytes read (0: none, the block is not for it)
// and bytes put.
struct LatinBlock {
    int read;
    int put;
};

// Sixteen bytes of editor text that start a character and hold, besides
// plain bytes, only Latin-1 letters (C2 A0..BF and C3 80..BF, which become
// the byte of their value) and, for a file with Unix line ends, CR LF pairs
// (which become LF), put as Windows-1252 at `to`, without a branch per
// letter: German text, with an umlaut every few words, would otherwise pay
// for them in mispredictions. A letter or CR that the last byte starts is
// left for the next block. Puts nothing when the block holds anything else,
// and never more bytes than it reads.
[[gnu::always_inline]] inline __attribute__((target("ssse3"))) LatinBlock
putLatinBlock(__m128i block, char *to, bool unixLineEnds)
{
    const __m128i next = _mm_srli_si128(block, 1); // byte i + 1 at i, 0 at the end
    const __m128i c2 = _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(0xC2)));
    const __m128i lead =
        _mm_or_si128(c2, _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(0xC3))));
    const __m128i crs = _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(cr)));
    unsigned leads = static_cast<unsigned>(_mm_movemask_epi8(lead));
    // A lead or (for Unix line ends) a CR in the last byte waits for the
    // next block, which holds what follows it.
    const unsigned lastByte =
        (leads | (unixLineEnds ? static_cast<unsigned>(_mm_movemask_epi8(crs)) : 0)) & 0x8000;
    leads &= ~lastByte;
    // As signed bytes, 80..BF lie below C0 and 80..9F below A0; plain bytes
    // are not negative.
    const auto continuations = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmplt_epi8(block, _mm_set1_epi8(static_cast<char>(0xC0)))));
    const auto below0xA0 = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmplt_epi8(block, _mm_set1_epi8(static_cast<char>(0xA0)))));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(block)) & ~lastByte;
    // Each lead is followed by one continuation and each continuation
    // follows a lead; C2 80..9F are control characters, which take the long
    // way.
    if ((leads | continuations) != high || (leads << 1) != continuations ||
        ((static_cast<unsigned>(_mm_movemask_epi8(c2)) << 1) & below0xA0) != 0)
        return {0, 0};
    unsigned left = continuations | lastByte;
    if (unixLineEnds) {
        left |= static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(crs, _mm_cmpeq_epi8(next, _mm_set1_epi8(static_cast<char>(lf))))));
    }
    const int read = lastByte ? 15 : 16;
    if (left == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to), block);
        return {16, 16};
    }
    // A lead's byte: its two low bits, then the continuation's six.
    const __m128i letters =
        _mm_or_si128(_mm_slli_epi16(_mm_and_si128(block, _mm_set1_epi8(3)), 6),
                     _mm_and_si128(next, _mm_set1_epi8(0x3F)));
    const __m128i bytes =
        _mm_or_si128(_mm_and_si128(lead, letters), _mm_andnot_si128(lead, block));
    // Each half without the bytes left out.
    const KeptBytes &low = keptBytes[left & 0xFF];
    const KeptBytes &upper = keptBytes[left >> 8];
    const __m128i lowOrder = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(low.order.data()));
    const __m128i upperOrder = _mm_add_epi8(
        _mm_loadl_epi64(reinterpret_cast<const __m128i *>(upper.order.data())), _mm_set1_epi8(8));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(to), _mm_shuffle_epi8(bytes, lowOrder));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(to + low.count),
                     _mm_shuffle_epi8(bytes, upperOrder));
    return {read, low.count + upper.count};
}

// Puts blocks of sixteen bytes from p on, as long as putLatinBlock takes
// them; returns where it stopped. Needs hasByteShuffle().
__attribute__((target("ssse3"))) const Byte *putLatinBlocks(const Byte *p, const Byte *end,
                                                            Writer &out, bool unixLineEnds)
{
    char *const start = out.position();
    char *to = start;
    while (end - p >= 16) {
        const LatinBlock block = putLatinBlock(
            _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), to, unixLineEnds);
        if (block.read == 0)
            break;
        p += block.read;
        to += block.put;
    }
    out.skip(to - start);
    return p;
}
#endif

// Editor text as Windows-1252 bytes, or nothing when it holds a character that
// Windows-1252 has no byte for (or bytes that are not UTF-8 at all).
std::optional<QByteArray> editorToWindows1252(const Byte *p, const Byte *end, bool unixLineEnds)
{
    // Every character takes at least one byte of UTF-8 and exactly one of
    // Windows-1252, so the input length is enough.
    QByteArray bytes(static_cast<qsizetype>(end - p), Qt::Uninitialized);
    Writer out(bytes);
#ifdef __SSE2__
    const bool byteShuffle = hasByteShuffle();
#endif
    while (p < end) {
#ifdef __SSE2__
        if (byteShuffle && end - p >= 16) {
            p = putLatinBlocks(p, end, out, unixLineEnds);
            if (end - p < 16)
                continue; // the rest, if any, byte by byte
        }
        if (end - p >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            unsigned special = static_cast<unsigned>(_mm_movemask_epi8(block));
            if (unixLineEnds)
                special |= static_cast<unsigned>(_mm_movemask_epi8(
                    _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(cr)))));
            const int plain = special == 0 ? 16 : std::countr_zero(special);
            out.putPrefixOfBlock(block, p, plain);
            p += plain;
            if (plain == 16)
                continue;
        } else
#endif
        if (end - p >= 8) {
            const std::uint64_t word = load8(p);
            const std::uint64_t special =
                (word & highBits) | (unixLineEnds ? bytesEqualTo(word, cr) : 0);
            const int plain = special == 0 ? 8 : unmarkedPrefix(special);
            out.putPrefixOfWord(p, plain);
            p += plain;
            if (plain == 8)
                continue;
        }
        if (*p < 0x80) {
            if (!(unixLineEnds && *p == cr && p + 1 < end && p[1] == lf))
                out.put(*p);
            ++p;
            continue;
        }
        // Latin-1 letters (umlauts, ß) are two bytes whose value Windows-1252
        // keeps: C3 xx is U+00C0 to U+00FF, C2 A0 to C2 BF is U+00A0 to U+00BF.
        if (end - p >= 2 && (p[1] & 0xC0) == 0x80 && (*p == 0xC3 || (*p == 0xC2 && p[1] >= 0xA0))) {
            out.put(static_cast<Byte>(((*p & 0x03) << 6) | (p[1] & 0x3F)));
            p += 2;
            continue;
        }
        if (end - p >= 3 && *p == 0xE2 && p[1] == 0x80 && (p[2] & 0xC0) == 0x80) {
            if (const Byte byte = punctuationBytes[p[2] & 0x3F]) {
                out.put(byte);
                p += 3;
                continue;
            }
        }
        char32_t cp;
        const int length = decodeUtf8(p, end, cp);
        if (length == 0)
            return std::nullopt;
        const std::optional<unsigned char> byte = unicodeToWindows1252(cp);
        if (!byte)
            return std::nullopt;
        out.put(*byte);
        p += length;
    }
    bytes.resize(out.position() - bytes.constData());
    return bytes;
}

const Byte *bytesOf(QByteArrayView view)
{
    return reinterpret_cast<const Byte *>(view.data());
}

} // namespace

char32_t windows1252ToUnicode(unsigned char byte)
{
    return toUnicode(byte);
}

std::optional<unsigned char> unicodeToWindows1252(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<unsigned char>(codePoint);
    const auto *entry =
        std::lower_bound(reverseHighBlock.begin(), reverseHighBlock.end(), codePoint,
                         [](const ReverseEntry &e, char32_t cp) { return e.codePoint < cp; });
    if (entry != reverseHighBlock.end() && entry->codePoint == codePoint)
        return entry->byte;
    return std::nullopt;
}

int utf8SequenceLength(const unsigned char *p, const unsigned char *end)
{
    char32_t cp;
    return decodeUtf8(p, end, cp);
}

bool isValidUtf8(QByteArrayView bytes)
{
    return classifyUtf8(bytesOf(bytes), bytesOf(bytes) + bytes.size()) != Utf8Kind::Invalid;
}

FinalBreak finalBreakOf(QByteArrayView fileBytes)
{
    if (fileBytes.endsWith("\r\n"))
        return FinalBreak::CrLf;
    if (fileBytes.endsWith('\n'))
        return FinalBreak::Lf;
    if (fileBytes.endsWith('\r'))
        return FinalBreak::Cr;
    return FinalBreak::None;
}

DecodedText decodeText(QByteArrayView bytes)
{
    DecodedText result;
    result.format.finalBreak = finalBreakOf(bytes);
    if (bytes.isEmpty())
        return result; // an empty file: UTF-8
    const Byte *begin = bytesOf(bytes);
    const Byte *end = begin + bytes.size();
    const auto size = static_cast<std::size_t>(bytes.size());

    // Unix line ends only when every break is a lone LF: one CR anywhere and
    // the file is taken exactly as it is.
    result.format.unixLineEnds =
        std::memchr(begin, cr, size) == nullptr && std::memchr(begin, lf, size) != nullptr;

    const bool marked = size >= byteOrderMark.size() &&
                        std::equal(byteOrderMark.begin(), byteOrderMark.end(), begin);
    const Byte *body = marked ? begin + byteOrderMark.size() : begin;
    // A mark followed by bytes that are not UTF-8 cannot be UTF-8 text: the
    // file is then Windows-1252 as a whole, mark included, so that it still
    // comes back unchanged.
    if (classifyUtf8(body, end) != Utf8Kind::Invalid) {
        result.format.encoding = Encoding::Utf8;
        result.format.byteOrderMark = marked;
        utf8FileToEditor(body, end, result.format.unixLineEnds, result.utf8);
    } else {
        result.format.encoding = Encoding::Windows1252;
        windows1252FileToEditor(begin, end, result.format.unixLineEnds, result.utf8);
    }
    return result;
}

void TextFormatScanner::add(QByteArrayView piece)
{
    if (piece.isEmpty())
        return;
    const Byte *p = bytesOf(piece);
    const Byte *end = p + piece.size();
    for (qint64 i = m_size; i < qint64(m_head.size()) && i - m_size < piece.size(); ++i)
        m_head[i] = p[i - m_size];
    if (piece.size() >= 2)
        m_tail = {end[-2], end[-1]};
    else
        m_tail = {m_tail[1], p[0]};
    m_size += piece.size();
    if (!m_sawCr)
        m_sawCr = std::memchr(p, cr, size_t(piece.size())) != nullptr;
    if (m_countSize) {
        const Windows1252Counts counts = countWindows1252(p, end);
        m_lineFeeds += counts.lineFeeds;
        m_windows1252Extra += counts.extra;
    } else if (m_lineFeeds == 0) {
        m_lineFeeds = std::memchr(p, lf, size_t(piece.size())) != nullptr ? 1 : 0;
    }
    if (m_validUtf8)
        scanUtf8(p, end);
}

void TextFormatScanner::scanUtf8(const Byte *p, const Byte *end)
{
    if (m_cutLength > 0) {
        // The sequence the last piece ended in, with as many bytes of this
        // one as it can take.
        const int taken = int(std::min<std::ptrdiff_t>(4 - m_cutLength, end - p));
        std::memcpy(m_cut.data() + m_cutLength, p, size_t(taken));
        const int length = utf8SequenceLength(m_cut.data(), m_cut.data() + m_cutLength + taken);
        if (length == 0) {
            if (m_cutLength + taken < 4 && taken == end - p) {
                m_cutLength += taken; // still cut: the next piece decides
                return;
            }
            m_validUtf8 = false;
            return;
        }
        p += length - m_cutLength;
        m_cutLength = 0;
    }
    while ((p = skipAscii(p, end)) < end) {
#ifdef __SSE2__
        if (end - p >= 16) {
            if (const ShortSequences block = shortSequences(p); block.taken != 0) {
                p += block.taken;
                continue;
            }
        }
#endif
        const int length = utf8SequenceLength(p, end);
        if (length == 0) {
            if (end - p < 4) {
                // Perhaps only cut by the end of the piece.
                m_cutLength = int(end - p);
                std::memcpy(m_cut.data(), p, size_t(m_cutLength));
                return;
            }
            m_validUtf8 = false;
            return;
        }
        p += length;
    }
}

bool TextFormatScanner::startsWithMark() const
{
    return m_size >= qint64(byteOrderMark.size()) && m_head == byteOrderMark;
}

TextFormat TextFormatScanner::format() const
{
    TextFormat format;
    const qsizetype tailLength = std::min<qint64>(m_size, 2);
    format.finalBreak = finalBreakOf(QByteArrayView(m_tail.data() + 2 - tailLength, tailLength));
    if (m_size == 0)
        return format;
    format.unixLineEnds = !m_sawCr && m_lineFeeds > 0;
    // A sequence still cut at the end of the file is cut for good.
    if (m_validUtf8 && m_cutLength == 0) {
        format.encoding = Encoding::Utf8;
        format.byteOrderMark = startsWithMark();
    } else {
        format.encoding = Encoding::Windows1252;
    }
    return format;
}

qsizetype TextFormatScanner::editorSize() const
{
    Q_ASSERT(m_countSize);
    const TextFormat form = format();
    const qint64 breaks = form.unixLineEnds ? m_lineFeeds : 0;
    if (form.encoding == Encoding::Utf8)
        return qsizetype(m_size - (form.byteOrderMark ? qint64(byteOrderMark.size()) : 0) + breaks);
    return qsizetype(m_size + m_windows1252Extra + breaks);
}

QByteArrayView TextPieceDecoder::decode(QByteArrayView piece, QByteArray &buffer)
{
    const Byte *p = bytesOf(piece);
    const Byte *end = p + piece.size();
    if (m_format.encoding == Encoding::Utf8 && m_format.byteOrderMark &&
        m_position < qint64(byteOrderMark.size())) {
        // The mark is remembered, not shown.
        const auto skipped = std::min<qint64>(qint64(byteOrderMark.size()) - m_position, end - p);
        p += skipped;
        m_position += skipped;
    }
    m_position += end - p;
    if (m_format.encoding == Encoding::Utf8) {
        if (!m_format.unixLineEnds)
            return QByteArrayView(p, end);
        utf8FileToEditor(p, end, true, buffer);
    } else {
        windows1252FileToEditor(p, end, m_format.unixLineEnds, buffer, false);
    }
    return buffer;
}

EncodedText encodeText(QByteArrayView editorUtf8, const TextFormat &format)
{
    EncodedText result;
    const Byte *begin = bytesOf(editorUtf8);
    const Byte *end = begin + editorUtf8.size();
    if (format.encoding == Encoding::Windows1252) {
        if (std::optional<QByteArray> bytes =
                editorToWindows1252(begin, end, format.unixLineEnds)) {
            result.bytes = std::move(*bytes);
            return result;
        }
        // Saving never loses a character: the whole text goes out as UTF-8
        // instead, without a mark, which a Windows-1252 file never had.
        result.fellBackToUtf8 = true;
        result.bytes = editorToUtf8File(begin, end, false, format.unixLineEnds);
        return result;
    }
    result.bytes = editorToUtf8File(begin, end, format.byteOrderMark, format.unixLineEnds);
    return result;
}

} // namespace kelo
