#include "files/fileprocs.h"

#include "platform/filenames.h"

#include <QFile>

#include <cerrno>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelo {

// Every path goes to the system as its own bytes (encodeFileName): Qt's file
// classes would turn a name that is not UTF-8 into another name.

bool FileExists(const QString &path)
{
    struct stat status {};
    return !path.isEmpty() && ::stat(encodeFileName(path).constData(), &status) == 0 &&
           !S_ISDIR(status.st_mode);
}

bool FolderExists(const QString &path)
{
    return isExistingFolder(path);
}

QString joinPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

FileReadResult ReadWholeFile(const QString &path)
{
    FileReadResult result;
    const QByteArray native = encodeFileName(path);
    struct stat status {};
    if (path.isEmpty() || ::stat(native.constData(), &status) != 0) {
        result.ok = true; // nothing there (or a dangling link): the empty text
        return result;
    }
    if (S_ISDIR(status.st_mode)) {
        result.error = QStringLiteral("%1 ist ein Ordner.").arg(path);
        return result;
    }

    // Opened by its bytes; QFile then reads from the descriptor.
    int handle = -1;
    do
        handle = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        result.error = qt_error_string(errno);
        return result;
    }
    QFile file;
    if (!file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
        result.error = file.errorString();
        return result;
    }
    try {
        // Read in one piece when the size is known; devices and pipes report
        // no size and are read to their end.
        QByteArray bytes;
        const qint64 size = file.size();
        if (size > 0) {
            bytes.resize(size);
            qint64 done = 0;
            while (done < size) {
                const qint64 got = file.read(bytes.data() + done, size - done);
                if (got < 0) {
                    result.error = file.errorString();
                    return result;
                }
                if (got == 0)
                    break; // the file shrank while we read it
                done += got;
            }
            bytes.truncate(done);
            if (file.bytesAvailable() > 0 || !file.atEnd())
                bytes += file.readAll(); // it grew while we read it
        } else {
            bytes = file.readAll();
        }
        if (file.error() != QFileDevice::NoError) {
            result.error = file.errorString();
            return result;
        }
        result.text = decodeText(bytes);
        result.ok = true;
    } catch (const std::bad_alloc &) {
        result = {};
        result.error = QStringLiteral("Nicht genug Arbeitsspeicher, um %1 zu lesen.").arg(path);
    }
    return result;
}

} // namespace kelo
