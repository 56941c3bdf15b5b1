// The program's operator new: large blocks ask for huge pages, and running
// out of memory still ends as the standard says.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool ownOperatorNew = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool ownOperatorNew = false;
#else
constexpr bool ownOperatorNew = true;
#endif
#else
constexpr bool ownOperatorNew = true;
#endif

// The VmFlags of the mapping that holds `address`, from /proc/self/smaps.
std::string flagsOfMappingAt(const void *address)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t begin = 0, end = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> begin >> dash >> end && dash == '-' &&
            line.find(':') > line.find(' ')) {
            inside = begin <= at && at < end;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0)
            return line;
    }
    return {};
}

bool kernelHasHugePages()
{
    return std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled").good();
}

TEST(HugePages, LargeBlocksAskForHugePagesAndSmallOnesDoNot)
{
    if (!ownOperatorNew)
        GTEST_SKIP() << "sanitizer builds keep their own operator new";
    if (!kernelHasHugePages())
        GTEST_SKIP() << "this kernel has no transparent huge pages";
    constexpr std::size_t large = std::size_t(64) << 20;
    const std::unique_ptr<char[]> block(new char[large]);
    // The middle of the block lies on whole huge pages whatever its start.
    EXPECT_NE(flagsOfMappingAt(block.get() + large / 2).find(" hg"), std::string::npos)
        << flagsOfMappingAt(block.get() + large / 2);
    block[0] = block[large - 1] = 'x'; // the unadvised ends are usable too

    const std::unique_ptr<char[]> small(new char[4096]);
    EXPECT_EQ(flagsOfMappingAt(small.get()).find(" hg"), std::string::npos);
}

TEST(HugePages, RunningOutOfMemoryCallsTheHandlerThenFails)
{
    if (!ownOperatorNew)
        GTEST_SKIP() << "sanitizer allocators end the process instead";
    // More than any machine has: malloc refuses at once.
    const std::size_t impossible = std::size_t(1) << 62;

    static int calls = 0;
    calls = 0;
    std::set_new_handler([] {
        // A handler that cannot free anything gives up after two tries.
        if (++calls == 2)
            std::set_new_handler(nullptr);
    });
    EXPECT_THROW(static_cast<void>(::operator new(impossible)), std::bad_alloc);
    EXPECT_EQ(calls, 2);

    EXPECT_EQ(::operator new(impossible, std::nothrow), nullptr);
    EXPECT_EQ(::operator new[](impossible, std::nothrow), nullptr);
    void *ordinary = ::operator new(100, std::nothrow);
    EXPECT_NE(ordinary, nullptr);
    ::operator delete(ordinary);
}

} // namespace
