#include "platform/linebreaks.h"

#include "platform/bitcounts.h"

#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kelo {

namespace {

template <typename Out, typename In> Out dropCrBeforeLf(In text)
{
    Out out;
    out.reserve(text.size());
    const auto size = text.size();
    qsizetype from = 0;
    for (qsizetype i = 0; i + 1 < size; ++i) {
        if (text[i] == u'\r' && text[i + 1] == u'\n') {
            out.append(text.sliced(from, i - from));
            from = i + 1; // the LF starts the next run
        }
    }
    out.append(text.sliced(from));
    return out;
}

} // namespace

QString crlfToLf(QStringView text)
{
    return dropCrBeforeLf<QString>(text);
}

QByteArray crlfToLf(QByteArrayView text)
{
    return dropCrBeforeLf<QByteArray>(text);
}

namespace {

// Walks the breaks of a text one byte at a time; the block loop below hands
// it only the blocks that hold a lone break. A CR is decided by the byte
// after it, so it waits in `pendingCr` until then, across blocks too.
struct BreakWalk {
    std::vector<long> lone;
    long breaks = 0;
    bool pendingCr = false;

    void byte(char c)
    {
        if (c == '\n') {
            if (!pendingCr)
                lone.push_back(breaks);
            ++breaks;
            pendingCr = false;
            return;
        }
        if (pendingCr) {
            lone.push_back(breaks);
            ++breaks;
        }
        pendingCr = c == '\r';
    }
};

} // namespace

std::vector<long> loneBreakLines(QByteArrayView text)
{
    BreakWalk walk;
    const char *p = text.data();
    const char *end = p + text.size();
#ifdef __SSE2__
    // Sixteen bytes at a time: a block whose LFs all follow a CR and whose
    // CRs all precede an LF (a CR in its last byte waits for the next block)
    // only adds its LFs to the breaks. A German text of short lines is all
    // such blocks, so the bytes are looked at one by one only around a lone
    // break.
    const __m128i crs = _mm_set1_epi8('\r');
    const __m128i lfs = _mm_set1_epi8('\n');
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const auto cr = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, crs)));
        const auto lf = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lfs)));
        if (((cr << 1 | unsigned(walk.pendingCr)) & 0xFFFFu) == lf) {
            walk.breaks += setBits(lf);
            walk.pendingCr = (cr & 0x8000u) != 0;
            continue;
        }
        for (int i = 0; i < 16; ++i)
            walk.byte(p[i]);
    }
#endif
    for (; p < end; ++p)
        walk.byte(*p);
    if (walk.pendingCr)
        walk.lone.push_back(walk.breaks);
    return std::move(walk.lone);
}

} // namespace kelo
