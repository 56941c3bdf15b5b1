// The settings Kelo reads, from a settings file that may hold anything (a
// hand edit, another program, a cut-off write):
//  - every key reads as a value or its default, and what was read, written
//    and read again is the same text;
//  - any text written comes back unchanged, a folder name with bytes that
//    are not UTF-8 included;
//  - the file pattern ("Filter") matches a file name exactly when a plain
//    wildcard match says so ("*" any run, "?" one character, ";" between
//    alternatives, case ignored, "*.*" and "*" every name);
//  - the translation page ("Uebersetzungsseite") makes a request that keeps
//    the page's host and carries the line, which reads back unchanged.
#include "fuzzcheck.h"

#include "platform/filenames.h"
#include "platform/listcontrols.h"
#include "platform/settingsstore.h"
#include "services/translationrequest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <array>
#include <vector>

using namespace kelo;
using kelo::fuzz::literal;

namespace {

const std::array<const QString *, 7> keys = {&key::scheme,    &key::dir1,       &key::drive1,
                                             &key::filter,    &key::txtFinde,   &key::txtReplace,
                                             &key::translationPage};

const QString &folder()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/kelo-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/kelo-fuzz-XXXXXX"));
    static const QString path = dir.path();
    return path;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
}

// Text as the user types it: no lone surrogates.
QString typedText(FuzzedDataProvider &input, std::size_t most)
{
    return QString::fromUtf8(fuzz::takeBytes(input, most));
}

QString written(const QString &key, const QString &value)
{
    const QString path = folder() + QStringLiteral("/written.conf");
    QFile::remove(path);
    {
        SettingsStore store(path);
        FUZZ_CHECK(store.write(key, value), literal(value));
    }
    return SettingsStore(path).read(key, QStringLiteral("(missing)"));
}

// A plain wildcard match over the name's characters.
bool wildcardMatches(const std::vector<char32_t> &name, const std::vector<char32_t> &wildcard)
{
    // matches[j]: the name's first i characters match the wildcard's first j.
    std::vector<bool> matches(wildcard.size() + 1, false);
    matches[0] = true;
    for (std::size_t j = 0; j < wildcard.size() && wildcard[j] == U'*'; ++j)
        matches[j + 1] = true;
    for (const char32_t c : name) {
        std::vector<bool> next(wildcard.size() + 1, false);
        for (std::size_t j = 0; j < wildcard.size(); ++j) {
            if (wildcard[j] == U'*')
                next[j + 1] = next[j] || matches[j + 1] || matches[j];
            else if (wildcard[j] == U'?' || wildcard[j] == c)
                next[j + 1] = matches[j];
        }
        matches = std::move(next);
    }
    return matches.back();
}

std::vector<char32_t> folded(const QString &text)
{
    std::vector<char32_t> characters;
    for (const char32_t c : text.toUcs4())
        characters.push_back(QChar::toCaseFolded(c));
    return characters;
}

bool referenceMatches(const QString &name, const QString &pattern)
{
    for (const QString &part : pattern.split(u';')) {
        const QString wildcard = part.trimmed();
        if (wildcard.isEmpty())
            continue;
        if (wildcard == QLatin1String("*.*") ||
            wildcardMatches(folded(name), folded(wildcard)))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool longName = input.ConsumeBool();
    const QString value = typedText(input, 48);
    const QByteArray folderBytes = fuzz::takeBytes(input, 32);
    QString fileName = typedText(input, 255);
    // Sometimes a long name made of the short one: a name has up to 255 bytes.
    if (longName && !fileName.isEmpty()) {
        const QString unit = fileName;
        while (fileName.toUtf8().size() + unit.toUtf8().size() <= 255)
            fileName += unit;
    }
    const QString line = typedText(input, 32);
    const QByteArray file = fuzz::takeRest(input);

    // The file as it is: each key reads, and what it read survives a write.
    const QString path = folder() + QStringLiteral("/Kelo.conf");
    writeFile(path, file);
    QList<QString> read;
    {
        const SettingsStore store(path);
        for (const QString *key : keys)
            read.append(store.read(*key, QStringLiteral("(default)")));
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        FUZZ_CHECK(written(*keys[i], read[qsizetype(i)]) == read[qsizetype(i)],
                   "key " + literal(*keys[i]) + " read as " + literal(read[qsizetype(i)]) +
                       " from " + literal(file) + " came back as " +
                       literal(written(*keys[i], read[qsizetype(i)])));
    }

    // Texts and folder names written by Kelo come back unchanged.
    FUZZ_CHECK(written(key::txtFinde, value) == value,
               literal(value) + " came back as " + literal(written(key::txtFinde, value)));
    const QString folderName = decodeFileName(folderBytes);
    const QString folderBack = written(key::dir1, folderName);
    FUZZ_CHECK(encodeFileName(folderBack) == folderBytes,
               "folder " + literal(folderBytes) + " came back as " +
                   literal(encodeFileName(folderBack)));

    // The pattern, typed or read from the file.
    for (const QString &pattern : {value, read[3]}) {
        FUZZ_CHECK(matchesPattern(fileName, pattern) == referenceMatches(fileName, pattern),
                   "name " + literal(fileName) + ", pattern " + literal(pattern) + ": " +
                       (matchesPattern(fileName, pattern) ? "matches" : "does not match"));
    }

    // The translation page, typed or read from the file.
    for (const QString &page : {value, read[6]}) {
        const std::optional<QUrl> url =
            translationUrl(page, line, TranslationDirection::GermanToEnglish);
        if (!url)
            continue;
        const QUrl base(page.trimmed());
        FUZZ_CHECK(url->isValid() && url->host() == base.host() &&
                       (url->scheme() == QLatin1String("http") ||
                        url->scheme() == QLatin1String("https")),
                   "page " + literal(page) + " gave " + literal(url->toString()));
        // The query's last text= parameter is the line in apostrophes.
        const QList<std::pair<QString, QString>> items =
            QUrlQuery(*url).queryItems(QUrl::FullyDecoded);
        QString text;
        for (const auto &[name, itemValue] : items) {
            if (name == QLatin1String("text"))
                text = itemValue;
        }
        FUZZ_CHECK(text == QLatin1Char('\'') + line + QLatin1Char('\''),
                   "page " + literal(page) + ", line " + literal(line) + ": " +
                       literal(url->toEncoded()) + " carries " + literal(text));
    }
    return 0;
}
