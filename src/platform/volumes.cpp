// Mounted volumes as the program's "drives": which mounts a user would
// recognise, whether they can be read, and which one holds a path.
#include "platform/volumes.h"

#include "platform/filenames.h"

#include <QDir>
#include <QFile>

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kelo {

namespace {

const QString kRoot = QStringLiteral("/");

// Whether a path is the folder itself or lies below it, component-wise:
// "/media/a" lies below "/media", "/mediafoo" does not.
bool isAtOrBelow(const QString &path, const QString &folder)
{
    if (folder == kRoot)
        return path.startsWith(QLatin1Char('/'));
    return path == folder ||
           (path.startsWith(folder) && path.at(folder.size()) == QLatin1Char('/'));
}

bool isStrictlyBelow(const QString &path, const QString &folder)
{
    return path != folder && isAtOrBelow(path, folder);
}

// /media and /run/media only hold one folder per user or stick; the mounts
// are the folders inside. /mnt itself is often a disk of its own (cloud
// machines, single data disks), so it counts as well as its subfolders.
bool isRecognisedMount(const QString &path)
{
    return path == QLatin1String("/home") || isStrictlyBelow(path, QStringLiteral("/media")) ||
           isStrictlyBelow(path, QStringLiteral("/run/media")) ||
           isAtOrBelow(path, QStringLiteral("/mnt"));
}

// Where the system keeps its own mounts (memory ones among them).
const char *const systemFolders[] = {"/dev", "/proc", "/sys", "/var/run", "/var/lock"};

bool isVolumeReady(const QString &rootPath)
{
    struct statvfs volume {};
    return ::statvfs(encodeFileName(rootPath).constData(), &volume) == 0 &&
           canListFolder(rootPath);
}

// A field of the mount table, with the octal escapes ("\040" for a blank)
// turned back into their bytes.
QByteArray unescapedField(QByteArrayView field)
{
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](qsizetype at) {
            return at < field.size() && field[at] >= '0' && field[at] <= '7';
        };
        if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            bytes += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                          (field[i + 3] - '0'));
            i += 3;
        } else {
            bytes += field[i];
        }
    }
    return bytes;
}

} // namespace

bool canListFolder(const QString &path)
{
    if (!isExistingFolder(path))
        return false;
    const QByteArray native = encodeFileName(path);
    // Listing subfolders needs both: reading the entries and looking into
    // them, so a folder with only one of the two permissions is not listable.
    if (::access(native.constData(), R_OK | X_OK) != 0)
        return false;
    DIR *dir = ::opendir(native.constData());
    if (dir == nullptr)
        return false;
    ::closedir(dir);
    return true;
}

QStringList userVolumePaths(const QStringList &mountPaths)
{
    QStringList found;
    for (const QString &mountPath : mountPaths) {
        if (!mountPath.startsWith(QLatin1Char('/')))
            continue;
        const QString path = QDir::cleanPath(mountPath);
        if (isRecognisedMount(path))
            found.append(path);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    found.prepend(kRoot);
    return found;
}

QStringList mountedPaths(QByteArrayView mountTable)
{
    QStringList paths;
    for (const QByteArray &line : mountTable.toByteArray().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        const QByteArray device = unescapedField(fields.at(0));
        const QByteArray &type = fields.at(2);
        // As QStorageInfo has it: a device or memory, no kernel or network
        // pseudo file system, nothing in the system's own folders.
        if ((!device.startsWith('/') && type != "tmpfs") || type == "rootfs" ||
            type == "rpc_pipefs")
            continue;
        const QString path = decodeFileName(unescapedField(fields.at(1)));
        const auto systemFolder = [&path](const char *folder) {
            return isAtOrBelow(path, QString::fromLatin1(folder));
        };
        if (std::any_of(std::begin(systemFolders), std::end(systemFolders), systemFolder))
            continue;
        paths.append(path);
    }
    return paths;
}

QList<Volume> systemVolumes()
{
    // Read by its bytes, which QStorageInfo would turn into another name
    // where a mount path is not UTF-8.
    QFile table(QStringLiteral("/proc/self/mounts"));
    const QStringList mountPaths =
        table.open(QIODevice::ReadOnly) ? mountedPaths(table.readAll()) : QStringList();

    // Readiness is asked of the path, not of the mount entry: when two
    // mounts share a path, the one on top is what the user sees there.
    QList<Volume> volumes;
    for (const QString &path : userVolumePaths(mountPaths))
        volumes.append(Volume{path, isVolumeReady(path)});
    return volumes;
}

int volumeIndexOf(const QList<Volume> &volumes, const QString &path)
{
    // Only absolute paths: "C:" or "C:\" are relative names here, and a
    // relative path would depend on the process's current folder.
    if (!path.startsWith(QLatin1Char('/')))
        return -1;
    const QString cleaned = QDir::cleanPath(path);

    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < volumes.size(); ++i) {
        const QString &rootPath = volumes.at(i).rootPath;
        if (!rootPath.startsWith(QLatin1Char('/')))
            continue;
        const QString root = QDir::cleanPath(rootPath);
        if (root.size() > bestLength && isAtOrBelow(cleaned, root)) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

} // namespace kelo
