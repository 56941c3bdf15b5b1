#include "platform/hugepages.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

#if KELO_OWN_OPERATOR_NEW
namespace {

// Advises the kernel to back a block with huge pages where it can (best
// effort: a kernel that does not take the advice leaves small pages). The
// whole pages the block lies in: for a block that has a mapping of its own,
// that mapping and nothing else.
void adviseHugePages(void *block, std::size_t size)
{
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(block) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + size + page - 1) & ~(page - 1);
    ::madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
}

} // namespace

// The program's operator new: the library's own, but with the advice for
// big blocks. Blocks come from malloc as the library's do, so its operator
// delete (free) and its other forms of new (which call this one) stay as
// they are.
void *operator new(std::size_t size)
{
    if (size == 0)
        size = 1;
    for (;;) {
        if (void *block = std::malloc(size)) {
            if (size >= kelo::bigHugeBlock)
                adviseHugePages(block, size);
            return block;
        }
        const std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}
#endif
