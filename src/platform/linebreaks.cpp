#include "platform/linebreaks.h"

namespace kelo {

namespace {

template <typename Out, typename In> Out dropCrBeforeLf(In text)
{
    Out out;
    out.reserve(text.size());
    const auto size = text.size();
    qsizetype from = 0;
    for (qsizetype i = 0; i + 1 < size; ++i) {
        if (text[i] == u'\r' && text[i + 1] == u'\n') {
            out.append(text.sliced(from, i - from));
            from = i + 1; // the LF starts the next run
        }
    }
    out.append(text.sliced(from));
    return out;
}

} // namespace

QString crlfToLf(QStringView text)
{
    return dropCrBeforeLf<QString>(text);
}

QByteArray crlfToLf(QByteArrayView text)
{
    return dropCrBeforeLf<QByteArray>(text);
}

} // namespace kelo
