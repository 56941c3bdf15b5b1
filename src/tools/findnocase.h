// The search that ignores letter case, used by the Search dialog.
//
// Both sides are lower-cased one character at a time with the simple case
// mapping (QChar::toLower), so that every character keeps its place: "Ä"
// matches "ä", and "İ" becomes "i" instead of the two characters that a whole-
// string lower-casing makes of it, which would shift every later match. A
// character outside the Basic Multilingual Plane is one character (a
// surrogate pair); it is lower-cased only when its lower-case form lies
// outside that plane too, so lengths in UTF-16 code units never change.
//
// A match never begins or ends inside a character or between the CR and the
// LF of a line break: the editor cannot select half of either.
#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <functional>
#include <optional>

namespace kelo {

// Finds term in UTF-8 text, the editor's own form, which spares a large text
// the conversion to UTF-16: the first match that begins at or after the byte
// position from and ends at or before the byte position to. An empty term is
// found at the first character boundary from on, unless from is at to.
struct Utf8Match {
    qsizetype position = -1; // byte position of the match, -1: not found
    qsizetype bytes = 0;     // its length in bytes
    bool found() const { return position >= 0; }
};
Utf8Match findNoCaseUtf8(QByteArrayView text, QStringView term, qsizetype from, qsizetype to);

// The same match, searched a stride of bytes at a time, with report told
// after each how many bytes from `from` on are searched; nothing when it
// said stop.
std::optional<Utf8Match> findNoCaseUtf8InSteps(QByteArrayView text, QStringView term,
                                               qsizetype from, qsizetype to,
                                               const std::function<bool(qint64 done)> &report,
                                               qsizetype stride = qsizetype(1) << 20);

} // namespace kelo
