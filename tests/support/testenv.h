// Small helpers shared by the tests.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QColor>
#include <QRect>
#include <QString>

#include <ostream>

// Readable values in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"' << bytes.toPercentEncoding(" !\"#$&'()*+,/:;=?@[]^_`{|}~").toStdString() << '"';
}
inline void PrintTo(const QColor &color, std::ostream *out)
{
    *out << color.name().toStdString();
}
inline void PrintTo(const QRect &rect, std::ostream *out)
{
    *out << '(' << rect.x() << ", " << rect.y() << ' ' << rect.width() << 'x' << rect.height()
         << ')';
}
inline void PrintTo(const QPoint &point, std::ostream *out)
{
    *out << '(' << point.x() << ", " << point.y() << ')';
}
QT_END_NAMESPACE

namespace kelo::test {

// Sets HOME and the XDG folders (config, data, cache, runtime) below a folder.
void pointHomeAt(const QString &folder);

// A file's bytes, the path taken by its own bytes (encodeFileName), so that
// names that are not UTF-8 work as well.
QByteArray readBytes(const QString &path);
// Writes a file whole; fails the calling test when that does not work.
void writeBytes(const QString &path, const QByteArray &bytes);

// The same by paths given as raw bytes, through the system's own calls: what
// is really there, independent of Kelo's decoding of names.
QByteArray readRaw(const QByteArray &path);
void writeRaw(const QByteArray &path, const QByteArray &bytes);
// Makes a folder (its parent must exist); fails the calling test otherwise.
void makeRawFolder(const QByteArray &path);
// Removes a folder and everything in it, by raw bytes (QDir cannot enter a
// folder whose name is not UTF-8, so a QTemporaryDir would leave it behind).
void removeRawTree(const QByteArray &path);
// The names in a folder, hidden ones too, sorted; without "." and "..".
QByteArrayList rawEntries(const QByteArray &folder);

// Names that are not UTF-8, which Qt's own file classes cannot reach: in a
// folder, a folder "Älteres" and in it a file "ärger.txt" (the bytes
// E4 72 67 65 72 2E 74 78 74) holding "Grüße" + CR LF in Windows-1252, both
// named in Latin-1. They go with the object, by their bytes.
struct Latin1Folder {
    explicit Latin1Folder(const QString &parent);
    ~Latin1Folder();
    Latin1Folder(const Latin1Folder &) = delete;
    Latin1Folder &operator=(const Latin1Folder &) = delete;

    QByteArray folderRaw; // the bytes of the folder's full path
    QByteArray fileRaw;   // and of the file's
    // How Kelo shows them.
    QString folderShown;
    QString fileShown;
};

} // namespace kelo::test
