#include "services/translationservice.h"

#include "platform/settingsstore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace kelo {

namespace {

const QString pageSetting = QStringLiteral("Seite");
const QString libreSetting = QStringLiteral("LibreTranslate");
const QString deepLSetting = QStringLiteral("DeepL");

// A service's message is shown in a box: a few lines at most.
constexpr qsizetype maxMessageLength = 300;

QJsonArray textArray(const QStringList &texts)
{
    QJsonArray array;
    for (const QString &text : texts)
        array.append(text);
    return array;
}

QString countMismatch(qsizetype got, qsizetype expected)
{
    return QStringLiteral("Der Dienst gab %1 Übersetzungen für %2 gesendete Zeilen zurück.")
        .arg(got)
        .arg(expected);
}

QString malformed(const QString &what)
{
    return QStringLiteral("Die Antwort des Dienstes ist nicht in der erwarteten Form: %1.")
        .arg(what);
}

} // namespace

TranslationService serviceFromSetting(const QString &value)
{
    const QString name = value.trimmed();
    if (name.compare(libreSetting, Qt::CaseInsensitive) == 0)
        return TranslationService::LibreTranslate;
    if (name.compare(deepLSetting, Qt::CaseInsensitive) == 0)
        return TranslationService::DeepL;
    return TranslationService::Page;
}

QString settingOf(TranslationService service)
{
    switch (service) {
    case TranslationService::LibreTranslate:
        return libreSetting;
    case TranslationService::DeepL:
        return deepLSetting;
    case TranslationService::Page:
        break;
    }
    return pageSetting;
}

QString displayName(TranslationService service)
{
    switch (service) {
    case TranslationService::LibreTranslate:
        return QStringLiteral("LibreTranslate");
    case TranslationService::DeepL:
        return QStringLiteral("DeepL");
    case TranslationService::Page:
        break;
    }
    return QStringLiteral("die Übersetzungsseite");
}

bool takesKey(TranslationService service)
{
    return service != TranslationService::Page;
}

bool needsKey(TranslationService service)
{
    return service == TranslationService::DeepL;
}

QString serviceAddress(TranslationService service, const QString &setting, const QString &key)
{
    const QString address = setting.trimmed();
    switch (service) {
    case TranslationService::Page:
        return address.isEmpty() ? defaults::translationPage : setting;
    case TranslationService::LibreTranslate:
        return address;
    case TranslationService::DeepL:
        if (!address.isEmpty())
            return address;
        return key.endsWith(QLatin1String(":fx")) ? deepLFreeAddress : deepLProAddress;
    }
    return address;
}

std::optional<QUrl> serviceEndpoint(TranslationService service, const QString &base)
{
    const QUrl url(base.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (service == TranslationService::Page || !url.isValid() || url.host().isEmpty() ||
        url.hasQuery() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (service == TranslationService::DeepL && !path.endsWith(QLatin1String("/v2")))
        path += QLatin1String("/v2");
    path += QLatin1String("/translate");
    QUrl endpoint = url.adjusted(QUrl::RemoveFragment);
    endpoint.setPath(path);
    return endpoint;
}

bool isPlausibleKey(const QString &key)
{
    if (key.isEmpty())
        return false;
    for (const QChar c : key) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

QByteArray requestBody(TranslationService service, const QStringList &texts,
                       TranslationDirection direction, const QString &key)
{
    const bool toEnglish = direction == TranslationDirection::GermanToEnglish;
    QJsonObject body;
    if (service == TranslationService::DeepL) {
        // DeepL wants a variant of English as a target; British English
        // suits texts written by Germans.
        body.insert(QStringLiteral("text"), textArray(texts));
        body.insert(QStringLiteral("source_lang"),
                    toEnglish ? QStringLiteral("DE") : QStringLiteral("EN"));
        body.insert(QStringLiteral("target_lang"),
                    toEnglish ? QStringLiteral("EN-GB") : QStringLiteral("DE"));
    } else {
        body.insert(QStringLiteral("q"), textArray(texts));
        body.insert(QStringLiteral("source"),
                    toEnglish ? QStringLiteral("de") : QStringLiteral("en"));
        body.insert(QStringLiteral("target"),
                    toEnglish ? QStringLiteral("en") : QStringLiteral("de"));
        body.insert(QStringLiteral("format"), QStringLiteral("text"));
        if (!key.isEmpty())
            body.insert(QStringLiteral("api_key"), key);
    }
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

qsizetype encodedTextSize(const QString &text)
{
    return QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact).size() - 2;
}

qsizetype envelopeSize(TranslationService service, TranslationDirection direction,
                       const QString &key)
{
    return requestBody(service, {}, direction, key).size();
}

ServiceAnswer readServiceAnswer(TranslationService service, QByteArrayView body, qsizetype expected)
{
    ServiceAnswer answer;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        answer.error = QStringLiteral("Die Antwort des Dienstes ist kein lesbares JSON (Fehler bei "
                                      "Byte %1 von %2).")
                           .arg(parseError.offset)
                           .arg(body.size());
        return answer;
    }
    if (!document.isObject()) {
        answer.error = malformed(QStringLiteral("kein JSON-Objekt"));
        return answer;
    }
    const QJsonObject object = document.object();
    const bool deepL = service == TranslationService::DeepL;
    const QString listName =
        deepL ? QStringLiteral("translations") : QStringLiteral("translatedText");
    const QJsonValue list = object.value(listName);
    if (!list.isArray()) {
        answer.error = malformed(QStringLiteral("die Liste \"%1\" fehlt").arg(listName));
        return answer;
    }
    const QJsonArray items = list.toArray();
    if (items.size() != expected) {
        answer.error = countMismatch(items.size(), expected);
        return answer;
    }
    QStringList translations;
    translations.reserve(items.size());
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QJsonValue item =
            deepL ? items.at(i).toObject().value(QStringLiteral("text")) : items.at(i);
        if (!item.isString()) {
            answer.error = malformed(QStringLiteral("Übersetzung %1 ist kein Text").arg(i + 1));
            return answer;
        }
        translations.append(item.toString());
    }
    answer.translations = std::move(translations);
    return answer;
}

QString serviceMessage(QByteArrayView body, const QString &key)
{
    QString message;
    const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray());
    if (document.isObject()) {
        const QJsonObject object = document.object();
        for (const char *name : {"error", "message", "detail"}) {
            const QJsonValue value = object.value(QLatin1String(name));
            if (value.isString()) {
                message = value.toString();
                break;
            }
        }
    } else if (document.isNull() && !body.trimmed().startsWith('<')) {
        // A proxy in front of the service may answer in plain text; an HTML
        // page says nothing a box could show.
        message = QString::fromUtf8(body).trimmed();
    }
    message = message.simplified();
    if (!key.isEmpty())
        message.replace(key, QStringLiteral("…"));
    if (message.size() > maxMessageLength)
        message = message.left(maxMessageLength) + QStringLiteral(" …");
    return message;
}

QString httpFailure(TranslationService service, int status, const QString &reason,
                    const QString &message)
{
    QString text;
    if (status >= 300 && status < 400) {
        text = QStringLiteral("Der Dienst leitet die Anfrage an eine andere Adresse weiter (HTTP "
                              "%1). Kelo folgt dem nicht, damit Text und Schlüssel nicht "
                              "anderswohin gehen; bitte die Adresse prüfen.")
                   .arg(status);
    } else if (status == 401 || status == 403) {
        text = QStringLiteral("%1 hat den Schlüssel abgelehnt (HTTP %2): er ist falsch, abgelaufen "
                              "oder fehlt.")
                   .arg(displayName(service))
                   .arg(status);
    } else if (status == 429) {
        text = QStringLiteral("Zu viele Anfragen in kurzer Zeit (HTTP 429): das Kontingent von %1 "
                              "ist vorerst verbraucht. Bitte etwas später noch einmal versuchen.")
                   .arg(displayName(service));
    } else if (status == 456) {
        text = QStringLiteral("Das Kontingent des Kontos bei %1 ist verbraucht (HTTP 456).")
                   .arg(displayName(service));
    } else if (status == 404) {
        text = QStringLiteral("Unter dieser Adresse antwortet kein %1 (HTTP 404). Bitte die "
                              "Adresse prüfen.")
                   .arg(displayName(service));
    } else if (status == 413) {
        text = QStringLiteral("Die Anfrage ist %1 zu groß (HTTP 413).").arg(displayName(service));
    } else if (status == 400) {
        text = QStringLiteral("%1 hat die Anfrage als fehlerhaft abgelehnt (HTTP 400).")
                   .arg(displayName(service));
    } else {
        text = QStringLiteral("%1 meldet einen Fehler (HTTP %2%3).")
                   .arg(displayName(service))
                   .arg(status)
                   .arg(reason.isEmpty() ? QString() : QStringLiteral(" ") + reason);
    }
    if (!message.isEmpty())
        text += QStringLiteral("\nMeldung des Dienstes: \"%1\"").arg(message);
    return text;
}

} // namespace kelo
