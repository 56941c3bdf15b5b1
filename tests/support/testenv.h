// Small helpers shared by the tests.
#pragma once

#include <QByteArray>
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

QByteArray readBytes(const QString &path);
// Writes a file whole; fails the calling test when that does not work.
void writeBytes(const QString &path, const QByteArray &bytes);

} // namespace kelo::test
