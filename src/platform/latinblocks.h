#pragma once

#ifdef __SSE2__
#include "platform/bitcounts.h"

#include <emmintrin.h>

namespace kelo {

// Sixteen bytes of UTF-8 looked at in one go, for the loops that walk a
// whole text: a German text is mostly such blocks of ASCII and Latin-1
// letters (ä, ö, ü, ß, é), whose every sequence has two bytes.
struct LatinBlock {
    int taken = 0;         // 16, 15 when the last byte starts a sequence, 0 if not Latin
    int continuations = 0; // the continuation bytes among those taken
};

inline LatinBlock latinBlock(const unsigned char *p)
{
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    // As signed bytes the continuations 0x80 to 0xBF are those below -64 and
    // the leads 0xC2 to 0xDF those from -62 to -33; ASCII is not negative.
    const auto high = unsigned(_mm_movemask_epi8(block));
    const auto continuations =
        unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(block, _mm_set1_epi8(char(0xC0)))));
    const auto leads = unsigned(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpgt_epi8(block, _mm_set1_epi8(char(0xC1))),
                                        _mm_cmplt_epi8(block, _mm_set1_epi8(char(0xE0))))));
    // Every high byte is a lead or a continuation, each lead is followed by
    // a continuation and each continuation follows a lead (a lead in the
    // last byte is left for the next block).
    if ((continuations | leads) != high || continuations != ((leads << 1) & 0xFFFFu))
        return {};
    return {(leads & 0x8000u) != 0 ? 15 : 16, setBits(continuations)};
}

} // namespace kelo
#endif
