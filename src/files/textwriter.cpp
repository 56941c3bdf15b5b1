#include "files/textwriter.h"

#include "platform/filenames.h"

#include <QDir>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelo {

namespace {

// As many links in a row as Linux follows before it gives up (ELOOP).
constexpr int maxLinksFollowed = 40;

// The new text goes to "." + name + "." + six characters beside the target:
// hidden from the file lists, and a left-over after a crash still says whose
// it was. A name that leaves no room for these eight bytes is refused.
constexpr qsizetype temporaryNameExtra = 8;

struct Target {
    QString path;
    QString error;
};

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

std::optional<struct stat> statusOf(const QString &path)
{
    struct stat status {};
    if (::stat(encodeFileName(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

// Where a link points, as the system holds it; nothing when it is no link
// (any more).
std::optional<QString> linkTarget(const QString &link)
{
    const QByteArray native = encodeFileName(link);
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlink(native.constData(), target.data(),
                                          static_cast<size_t>(target.size()));
        if (length < 0)
            return std::nullopt;
        if (length < target.size()) {
            target.truncate(length);
            return decodeFileName(target);
        }
        target.resize(target.size() * 2); // it may have been cut: ask again
    }
}

// Follows symbolic links to the file that is to be written, so that the
// checks below look at that file and the link itself stays a link.
Target resolveLinks(const QString &path)
{
    QString current = QDir::cleanPath(path.startsWith(QLatin1Char('/'))
                                          ? path
                                          : currentFolder() + QLatin1Char('/') + path);
    for (int followed = 0;; ++followed) {
        struct stat status {};
        if (::lstat(encodeFileName(current).constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return {current, {}};
        if (followed == maxLinksFollowed)
            return {{}, QStringLiteral("Die Verknüpfung %1 führt im Kreis.").arg(path)};
        const std::optional<QString> next = linkTarget(current);
        if (!next)
            return {current, {}}; // gone meanwhile: written as a new file
        current = QDir::cleanPath(next->startsWith(QLatin1Char('/'))
                                      ? *next
                                      : folderOf(current) + QLatin1Char('/') + *next);
    }
}

qsizetype longestName(const QString &folder)
{
    const long max = ::pathconf(encodeFileName(folder).constData(), _PC_NAME_MAX);
    return max > 0 ? static_cast<qsizetype>(max) : 255;
}

// Why the file cannot be written, before anything is touched; empty when
// nothing speaks against it. old is the file that is there, if any.
QString refusal(const QString &path, const std::optional<struct stat> &old)
{
    if (old) {
        if (S_ISDIR(old->st_mode))
            return QStringLiteral("%1 ist ein Ordner.").arg(path);
        if (!S_ISREG(old->st_mode))
            return QStringLiteral("%1 ist keine gewöhnliche Datei.").arg(path);
        // A rename replaces a read-only file whenever its folder is writable,
        // and root may write anything: the permission bits say what the user
        // wants.
        if ((old->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            ::access(encodeFileName(path).constData(), W_OK) != 0)
            return QStringLiteral("Die Datei %1 ist schreibgeschützt.").arg(path);
    }
    const QString folder = folderOf(path);
    const std::optional<struct stat> folderStatus = statusOf(folder);
    if (!folderStatus)
        return QStringLiteral("Den Ordner %1 gibt es nicht.").arg(folder);
    if (!S_ISDIR(folderStatus->st_mode))
        return QStringLiteral("%1 ist kein Ordner.").arg(folder);
    const QString name = nameOf(path);
    if (encodeFileName(name).size() + temporaryNameExtra > longestName(folder))
        return QStringLiteral("Der Name %1 ist für das Dateisystem zu lang.").arg(name);
    return {};
}

// The system's reason, when it gave one.
QString systemReason(int error)
{
    if (error == 0)
        return {};
    return QStringLiteral(" (%1)").arg(qt_error_string(error));
}

// A replaced file keeps its owner and group. Only root may give a file away;
// for everybody else this fails and the new file belongs to them, as after
// any other save.
void keepOwner(int handle, const struct stat &old)
{
    struct stat now {};
    if (::fstat(handle, &now) != 0)
        return;
    if (now.st_uid == old.st_uid && now.st_gid == old.st_gid)
        return;
    if (::fchown(handle, old.st_uid, old.st_gid) != 0) {
        // Not allowed: the file stays the user's own.
    }
}

// The new file that takes the target's place once it is complete: a
// temporary file beside the target, written to the last byte, synced, then
// renamed over it, so that the old file stays exactly as it was until then.
// QSaveFile works the same way but cannot take a name that is not UTF-8 (it
// turns such bytes into other ones and would write another file), so Kelo
// does it with the system's own calls, one way for every name.
class ReplacementFile {
public:
    explicit ReplacementFile(const QString &target)
        : m_target(encodeFileName(target))
        , m_folder(encodeFileName(folderOf(target)))
        , m_name(encodeFileName(nameOf(target)))
    {}
    ~ReplacementFile() { discard(); }
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Creates the temporary file; one that replaces old gets its
    // permissions (only its owner can see it until then).
    bool open(const std::optional<struct stat> &old)
    {
        const QByteArray prefix =
            (m_folder.endsWith('/') ? m_folder : m_folder + '/') + '.' + m_name + '.';
        const mode_t mode = old ? S_IRUSR | S_IWUSR : 0666;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray candidate = prefix + randomSuffix();
            const int handle =
                ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (handle >= 0) {
                m_handle = handle;
                m_temporary = candidate;
                break;
            }
            if (errno != EEXIST && errno != EINTR) {
                m_error = errno;
                return false;
            }
        }
        if (m_handle < 0) {
            m_error = EEXIST;
            return false;
        }
        if (old && ::fchmod(m_handle, old->st_mode & 0777) != 0) {
            // A file system without permissions (a FAT stick) refuses; the
            // file has what the system gives every file there.
        }
        return true;
    }

    // Writes every byte, or fails (a full disk, a file size limit).
    bool write(QByteArrayView bytes)
    {
        const char *next = bytes.data();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(m_handle, next, static_cast<size_t>(left));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                m_error = written < 0 ? errno : 0;
                return false;
            }
            next += written;
            left -= written;
        }
        return true;
    }

    // Asks the system to start putting what was written so far on the disk,
    // without waiting, so that the disk works while the next piece is
    // encoded and the final sync has less to wait for. Only a hint: where
    // the file system does not take it, the sync at the end does all the
    // work.
    void startWriteBack()
    {
        if (::sync_file_range(m_handle, 0, 0, SYNC_FILE_RANGE_WRITE) != 0) {
            // Not supported here; nothing is lost.
        }
    }

    // Everything on the disk and the file closed; a disk that is full only
    // now (delayed allocation, a network file system) reports it here.
    bool finish(const std::optional<struct stat> &old)
    {
        if (old)
            keepOwner(m_handle, *old);
        if (::fsync(m_handle) != 0) {
            m_error = errno;
            return false;
        }
        const int handle = std::exchange(m_handle, -1);
        if (::close(handle) != 0) {
            m_error = errno;
            return false;
        }
        return true;
    }

    bool replaceTarget()
    {
        if (::rename(m_temporary.constData(), m_target.constData()) != 0) {
            m_error = errno;
            return false;
        }
        m_temporary.clear();
        return true;
    }

    // Removes the temporary file; the target stays as it was.
    void discard()
    {
        if (m_handle >= 0)
            ::close(std::exchange(m_handle, -1));
        if (!m_temporary.isEmpty() && ::unlink(m_temporary.constData()) != 0) {
            // Gone already; nothing else to do.
        }
        m_temporary.clear();
    }

    // The system's reason for the last failure, when it gave one.
    QString reason() const { return systemReason(m_error); }

private:
    static QByteArray randomSuffix()
    {
        static constexpr char letters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        QByteArray suffix(6, Qt::Uninitialized);
        for (char &c : suffix)
            c = letters[QRandomGenerator::global()->bounded(int(sizeof(letters) - 1))];
        return suffix;
    }

    QByteArray m_target;
    QByteArray m_folder;
    QByteArray m_name;
    QByteArray m_temporary;
    int m_handle = -1;
    int m_error = 0;
};

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

enum class BodyWritten { Yes, NeedsUtf8, Failed, Cancelled };

// An encoded piece and where it ends in the text.
struct Piece {
    EncodedText encoded;
    qsizetype end;
};

// Encodes the pieces of a long text on a thread of its own, a few pieces
// ahead of the writing: on a gigabyte in Windows-1252 the encoding takes
// about as long as the system takes the bytes, and the two then run side by
// side instead of one after the other. The pieces come out in order; the
// encoding stops after a piece that needs UTF-8 (the save starts over) and
// when the encoder goes. Memory running out on its thread reaches the writer
// as it would have without the thread.
class PieceEncoder {
public:
    // Throws std::system_error when the system gives no further thread.
    PieceEncoder(QByteArrayView text, TextFormat format)
        : m_text(text)
        , m_format(format)
        , m_thread([this] { run(); })
    {}
    ~PieceEncoder()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    PieceEncoder(const PieceEncoder &) = delete;
    PieceEncoder &operator=(const PieceEncoder &) = delete;

    // The next piece, or nothing after the last.
    std::optional<Piece> next()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_done; });
        if (m_ready.empty()) {
            if (m_failure)
                std::rethrow_exception(m_failure);
            return std::nullopt;
        }
        Piece piece = std::move(m_ready.front());
        m_ready.pop_front();
        lock.unlock();
        m_changed.notify_all();
        return piece;
    }

private:
    static constexpr std::size_t piecesAhead = 3;

    void run()
    {
        std::exception_ptr failure;
        try {
            encodeAll();
        } catch (const std::bad_alloc &) {
            failure = std::current_exception();
        }
        {
            const std::lock_guard lock(m_mutex);
            m_failure = failure;
            m_done = true;
        }
        m_changed.notify_all();
    }

    void encodeAll()
    {
        qsizetype start = 0;
        bool more = true;
        while (more) {
            const qsizetype end = pieceEnd(m_text, start);
            Piece piece{encodeText(m_text.sliced(start, end - start), m_format), end};
            m_format.byteOrderMark = false; // the mark starts the file only
            start = end;
            more = start < m_text.size() && !piece.encoded.fellBackToUtf8;
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_ready.size() < piecesAhead || m_stop; });
            if (m_stop)
                return;
            m_ready.push_back(std::move(piece));
            lock.unlock();
            m_changed.notify_all();
        }
    }

    const QByteArrayView m_text;
    TextFormat m_format;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Piece> m_ready;
    std::exception_ptr m_failure;
    bool m_stop = false;
    bool m_done = false;
    std::thread m_thread; // last: it starts with all the rest in place
};

// Tells how much of the text is written; false stops the save.
using SaveReport = std::function<bool(qint64 done)>;

// Writes one encoded piece; the system is asked to start putting it on the
// disk while the next is made. Then the report hears of it.
BodyWritten writePiece(ReplacementFile &file, const Piece &piece, const SaveReport &report)
{
    if (piece.encoded.fellBackToUtf8)
        return BodyWritten::NeedsUtf8;
    if (!file.write(piece.encoded.bytes))
        return BodyWritten::Failed;
    file.startWriteBack();
    if (report && !report(piece.end))
        return BodyWritten::Cancelled;
    return BodyWritten::Yes;
}

// The pieces encoded here, one after the other.
BodyWritten writePiecesInTurn(ReplacementFile &file, QByteArrayView text, TextFormat format,
                              const SaveReport &report)
{
    qsizetype start = 0;
    do {
        const qsizetype end = pieceEnd(text, start);
        const BodyWritten written = writePiece(
            file, {encodeText(text.sliced(start, end - start), format), end}, report);
        if (written != BodyWritten::Yes)
            return written;
        format.byteOrderMark = false; // the mark starts the file only
        start = end;
    } while (start < text.size());
    return BodyWritten::Yes;
}

// Encodes and writes the text piece by piece, a long one with the encoding
// on a second thread where the system gives one. Stops at the first piece
// that holds a character the code page cannot represent.
BodyWritten writeBody(ReplacementFile &file, QByteArrayView text, TextFormat format,
                      const SaveReport &report)
{
    if (pieceEnd(text, 0) == text.size())
        return writePiecesInTurn(file, text, format, report);
    std::optional<PieceEncoder> encoder;
    try {
        encoder.emplace(text, format);
    } catch (const std::system_error &) {
        return writePiecesInTurn(file, text, format, report);
    }
    while (const std::optional<Piece> piece = encoder->next()) {
        if (const BodyWritten written = writePiece(file, *piece, report);
            written != BodyWritten::Yes)
            return written;
    }
    return BodyWritten::Yes;
}

struct Attempt {
    BodyWritten body = BodyWritten::Failed;
    QString error;
};

// One save: the old file stays as it was unless the new one is complete.
Attempt saveOnce(const QString &path, const std::optional<struct stat> &old, QByteArrayView text,
                 const TextFormat &format, const SaveReport &report)
{
    ReplacementFile file(path);
    if (!file.open(old)) {
        return {BodyWritten::Failed, QStringLiteral("Die Datei %1 kann nicht angelegt werden%2.")
                                         .arg(path, file.reason())};
    }
    const BodyWritten body = writeBody(file, text, format, report);
    // The temporary file goes with file.
    if (body == BodyWritten::NeedsUtf8)
        return {body, {}};
    if (body == BodyWritten::Cancelled) {
        return {body, old ? QStringLiteral("Das Speichern wurde abgebrochen: Die Datei %1 bleibt, "
                                           "wie sie war.")
                                .arg(path)
                          : QStringLiteral("Das Speichern wurde abgebrochen: Die Datei %1 wurde "
                                           "nicht angelegt.")
                                .arg(path)};
    }
    if (body == BodyWritten::Failed || !file.write(finalLineBreak(text, format)) ||
        !file.finish(old)) {
        return {BodyWritten::Failed,
                QStringLiteral("Die Datei %1 kann nicht vollständig geschrieben werden%2. Ist der "
                               "Datenträger voll?")
                    .arg(path, file.reason())};
    }
    if (!file.replaceTarget()) {
        return {BodyWritten::Failed, QStringLiteral("Die Datei %1 kann nicht ersetzt werden%2.")
                                         .arg(path, file.reason())};
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
                              const TextFormat &format, const SaveReport &report)
{
    TextWriteResult result;
    const Target target = resolveLinks(path);
    if (!target.error.isEmpty()) {
        result.error = target.error;
        return result;
    }
    const std::optional<struct stat> old = statusOf(target.path);
    result.error = refusal(target.path, old);
    if (!result.error.isEmpty())
        return result;

    TextFormat written = format;
    Attempt attempt;
    try {
        attempt = saveOnce(target.path, old, editorUtf8, written, report);
        if (attempt.body == BodyWritten::NeedsUtf8) {
            // Saving never loses a character: the whole text goes out as
            // UTF-8 instead, without a mark, which a Windows-1252 file never
            // had.
            result.fellBackToUtf8 = true;
            written.encoding = Encoding::Utf8;
            written.byteOrderMark = false;
            attempt = saveOnce(target.path, old, editorUtf8, written, report);
        }
    } catch (const std::bad_alloc &) {
        // The temporary file is gone with its attempt; the old file stays.
        attempt = {BodyWritten::Failed,
                   QStringLiteral("Nicht genug Arbeitsspeicher, um %1 zu speichern. Die Datei "
                                  "bleibt, wie sie war.")
                       .arg(target.path)};
    }
    if (attempt.body != BodyWritten::Yes) {
        result.fellBackToUtf8 = false;
        result.cancelled = attempt.body == BodyWritten::Cancelled;
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
