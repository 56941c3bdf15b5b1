#include "services/translationhttp.h"

#include "services/translationanswer.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <memory>

namespace kelo {

namespace {

QString networkFailure(const QNetworkReply &reply)
{
    const QString host = reply.url().host();
    switch (reply.error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("Der Server %1 hat die Verbindung abgelehnt.").arg(host);
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("Der Server %1 wurde nicht gefunden. Besteht eine "
                              "Internet-Verbindung?")
            .arg(host);
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("Der Server %1 hat die Verbindung geschlossen, bevor die Antwort "
                              "vollständig war.")
            .arg(host);
    case QNetworkReply::TooManyRedirectsError:
    case QNetworkReply::InsecureRedirectError:
        return QStringLiteral("Der Server %1 leitet die Anfrage nicht verwertbar weiter.")
            .arg(host);
    default:
        return QStringLiteral("Die Verbindung zu %1 ist fehlgeschlagen (%2).")
            .arg(host, reply.errorString());
    }
}

} // namespace

TranslationHttp::TranslationHttp(QObject *parent)
    : QObject(parent)
{}

QByteArray TranslationHttp::userAgent()
{
    return QByteArrayLiteral("Kelo-the-Scriv/" KELO_VERSION);
}

HttpAnswer TranslationHttp::post(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/xml"));
    request.setMaximumRedirectsAllowed(5);
    return send(request, QByteArray());
}

HttpAnswer TranslationHttp::postJson(const QUrl &url, const QByteArray &body,
                                     const HttpHeaders &headers)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    request.setRawHeader("Accept", "application/json");
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    return send(request, body);
}

HttpAnswer TranslationHttp::send(const QNetworkRequest &originalRequest, const QByteArray &body)
{
    HttpAnswer answer;
    if (m_reply) {
        answer.error = QStringLiteral("Es läuft schon eine Anfrage.");
        return answer;
    }
    QNetworkRequest request(originalRequest);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    const QUrl url = request.url();

    m_cancelled = false;
    const std::unique_ptr<QNetworkReply> reply(m_manager.post(request, body));
    m_reply = reply.get();

    bool timedOut = false;
    bool tooLarge = false;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, reply.get(), [&] {
        timedOut = true;
        reply->abort();
    });
    const auto refuseIfTooLarge = [&](qsizetype size) {
        if (size > maxAnswerBytes && !tooLarge) {
            tooLarge = true;
            reply->abort();
        }
    };
    connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid())
            refuseIfTooLarge(length.toLongLong());
    });
    connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
        if (tooLarge)
            return;
        answer.body += reply->readAll();
        refuseIfTooLarge(answer.body.size());
    });
    connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    limit.start(m_timeLimit);
    if (!reply->isFinished())
        loop.exec();
    limit.stop();
    m_reply.clear();
    if (!tooLarge)
        answer.body += reply->readAll();

    const QString host = url.host();
    if (m_cancelled) {
        answer.status = HttpAnswer::Status::Cancelled;
    } else if (timedOut) {
        answer.error = QStringLiteral("Der Server %1 hat nicht innerhalb von %2 Sekunden "
                                      "vollständig geantwortet.")
                           .arg(host)
                           .arg(double(m_timeLimit.count()) / 1000.0);
    } else if (tooLarge) {
        answer.error = QStringLiteral("Die Antwort von %1 ist größer als %2 KB und wird nicht "
                                      "gelesen.")
                           .arg(host)
                           .arg(maxAnswerBytes / 1024);
    } else if (const int status =
                   reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
               status >= 300) {
        const QString reason =
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        answer.error = QStringLiteral("Der Server %1 antwortete mit dem Fehler %2%3.")
                           .arg(host)
                           .arg(status)
                           .arg(reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(reason));
        answer.httpStatus = status;
        answer.reason = reason.left(100);
    } else if (reply->error() != QNetworkReply::NoError) {
        answer.error = networkFailure(*reply);
    } else {
        answer.status = HttpAnswer::Status::Ok;
        answer.contentType = reply->rawHeader("Content-Type");
    }
    if (answer.status != HttpAnswer::Status::Ok && answer.httpStatus == 0)
        answer.body.clear();
    return answer;
}

void TranslationHttp::cancel()
{
    if (m_reply) {
        m_cancelled = true;
        m_reply->abort();
    }
}

} // namespace kelo
