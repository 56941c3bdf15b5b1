#pragma once

#ifdef __SSE2__
#include "platform/bitcounts.h"

#include <bit>

#include <emmintrin.h>

namespace kelo {

// Sixteen bytes of UTF-8 looked at in one go, for the loops that walk a
// whole text: a German text is mostly such blocks of ASCII, Latin-1 letters
// (ä, ö, ü, ß: two bytes) and now and then a dash, a quote or the euro sign
// (three bytes).
struct ShortSequences {
    int taken = 0;         // the bytes up to a sequence that goes on past the block, 0 if other
    int continuations = 0; // the continuation bytes among those taken
};

// The block at p when it holds nothing but ASCII and well-formed sequences of
// two or three bytes. Leads that need a closer look at their second byte
// (E0 against overlong forms, ED against surrogates) and sequences of four
// bytes are left to the byte by byte walk.
inline ShortSequences shortSequences(const unsigned char *p)
{
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    auto mask = [](__m128i bytes) { return unsigned(_mm_movemask_epi8(bytes)); };
    auto below = [&](unsigned char b) { return _mm_cmplt_epi8(block, _mm_set1_epi8(char(b))); };
    auto above = [&](unsigned char b) { return _mm_cmpgt_epi8(block, _mm_set1_epi8(char(b))); };
    // As signed bytes the high ones are negative and ASCII is not: the
    // continuations 0x80 to 0xBF are those below 0xC0, the leads C2 to DF
    // those above C1 and below E0, and so on.
    const unsigned high = mask(block);
    const unsigned continuations = mask(below(0xC0));
    const unsigned leads2 = mask(_mm_and_si128(above(0xC1), below(0xE0)));
    const unsigned leads3 = mask(_mm_andnot_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(char(0xED))),
                                                  _mm_and_si128(above(0xE0), below(0xF0))));
    // Every high byte is one of these, and the continuations are exactly
    // the bytes the leads ask for (a lead is no continuation, so no two
    // sequences can overlap).
    const unsigned asked = ((leads2 << 1) | (leads3 << 1) | (leads3 << 2)) & 0xFFFFu;
    if ((continuations | leads2 | leads3) != high || continuations != asked)
        return {};
    // A sequence that goes on in the next block is left for it.
    const unsigned cut = (leads2 & 0x8000u) | (leads3 & 0xC000u);
    const int taken = cut != 0 ? std::countr_zero(cut) : 16;
    return {taken, setBits(continuations & ((1u << taken) - 1))};
}

} // namespace kelo
#endif
