#include "platform/userfiles.h"

#include "platform/filenames.h"

#include <QDir>

#include <cstdlib>

#include <unistd.h>

namespace kelo {

bool mayCreateFilesIn(const QString &folder)
{
    if (folder.isEmpty())
        return false;
    const QByteArray name = encodeFileName(folder);
    if (::access(name.constData(), W_OK | X_OK) != 0)
        return false;
    // A hidden name of its own that no one else takes (mkstemp creates it
    // exclusively), gone again before anyone lists the folder.
    QByteArray probe = name;
    if (!probe.endsWith('/'))
        probe += '/';
    probe += ".kelo-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return false;
    ::unlink(probe.constData());
    ::close(fd);
    return true;
}

QString folderForUserFiles(const QString &programFolder, const FolderCheck &mayCreateFiles)
{
    if (mayCreateFiles(programFolder))
        return programFolder;
    // By its bytes, as every other path: a home folder's name need not be UTF-8.
    const QByteArray home = qgetenv("HOME");
    return home.isEmpty() ? QDir::homePath() : decodeFileName(home);
}

} // namespace kelo
