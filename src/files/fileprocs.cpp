#include "files/fileprocs.h"

#include <QFile>
#include <QFileInfo>

#include <new>

namespace kelo {

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool FolderExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
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
    const QFileInfo info(path);
    if (!info.exists()) {
        result.ok = true; // nothing there (or a dangling link): the empty text
        return result;
    }
    if (info.isDir()) {
        result.error = QStringLiteral("%1 ist ein Ordner.").arg(path);
        return result;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
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
