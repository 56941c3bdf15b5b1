// Memory: whether blocks can be had, huge pages for big blocks, snapshots read
// while the memory changes (the editor's refusals are the editor's tests).
#include "platform/hugepages.h"
#include "platform/memoryroom.h"
#include "platform/memorysnapshot.h"
#include "platform/textbox.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include <signal.h>

namespace kelo {
namespace {

TEST(MemoryRoom, AllBlocksMustBeHadAtOnce)
{
    EXPECT_TRUE(memoryRoomFor({}));
    EXPECT_TRUE(memoryRoomFor({0, 1, 64 * 1024 * 1024}));
    // More than any machine has, beside blocks that were given.
    EXPECT_FALSE(memoryRoomFor({4096, std::numeric_limits<qsizetype>::max() / 2, 4096}));
    EXPECT_FALSE(memoryRoomFor({4096, -1}));
}

// Whether the mapping that holds `address` is advised for huge pages ("hg"
// among its flags in /proc/self/smaps); nothing when no mapping holds it.
std::optional<bool> advisedHuge(const void *address)
{
    QFile maps(QStringLiteral("/proc/self/smaps"));
    if (!maps.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    bool inside = false;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        // A mapping starts with its range, "from-to perms ...".
        const QByteArrayList range = line.left(line.indexOf(' ')).split('-');
        bool fromOk = false;
        bool toOk = false;
        const auto from = range.value(0).toULongLong(&fromOk, 16);
        const auto to = range.value(1).toULongLong(&toOk, 16);
        if (range.size() == 2 && fromOk && toOk)
            inside = from <= at && at < to;
        else if (inside && line.startsWith("VmFlags:"))
            return line.split(' ').contains("hg");
    }
    return std::nullopt;
}

// Big blocks, Scintilla's own buffer for a big text among them, get huge
// pages; small ones do not.
TEST(HugePages, BigBlocksAndTheEditorsBufferAreAdvisedSmallOnesAreNot)
{
    if (!bigBlocksInHugePages)
        GTEST_SKIP() << "the sanitizers' operator new is in use";
    if (!QFileInfo::exists(QStringLiteral("/sys/kernel/mm/transparent_hugepage")))
        GTEST_SKIP() << "this kernel has no huge pages for programs";

    const auto small = std::make_unique_for_overwrite<char[]>(1 << 20);
    EXPECT_EQ(advisedHuge(small.get()), false);
    std::vector<char> big;
    big.reserve(bigHugeBlock);
    EXPECT_EQ(advisedHuge(big.data() + bigHugeBlock / 2), true);
    TextBox box;
    ASSERT_TRUE(box.loadUtf8(QByteArray("Eine Zeile Text.\r\n").repeated(3 << 20))); // 54 MiB
    EXPECT_EQ(advisedHuge(box.utf8View().data() + box.utf8View().size() / 2), true);
}

// Everything a snapshot sends, read in pieces of the given sizes in turn;
// nullopt when a read fails.
std::optional<QByteArray> readAll(MemorySnapshot &snapshot, std::initializer_list<qsizetype> sizes)
{
    QByteArray all;
    for (std::size_t turn = 0;; ++turn) {
        const qsizetype size = *(sizes.begin() + turn % sizes.size());
        QByteArray piece(size, Qt::Uninitialized);
        const qsizetype got = snapshot.read(piece.data(), size);
        if (got <= 0)
            return got < 0 ? std::nullopt : std::optional(all);
        all += piece.left(got);
    }
}

// A snapshot reads the memory as it was; a child ending early is a failure,
// and no child outlives its snapshot.
TEST(MemorySnapshot, ReadsTheMemoryAsItWasAndAChildEndingEarlyIsAFailure)
{
    QByteArray original((16 << 20) + 17, Qt::Uninitialized);
    quint32 state = 2463534242u;
    for (char &c : original) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = char(state);
    }
    QByteArray memory = original;
    std::unique_ptr<MemorySnapshot> snapshot = MemorySnapshot::take(memory);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->size(), original.size());
    memory.fill('\0'); // the memory changes while the snapshot is read
    memory.truncate(5);
    const std::optional<QByteArray> read = readAll(*snapshot, {1, 4095, (1 << 16) + 7, 1 << 21});
    ASSERT_TRUE(read);
    EXPECT_TRUE(*read == original);
    snapshot = MemorySnapshot::take({});
    ASSERT_TRUE(snapshot);
    const std::optional<QByteArray> nothing = readAll(*snapshot, {1});
    EXPECT_TRUE(nothing && nothing->isEmpty());

    std::unique_ptr<MemorySnapshot> cut = MemorySnapshot::take(original);
    ASSERT_TRUE(cut);
    ASSERT_EQ(::kill(cut->child(), SIGKILL), 0);
    errno = 0;
    EXPECT_FALSE(readAll(*cut, {1 << 16}));
    EXPECT_EQ(errno, EIO);

    std::unique_ptr<MemorySnapshot> unread = MemorySnapshot::take(original);
    ASSERT_TRUE(unread);
    char start[10];
    ASSERT_EQ(unread->read(start, sizeof start), qsizetype(sizeof start));
    EXPECT_EQ(QByteArray(start, sizeof start), original.left(sizeof start));
    const pid_t child = unread->child();
    unread.reset();
    // Waited for: the child is gone from the process table, not a zombie.
    EXPECT_EQ(::kill(child, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

} // namespace
} // namespace kelo
