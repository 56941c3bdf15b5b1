#include "tools/tempfile.h"

#include "files/fileprocs.h"
#include "files/textwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

#include <fcntl.h>
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
    if (isWritableFolder(QFile::encodeName(programFolder)))
        return programFolder;

    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && isPrivateFolderOfOurs(runtime))
        return QFile::decodeName(runtime);

    const QString cache =
        joinPath(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
                 QStringLiteral("kelo"));
    const QByteArray cacheName = QFile::encodeName(cache);
    QDir().mkpath(QFileInfo(cache).path());
    ::mkdir(cacheName.constData(), 0700); // may exist already; checked below
    // Should the folder be unusable, the file's creation there fails and says so.
    isPrivateFolderOfOurs(cacheName);
    return cache;
}

TemporaryTextFile::TemporaryTextFile(const QString &folder, const QString &name)
    : m_path(joinPath(folder, name))
{}

TemporaryTextFile::~TemporaryTextFile()
{
    if (m_written)
        ::unlink(QFile::encodeName(m_path).constData());
}

QString TemporaryTextFile::path() const
{
    return m_path;
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

// The text and its ending are written one after the other, so that a large
// text is not copied just to add two bytes.
bool TemporaryTextFile::writeParts(QByteArrayView text, QByteArrayView ending)
{
    m_error.clear();
    const QByteArray name = QFile::encodeName(m_path);
    // Whatever lies at the name is removed first: a leftover of a crashed run,
    // or a link someone planted, which must be neither followed nor written
    // through. The new file is then created exclusively, so a link made in
    // between makes the creation fail instead of being followed.
    if (::unlink(name.constData()) != 0 && errno != ENOENT)
        return fail(QStringLiteral("Die alte temporäre Datei %1 kann nicht entfernt werden"),
                    errno);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        return fail(QStringLiteral("Die temporäre Datei %1 kann nicht angelegt werden"), errno);
    m_written = true;

    int error = 0;
    for (QByteArrayView part : {text, ending}) {
        qsizetype done = 0;
        while (error == 0 && done < part.size()) {
            const size_t chunk = size_t(std::min<qsizetype>(part.size() - done, 1 << 30));
            const ssize_t wrote = ::write(fd, part.data() + done, chunk);
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0)
                error = wrote < 0 ? errno : ENOSPC;
            else
                done += wrote;
        }
    }
    // Some file systems report a full disk only when the file is closed.
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(name.constData());
        m_written = false;
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
    const QByteArray name = QFile::encodeName(m_path);
    // Not blocking on open: something planted in place of the file (a pipe)
    // must not hang the program; it is refused below.
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        fail(QStringLiteral("Die temporäre Datei %1 kann nicht gelesen werden"), errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        fail(QStringLiteral("Die temporäre Datei %1 kann nicht gelesen werden"), error);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        m_error = QStringLiteral("Die temporäre Datei %1 ist keine gewöhnliche Datei und wird "
                                 "nicht gelesen.")
                      .arg(QDir::toNativeSeparators(m_path));
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
            const ssize_t got = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
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
    ::close(fd);
    if (error != 0) {
        fail(QStringLiteral("Die temporäre Datei %1 kann nicht gelesen werden"), error);
        return std::nullopt;
    }
    return bytes;
}

bool TemporaryTextFile::remove()
{
    m_error.clear();
    if (::unlink(QFile::encodeName(m_path).constData()) != 0 && errno != ENOENT)
        return fail(QStringLiteral("Die temporäre Datei %1 kann nicht gelöscht werden"), errno);
    m_written = false;
    return true;
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
