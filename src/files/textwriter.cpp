#include "files/textwriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

namespace kelo {

namespace {

// As many links in a row as Linux follows before it gives up (ELOOP).
constexpr int maxLinksFollowed = 40;

// QSaveFile replaces an existing file through a name made of the target's
// name and seven more characters (".XXXXXX"); a name that leaves no room for
// them can be created but not replaced.
constexpr qsizetype replaceSuffixLength = 7;

struct Target {
    QString path;
    QString error;
};

// Follows symbolic links to the file that is to be written. QSaveFile would
// do this itself, but the checks below must look at the same file.
Target resolveLinks(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int followed = 0;; ++followed) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return {current, {}};
        if (followed == maxLinksFollowed)
            return {{}, QStringLiteral("Die Verknüpfung %1 führt im Kreis.").arg(path)};
        current = info.symLinkTarget();
    }
}

qsizetype longestName(const QString &folder)
{
    const long max = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return max > 0 ? static_cast<qsizetype>(max) : 255;
}

// Why the file cannot be written, before anything is touched; empty when
// nothing speaks against it.
QString refusal(const QFileInfo &target)
{
    const QString path = target.filePath();
    if (target.exists()) {
        if (target.isDir())
            return QStringLiteral("%1 ist ein Ordner.").arg(path);
        if (!target.isFile())
            return QStringLiteral("%1 ist keine gewöhnliche Datei.").arg(path);
        // QSaveFile renames over a read-only file whenever its folder is
        // writable, and root may write anything: the permission bits say
        // what the user wants.
        constexpr auto anyWrite =
            QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        if (!(target.permissions() & anyWrite) || !target.isWritable())
            return QStringLiteral("Die Datei %1 ist schreibgeschützt.").arg(path);
    }
    const QFileInfo folder(target.absolutePath());
    if (!folder.exists())
        return QStringLiteral("Den Ordner %1 gibt es nicht.").arg(folder.filePath());
    if (!folder.isDir())
        return QStringLiteral("%1 ist kein Ordner.").arg(folder.filePath());
    const qsizetype nameLength = QFile::encodeName(target.fileName()).size();
    const qsizetype limit = longestName(folder.filePath());
    if (nameLength > limit || (target.exists() && nameLength > limit - replaceSuffixLength))
        return QStringLiteral("Der Name %1 ist für das Dateisystem zu lang.")
            .arg(target.fileName());
    return {};
}

// The system's reason, when it gave one.
QString systemReason(const QFileDevice &file)
{
    const QString reason = file.errorString();
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        return {};
    return QStringLiteral(" (%1)").arg(reason);
}

// A replaced file keeps its owner and group. Only root may give a file away;
// for everybody else this fails and the new file belongs to them, as after
// any other save.
void keepOwner(int handle, const QFileInfo &old)
{
    struct stat now {};
    if (handle < 0 || ::fstat(handle, &now) != 0)
        return;
    if (now.st_uid == old.ownerId() && now.st_gid == old.groupId())
        return;
    if (::fchown(handle, old.ownerId(), old.groupId()) != 0) {
        // Not allowed: the file stays the user's own.
    }
}

bool writeAll(QSaveFile &file, QByteArrayView bytes)
{
    return bytes.isEmpty() || file.write(bytes.data(), bytes.size()) == bytes.size();
}

} // namespace

QByteArrayView finalLineBreak(QByteArrayView editorUtf8, const TextFormat &format)
{
    if (!editorUtf8.isEmpty()) {
        const char last = editorUtf8.back();
        if (last == '\n' || last == '\r')
            return {};
    }
    return format.unixLineEnds ? QByteArrayView("\n") : QByteArrayView("\r\n");
}

TextWriteResult writeTextFile(const QString &path, QByteArrayView editorUtf8,
                              const TextFormat &format)
{
    TextWriteResult result;
    const Target target = resolveLinks(path);
    if (!target.error.isEmpty()) {
        result.error = target.error;
        return result;
    }
    const QFileInfo info(target.path);
    result.error = refusal(info);
    if (!result.error.isEmpty())
        return result;

    const EncodedText encoded = encodeText(editorUtf8, format);
    const QByteArrayView lineBreak = finalLineBreak(editorUtf8, format);

    // A direct write (QSaveFile's fallback for folders without write
    // permission) could leave half a file behind: it stays off.
    QSaveFile file(target.path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("Die Datei %1 kann nicht angelegt werden%2.")
                           .arg(target.path, systemReason(file));
        return result;
    }
    // commit() alone may report success after a short write on a full disk:
    // every byte must have been taken, and the buffer flushed, first.
    if (!writeAll(file, encoded.bytes) || !writeAll(file, lineBreak) || !file.flush() ||
        file.error() != QFileDevice::NoError) {
        result.error =
            QStringLiteral("Die Datei %1 kann nicht vollständig geschrieben werden%2. Ist der "
                           "Datenträger voll?")
                .arg(target.path, systemReason(file));
        file.cancelWriting();
        file.commit(); // discards the temporary file
        return result;
    }
    if (info.exists())
        keepOwner(file.handle(), info);
    if (!file.commit()) {
        result.error = QStringLiteral("Die Datei %1 kann nicht ersetzt werden%2.")
                           .arg(target.path, systemReason(file));
        return result;
    }

    result.ok = true;
    result.fellBackToUtf8 = encoded.fellBackToUtf8;
    result.writtenFormat = format;
    if (encoded.fellBackToUtf8) {
        result.writtenFormat.encoding = Encoding::Utf8;
        result.writtenFormat.byteOrderMark = false;
    }
    result.writtenPath = target.path;
    return result;
}

} // namespace kelo
