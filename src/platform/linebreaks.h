// Line breaks leaving the editor: the editor separates lines by CR LF, the
// clipboard and other programs here expect LF. The conversion is linear, so
// it is safe on texts of many megabytes.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace kelo {

// Every CR LF pair becomes one LF; lone CRs and LFs stay as they are.
QString crlfToLf(QStringView text);
QByteArray crlfToLf(QByteArrayView text);

} // namespace kelo
