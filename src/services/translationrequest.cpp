#include "services/translationrequest.h"

namespace kelo {

QByteArray translationQuery(const QString &line, TranslationDirection direction)
{
    // The apostrophes around the line are part of the request: the page
    // answers with them around the translation, and they are cut off again.
    // "|" is not allowed in a URL as it stands and goes out as %7C.
    const QByteArrayView tail = direction == TranslationDirection::GermanToEnglish
                                    ? QByteArrayView("'&langpair=de%7Cen&hl=en")
                                    : QByteArrayView("'&langpair=en%7Cde&hl=de");
    QByteArray query("text='");
    query += QUrl::toPercentEncoding(line);
    query += tail;
    return query;
}

std::optional<QUrl> translationUrl(const QString &page, const QString &line,
                                   TranslationDirection direction)
{
    const QUrl base(page.trimmed(), QUrl::StrictMode);
    const QString scheme = base.scheme().toLower();
    if (!base.isValid() || base.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;
    QByteArray encoded = base.adjusted(QUrl::RemoveFragment).toEncoded();
    encoded += base.hasQuery() ? '&' : '?';
    encoded += translationQuery(line, direction);
    QUrl url = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

} // namespace kelo
