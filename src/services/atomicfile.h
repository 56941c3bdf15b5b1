// Writing a small file whole and atomically, for the key store and the
// desktop files: either the new content is complete on disk or the old file
// is untouched.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kelo {

// Writes the bytes through a temporary file beside the target and a rename.
// Returns a German description of the failure, or nothing when every byte is
// on disk. With executable set, the file gets the owner's execute permission
// as well (a KDE service menu in the user's folder needs it).
std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes,
                                           bool executable = false);

// Removes a file that may be missing. Returns a German description when a
// file is there and cannot be removed.
std::optional<QString> removeFileIfPresent(const QString &path);

} // namespace kelo
