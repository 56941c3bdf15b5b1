// Snapshots of memory: what is read is what the memory held when the
// snapshot was taken, whatever happened to it since; a child that ends early
// is never taken for a snapshot read to its end; no child outlives its
// snapshot.
#include "platform/memorysnapshot.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <cerrno>
#include <initializer_list>
#include <memory>
#include <optional>

#include <signal.h>

namespace kelo::test {
namespace {

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 2463534242u;
    for (char &c : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = char(state);
    }
    return bytes;
}

// Everything the snapshot sends, read in pieces of the given sizes in turn;
// nullopt when a read fails.
std::optional<QByteArray> readAll(MemorySnapshot &snapshot, std::initializer_list<qsizetype> sizes)
{
    QByteArray all;
    for (std::size_t turn = 0;; ++turn) {
        const qsizetype size = *(sizes.begin() + turn % sizes.size());
        QByteArray piece(size, Qt::Uninitialized);
        const qsizetype got = snapshot.read(piece.data(), size);
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return all;
        all += piece.left(got);
    }
}

TEST(MemorySnapshot, ReadsTheMemoryAsItWasWhenTaken)
{
    const QByteArray original = pattern((3 << 20) + 17);
    QByteArray memory = original;
    std::unique_ptr<MemorySnapshot> snapshot = MemorySnapshot::take(memory);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->size(), original.size());
    memory.fill('\0'); // the memory changes while the snapshot is read
    memory.truncate(5);
    const std::optional<QByteArray> read = readAll(*snapshot, {1, 4095, (1 << 16) + 7, 1 << 21});
    ASSERT_TRUE(read);
    EXPECT_TRUE(*read == original);

    std::unique_ptr<MemorySnapshot> empty = MemorySnapshot::take({});
    ASSERT_TRUE(empty);
    char byte = 0;
    EXPECT_EQ(empty->read(&byte, 1), 0);
}

TEST(MemorySnapshot, AChildEndingEarlyIsAFailureAndNoChildOutlivesItsSnapshot)
{
    const QByteArray memory = pattern(16 << 20);
    std::unique_ptr<MemorySnapshot> cut = MemorySnapshot::take(memory);
    ASSERT_TRUE(cut);
    ASSERT_EQ(::kill(cut->child(), SIGKILL), 0);
    errno = 0;
    EXPECT_FALSE(readAll(*cut, {1 << 16}));
    EXPECT_EQ(errno, EIO);

    std::unique_ptr<MemorySnapshot> unread = MemorySnapshot::take(memory);
    ASSERT_TRUE(unread);
    char start[10];
    ASSERT_EQ(unread->read(start, sizeof start), qsizetype(sizeof start));
    EXPECT_EQ(QByteArray(start, sizeof start), memory.left(sizeof start));
    const pid_t child = unread->child();
    unread.reset();
    // Waited for: the child is gone from the process table, not a zombie.
    EXPECT_EQ(::kill(child, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

} // namespace
} // namespace kelo::test
