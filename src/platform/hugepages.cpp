// The program's own global operator new: large blocks ask the kernel for
// transparent huge pages.
//
// The editor keeps its text in one block and the starts of its lines in
// another; for a file of a gigabyte they take more than that. Linux hands out
// such a block's memory one 4 KiB page at a time, a fault on the first write
// to each: a quarter of a million faults per gigabyte, more than all the
// decoding of the text costs, and far more under virtualisation. Huge pages
// map 2 MiB per fault, but Debian gives them only to memory that asks for
// them (/sys/kernel/mm/transparent_hugepage/enabled is "madvise").
//
// Scintilla allocates its blocks with new, and an operator new defined in the
// program replaces the standard library's in every library it loads, so this
// file is linked into the program itself (and into the benchmarks that
// measure its loading). Small blocks are exactly what the standard library's
// operator new gives. Sanitizer builds keep their own operator new, which
// checks every new against its delete.
#include <cstdint>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define KELO_OWN_OPERATOR_NEW 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define KELO_OWN_OPERATOR_NEW 0
#endif
#endif
#ifndef KELO_OWN_OPERATOR_NEW
#define KELO_OWN_OPERATOR_NEW 1
#endif

#if KELO_OWN_OPERATOR_NEW

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
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t last = (begin + size) & ~(hugePage - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}

void *allocate(std::size_t size)
{
    if (size == 0)
        size = 1;
    for (;;) {
        if (void *block = std::malloc(size)) {
            if (size >= hugeEnough)
                adviseHugePages(block, size);
            return block;
        }
        // As the standard asks: the new-handler may free memory, else the
        // allocation fails.
        const std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

} // namespace

void *operator new(std::size_t size)
{
    return allocate(size);
}

void *operator new[](std::size_t size)
{
    return allocate(size);
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void operator delete(void *block) noexcept
{
    std::free(block);
}

void operator delete[](void *block) noexcept
{
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void *block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete(void *block, const std::nothrow_t &) noexcept
{
    std::free(block);
}

void operator delete[](void *block, const std::nothrow_t &) noexcept
{
    std::free(block);
}

#endif
