// The shared file procedures: whether a file or a folder exists, reading a
// whole file, and joining a folder and a file name.
#pragma once

#include "platform/codepage.h"

#include <QString>

#include <functional>
#include <limits>

namespace kelo {

// True when something that is not a folder exists at the path (a file, or a
// link to one).
bool FileExists(const QString &path);
// True when the path is an existing folder.
bool FolderExists(const QString &path);

// Appends the name directly when the folder ends in "/", else "/" + name.
// Nothing else is normalised.
QString joinPath(const QString &folder, const QString &name);

// The result of reading a whole file: the text in the editor's form, or a
// failure with the system's description.
struct FileReadResult {
    bool ok = false;
    // The reading was stopped through the receiver's progress: not ok, and
    // no error to report.
    bool cancelled = false;
    DecodedText text;
    QString error; // only when !ok and not cancelled
};

// Reads a file whole. A path where nothing exists gives the empty text
// without an error (the file may have vanished since it was listed). Files
// whose names start with a dot are ordinary files. A folder, a file that
// cannot be opened or read, or a file too big for the memory is a failure.
FileReadResult ReadWholeFile(const QString &path);

// Where ReadFileInPieces puts the editor text. begin() says how long the
// text will be (false: not enough memory for it, or the reading is to stop,
// which progress(), asked once more, then says); append() takes it piece by
// piece (false: not enough memory). begin() may come again, to start over:
// what was appended before is then dropped. progress(), if set, is told after
// every piece how far the reading is, in bytes done of total (every reading of
// the file counts), rising to done == total at the end; false stops the
// reading, which then gives a cancelled result. capacity is the longest
// editor text the receiver can hold: a longer one is refused, before begin()
// when the file's size shows it, with a message of its own.
struct TextReceiver {
    std::function<bool(qsizetype editorSize)> begin;
    std::function<bool(QByteArrayView utf8)> append;
    std::function<bool(qint64 done, qint64 total)> progress = {};
    qsizetype capacity = std::numeric_limits<qsizetype>::max();
};

constexpr qsizetype defaultPieceSize = qsizetype(1) << 20;

// Reads a file as ReadWholeFile does, with the same results, failures and
// editor text, but hands the text to the receiver instead of returning it in
// text.utf8: a regular file is read twice, in pieces of pieceSize bytes (the
// first time to learn its form), so that it is never held in memory whole
// beside its text. A file that changes between the two readings, and one that
// is not a regular file (a pipe, a device), is read whole instead.
FileReadResult ReadFileInPieces(const QString &path, const TextReceiver &receiver,
                                qsizetype pieceSize = defaultPieceSize);

} // namespace kelo
