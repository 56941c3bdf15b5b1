// A translation put into an answer page comes back out of it unchanged:
// whatever characters it holds, however the page declares its character set
// (byte-order mark, the Content-Type header, <meta charset>, <meta
// http-equiv>, nothing at all) and in whichever set the page is written.
// The only change allowed is the browser's: each run of ASCII white space is
// one blank. The label that decided is reported as the page gave it.
#include "fuzzcheck.h"

#include "platform/codepage.h"
#include "services/translationanswer.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <map>
#include <string>

using namespace kelo;
using kelo::fuzz::literal;

namespace {

enum class Declared { Nothing, Utf8Bom, Utf16LeBom, Utf16BeBom, Header, MetaCharset, MetaEquiv };

// Labels as pages write them, and the set they mean.
struct Label {
    const char *label;
    const char *set; // for QStringEncoder; nullptr: Kelo's own Windows-1252
};
constexpr std::array labels = {
    Label{"utf-8", "UTF-8"},           Label{"UTF8", "UTF-8"},
    Label{"windows-1252", nullptr},    Label{"ISO-8859-1", nullptr},
    Label{"latin1", nullptr},          Label{"us-ascii", nullptr},
    Label{"utf-16le", "UTF-16LE"},     Label{"utf-16be", "UTF-16BE"},
    Label{"utf-16", "UTF-16LE"},       Label{"koi8-r", "KOI8-R"},
    Label{"iso-8859-15", "ISO-8859-15"}, Label{"windows-1251", "windows-1251"},
    Label{"shift_jis", "Shift_JIS"},   Label{"gb18030", "GB18030"},
    Label{"big5", "Big5"},             Label{"euc-kr", "EUC-KR"},
};

bool isAsciiSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

// A translation's characters: anything but controls other than white space
// and noncharacters (the parser makes U+FFFD of them, as of the NUL) and lone
// surrogates, which no page holds.
QString translationFrom(const QByteArray &bytes)
{
    QString text;
    for (const char32_t c : QString::fromUtf8(bytes).toUcs4()) {
        if ((c < 0x20 && !isAsciiSpace(char16_t(c))) || (c >= 0x7F && c < 0xA0) ||
            (c >= 0xD800 && c < 0xE000) || (c >= 0xFDD0 && c <= 0xFDEF) ||
            (c & 0xFFFE) == 0xFFFE)
            continue;
        if (QChar::requiresSurrogates(c)) {
            text += QChar(QChar::highSurrogate(c));
            text += QChar(QChar::lowSurrogate(c));
        } else {
            text += QChar(char16_t(c));
        }
    }
    return text;
}

QString escaped(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'&')
            out += QLatin1String("&amp;");
        else if (c == u'<')
            out += QLatin1String("&lt;");
        else if (c == u'>')
            out += QLatin1String("&gt;");
        else
            out += c;
    }
    return out;
}

QString collapsed(const QString &text)
{
    QString out;
    bool pendingBlank = false;
    for (const QChar c : text) {
        if (isAsciiSpace(c.unicode())) {
            pendingBlank = !out.isEmpty();
            continue;
        }
        if (pendingBlank)
            out += QLatin1Char(' ');
        pendingBlank = false;
        out += c;
    }
    return out;
}

// The converters of a set, made once: ICU takes long to open one.
struct Converters {
    QStringEncoder encoder;
    QStringDecoder decoder;
};

Converters &convertersFor(const char *set)
{
    static std::map<std::string, Converters> made;
    auto found = made.find(set);
    if (found == made.end())
        found = made.emplace(set, Converters{QStringEncoder(set), QStringDecoder(set)}).first;
    found->second.encoder.resetState();
    found->second.decoder.resetState();
    return found->second;
}

// The page in the set, or nothing when the set cannot write one of its
// characters (the translation then loses those first, see below).
std::optional<QByteArray> encoded(const QString &page, const char *set)
{
    if (!set) {
        QByteArray bytes;
        for (const char32_t c : page.toUcs4()) {
            const std::optional<unsigned char> byte = unicodeToWindows1252(c);
            if (!byte)
                return std::nullopt;
            bytes += char(*byte);
        }
        return bytes;
    }
    Converters &converters = convertersFor(set);
    if (!converters.encoder.isValid() || !converters.decoder.isValid())
        return std::nullopt;
    QByteArray bytes = converters.encoder.encode(page);
    if (converters.encoder.hasError() || converters.decoder.decode(bytes) != page)
        return std::nullopt;
    return bytes;
}

// The characters of the text that the set can write.
QString writable(const QString &text, const char *set)
{
    QString kept;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, length);
        if (encoded(one, set))
            kept += one;
        i += length - 1;
    }
    return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto declared = Declared(input.ConsumeIntegralInRange(0, 6));
    const Label label = labels[input.ConsumeIntegralInRange<std::size_t>(0, labels.size() - 1)];
    const int quoting = input.ConsumeIntegralInRange(0, 2);
    const QString wanted = translationFrom(fuzz::takeRest(input));

    // The set the page is written in, and how it says so.
    const char *set = label.set;
    QByteArray head = "<html><head>";
    QByteArray contentType = "text/html";
    QByteArray prefix;
    QByteArray reported = QByteArray(label.label).toLower();
    const QByteArray quoted = quoting == 1   ? "\"" + QByteArray(label.label) + "\""
                              : quoting == 2 ? "' " + QByteArray(label.label) + " '"
                                             : QByteArray(label.label);
    const bool asciiCompatible = !reported.startsWith("utf-16");
    switch (declared) {
    case Declared::Nothing:
        set = nullptr;
        reported.clear();
        break;
    case Declared::Utf8Bom:
        set = "UTF-8";
        prefix = "\xEF\xBB\xBF";
        reported = "utf-8";
        break;
    case Declared::Utf16LeBom:
        set = "UTF-16LE";
        prefix = "\xFF\xFE";
        reported = "utf-16le";
        break;
    case Declared::Utf16BeBom:
        set = "UTF-16BE";
        prefix = "\xFE\xFF";
        reported = "utf-16be";
        break;
    case Declared::Header:
        contentType += "; charset=" + quoted;
        break;
    case Declared::MetaCharset:
        if (!asciiCompatible)
            return 0; // such a page could not declare itself
        head += "<meta charset=" + quoted + ">";
        break;
    case Declared::MetaEquiv:
        if (!asciiCompatible)
            return 0;
        // Inside the attribute's double quotes the label can only have single ones.
        head += "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=" +
                (quoting == 1 ? "'" + QByteArray(label.label) + "'" : quoted) + "\">";
        break;
    }

    // A translation the set cannot write loses those characters first.
    const QString translation = writable(wanted, set);
    const QString page = QString::fromLatin1(head) +
                         QStringLiteral("<title>Uebersetzung</title></head><body><p>vorher</p>"
                                        "<span id=\"result_box\" class=\"short_text\">"
                                        "<span title=\"Original\">'") +
                         escaped(translation) +
                         QStringLiteral("'</span></span><p>nachher</p></body></html>");
    const std::optional<QByteArray> body = encoded(page, set);
    if (!body)
        return 0; // a set that is not ASCII-compatible at all

    const QByteArray answer = prefix + *body;
    const DecodedAnswer decoded = decodeAnswer(answer, contentType);
    FUZZ_CHECK(decoded.charset == reported,
               "charset " + literal(decoded.charset) + ", expected " + literal(reported) +
                   " for " + literal(contentType) + " and " + literal(answer));
    const QString framed = collapsed(QLatin1Char('\'') + translation + QLatin1Char('\''));
    const QString expected = framed.sliced(1, framed.size() - 2);
    const AnswerReading reading = readTranslationAnswer(answer, contentType);
    FUZZ_CHECK(reading.translation == expected,
               "translation " + literal(translation) + " in " + literal(answer) + " with " +
                   literal(contentType) + "\nread as " +
                   literal(reading.translation.value_or(QStringLiteral("(none) ") +
                                                        reading.error)) +
                   "\nexpected " + literal(expected));
    return 0;
}
