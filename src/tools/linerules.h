// What the line tools do to the lines of the temporary file, on its bytes
// (UTF-8): the blank-line and double-space clean-up, the emptying of lines
// that hold a text, and the rebuilding of the editor text from the lines.
//
// Only U+0020 counts as a space; CR, LF and the space are single bytes that
// never occur inside a UTF-8 sequence, and a UTF-8 text occurs inside another
// exactly where its characters do, so working on the bytes is working on the
// characters.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace kelo {

// The rewrite of the clean-up: in every line each run of two or more spaces
// shrunk to one space, wherever it stands (indentation included; tabs are
// left alone); lines that hold nothing but spaces (or nothing) dropped;
// every kept line followed by CR LF. A single leading or trailing space stays.
QByteArray cleanLines(QByteArrayView fileBytes);

// Every line followed by CR LF, with the lines that contain the text (exact,
// case-sensitive) emptied, not removed: their line breaks stay. The empty
// text is contained in every line.
QByteArray emptyLinesContaining(QByteArrayView fileBytes, QByteArrayView text);

// The editor text rebuilt from the lines: every line followed by CR LF.
QByteArray joinFileLines(QByteArrayView fileBytes);

} // namespace kelo
