#include "platform/fileidentity.h"

#include "platform/filenames.h"

#include <sys/stat.h>

namespace kelo {

FileIdentity identityOf(const QString &path)
{
    FileIdentity identity;
    struct stat info {};
    if (path.isEmpty() || ::stat(encodeFileName(path).constData(), &info) != 0 ||
        S_ISDIR(info.st_mode))
        return identity;
    identity.exists = true;
    identity.device = info.st_dev;
    identity.inode = info.st_ino;
    identity.size = info.st_size;
    identity.modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return identity;
}

FileChange changeOf(const KnownFile &known)
{
    const FileIdentity now = identityOf(known.path);
    if (!now.exists)
        return FileChange::Gone;
    return now == known.identity ? FileChange::Unchanged : FileChange::Changed;
}

} // namespace kelo
