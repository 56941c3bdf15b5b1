// Line breaks leaving the editor: the editor separates lines by CR LF, the
// clipboard and other programs here expect LF. The conversion is linear, so
// it is safe on texts of many megabytes.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <vector>

namespace kelo {

// Every CR LF pair becomes one LF; lone CRs and LFs stay as they are.
QString crlfToLf(QStringView text);
QByteArray crlfToLf(QByteArrayView text);

// The lone CRs and LFs of a text: for each, in order, the number of line
// breaks before it, where a CR LF pair, a lone CR and a lone LF each count as
// one break (the lines of the editor control underneath).
std::vector<long> loneBreakLines(QByteArrayView text);

} // namespace kelo
