#include "tools/tempfile.h"

#include "files/fileprocs.h"
#include "files/textwriter.h"
#include "platform/filenames.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelo {

namespace {

bool isWritableFolder(const QByteArray &folder)
{
    struct stat info {};
    if (folder.isEmpty() || ::stat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    return ::access(folder.constData(), W_OK | X_OK) == 0;
}

// A folder only this user can reach: it must be a real folder of ours (not a
// link to one), and is made private when we made it or it was not.
bool isPrivateFolderOfOurs(const QByteArray &folder)
{
    struct stat info {};
    if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    if (info.st_uid != ::geteuid())
        return false;
    if ((info.st_mode & 077) != 0 && ::chmod(folder.constData(), 0700) != 0)
        return false;
    return ::access(folder.constData(), W_OK | X_OK) == 0;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString temporaryFolder(const QString &programFolder)
{
    if (isWritableFolder(encodeFileName(programFolder)))
        return programFolder;

    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && isPrivateFolderOfOurs(runtime))
        return decodeFileName(runtime);

    const QString cache =
        joinPath(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
                 QStringLiteral("kelo"));
    const QByteArray cacheName = encodeFileName(cache);
    QDir().mkpath(QFileInfo(cache).path());
    ::mkdir(cacheName.constData(), 0700); // may exist already; checked below
    // Should the folder be unusable, the file's creation there fails and says so.
    isPrivateFolderOfOurs(cacheName);
    return cache;
}

// How a run gets a file of its own, and why no two runs can ever share one:
//
// 1. The file is created with O_EXCL (never following a link) and then
//    locked. Only once the lock is held is it checked that the name still
//    leads to this very file; only then is anything written to it.
// 2. A file found at the name is opened without following a link or
//    blocking on a pipe, and a lock on it is tried without waiting. Failing
//    with EWOULDBLOCK, another running Kelo holds it: it is left alone and
//    the run tries the next name. Getting the lock, nobody holds it: its run
//    is gone (crashed, killed, or between its deletion and closing). It is
//    deleted only when the name still leads to the file we locked.
// 3. A run deletes its file while it still holds the lock, and lets go of
//    the lock (closes) only afterwards.
//
// The lock is what decides. A run that holds its file locked (1) can lose it
// to nobody: a run that finds it cannot lock it (2), and a run that locked
// it earlier, in the moment between its creation and its lock, has deleted
// it before this run's check, which then fails and makes it start again. The
// check in (2) cannot be outdated between the check and the deletion either:
// only the lock holder deletes, and the lock is ours then. Inode numbers are
// not reused while a descriptor keeps the file. Nothing after the creation
// uses the name again (all reading and writing goes through the
// descriptor), so what another program might do to the name cannot change
// what the run reads back. And the lock goes with the process: a run killed
// with SIGKILL leaves a file nobody holds, which the next run removes.
//
// Making the file under a private name and linking it to the public one
// would keep a fresh file from ever being seen unlocked; but it needs hard
// links, which FAT sticks lack. Here a fresh file can be seen unlocked for a
// moment, and a run that takes it for a leftover deletes it: that costs its
// maker one more try, nothing else. The descriptors are close-on-exec, so a
// program Kelo starts (the terminal) cannot inherit and keep a lock.

namespace {

constexpr int lastNumber = 999;      // kelo.tmp, kelo-2.tmp ... kelo-999.tmp
constexpr int attemptsPerName = 100; // each a name lost to a racing run

// "kelo.tmp" for the first, "kelo-2.tmp" for the second.
QString numberedName(const QString &name, int number)
{
    if (number == 1)
        return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString suffix = QStringLiteral("-%1").arg(number);
    if (dot <= 0)
        return name + suffix;
    return name.left(dot) + suffix + name.mid(dot);
}

// Whether the name still leads to the file of the descriptor, itself.
bool isStillAt(int fd, const QByteArray &name)
{
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(name.constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool wouldBlock(int error)
{
    return error == EWOULDBLOCK || error == EAGAIN;
}

} // namespace

TemporaryTextFile::TemporaryTextFile(const QString &folder, const QString &name)
    : m_folder(folder)
    , m_name(name)
    , m_path(joinPath(folder, name))
{}

TemporaryTextFile::~TemporaryTextFile()
{
    remove();
    close();
}

QString TemporaryTextFile::path() const
{
    return m_path;
}

QString TemporaryTextFile::fileName() const
{
    return QFileInfo(m_path).fileName();
}

bool TemporaryTextFile::writeText(QByteArrayView utf8)
{
    // The same closing break as a saved file with CR LF breaks gets.
    return writeParts(utf8, finalLineBreak(utf8, TextFormat{}));
}

bool TemporaryTextFile::writeBytes(QByteArrayView bytes)
{
    return writeParts(bytes, {});
}

bool TemporaryTextFile::create()
{
    for (int number = 1; number <= lastNumber; ++number) {
        const QString path = joinPath(m_folder, numberedName(m_name, number));
        for (int attempt = 0; attempt < attemptsPerName; ++attempt) {
            m_path = path;
            const Claim claimed = claim(path);
            if (claimed == Claim::Taken) {
                removeLeftoversAfter(number);
                return true;
            }
            if (claimed == Claim::Failed)
                return false;
            if (claimed == Claim::Held)
                break;
        }
    }
    m_path = joinPath(m_folder, m_name);
    m_error = QStringLiteral("Für die temporäre Datei %1 ist kein freier Name zu finden: Andere "
                             "Kelo-Fenster benutzen alle.")
                  .arg(QDir::toNativeSeparators(m_path));
    return false;
}

// A run that died holding a numbered name ("kelo-2.tmp") left a file that
// only a run beside others would meet again. So after taking a name, the
// leftovers at the names after it go too, up to the first free name (one
// beyond a gap waits for a run that needs its name).
void TemporaryTextFile::removeLeftoversAfter(int number)
{
    const QString path = m_path;
    for (int next = number + 1; next <= lastNumber; ++next) {
        const QByteArray name = encodeFileName(joinPath(m_folder, numberedName(m_name, next)));
        struct stat found {};
        if (::lstat(name.constData(), &found) != 0 || clearName(name) == Claim::Failed)
            break;
    }
    // What could not be cleared is no failure of this run.
    m_path = path;
    m_error.clear();
}

TemporaryTextFile::Claim TemporaryTextFile::claim(const QString &path)
{
    const QByteArray name = encodeFileName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd >= 0) {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            // A run that found it a moment ago holds it, and deletes it.
            if (wouldBlock(error))
                return Claim::Again;
            fail(QStringLiteral("Die temporäre Datei %1 kann nicht gesperrt werden"), error);
            return Claim::Failed;
        }
        // Deleted in the moment before our lock, by a run that took it for a leftover.
        if (!isStillAt(fd, name)) {
            ::close(fd);
            return Claim::Again;
        }
        m_fd = fd;
        m_made = true;
        return Claim::Taken;
    }
    if (errno != EEXIST) {
        fail(QStringLiteral("Die temporäre Datei %1 kann nicht angelegt werden"), errno);
        return Claim::Failed;
    }
    return clearName(name);
}

TemporaryTextFile::Claim TemporaryTextFile::clearName(const QByteArray &name)
{
    struct stat found {};
    if (::lstat(name.constData(), &found) != 0) {
        if (errno == ENOENT)
            return Claim::Again;
        fail(QStringLiteral("Die alte temporäre Datei %1 kann nicht entfernt werden"), errno);
        return Claim::Failed;
    }
    if (!S_ISREG(found.st_mode)) {
        // A link someone planted, a pipe, a folder: never followed or opened,
        // only the name is removed (a folder stays and says so).
        if (::unlink(name.constData()) != 0 && errno != ENOENT) {
            fail(QStringLiteral("Die alte temporäre Datei %1 kann nicht entfernt werden"), errno);
            return Claim::Failed;
        }
        return Claim::Again;
    }

    // Opened for reading only: a lock needs no more, and the file is not
    // ours to write. Gone or replaced by a link in between: look again.
    const int other = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (other < 0) {
        if (errno == ENOENT || errno == ELOOP)
            return Claim::Again;
        // Another user's file, which we cannot even look at: whether its
        // run still lives cannot be told, so it is left alone.
        if (errno == EACCES || errno == EPERM)
            return Claim::Held;
        fail(QStringLiteral("Die alte temporäre Datei %1 kann nicht geöffnet werden"), errno);
        return Claim::Failed;
    }
    if (::flock(other, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(other);
        if (wouldBlock(error))
            return Claim::Held;
        fail(QStringLiteral("Die alte temporäre Datei %1 kann nicht gesperrt werden"), error);
        return Claim::Failed;
    }
    // A leftover nobody holds. Deleted only while the name leads to it.
    int error = 0;
    if (isStillAt(other, name) && ::unlink(name.constData()) != 0 && errno != ENOENT)
        error = errno;
    ::close(other);
    if (error != 0) {
        fail(QStringLiteral("Die alte temporäre Datei %1 kann nicht entfernt werden"), error);
        return Claim::Failed;
    }
    return Claim::Again;
}

bool TemporaryTextFile::openExisting()
{
    remove();
    close();
    m_error.clear();
    const QByteArray name = encodeFileName(m_path);
    // Not blocking on open: something planted in place of the file (a pipe)
    // must not hang the program; it is refused below.
    const int fd = ::open(name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("Die Datei %1 kann nicht geöffnet werden"), errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(QStringLiteral("Die Datei %1 kann nicht geöffnet werden"), error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        m_error = QStringLiteral("Die Datei %1 ist keine gewöhnliche Datei und wird nicht gelesen.")
                      .arg(QDir::toNativeSeparators(m_path));
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (wouldBlock(error)) {
            m_error = QStringLiteral("Die Datei %1 wird gerade von einem anderen Kelo-Fenster "
                                     "benutzt.")
                          .arg(QDir::toNativeSeparators(m_path));
            return false;
        }
        return fail(QStringLiteral("Die Datei %1 kann nicht gesperrt werden"), error);
    }
    m_fd = fd;
    m_made = false;
    return true;
}

// The text and its ending are written one after the other, so that a large
// text is not copied just to add two bytes. Nothing but this run reads the
// file, and it reads through the same descriptor, so what counts is what the
// descriptor gives back: the file is not synced to the disk.
bool TemporaryTextFile::writeParts(QByteArrayView text, QByteArrayView ending)
{
    return startWriting() && appendBytes(text) && appendBytes(ending);
}

bool TemporaryTextFile::startWriting()
{
    m_error.clear();
    m_writeAt = 0;
    if (m_fd < 0)
        return create();
    if (::ftruncate(m_fd, 0) != 0)
        return fail(QStringLiteral("Die temporäre Datei %1 kann nicht geschrieben werden"), errno);
    return true;
}

bool TemporaryTextFile::appendBytes(QByteArrayView bytes)
{
    int error = m_fd < 0 ? EBADF : 0;
    qsizetype done = 0;
    while (error == 0 && done < bytes.size()) {
        const size_t chunk = size_t(std::min<qsizetype>(bytes.size() - done, 1 << 30));
        const ssize_t wrote = ::pwrite(m_fd, bytes.data() + done, chunk, m_writeAt);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            error = wrote < 0 ? errno : ENOSPC;
        } else {
            done += wrote;
            m_writeAt += wrote;
        }
    }
    if (error != 0) {
        remove();
        return fail(QStringLiteral("Die temporäre Datei %1 kann nicht geschrieben werden"), error);
    }
    return true;
}

std::optional<QStringList> TemporaryTextFile::readLines()
{
    const std::optional<QByteArray> bytes = readBytes();
    if (!bytes)
        return std::nullopt;
    QStringList lines;
    forEachFileLine(*bytes,
                    [&lines](QByteArrayView line) { lines.append(QString::fromUtf8(line)); });
    return lines;
}

std::optional<QByteArray> TemporaryTextFile::readBytes()
{
    m_error.clear();
    if (m_fd < 0) {
        fail(QStringLiteral("Die temporäre Datei %1 kann nicht gelesen werden"), EBADF);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        fail(QStringLiteral("Die temporäre Datei %1 kann nicht gelesen werden"), errno);
        return std::nullopt;
    }

    QByteArray bytes;
    int error = 0;
    try {
        // The size is a first guess; the end of the file decides.
        bytes.resize(qsizetype(info.st_size) + 1);
        qsizetype done = 0;
        for (;;) {
            if (done == bytes.size())
                bytes.resize(bytes.size() * 2);
            const ssize_t got =
                ::pread(m_fd, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                error = errno;
                break;
            }
            if (got == 0)
                break;
            done += got;
        }
        bytes.truncate(done);
    } catch (const std::bad_alloc &) {
        error = ENOMEM;
    }
    if (error != 0) {
        fail(QStringLiteral("Die temporäre Datei %1 kann nicht gelesen werden"), error);
        return std::nullopt;
    }
    return bytes;
}

bool TemporaryTextFile::readLineBlocks(const std::function<bool(QByteArrayView block)> &take,
                                       qsizetype blockSize)
{
    m_error.clear();
    int error = m_fd < 0 ? EBADF : 0;
    try {
        QByteArray buffer(std::max<qsizetype>(blockSize, 2), Qt::Uninitialized);
        qsizetype held = 0;
        off_t at = 0;
        bool atEnd = false;
        while (error == 0 && !atEnd) {
            if (held == buffer.size())
                buffer.resize(buffer.size() * 2); // a line longer than the buffer
            const ssize_t got =
                ::pread(m_fd, buffer.data() + held, size_t(buffer.size() - held), at);
            if (got < 0) {
                if (errno != EINTR)
                    error = errno;
                continue;
            }
            atEnd = got == 0;
            held += got;
            at += got;
            const qsizetype cut = wholeLinesEnd(QByteArrayView(buffer.constData(), held), atEnd);
            if (cut == 0)
                continue;
            if (!take(QByteArrayView(buffer.constData(), cut)))
                return true;
            std::memmove(buffer.data(), buffer.constData() + cut, size_t(held - cut));
            held -= cut;
        }
    } catch (const std::bad_alloc &) {
        error = ENOMEM;
    }
    if (error != 0)
        return fail(QStringLiteral("Die temporäre Datei %1 kann nicht gelesen werden"), error);
    return true;
}

bool TemporaryTextFile::remove()
{
    m_error.clear();
    if (m_fd < 0)
        return true;
    if (m_made) {
        // Deleted while still locked (see the top): nobody else can have
        // put a file of theirs at the name. Should something that is not a
        // Kelo have put one there all the same, it is not ours to delete.
        const QByteArray name = encodeFileName(m_path);
        if (isStillAt(m_fd, name) && ::unlink(name.constData()) != 0 && errno != ENOENT)
            return fail(QStringLiteral("Die temporäre Datei %1 kann nicht gelöscht werden"), errno);
    }
    close();
    return true;
}

void TemporaryTextFile::keep()
{
    close();
}

void TemporaryTextFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd); // the lock goes with it
    m_fd = -1;
    m_made = false;
}

QString TemporaryTextFile::errorString() const
{
    return m_error;
}

bool TemporaryTextFile::fail(const QString &what, int error)
{
    m_error =
        what.arg(QDir::toNativeSeparators(m_path)) + QStringLiteral(": ") + systemError(error);
    return false;
}

} // namespace kelo
