#include "tools/linerules.h"

#include "tools/tempfile.h"

#include <QByteArrayMatcher>

#include <cstring>

namespace kelo {

namespace {

const QByteArrayView crlf("\r\n");

// Appends the line with its runs of spaces shrunk, copying the stretches
// between spaces whole; returns whether anything but spaces was in it.
bool appendShrunk(QByteArray &out, QByteArrayView line)
{
    const qsizetype start = out.size();
    out.resize(start + line.size());
    char *to = out.data() + start;
    const char *from = line.data();
    const char *const end = from + line.size();
    bool anythingElse = false;
    while (from < end) {
        const auto *space = static_cast<const char *>(std::memchr(from, ' ', size_t(end - from)));
        const char *const stretchEnd = space ? space : end;
        if (stretchEnd > from) {
            std::memcpy(to, from, size_t(stretchEnd - from));
            to += stretchEnd - from;
            anythingElse = true;
        }
        if (!space)
            break;
        *to++ = ' ';
        from = space + 1;
        while (from < end && *from == ' ')
            ++from;
    }
    out.truncate(to - out.constData());
    return anythingElse;
}

} // namespace

QByteArray cleanLines(QByteArrayView fileBytes)
{
    QByteArray out;
    // About the size of the file; lines that ended with a lone CR grow by one.
    out.reserve(fileBytes.size() + 2);
    forEachFileLine(fileBytes, [&out](QByteArrayView line) {
        const qsizetype start = out.size();
        if (appendShrunk(out, line))
            out.append(crlf);
        else
            out.truncate(start);
    });
    return out;
}

QByteArray emptyLinesContaining(QByteArrayView fileBytes, QByteArrayView text)
{
    QByteArray out;
    out.reserve(fileBytes.size() + 2);
    const QByteArrayMatcher matcher(text.data(), text.size());
    forEachFileLine(fileBytes, [&](QByteArrayView line) {
        if (matcher.indexIn(line) < 0)
            out.append(line);
        out.append(crlf);
    });
    return out;
}

QByteArray joinFileLines(QByteArrayView fileBytes)
{
    QByteArray out;
    out.reserve(fileBytes.size() + 2);
    forEachFileLine(fileBytes, [&out](QByteArrayView line) {
        out.append(line);
        out.append(crlf);
    });
    return out;
}

} // namespace kelo
