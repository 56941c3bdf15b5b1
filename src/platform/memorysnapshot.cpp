#include "platform/memorysnapshot.h"

#include <algorithm>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelo {

namespace {

// The child's whole life. Kelo has threads, and the child is a copy of one
// of them only, with whatever locks the others held at the fork: so it calls
// nothing but the system, no allocation, no Qt, no exit handlers.
[[noreturn]] void sendAndEnd(pid_t parent, int pipe, const char *bytes, qsizetype size)
{
    // Should Kelo end, the child ends with it at once, even before it is
    // blocked on the pipe.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
        ::_exit(3);
    // Only the pipe stays open: the window's display connection, its files
    // and locks are none of the child's business.
    constexpr int out = 3;
    if (pipe != out && ::dup2(pipe, out) != out)
        ::_exit(2);
    ::close_range(out + 1, ~0U, 0);
    qsizetype done = 0;
    while (done < size) {
        const ssize_t wrote =
            ::write(out, bytes + done, size_t(std::min<qsizetype>(size - done, 1 << 30)));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            ::_exit(1);
        done += wrote;
    }
    ::_exit(0);
}

} // namespace

std::unique_ptr<MemorySnapshot> MemorySnapshot::take(QByteArrayView bytes)
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return nullptr;
    // A larger pipe means fewer turns between the two processes; where the
    // system refuses, the usual size does as well.
    ::fcntl(pipe[1], F_SETPIPE_SZ, 1 << 20);
    // _Fork, unlike fork, runs no handlers of libraries in the child.
    const pid_t parent = ::getpid();
    const pid_t child = ::_Fork();
    if (child == 0) {
        ::close(pipe[0]);
        sendAndEnd(parent, pipe[1], bytes.data(), bytes.size());
    }
    const int error = errno;
    ::close(pipe[1]);
    if (child < 0) {
        ::close(pipe[0]);
        errno = error;
        return nullptr;
    }
    return std::unique_ptr<MemorySnapshot>(new MemorySnapshot(child, pipe[0], bytes.size()));
}

MemorySnapshot::MemorySnapshot(pid_t child, int pipe, qsizetype size)
    : m_child(child)
    , m_pipe(pipe)
    , m_size(size)
{}

MemorySnapshot::~MemorySnapshot()
{
    ::close(m_pipe);
    // A child still sending would end by itself once the pipe is closed;
    // killed, it is sure to end now, and it is waited for, so that no
    // finished child lingers in the process table.
    ::kill(m_child, SIGKILL);
    while (::waitpid(m_child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

qsizetype MemorySnapshot::read(char *buffer, qsizetype capacity)
{
    qsizetype got = 0;
    const qsizetype wanted = std::min(capacity, m_size - m_read);
    while (got < wanted) {
        const ssize_t n = ::read(m_pipe, buffer + got, size_t(wanted - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0) {
            errno = EIO; // the child ended early
            return -1;
        }
        got += n;
    }
    m_read += got;
    return got;
}

} // namespace kelo
