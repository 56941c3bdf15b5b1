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

QByteArray breaksToCrlf(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 16);
    const qsizetype size = text.size();
    qsizetype from = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        out.append(text.sliced(from, i - from));
        out.append("\r\n", 2);
        if (c == '\r' && i + 1 < size && text[i + 1] == '\n')
            ++i;
        from = i + 1;
    }
    out.append(text.sliced(from));
    return out;
}

} // namespace kelo
