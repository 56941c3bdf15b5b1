// Kelo's line in the user's mimeapps.list, whatever the file held before:
//  - every other line stays byte for byte where it was (comments, other
//    sections, other types, CR LF or LF, bytes that are not UTF-8); at most
//    the one line of the type changes, or Kelo's lines are added in one
//    place; the file then ends with a line end;
//  - read back as a desktop reads it, the type's default applications are
//    Kelo first and then those that were its defaults before, in their order;
//  - doing it again changes nothing.
#include "fuzzcheck.h"

#include "services/desktopfiles.h"

#include <QList>

#include <array>
#include <cctype>
#include <cstring>

using namespace kelo;
using kelo::fuzz::literal;

namespace {

QList<QByteArray> linesOf(const QByteArray &file)
{
    QList<QByteArray> lines = file.split('\n');
    if (file.isEmpty() || file.endsWith('\n'))
        lines.removeLast();
    return lines;
}

// The default applications of the type: the first key of that name in the
// first [Default Applications] group, its value split at ";".
QList<QByteArray> defaultsOf(const QByteArray &file, const QString &mimeType)
{
    bool inGroup = false;
    bool seenGroup = false;
    for (const QByteArray &line : linesOf(file)) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            if (seenGroup)
                break;
            inGroup = seenGroup = trimmed == "[Default Applications]";
            continue;
        }
        const qsizetype equals = trimmed.indexOf('=');
        if (!inGroup || trimmed.startsWith('#') || equals <= 0)
            continue;
        if (QString::fromUtf8(trimmed.left(equals).trimmed())
                .compare(mimeType, Qt::CaseInsensitive) != 0)
            continue;
        QList<QByteArray> applications;
        for (const QByteArray &item : trimmed.mid(equals + 1).split(';')) {
            if (!item.trimmed().isEmpty())
                applications.append(item.trimmed());
        }
        return applications;
    }
    return {};
}

std::string shown(const QList<QByteArray> &list)
{
    std::string out;
    for (const QByteArray &item : list)
        out += literal(item) + " ";
    return out;
}

constexpr std::array knownTypes = {"text/plain", "application/octet-stream", "text/x-c++src",
                                   "application/x-kelo-xyz", "application/x-kelo-_"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool ownType = input.ConsumeBool();
    const std::size_t known = input.ConsumeIntegralInRange<std::size_t>(0, knownTypes.size() - 1);
    const bool otherId = input.ConsumeIntegralInRange(0, 7) == 0;
    // A type of the fuzzer's, in the characters types are made of.
    QString mimeType = QString::fromLatin1(knownTypes[known]);
    if (ownType) {
        mimeType.clear();
        for (const char c : fuzz::takeBytes(input, 24)) {
            const auto byte = static_cast<unsigned char>(c);
            if (std::isalnum(byte) || std::strchr("+-./_", byte))
                mimeType += QLatin1Char(char(byte));
        }
        if (!mimeType.contains(QLatin1Char('/')) || mimeType.startsWith(QLatin1Char('/')))
            mimeType = QStringLiteral("text/") + mimeType;
    }
    const QString id = otherId ? QStringLiteral("org.gnome.gedit.desktop") : desktop::entryFileName;
    const QByteArray before = fuzz::takeRest(input);

    const QByteArray after = desktop::withDefaultApplication(before, mimeType, id);
    const std::string context = "type " + literal(mimeType) + ", id " + literal(id) + "\nbefore " +
                                literal(before, 2000) + "\nafter  " + literal(after, 2000);
    FUZZ_CHECK(after.endsWith('\n'), context);

    // Foreign lines: the same before and after the place that changed.
    const QList<QByteArray> old = linesOf(before);
    const QList<QByteArray> now = linesOf(after);
    qsizetype head = 0;
    while (head < old.size() && head < now.size() && old[head] == now[head])
        ++head;
    qsizetype tail = 0;
    while (tail < old.size() - head && tail < now.size() - head &&
           old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    const qsizetype removed = old.size() - head - tail;
    const qsizetype added = now.size() - head - tail;
    // A changed line, a new line, or the new group with a blank line before it.
    FUZZ_CHECK(removed <= 1 && added <= 3 && added >= removed, context);
    if (removed == 1)
        FUZZ_CHECK(added == 1, context);

    // What a desktop reads.
    QList<QByteArray> expected{id.toUtf8()};
    for (const QByteArray &application : defaultsOf(before, mimeType)) {
        if (application != id.toUtf8())
            expected.append(application);
    }
    const QList<QByteArray> read = defaultsOf(after, mimeType);
    FUZZ_CHECK(read == expected,
               context + "\nreads " + shown(read) + "\nexpected " + shown(expected));

    // Once is enough.
    const QByteArray again = desktop::withDefaultApplication(after, mimeType, id);
    FUZZ_CHECK(again == after, context + "\nagain  " + literal(again, 2000));
    return 0;
}
