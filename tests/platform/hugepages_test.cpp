// The program's malloc: large blocks, whoever allocates them, ask for huge
// pages, small ones do not, and a failed allocation still fails as it should.
#include <QByteArray>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool ownMalloc = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) ||                         \
    __has_feature(thread_sanitizer)
constexpr bool ownMalloc = false;
#else
constexpr bool ownMalloc = true;
#endif
#else
constexpr bool ownMalloc = true;
#endif

constexpr std::size_t large = std::size_t(64) << 20;

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

// The middle of a large block lies on whole huge pages whatever its start.
bool advised(const void *block, std::size_t size)
{
    return flagsOfMappingAt(static_cast<const char *>(block) + size / 2).find(" hg") !=
           std::string::npos;
}

class HugePages : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ownMalloc)
            GTEST_SKIP() << "sanitizer builds keep their own allocator";
        if (!std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled").good())
            GTEST_SKIP() << "this kernel has no transparent huge pages";
    }
};

TEST_F(HugePages, LargeBlocksFromNewAndFromQtAskForThemAndSmallOnesDoNot)
{
    // Scintilla's text and line starts.
    const std::unique_ptr<char[]> fromNew(new char[large]);
    EXPECT_TRUE(advised(fromNew.get(), large)) << flagsOfMappingAt(fromNew.get() + large / 2);
    fromNew[0] = fromNew[large - 1] = 'x'; // the unadvised ends are usable too

    // A file read, a decoded text, a tool's new text.
    QByteArray bytes(qsizetype(large), 'a');
    EXPECT_TRUE(advised(bytes.constData(), large));
    void *zeroed = std::calloc(large / 8, 8);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_TRUE(advised(zeroed, large));
    EXPECT_EQ(static_cast<const char *>(zeroed)[large / 2], 0);
    std::free(zeroed);

    const std::unique_ptr<char[]> small(new char[4096]);
    EXPECT_FALSE(advised(small.get(), 4096));
    QByteArray smallBytes(4096, 'b');
    EXPECT_FALSE(advised(smallBytes.constData(), 4096));
}

// A byte array that grows by appending becomes large by realloc, from a
// small block on the shared heap.
TEST_F(HugePages, AGrowingBlockKeepsItsBytesAndIsAdvisedOnceLarge)
{
    QByteArray grown;
    std::string expected;
    for (int i = 0; grown.size() < qsizetype(large); ++i) {
        const std::string piece = std::string(4000, char('a' + i % 26)) + std::to_string(i);
        grown.append(piece.data(), qsizetype(piece.size()));
        expected += piece;
    }
    EXPECT_TRUE(advised(grown.constData(), std::size_t(grown.size())));
    ASSERT_EQ(std::size_t(grown.size()), expected.size());
    EXPECT_EQ(std::memcmp(grown.constData(), expected.data(), expected.size()), 0);

    // Large to larger and back to small keep the bytes as well.
    void *block = std::malloc(1000);
    ASSERT_NE(block, nullptr);
    std::memset(block, 'q', 1000);
    block = std::realloc(block, large);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(advised(block, large));
    block = std::realloc(block, 2 * large);
    ASSERT_NE(block, nullptr);
    block = std::realloc(block, 500);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::string(static_cast<const char *>(block), 500), std::string(500, 'q'));
    std::free(block);
}

TEST_F(HugePages, AnAllocationNoMachineCanMeetFailsAndLosesNothing)
{
    // More than any machine has: the C library refuses at once.
    const std::size_t impossible = std::size_t(1) << 62;
    EXPECT_EQ(std::malloc(impossible), nullptr);
    EXPECT_EQ(std::calloc(impossible, 1), nullptr);
    EXPECT_THROW(static_cast<void>(::operator new(impossible)), std::bad_alloc);

    // Through a pointer the compiler cannot see through: it takes the old
    // block for freed after any realloc, which is what is tested here.
    void *(*volatile reallocate)(void *, std::size_t) = std::realloc;
    for (const std::size_t had : {std::size_t(100), large}) {
        char *block = static_cast<char *>(std::malloc(had));
        ASSERT_NE(block, nullptr);
        std::memset(block, 'k', had);
        EXPECT_EQ(reallocate(block, impossible), nullptr);
        EXPECT_EQ(block[0], 'k'); // still there, as realloc promises
        EXPECT_EQ(block[had - 1], 'k');
        std::free(block);
    }
}

} // namespace
