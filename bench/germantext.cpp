// Generator of the German benchmark text; see germantext.h.
#include "germantext.h"

#include <QFile>

#include <malloc.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace kelo::bench {

namespace {

// UTF-8, as this source file is.
constexpr std::array wordList = {
    "der",        "die",      "das",       "und",        "nicht",       "mit",        "für",
    "über",       "auf",      "dass",      "auch",       "schon",       "wieder",     "gemäß",
    "während",    "außerdem", "natürlich", "später",     "Straße",      "Grüße",      "Größe",
    "Füße",       "Maß",      "Spaß",      "Äpfel",      "Öfen",        "Übung",      "Mädchen",
    "Bäckerei",   "Brötchen", "Käse",      "Müller",     "Schlüssel",   "Tür",        "Glück",
    "Frühstück",  "Gebühr",   "Gemüse",    "Häuser",     "Bücher",      "Wörterbuch", "Prüfung",
    "Erklärung",  "Lösung",   "Änderung",  "Öffnung",    "Übersetzung", "Einkäufe",   "Haus",
    "Garten",     "Fenster",  "Stadt",     "Land",       "Wasser",      "Zeit",       "Jahr",
    "Woche",      "Abend",    "Morgen",    "Arbeit",     "Schule",      "Kinder",     "Familie",
    "Freunde",    "Beispiel", "Rechnung",  "Datei",      "Zeile",       "Seite",      "Text",
    "Drucker",    "Ordner",   "geht",      "kommt",      "schreibt",    "läuft",      "fährt",
    "hört",       "öffnet",   "schließt",  "lässt",      "muss",        "würde",      "könnte",
    "möchte",     "heißt",    "weiß",      "groß",       "süß",         "schön",      "früh",
    "spät",       "müde",     "fröhlich",  "gewöhnlich", "plötzlich",   "ungefähr",   "täglich",
    "„Guten",     "Tag“",     "–",         "5 €",        "Zürich",      "München",    "Köln",
    "Düsseldorf", "Nürnberg", "Lübeck",
};

// splitmix64: tiny, fast and fully specified, unlike the distributions of
// the standard library, whose output differs between implementations.
class Random {
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed)
    {}
    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A number from 0 to n - 1; the slight bias of the modulo is of no concern here.
    qsizetype below(qsizetype n) { return static_cast<qsizetype>(next() % std::uint64_t(n)); }
    bool oneIn(qsizetype n) { return below(n) == 0; }

private:
    std::uint64_t m_state;
};

const std::vector<QByteArray> &words(Encoding encoding)
{
    static const std::vector<QByteArray> utf8 = [] {
        std::vector<QByteArray> list;
        for (const char *word : wordList)
            list.emplace_back(word);
        return list;
    }();
    static const std::vector<QByteArray> windows1252 = [] {
        std::vector<QByteArray> list;
        for (const QByteArray &word : utf8) {
            const EncodedText encoded = encodeText(word, TextFormat{Encoding::Windows1252});
            Q_ASSERT(!encoded.fellBackToUtf8);
            list.push_back(encoded.bytes);
        }
        return list;
    }();
    return encoding == Encoding::Windows1252 ? windows1252 : utf8;
}

} // namespace

QByteArray germanText(qsizetype approxBytes, Encoding encoding, bool withBlankLinesAndSpaceRuns)
{
    const std::vector<QByteArray> &list = words(encoding);
    const bool extras = withBlankLinesAndSpaceRuns;
    Random random(0x4B656C6F); // "Kelo"
    QByteArray text;
    text.reserve(approxBytes + 256);
    while (text.size() < approxBytes) {
        if (extras) {
            const qsizetype roll = random.below(100);
            if (roll < 8) {
                text += "\r\n";
                continue;
            }
            if (roll < 10) {
                text.append(1 + random.below(4), ' ');
                text += "\r\n";
                continue;
            }
            if (roll < 20)
                text.append(2 + random.below(7), ' ');
        }
        const qsizetype lineStart = text.size();
        const qsizetype length = 12 + random.below(71);
        for (bool first = true; text.size() - lineStart < length; first = false) {
            if (!first)
                text.append(extras && random.oneIn(10) ? 2 + random.below(4) : 1, ' ');
            text += list[static_cast<std::size_t>(random.below(qsizetype(list.size())))];
            if (random.oneIn(12))
                text += ',';
        }
        if (random.oneIn(3))
            text += '.';
        if (extras && random.oneIn(30))
            text.append(1 + random.below(3), ' ');
        text += "\r\n";
    }
    return text;
}

QByteArray withoutCr(const QByteArray &text)
{
    QByteArray result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != '\r')
            result.append(c);
    }
    return result;
}

qsizetype toolTextSize()
{
    const int megabytes = qEnvironmentVariableIntValue("KELO_BENCH_TEXT_MB");
    return qsizetype(megabytes > 0 ? megabytes : 20) << 20;
}

long statusKiB(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void settleMemory()
{
    malloc_trim(0);
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

void PeakGrowth::start()
{
    settleMemory();
    m_before = statusKiB("VmRSS");
}

void PeakGrowth::stop()
{
    m_peak = std::max(m_peak, statusKiB("VmHWM") - m_before);
}

} // namespace kelo::bench
