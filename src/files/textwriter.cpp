#include "files/textwriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <string_view>

#include <fcntl.h>
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

// Asks the system to start putting what was written so far on the disk,
// without waiting, so that the disk works while the next piece is encoded
// and the final sync has less to wait for. Only a hint: where the file
// system does not take it, the sync at the end does all the work.
void startWriteBack(QSaveFile &file)
{
    if (::sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE) != 0) {
        // Not supported here; nothing is lost.
    }
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Where the piece of text that starts at start ends. Pieces are encoded one
// after the other, so that a large text is never held twice in memory and
// each piece is written while it is still in the cache. A piece ends right
// after a line feed, which no character and no CR LF pair spans; a line
// longer than a piece is cut before a character, never between CR and LF.
qsizetype pieceEnd(QByteArrayView text, qsizetype start)
{
    constexpr qsizetype pieceBytes = qsizetype(1) << 20;
    if (text.size() - start <= pieceBytes)
        return text.size();
    const qsizetype limit = start + pieceBytes;
    const std::string_view piece(text.data() + start, static_cast<std::size_t>(pieceBytes));
    if (const std::size_t lf = piece.rfind('\n'); lf != std::string_view::npos)
        return start + static_cast<qsizetype>(lf) + 1;
    qsizetype cut = limit;
    while (cut > start + 1 &&
           (isContinuationByte(text[cut]) || (text[cut] == '\n' && text[cut - 1] == '\r')))
        --cut;
    return cut;
}

enum class BodyWritten { Yes, NeedsUtf8, Failed };

// Encodes and writes the text piece by piece. Stops at the first piece that
// holds a character the code page cannot represent.
BodyWritten writeBody(QSaveFile &file, QByteArrayView text, TextFormat format)
{
    qsizetype start = 0;
    do {
        const qsizetype end = pieceEnd(text, start);
        const EncodedText piece = encodeText(text.sliced(start, end - start), format);
        if (piece.fellBackToUtf8)
            return BodyWritten::NeedsUtf8;
        if (!writeAll(file, piece.bytes) || !file.flush())
            return BodyWritten::Failed;
        startWriteBack(file);
        format.byteOrderMark = false; // the mark starts the file only
        start = end;
    } while (start < text.size());
    return BodyWritten::Yes;
}

struct Attempt {
    BodyWritten body = BodyWritten::Failed;
    QString error;
};

// One save through QSaveFile: the old file stays as it was unless the new
// one is complete.
Attempt saveOnce(const QString &path, const QFileInfo &old, QByteArrayView text,
                 const TextFormat &format)
{
    // A direct write (QSaveFile's fallback for folders without write
    // permission) could leave half a file behind: it stays off.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {BodyWritten::Failed, QStringLiteral("Die Datei %1 kann nicht angelegt werden%2.")
                                         .arg(path, systemReason(file))};
    }
    const BodyWritten body = writeBody(file, text, format);
    if (body == BodyWritten::NeedsUtf8) {
        file.cancelWriting();
        file.commit(); // discards the temporary file
        return {BodyWritten::NeedsUtf8, {}};
    }
    // commit() alone may report success after a short write on a full disk:
    // every byte must have been taken, and the buffer flushed, first.
    if (body == BodyWritten::Failed || !writeAll(file, finalLineBreak(text, format)) ||
        !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = systemReason(file);
        file.cancelWriting();
        file.commit(); // discards the temporary file
        return {BodyWritten::Failed,
                QStringLiteral("Die Datei %1 kann nicht vollständig geschrieben werden%2. Ist der "
                               "Datenträger voll?")
                    .arg(path, reason)};
    }
    if (old.exists())
        keepOwner(file.handle(), old);
    if (!file.commit()) {
        return {BodyWritten::Failed, QStringLiteral("Die Datei %1 kann nicht ersetzt werden%2.")
                                         .arg(path, systemReason(file))};
    }
    return {BodyWritten::Yes, {}};
}

} // namespace

QByteArrayView finalLineBreak(QByteArrayView editorUtf8, const TextFormat &format)
{
    if (!editorUtf8.isEmpty()) {
        const char last = editorUtf8.back();
        if (last == '\n' || last == '\r')
            return {};
    }
    switch (format.finalBreak) {
    case FinalBreak::NewText:
        return format.unixLineEnds ? QByteArrayView("\n") : QByteArrayView("\r\n");
    case FinalBreak::None:
        return {};
    case FinalBreak::CrLf:
        return "\r\n";
    case FinalBreak::Lf:
        return "\n";
    case FinalBreak::Cr:
        return "\r";
    }
    return {};
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

    TextFormat written = format;
    Attempt attempt = saveOnce(target.path, info, editorUtf8, written);
    if (attempt.body == BodyWritten::NeedsUtf8) {
        // Saving never loses a character: the whole text goes out as UTF-8
        // instead, without a mark, which a Windows-1252 file never had.
        result.fellBackToUtf8 = true;
        written.encoding = Encoding::Utf8;
        written.byteOrderMark = false;
        attempt = saveOnce(target.path, info, editorUtf8, written);
    }
    if (attempt.body != BodyWritten::Yes) {
        result.fellBackToUtf8 = false;
        result.error = attempt.error;
        return result;
    }
    if (written.finalBreak == FinalBreak::NewText)
        written.finalBreak = written.unixLineEnds ? FinalBreak::Lf : FinalBreak::CrLf;
    result.ok = true;
    result.writtenFormat = written;
    return result;
}

} // namespace kelo
