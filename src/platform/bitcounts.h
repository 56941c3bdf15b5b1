#pragma once

#include <bit>
#include <cstdint>

namespace kelo {

// Counting set bits in the inner loops over a text. Debian builds for the
// x86-64 baseline, which lacks the POPCNT instruction, so std::popcount there
// is a call into the compiler's library, dearer than the few operations below.

// How many bytes of a word are marked with 0x80 (and have no other bit set),
// summed by one multiplication.
constexpr int markedBytes(std::uint64_t mask)
{
    return int(((mask >> 7) * 0x0101010101010101ull) >> 56);
}

// How many bits of x are set.
constexpr int setBits(std::uint32_t x)
{
#ifdef __POPCNT__
    return std::popcount(x);
#else
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0Fu;
    return int((x * 0x01010101u) >> 24);
#endif
}

} // namespace kelo
