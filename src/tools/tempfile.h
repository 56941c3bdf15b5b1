// The temporary file "kelo.tmp" through which the line tools (blank-line
// clean-up, emptying lines, web translation) take the editor text apart into
// lines and put it together again.
//
// Line rules: a line ends at CR LF or at a lone CR; a lone LF is an ordinary
// character inside its line. The line break written after the text ends its
// last line, so it yields no extra line; an empty text gives one empty line.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstring>
#include <functional>
#include <optional>

#include <sys/types.h>

namespace kelo {

// The folder for the temporary file: the program's folder when it is
// writable, otherwise the user's own runtime folder ($XDG_RUNTIME_DIR, else a
// per-user folder under the cache location, created private).
QString temporaryFolder(const QString &programFolder);

// Calls lineFound(QByteArrayView line) for every line of the file bytes, by
// the rules above, without copying. CR and LF never occur inside a UTF-8
// sequence, so cutting the bytes is cutting the characters.
template <typename LineFound> void forEachFileLine(QByteArrayView bytes, LineFound &&lineFound)
{
    const char *const data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    while (start < size) {
        const void *cr = std::memchr(data + start, '\r', size_t(size - start));
        if (!cr) {
            lineFound(QByteArrayView(data + start, size - start));
            return;
        }
        const qsizetype end = static_cast<const char *>(cr) - data;
        lineFound(QByteArrayView(data + start, end - start));
        start = end + 1;
        if (start < size && data[start] == '\n')
            ++start;
    }
}

// How many bytes at the start of `held`, a piece read from the start of a
// file, are whole lines: up to the end of its last line break. A CR in the
// last byte may be followed by the LF of its CR LF, so it waits, unless the
// file ends there (atEnd: then all of it). 0 when no line ends in it yet.
inline qsizetype wholeLinesEnd(QByteArrayView held, bool atEnd)
{
    if (atEnd || held.size() < 2)
        return atEnd ? held.size() : 0;
    const void *cr = memrchr(held.data(), '\r', size_t(held.size() - 1));
    if (!cr)
        return 0;
    const qsizetype end = static_cast<const char *>(cr) - held.data() + 1;
    return held[end] == '\n' ? end + 1 : end;
}

// The temporary file of one run. Several Kelo windows may share a program
// folder and run their tools at the same moment, so a run never works on a
// name: it keeps its file open from creation to deletion, holds an exclusive
// lock (flock) on it all that time, and reads and rewrites it only through
// its own descriptor. The name "kelo.tmp" is taken while it is free; a file
// another running Kelo holds is never deleted nor truncated, the run takes a
// name of its own beside it instead ("kelo-2.tmp", "kelo-3.tmp", ...). A
// leftover nobody holds any more (a crashed or killed run) is removed.
class TemporaryTextFile {
public:
    explicit TemporaryTextFile(const QString &folder,
                               const QString &name = QStringLiteral("kelo.tmp"));
    // Deletes the file if this object made it and still holds it.
    ~TemporaryTextFile();
    TemporaryTextFile(const TemporaryTextFile &) = delete;
    TemporaryTextFile &operator=(const TemporaryTextFile &) = delete;

    // The file's path: the name asked for, or the name of its own the run
    // took because another Kelo held that one.
    QString path() const;
    QString folder() const { return m_folder; }
    // The file name part of path().
    QString fileName() const;

    // Writes the UTF-8 text (the editor's own form), followed by CR LF
    // unless it already ends with a line break, so a text passed through the
    // file again and again does not grow by an empty line each time. The
    // first write makes the file (a leftover or a link at the name is
    // removed first, never followed or written through); a later write
    // rewrites it in place. A failed write removes the file it made.
    bool writeText(QByteArrayView utf8);
    // The same with exactly these bytes.
    bool writeBytes(QByteArrayView bytes);
    // writeBytes() in pieces: the file is made or emptied, then the pieces
    // follow one another. A failed write removes the file it made.
    bool startWriting();
    bool appendBytes(QByteArrayView bytes);

    // Takes the plain file that lies at the name, locked, to be read and
    // rewritten in place; it stays when this object goes. False when there is
    // none, when it is something else (a link is not followed, a pipe not
    // opened) or when another Kelo holds it.
    bool openExisting();

    // Reads the file back as lines; nullopt when it cannot be read.
    std::optional<QStringList> readLines();
    // Reads the file's bytes whole; nullopt when it cannot be read.
    std::optional<QByteArray> readBytes();
    // Reads the file's bytes in blocks of whole lines, each about blockSize
    // bytes (a longer line comes whole), and hands them to `take` until the
    // end or until it answers false. A block ends after a CR, or after the LF
    // of a CR LF; the last one ends where the file does. False when the file
    // cannot be read (then only part of it may have been handed over).
    bool readLineBlocks(const std::function<bool(QByteArrayView block)> &take,
                        qsizetype blockSize = qsizetype(1) << 20);

    // Deletes the file this object made (one taken with openExisting() is
    // only let go); false when it is there and cannot be deleted.
    bool remove();
    // Lets the file go without deleting it: it becomes a leftover that the
    // next run removes.
    void keep();
    // Whether this object made the file it holds.
    bool madeFile() const { return m_fd >= 0 && m_made; }

    // A German description of the last failure, naming the file.
    QString errorString() const;

private:
    enum class Claim { Taken, Held, Again, Failed };

    bool create();
    Claim claim(const QString &path);
    Claim clearName(const QByteArray &name);
    void removeLeftoversAfter(int number);
    bool writeParts(QByteArrayView text, QByteArrayView ending);
    void close();
    bool fail(const QString &what, int error);

    QString m_folder;
    QString m_name; // the name asked for
    QString m_path;
    QString m_error;
    int m_fd = -1;
    off_t m_writeAt = 0;
    bool m_made = false;
};

} // namespace kelo
