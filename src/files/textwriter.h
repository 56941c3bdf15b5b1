// Writing an editor text to its file: in the form it was read in, with one
// line break at the end, whole and atomically.
//
// A save either replaces the file completely or leaves the old one exactly as
// it was. The bytes go to a temporary file beside the target, and only a
// write that is known to be complete and on the disk is renamed over the
// target. Every name works, also one that is not UTF-8.
#pragma once

#include "platform/codepage.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace kelo {

// The bytes a saved file gets after its text, so that a file goes back in
// the form it came in: none when the text already ends in a line break (CR
// LF, LF or a lone CR), and none for the text of a file that came without
// one; the text of a file that ended with one gets that break back when it
// lacks one. A new text gets CR LF (an empty one too).
QByteArrayView finalLineBreak(QByteArrayView editorUtf8, const TextFormat &format);

struct TextWriteResult {
    bool ok = false;
    // Why nothing was written, in German, naming the file (only when !ok).
    QString error;
    // The text was Windows-1252 but holds characters that Windows-1252
    // cannot represent: it was written as UTF-8 instead.
    bool fellBackToUtf8 = false;
    // The form the file now has; later saves use it. A new text has now
    // been written with its closing line break.
    TextFormat writtenFormat;
    // Stopped by the report (error says so): the file is as it was.
    bool cancelled = false;
};

// Writes an editor text (UTF-8, CR LF breaks) to a file in the given form,
// followed by finalLineBreak.
//
// A symbolic link is followed: the file it leads to is replaced and the link
// stays a link. Refused, leaving everything as it was: a folder, a device or
// anything else that is not an ordinary file; a file without any write
// permission (also for root, who could write it anyway: the user marked it
// read-only); a missing folder; a name too long for the file system (with
// room for the temporary file's name beside it); a link that leads round in
// a circle. Every write is checked to the last byte, and the file synced,
// before the new file takes the old one's place (a full disk).
//
// The owner and group of a replaced file are kept where the system allows
// it, as are its permissions.
//
// report, if set, is told after every megabyte or so how many bytes of the
// text are written (from 0 again when a Windows-1252 save starts over in
// UTF-8); false stops the save, and the file stays as it was.
TextWriteResult writeTextFile(const QString &path, QByteArrayView editorUtf8,
                              const TextFormat &format,
                              const std::function<bool(qint64 done)> &report = {});

} // namespace kelo
