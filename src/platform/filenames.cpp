#include "platform/filenames.h"

#include "platform/codepage.h"

#include <QUrl>

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace kelo {

namespace {

constexpr char16_t escapeBase = 0xF700;
constexpr char16_t firstEscape = escapeBase + 0x80;
constexpr char16_t lastEscape = escapeBase + 0xFF;

bool isEscape(char16_t c)
{
    return c >= firstEscape && c <= lastEscape;
}

// The code point of a well-formed sequence (length 2 to 4).
char32_t codePointOf(const unsigned char *p, int length)
{
    char32_t cp = p[0] & (0x7F >> length);
    for (int i = 1; i < length; ++i)
        cp = (cp << 6) | (p[i] & 0x3F);
    return cp;
}

} // namespace

QString decodeFileName(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    QString name;
    name.reserve(bytes.size());
    while (p < end) {
        if (*p < 0x80) {
            name.append(QChar(*p++));
            continue;
        }
        const int length = utf8SequenceLength(p, end);
        const char32_t cp = length > 0 ? codePointOf(p, length) : 0;
        if (length == 0 || (cp >= firstEscape && cp <= lastEscape)) {
            // Not UTF-8, or a character that stands for a byte: each byte on
            // its own, so that the way back is unambiguous.
            const int count = length == 0 ? 1 : length;
            for (int i = 0; i < count; ++i)
                name.append(QChar(char16_t(escapeBase + p[i])));
            p += count;
            continue;
        }
        // Appended as UTF-16 units: QString::fromUcs4 would drop U+FEFF as a
        // byte-order mark.
        if (QChar::requiresSurrogates(cp)) {
            name.append(QChar(QChar::highSurrogate(cp)));
            name.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            name.append(QChar(char16_t(cp)));
        }
        p += length;
    }
    return name;
}

QByteArray encodeFileName(const QString &name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype upTo) {
        if (upTo > runStart)
            bytes += QStringView(name).sliced(runStart, upTo - runStart).toUtf8();
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (!isEscape(c))
            continue;
        flushRun(i);
        bytes += char(c - escapeBase);
        runStart = i + 1;
    }
    flushRun(name.size());
    return bytes;
}

bool hasUndecodableBytes(const QString &name)
{
    for (const QChar c : name) {
        if (isEscape(c.unicode()))
            return true;
    }
    return false;
}

QString displayFileName(const QString &name)
{
    if (!hasUndecodableBytes(name))
        return name;
    QString shown = name;
    for (QChar &c : shown) {
        if (!isEscape(c.unicode()))
            continue;
        const char32_t letter = windows1252ToUnicode(static_cast<unsigned char>(c.unicode() - escapeBase));
        // The bytes Windows-1252 leaves undefined come back as invisible
        // control characters; a visible mark says that something is there.
        c = letter >= 0x80 && letter < 0xA0 ? QChar(QChar::ReplacementCharacter)
                                            : QChar(char16_t(letter));
    }
    return shown;
}

QString localFilePath(const QUrl &url)
{
    const QByteArray path =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    const QString host = url.host();
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return decodeFileName(path);
    return QStringLiteral("//") + host + decodeFileName(path);
}

bool isExistingFolder(const QString &path)
{
    struct stat status {};
    return !path.isEmpty() && ::stat(encodeFileName(path).constData(), &status) == 0 &&
           S_ISDIR(status.st_mode);
}

QString currentFolder()
{
    QByteArray buffer(PATH_MAX, Qt::Uninitialized);
    while (::getcwd(buffer.data(), static_cast<size_t>(buffer.size())) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return decodeFileName(QByteArrayView(buffer.constData()));
}

} // namespace kelo
