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

// Reads the whole file from its start, one piece at a time, into `piece`
// (reused, so that no fresh memory is touched per piece) and hands each to
// `take`. Returns the errno of a failed read, or 0.
int readPieces(int handle, std::vector<char> &piece,
               const std::function<bool(QByteArrayView)> &take, bool &stopped)
{
    stopped = false;
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(handle, piece.data(), piece.size(), offset);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        offset += got;
        if (!take(QByteArrayView(piece.data(), got))) {
            stopped = true;
            return 0;
        }
    }
}

QString outOfMemory(const QString &path)
{
    return QStringLiteral("Nicht genug Arbeitsspeicher, um %1 zu lesen.").arg(path);
}

// The whole-file reading, handed to a receiver.
FileReadResult readWholeInto(const QString &path, const TextReceiver &receiver)
{
    FileReadResult result = ReadWholeFile(path);
    if (!result.ok)
        return result;
    const QByteArray text = std::exchange(result.text.utf8, {});
    if (!receiver.begin(text.size()) || !receiver.append(text)) {
        result = {};
        result.error = outOfMemory(path);
    }
    return result;
}

} // namespace

FileReadResult ReadFileInPieces(const QString &path, const TextReceiver &receiver,
                                qsizetype pieceSize)
{
    const QByteArray native = encodeFileName(path);
    struct stat status {};
    if (path.isEmpty() || ::stat(native.constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size == 0)
        return readWholeInto(path, receiver); // nothing, a folder, a pipe, /proc

    FileReadResult result;
    const Descriptor file(native);
    if (file.handle() < 0) {
        result.error = qt_error_string(errno);
        return result;
    }
    try {
        std::vector<char> piece(size_t(std::max<qsizetype>(pieceSize, 1)));
        // The form comes from `first`; the length of the text, which only
        // a second reading needs, from `sizing`, which an early start skips.
        TextFormatScanner first(TextFormatScanner::Learn::FormOnly);
        TextFormatScanner sizing;
        QByteArray decoded;
        bool memoryRanOut = false;
        // A UTF-8 file with a CR in its first piece (Windows line breaks) is
        // shown as its bytes are, so it goes into the editor during the first
        // reading already and needs no second one, unless a byte further on
        // turns out not to be UTF-8.
        enum class Early { Undecided, Appending, Off } early = Early::Undecided;
        std::optional<TextPieceDecoder> earlyDecoder;
        bool sizingSkipped = false;
        bool stopped = false;
        int failure = readPieces(
            file.handle(), piece,
            [&](QByteArrayView bytes) {
                first.add(bytes);
                if (early != Early::Appending)
                    sizing.add(bytes);
                else
                    sizingSkipped = true;
                if (early == Early::Undecided) {
                    early = Early::Off;
                    const bool markKnown =
                        first.fileSize() >= 3 || first.fileSize() == status.st_size;
                    if (markKnown && first.sawCr() && first.mayBeUtf8()) {
                        earlyDecoder.emplace(TextFormat{Encoding::Utf8, first.startsWithMark()});
                        if (!receiver.begin(qsizetype(status.st_size))) {
                            memoryRanOut = true;
                            return false;
                        }
                        early = Early::Appending;
                    }
                }
                if (early == Early::Appending) {
                    if (!first.mayBeUtf8()) {
                        early = Early::Off;
                    } else if (!receiver.append(earlyDecoder->decode(bytes, decoded))) {
                        memoryRanOut = true;
                        return false;
                    }
                }
                return true;
            },
            stopped);
        if (failure != 0) {
            result.error = qt_error_string(failure);
            return result;
        }
        if (memoryRanOut) {
            result.error = outOfMemory(path);
            return result;
        }
        const TextFormat format = first.format();
        if (early == Early::Appending && format.encoding == Encoding::Utf8) {
            // The bytes shown are the bytes the form was learnt from.
            result.text.format = format;
            result.ok = true;
            return result;
        }
        if (sizingSkipped) {
            // The early start failed: the length is learnt in another reading.
            sizing = TextFormatScanner();
            failure = readPieces(
                file.handle(), piece,
                [&](QByteArrayView bytes) {
                    sizing.add(bytes);
                    return true;
                },
                stopped);
            if (failure != 0) {
                result.error = qt_error_string(failure);
                return result;
            }
            if (sizing.format() != format)
                return readWholeInto(path, receiver); // changed meanwhile
        }
        if (!receiver.begin(sizing.editorSize())) {
            result.error = outOfMemory(path);
            return result;
        }

        // The second reading checks that the bytes are still those the form
        // was learnt from: a file written meanwhile could otherwise be shown
        // in a form its bytes do not have, and saved back changed.
        TextFormatScanner second(TextFormatScanner::Learn::FormOnly);
        TextPieceDecoder decoder(format);
        failure = readPieces(
            file.handle(), piece,
            [&](QByteArrayView bytes) {
                second.add(bytes);
                if (!receiver.append(decoder.decode(bytes, decoded))) {
                    memoryRanOut = true;
                    return false;
                }
                return true;
            },
            stopped);
        if (failure != 0) {
            result.error = qt_error_string(failure);
            return result;
        }
        if (memoryRanOut) {
            result.error = outOfMemory(path);
            return result;
        }
        if (second.fileSize() != first.fileSize() || second.format() != format)
            return readWholeInto(path, receiver);
        result.text.format = format;
        result.ok = true;
    } catch (const std::bad_alloc &) {
        result = {};
        result.error = outOfMemory(path);
    }
    return result;
}

} // namespace kelo
