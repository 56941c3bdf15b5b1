// Volumes ("drives"): Linux has no drive letters, so a drive is a mounted
// volume, shown and named by its mount path.
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kelo {

struct Volume {
    QString rootPath;  // the mount path, e.g. "/" or "/media/anna/STICK"
    bool ready = true; // false: listed, but its root cannot be read
    friend bool operator==(const Volume &, const Volume &) = default;
};

// The volumes a user would recognise: "/" first, then mounts under /media,
// /run/media and /mnt, and /home when it is a volume of its own; sorted by
// path after "/".
QList<Volume> systemVolumes();

// The mount paths of a mount table in the form of /proc/self/mounts, of the
// mounts QStorageInfo counts as volumes (a device's, or a memory file
// system's), each as the system holds it.
QStringList mountedPaths(QByteArrayView mountTable);

// The selection behind systemVolumes(), from a list of mount paths: "/" first,
// then the recognised ones, cleaned, sorted and without duplicates.
QStringList userVolumePaths(const QStringList &mountPaths);

// Whether a folder exists and its entries can be read (a drive's root, a
// folder to list). False for a file, a missing path or a folder without read
// and search permission.
bool canListFolder(const QString &path);

// Where the drive list gets its volumes from (tests pass their own).
using VolumeSource = std::function<QList<Volume>()>;

// The listed volume that holds an absolute path: the one with the longest
// mount path that is the path itself or a folder above it. Returns -1 when the
// path is not absolute or no listed volume holds it.
int volumeIndexOf(const QList<Volume> &volumes, const QString &path);

} // namespace kelo
