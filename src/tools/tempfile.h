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
#include <optional>

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

class TemporaryTextFile {
public:
    explicit TemporaryTextFile(const QString &folder,
                               const QString &name = QStringLiteral("kelo.tmp"));
    // Deletes the file if this object wrote it and it is still there.
    ~TemporaryTextFile();
    TemporaryTextFile(const TemporaryTextFile &) = delete;
    TemporaryTextFile &operator=(const TemporaryTextFile &) = delete;

    QString path() const;

    // Creates the file fresh (a leftover file or a link of that name is
    // removed first, never followed or written through) and writes the UTF-8
    // text (the editor's own form), followed by CR LF unless it already ends
    // with a line break, so a text passed through the file again and again
    // does not grow by an empty line each time.
    bool writeText(QByteArrayView utf8);
    // Creates the file fresh, as writeText() does, with exactly these bytes.
    bool writeBytes(QByteArrayView bytes);

    // Reads the file back as lines; nullopt when it cannot be read.
    std::optional<QStringList> readLines();
    // Reads the file's bytes whole; nullopt when it cannot be read (also
    // when something other than a plain file lies there).
    std::optional<QByteArray> readBytes();

    // Deletes the file; false when it is there and cannot be deleted.
    bool remove();
    // Leaves the file written last to whoever reads it next: the destructor
    // will not delete it (a rewrite in place hands the file back this way).
    void release() { m_written = false; }

    // A German description of the last failure, naming the file.
    QString errorString() const;

private:
    bool writeParts(QByteArrayView text, QByteArrayView ending);
    bool fail(const QString &what, int error);

    QString m_path;
    QString m_error;
    bool m_written = false;
};

} // namespace kelo
