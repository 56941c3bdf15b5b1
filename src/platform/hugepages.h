// Big blocks of memory in huge pages.
//
// A new block costs the kernel a page fault and a cleared page for every
// 4 KiB the program first touches; for the gigabyte that a big text and its
// line index take, that is seconds before a single byte is in it. The same
// block in 2 MiB pages costs a 512th of the faults. Kelo's operator new (in
// hugepages.cpp) asks for huge pages for every block from bigHugeBlock on,
// so that the editor's buffers, which Scintilla allocates itself, get them
// too. Where the kernel has none to give, the block simply stays in small
// pages.
#pragma once

#include <cstddef>

// The sanitizers bring their own operator new, which must stay theirs.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KELO_OWN_OPERATOR_NEW 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                     \
    __has_feature(memory_sanitizer)
#define KELO_OWN_OPERATOR_NEW 0
#endif
#endif
#ifndef KELO_OWN_OPERATOR_NEW
#define KELO_OWN_OPERATOR_NEW 1
#endif

namespace kelo {

// Whether this build's operator new is Kelo's own.
inline constexpr bool bigBlocksInHugePages = KELO_OWN_OPERATOR_NEW;

// From this size on glibc gives every block a mapping of its own (its
// threshold for that never rises above 32 MiB), so the advice covers that
// block and no neighbour.
constexpr std::size_t bigHugeBlock = std::size_t(32) << 20;

} // namespace kelo
