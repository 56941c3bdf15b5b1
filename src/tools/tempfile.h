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

#include <optional>

namespace kelo {

// The folder for the temporary file: the program's folder when it is
// writable, otherwise the user's own runtime folder ($XDG_RUNTIME_DIR, else a
// per-user folder under the cache location, created private).
QString temporaryFolder(const QString &programFolder);

// Splits file bytes (UTF-8) into lines by the rules above.
QStringList splitFileLines(QByteArrayView utf8);

class TemporaryTextFile {
public:
    explicit TemporaryTextFile(const QString &folder,
                               const QString &name = QStringLiteral("kelo.tmp"));
    // Deletes the file if it is still there.
    ~TemporaryTextFile();
    TemporaryTextFile(const TemporaryTextFile &) = delete;
    TemporaryTextFile &operator=(const TemporaryTextFile &) = delete;

    QString path() const;

    // Creates the file fresh (a leftover file or a link of that name is
    // removed first, never followed or written through) and writes the text
    // as UTF-8, followed by CR LF unless it already ends with a line break.
    bool write(const QString &text);
    // Reads the file back as lines; nullopt when it cannot be read.
    std::optional<QStringList> readLines();
    // Deletes the file; false when it is there and cannot be deleted.
    bool remove();

    // A German description of the last failure, naming the file.
    QString errorString() const;

private:
    QString m_path;
    QString m_error;
};

} // namespace kelo
