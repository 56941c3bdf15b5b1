// A frozen view of a stretch of this process's memory, read at leisure by
// another thread. Taking it forks a child process, which shares all memory
// with Kelo copy-on-write: the system copies a page only when one of the two
// processes writes to it. So a snapshot of a gigabyte costs a millisecond or
// two and next to no memory, however long the reading takes and however the
// memory changes meanwhile. The child sends the bytes through a pipe and
// ends; it also ends when Kelo does, since nobody reads its pipe any more.
#pragma once

#include <QByteArrayView>

#include <memory>

#include <sys/types.h>

namespace kelo {

class MemorySnapshot {
public:
    // nullptr, with errno set, when no child process can be started.
    static std::unique_ptr<MemorySnapshot> take(QByteArrayView bytes);
    // Ends the child, whether or not everything was read.
    ~MemorySnapshot();
    MemorySnapshot(const MemorySnapshot &) = delete;
    MemorySnapshot &operator=(const MemorySnapshot &) = delete;

    qsizetype size() const { return m_size; }
    // Fills the buffer with the next bytes, as far as they go. The number
    // of bytes, 0 once all have been read, or -1 with errno set when the
    // child ended before it sent them all.
    qsizetype read(char *buffer, qsizetype capacity);
    pid_t child() const { return m_child; }

private:
    MemorySnapshot(pid_t child, int pipe, qsizetype size);

    pid_t m_child;
    int m_pipe;
    qsizetype m_size;
    qsizetype m_read = 0;
};

} // namespace kelo
