// Line breaks between the editor and the rest of the desktop: the editor
// separates lines by CR LF, the clipboard and other programs here expect LF.
// Both conversions are linear, so they are safe on texts of many megabytes.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace kelo {

// Every CR LF pair becomes one LF; lone CRs and LFs stay as they are.
QString crlfToLf(QStringView text);
QByteArray crlfToLf(QByteArrayView text);

// Every line break (CR LF, lone CR, lone LF) becomes CR LF, as the editor
// keeps them.
QByteArray breaksToCrlf(QByteArrayView text);

} // namespace kelo
