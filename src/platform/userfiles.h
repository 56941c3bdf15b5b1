// Where a file the user writes goes when nothing else names a folder: the
// save-as panel's first folder and the default file "Kelo.txt". Kelo has
// always put them beside the program, which suits a Kelo run from its build
// folder; an installed Kelo sits in a folder such as /usr/bin that is not
// the user's to write, and uses the user's home folder instead.
#pragma once

#include <QString>

#include <functional>

namespace kelo {

// Whether this user can create files in a folder. It is tried, by creating a
// file and removing it at once: the permission bits do not tell for root,
// for a read-only mount or for folders such as those under /proc.
bool mayCreateFilesIn(const QString &folder);

using FolderCheck = std::function<bool(const QString &folder)>;

// The program's folder when files can be created in it, else the user's home
// folder ($HOME).
QString folderForUserFiles(const QString &programFolder,
                           const FolderCheck &mayCreateFiles = mayCreateFilesIn);

} // namespace kelo
