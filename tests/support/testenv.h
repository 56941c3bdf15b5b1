// Small helpers shared by the tests.
#pragma once

#include <QByteArray>
#include <QString>

namespace kelo::test {

// Sets HOME and the XDG folders (config, data, cache, runtime) below a folder.
void pointHomeAt(const QString &folder);

QByteArray readBytes(const QString &path);
// Writes a file whole; fails the calling test when that does not work.
void writeBytes(const QString &path, const QByteArray &bytes);

} // namespace kelo::test
