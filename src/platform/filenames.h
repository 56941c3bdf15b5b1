// File names as the system holds them: bytes. They are UTF-8 almost always,
// but need not be: a Latin-1 name from an old archive or a USB stick holds
// bytes that are no UTF-8 at all. Qt turns each such byte into U+FFFD, and
// U+FFFD back into its own three bytes, so a file of such a name could be
// neither opened nor saved under its own name.
//
// Kelo therefore turns names into text and back itself: a byte that is not
// part of a well-formed UTF-8 sequence becomes one character of a private-use
// block, U+F780 to U+F7FF (U+F700 + the byte), and goes back to that same
// byte. A name that really holds one of those characters has it stored as
// escapes of its three bytes, so every byte string comes back unchanged.
// Every path that reaches the system goes through encodeFileName, every name
// that comes from it (the command line, a folder listing, a dropped URL)
// through decodeFileName.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QUrl;

namespace kelo {

// The text of a file name or path the system gave as bytes.
QString decodeFileName(QByteArrayView bytes);

// The bytes of a file name or path for the system's calls.
QByteArray encodeFileName(const QString &name);

// Whether the name holds bytes that are not UTF-8 (shown as private
// characters, which the desktop's own files cannot name).
bool hasUndecodableBytes(const QString &name);

// A name as the user reads it: each byte that is not UTF-8 shown as its
// Windows-1252 letter (a Latin-1 "\xE4rger.txt" reads "ärger.txt"; the five
// bytes Windows-1252 leaves undefined show as U+FFFD). Only for showing: the
// name itself stays what decodeFileName gave, and that is what is used.
QString displayFileName(const QString &name);

// The local path of a file: URL (a dropped file), from the URL's bytes, so
// that a name that is not UTF-8 ("%E4rger.txt") stays that name. A URL with
// a host other than localhost gives "//host/path", as Qt's toLocalFile does.
QString localFilePath(const QUrl &url);

// Whether the path is an existing folder (links followed).
bool isExistingFolder(const QString &path);

// The process's current folder, as the system holds it; "" when it cannot
// be told (it was removed).
QString currentFolder();

} // namespace kelo
