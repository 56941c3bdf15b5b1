#include "files/fileprocs.h"

#include "platform/filenames.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelo {

// Every path goes to the system as its own bytes (encodeFileName): Qt's file
// classes would turn a name that is not UTF-8 into another name.

bool FileExists(const QString &path)
{
    struct stat status {};
    return !path.isEmpty() && ::stat(encodeFileName(path).constData(), &status) == 0 &&
           !S_ISDIR(status.st_mode);
}

bool FolderExists(const QString &path)
{
    return isExistingFolder(path);
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
    const QByteArray native = encodeFileName(path);
    struct stat status {};
    if (path.isEmpty() || ::stat(native.constData(), &status) != 0) {
        result.ok = true; // nothing there (or a dangling link): the empty text
        return result;
    }
    if (S_ISDIR(status.st_mode)) {
        result.error = QStringLiteral("%1 ist ein Ordner.").arg(path);
        return result;
    }

    // Opened by its bytes; QFile then reads from the descriptor.
    int handle = -1;
    do
        handle = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        result.error = qt_error_string(errno);
        return result;
    }
    QFile file;
    if (!file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(handle);
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

namespace {

// A file descriptor opened by the file's own bytes, closed on leaving.
class Descriptor {
public:
    explicit Descriptor(const QByteArray &native)
    {
        do
            m_handle = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
        while (m_handle < 0 && errno == EINTR);
    }
    ~Descriptor()
    {
        if (m_handle >= 0)
            ::close(m_handle);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int handle() const { return m_handle; }

private:
    int m_handle = -1;
};

QString outOfMemory(const QString &path)
{
    return QStringLiteral("Nicht genug Arbeitsspeicher, um %1 zu lesen.").arg(path);
}

FileReadResult tooBig()
{
    FileReadResult result;
    result.error = QStringLiteral("Sie ist zu groß (Kelo kann höchstens 2 GiB Text halten).");
    return result;
}

// How far the readings of one file are, told to the receiver's progress. The
// total is fixed at the start (two readings of the file); when the plan
// changes on the way, what is left of the total is spread over the bytes
// still to be read, so that the values only rise and end at the total.
class Progress {
public:
    Progress(const std::function<bool(qint64, qint64)> &report, qint64 total)
        : m_report(report)
        , m_total(total)
        , m_end(total)
    {
    }

    // From here on, `bytes` bytes are still to be read. A plan that may yet
    // grow stops short of the total, which finish() then tells.
    enum class Plan { Sure, MayGrow };
    void expect(qint64 bytes, Plan plan = Plan::Sure)
    {
        m_base = m_done;
        m_ahead = std::max<qint64>(bytes, 1);
        m_read = 0;
        m_end = plan == Plan::Sure ? m_total : std::max<qint64>(m_total - 1, m_done);
    }

    // False when the receiver wants the reading stopped.
    bool advance(qint64 bytes)
    {
        m_read = std::min(m_read + bytes, m_ahead);
        const double share = double(m_read) / double(m_ahead);
        const qint64 done =
            m_read == m_ahead ? m_end : m_base + qint64(double(m_end - m_base) * share);
        return tell(std::clamp(done, m_done, m_end));
    }

    // Asked again after the receiver refused a piece or the text's room:
    // false when it did so because it was told to stop meanwhile.
    bool wanted() { return !m_stopped && tell(m_done); }

    // The reading is over (a file that shrank meanwhile ends early).
    bool finish() { return m_told && m_done == m_total ? !m_stopped : tell(m_total); }

private:
    bool tell(qint64 done)
    {
        m_done = done;
        m_told = true;
        if (m_report && !m_report(done, m_total))
            m_stopped = true;
        return !m_stopped;
    }

    const std::function<bool(qint64, qint64)> &m_report;
    qint64 m_total;
    qint64 m_end; // where the current plan ends
    qint64 m_done = 0;
    qint64 m_base = 0;
    qint64 m_ahead = 1;
    qint64 m_read = 0;
    bool m_told = false;
    bool m_stopped = false;
};

// A regular file read from its start in pieces, as often as its loading
// needs, into one buffer (reused, so that no fresh memory is touched per
// piece).
class PieceReader {
public:
    PieceReader(int handle, qsizetype pieceSize, Progress &progress)
        : m_handle(handle)
        , m_piece(size_t(std::max<qsizetype>(pieceSize, 1)))
        , m_progress(progress)
    {
    }

    // Hands every piece of the file to `take`, whose false means that the
    // memory ran out (or the receiver was stopped meanwhile). False when the
    // reading did not get to the end: it failed, the memory ran out or the
    // receiver stopped it.
    bool pass(const std::function<bool(QByteArrayView)> &take)
    {
        off_t offset = 0;
        for (;;) {
            const ssize_t got = ::pread(m_handle, m_piece.data(), m_piece.size(), offset);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                m_errno = errno;
                return false;
            }
            if (got == 0)
                return true;
            offset += got;
            if (!take(QByteArrayView(m_piece.data(), got))) {
                m_memoryRanOut = m_progress.wanted();
                return false;
            }
            if (!m_progress.advance(got))
                return false;
        }
    }

    // Why the last pass did not get to the end.
    FileReadResult failure(const QString &path) const
    {
        FileReadResult result;
        if (m_errno != 0)
            result.error = qt_error_string(m_errno);
        else if (m_memoryRanOut)
            result.error = outOfMemory(path);
        else
            result.cancelled = true;
        return result;
    }

private:
    int m_handle;
    std::vector<char> m_piece;
    Progress &m_progress;
    int m_errno = 0;
    bool m_memoryRanOut = false;
};

// The receiver refused the text's room or a piece of it: because it was told
// to stop meanwhile, or because the memory ran out.
FileReadResult refused(const QString &path, Progress &progress)
{
    FileReadResult result;
    if (progress.wanted())
        result.error = outOfMemory(path);
    else
        result.cancelled = true;
    return result;
}

// The whole-file reading, handed to a receiver.
FileReadResult readWholeInto(const QString &path, const TextReceiver &receiver, Progress &progress)
{
    FileReadResult result = ReadWholeFile(path);
    if (!result.ok)
        return result;
    const QByteArray text = std::exchange(result.text.utf8, {});
    if (text.size() > receiver.capacity)
        return tooBig();
    if (!receiver.begin(text.size()) || !receiver.append(text)) {
        result = refused(path, progress);
    } else if (!progress.finish()) {
        result = {};
        result.cancelled = true;
    }
    return result;
}

} // namespace

FileReadResult ReadFileInPieces(const QString &path, const TextReceiver &receiver,
                                qsizetype pieceSize)
{
    const QByteArray native = encodeFileName(path);
    struct stat status {};
    const bool regular = !path.isEmpty() && ::stat(native.constData(), &status) == 0 &&
                         S_ISREG(status.st_mode);
    const qint64 size = regular ? qint64(status.st_size) : 0;
    // Both readings count; the early start below reads once, with each byte
    // counting twice.
    Progress progress(receiver.progress, 2 * size);
    if (size == 0)
        return readWholeInto(path, receiver, progress); // nothing, a folder, a pipe, /proc
    // The editor text is never shorter than the file but for its mark: a
    // file too big for the receiver is refused before a byte is read.
    if (size - 3 > receiver.capacity)
        return tooBig();
    progress.expect(2 * size);

    const Descriptor file(native);
    if (file.handle() < 0) {
        FileReadResult result;
        result.error = qt_error_string(errno);
        return result;
    }
    try {
        PieceReader reader(file.handle(), pieceSize, progress);
        // The form comes from `first`; the length of the text, which only
        // a second reading needs, from `sizing`, which an early start skips.
        TextFormatScanner first(TextFormatScanner::Learn::FormOnly);
        TextFormatScanner sizing;
        QByteArray decoded;
        // A UTF-8 file with a CR in its first piece (Windows line breaks) is
        // shown as its bytes are, so it goes into the editor during the first
        // reading already and needs no second one, unless a byte further on
        // turns out not to be UTF-8.
        enum class Early { Undecided, Appending, Off } early = Early::Undecided;
        std::optional<TextPieceDecoder> earlyDecoder;
        bool sizingSkipped = false;
        if (!reader.pass([&](QByteArrayView bytes) {
                first.add(bytes);
                if (early != Early::Appending)
                    sizing.add(bytes);
                else
                    sizingSkipped = true;
                if (early == Early::Undecided) {
                    early = Early::Off;
                    const bool markKnown = first.fileSize() >= 3 || first.fileSize() == size;
                    if (markKnown && first.sawCr() && first.mayBeUtf8() &&
                        size <= receiver.capacity) {
                        earlyDecoder.emplace(TextFormat{Encoding::Utf8, first.startsWithMark()});
                        if (!receiver.begin(qsizetype(size)))
                            return false;
                        early = Early::Appending;
                        // A byte further on may still call for two more readings.
                        progress.expect(size, Progress::Plan::MayGrow);
                    }
                }
                if (early == Early::Appending) {
                    if (!first.mayBeUtf8()) {
                        early = Early::Off;
                        // The rest of this reading, one for the length, one
                        // for the text.
                        progress.expect(size - (first.fileSize() - bytes.size()) + 2 * size);
                    } else if (!receiver.append(earlyDecoder->decode(bytes, decoded))) {
                        return false;
                    }
                }
                return true;
            }))
            return reader.failure(path);
        const TextFormat format = first.format();
        FileReadResult result;
        if (early == Early::Appending && format.encoding == Encoding::Utf8) {
            // The bytes shown are the bytes the form was learnt from.
            if (!progress.finish())
                return reader.failure(path);
            result.text.format = format;
            result.ok = true;
            return result;
        }
        if (sizingSkipped) {
            // The early start failed: the length is learnt in another reading.
            // (A sequence cut off at the end disproves UTF-8 only now.)
            progress.expect(2 * size);
            sizing = TextFormatScanner();
            if (!reader.pass([&](QByteArrayView bytes) {
                    sizing.add(bytes);
                    return true;
                }))
                return reader.failure(path);
            if (sizing.format() != format)
                return readWholeInto(path, receiver, progress); // changed meanwhile
        }
        if (sizing.editorSize() > receiver.capacity)
            return tooBig();
        if (!receiver.begin(sizing.editorSize()))
            return refused(path, progress);

        // The second reading checks that the bytes are still those the form
        // was learnt from: a file written meanwhile could otherwise be shown
        // in a form its bytes do not have, and saved back changed.
        TextFormatScanner second(TextFormatScanner::Learn::FormOnly);
        TextPieceDecoder decoder(format);
        if (!reader.pass([&](QByteArrayView bytes) {
                second.add(bytes);
                return receiver.append(decoder.decode(bytes, decoded));
            }))
            return reader.failure(path);
        if (second.fileSize() != first.fileSize() || second.format() != format)
            return readWholeInto(path, receiver, progress);
        if (!progress.finish())
            return reader.failure(path);
        result.text.format = format;
        result.ok = true;
        return result;
    } catch (const std::bad_alloc &) {
        FileReadResult result;
        result.error = outOfMemory(path);
        return result;
    }
}

} // namespace kelo
