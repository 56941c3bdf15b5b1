// Which file lies at a path, as the system tells: its device and inode, size
// and time of the last change. Kelo remembers the identity of the current
// file when it reads or writes it, so that it notices when another program
// changed, replaced or deleted the file in the meantime.
#pragma once

#include <QString>
#include <QtGlobal>

namespace kelo {

struct FileIdentity {
    bool exists = false; // something that is not a folder lies at the path
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0; // last change of the content, in ns since 1970
    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// The identity of what lies at the path now, following links. A folder, or
// nothing at all, gives an identity that does not exist.
FileIdentity identityOf(const QString &path);

// The current file as Kelo last read or wrote it.
struct KnownFile {
    QString path; // "" when Kelo knows no file
    FileIdentity identity;
};

// What became of a known file since: nothing, changed or replaced, or gone.
enum class FileChange { Unchanged, Changed, Gone };
FileChange changeOf(const KnownFile &known);

} // namespace kelo
