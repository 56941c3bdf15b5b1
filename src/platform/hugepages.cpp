// The program's own malloc, calloc and realloc: large blocks ask the kernel
// for transparent huge pages.
//
// The editor keeps its text in one block and the starts of its lines in
// another; a file being read, its decoded text and a tool's new text are
// blocks of the same size. Linux hands out such a block's memory one 4 KiB
// page at a time, a fault on the first write to each: a quarter of a million
// faults per gigabyte, more than all the decoding of the text costs, and far
// more under virtualisation, where a process that holds gigabytes in small
// pages also copies out of them several times slower. Huge pages map 2 MiB
// per fault, but Debian gives them only to memory that asks for them
// (/sys/kernel/mm/transparent_hugepage/enabled is "madvise").
//
// Scintilla allocates with new, Qt's byte arrays with malloc and realloc, and
// new itself calls malloc: a malloc defined in the program replaces the C
// library's in every library it loads, so this file is linked into the
// program itself (and into the benchmarks that measure it). Each call hands
// its work to the C library's own allocator, whose free, malloc_usable_size
// and aligned allocations therefore stay as they are; only a block of 32 MiB
// or more is then advised. Sanitizer builds keep their own allocator, which
// checks every allocation against its release.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <malloc.h>
#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KELO_OWN_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) ||                         \
    __has_feature(thread_sanitizer)
#define KELO_OWN_MALLOC 0
#endif
#endif
#ifndef KELO_OWN_MALLOC
#define KELO_OWN_MALLOC 1
#endif

#if KELO_OWN_MALLOC

// The C library's allocator under its own names (glibc exports them for
// exactly this: a malloc that adds to the library's one).
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
void __libc_free(void *block);
}

namespace {

constexpr std::size_t hugePage = std::size_t(2) << 20;
// Below this a block's faults cost too little to matter, and glibc may carve
// it from memory that other blocks share.
constexpr std::size_t hugeEnough = std::size_t(32) << 20;

// The huge pages that lie wholly inside the block are asked for before
// anything is written to them. Should the kernel refuse (no huge pages
// built in), the block simply keeps small pages.
void adviseHugePages(void *block, std::size_t size)
{
    if (!block || size < hugeEnough)
        return;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t last = (begin + size) & ~(hugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}

} // namespace

extern "C" {

void *malloc(std::size_t size)
{
    void *block = __libc_malloc(size);
    adviseHugePages(block, size);
    return block;
}

// A large calloc is fresh memory from the kernel, zero without being written,
// so the advice still comes before the first write.
void *calloc(std::size_t count, std::size_t size)
{
    void *block = __libc_calloc(count, size);
    if (block && size != 0)
        adviseHugePages(block, count * size); // no overflow: calloc checked it
    return block;
}

void *realloc(void *block, std::size_t size)
{
    if (!block || size < hugeEnough)
        return __libc_realloc(block, size);
    const std::size_t had = malloc_usable_size(block);
    if (had >= hugeEnough) {
        // Already advised; growing it keeps its mapping's advice.
        void *grown = __libc_realloc(block, size);
        adviseHugePages(grown, size);
        return grown;
    }
    // A small block that becomes a large one moves anyway: into a block that
    // was advised before the copy, else the copied part keeps small pages.
    void *moved = malloc(size);
    if (!moved)
        return nullptr; // the old block stays, as realloc promises
    std::memcpy(moved, block, had);
    __libc_free(block);
    return moved;
}

} // extern "C"

#endif
