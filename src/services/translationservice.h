// The translation services beside the classic page, as far as they can be
// told apart from the network: which service the settings name, the address
// a request goes to, the JSON a request carries and the JSON an answer
// brings back, and what an HTTP error means in German.
//
// LibreTranslate takes POST <base>/translate with {"q": [...], "source",
// "target", "format": "text", "api_key"} and answers {"translatedText":
// [...]}; DeepL takes POST <base>/v2/translate with the key in the
// Authorization header and {"text": [...], "source_lang", "target_lang"} and
// answers {"translations": [{"text": ...}, ...]}. Both answer errors with a
// JSON object whose "error" (LibreTranslate) or "message" (DeepL) explains.
#pragma once

#include "services/translationrequest.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace kelo {

enum class TranslationService { Page, LibreTranslate, DeepL };

// The value of the setting "Uebersetzungsdienst" (any case, blanks around
// it ignored); the classic page for a missing or unknown one.
TranslationService serviceFromSetting(const QString &value);
QString settingOf(TranslationService service);
// The service as messages name it.
QString displayName(TranslationService service);
// Whether requests carry a key, and whether they cannot go without one.
bool takesKey(TranslationService service);
bool needsKey(TranslationService service);

inline const QString deepLFreeAddress = QStringLiteral("https://api-free.deepl.com");
inline const QString deepLProAddress = QStringLiteral("https://api.deepl.com");

// The address the service is reached at, from the setting
// "Uebersetzungsseite": the classic page's own when that is empty; for
// DeepL, when empty, the address of the Free API for a key ending in ":fx"
// and of the Pro API otherwise; for LibreTranslate the setting as it is
// ("" when there is none).
QString serviceAddress(TranslationService service, const QString &setting, const QString &key);

// The URL requests of LibreTranslate or DeepL go to: <base>/translate or
// <base>/v2/translate (a base that ends in /v2 is not given it twice);
// nullopt when the base is not an http or https address with a host, or
// carries a query.
std::optional<QUrl> serviceEndpoint(TranslationService service, const QString &base);

// A key goes into a header or a JSON string: printable ASCII without
// blanks, as every key of these services is.
bool isPlausibleKey(const QString &key);

// The body of one request: compact JSON, UTF-8.
QByteArray requestBody(TranslationService service, const QStringList &texts,
                       TranslationDirection direction, const QString &key);
// The bytes one text adds to a body (its JSON string, quotes included),
// and the bytes of a body without any text. A body of n texts is the
// envelope, the texts' sizes and n - 1 commas.
qsizetype encodedTextSize(const QString &text);
qsizetype envelopeSize(TranslationService service, TranslationDirection direction,
                       const QString &key);

struct ServiceAnswer {
    std::optional<QStringList> translations; // as many as texts were sent
    QString error;                           // German, when there are none
};

// Reads a successful answer that must hold `expected` translations.
ServiceAnswer readServiceAnswer(TranslationService service, QByteArrayView body,
                                qsizetype expected);

// What a service said about an error: the "error" or "message" of a JSON
// object, else a short plain-text body; "" when it said nothing readable.
// The key never appears in it, even when a server repeats it.
QString serviceMessage(QByteArrayView body, const QString &key);

// A German reason for an HTTP status that is not a success, with the
// service's own message where it gave one.
QString httpFailure(TranslationService service, int status, const QString &reason,
                    const QString &message);

} // namespace kelo
