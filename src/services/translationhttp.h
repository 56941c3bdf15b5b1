// The web request of the translation: one POST at a time through one
// QNetworkAccessManager, waited for in a local event loop (the caller keeps
// the window from taking input meanwhile), with a time limit for the whole
// request and a cap on the size of the answer. Every request names Kelo and
// its version in its User-Agent.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <utility>

class QNetworkReply;

namespace kelo {

struct HttpAnswer {
    enum class Status { Ok, Failed, Cancelled };
    Status status = Status::Failed;
    QByteArray body;
    QByteArray contentType; // the Content-Type header as sent
    QString error;          // German, when Failed
    // An answer that is not a success keeps its status, reason and body,
    // which a service fills with its own explanation.
    int httpStatus = 0;
    QString reason;
};

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

class TranslationHttp : public QObject {
    Q_OBJECT

public:
    explicit TranslationHttp(QObject *parent = nullptr);

    // A limit for the whole request, not only for silence: a server that
    // sends a byte now and then cannot hold the program.
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    // Sends a POST with the header "Content-Type: text/xml" and no body and
    // returns when the whole answer is there, the request failed, the time
    // limit ran out or cancel() was called. An answer over maxAnswerBytes is
    // refused.
    HttpAnswer post(const QUrl &url);

    // Sends a POST of a JSON body with these further headers. A redirect is
    // not followed but answered as a failure: the headers may carry a key
    // that must not go to another address.
    HttpAnswer postJson(const QUrl &url, const QByteArray &body, const HttpHeaders &headers);

    static QByteArray userAgent();

    // Aborts the request that is under way; post() returns Cancelled.
    void cancel();

private:
    HttpAnswer send(const QNetworkRequest &request, const QByteArray &body);

    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    std::chrono::milliseconds m_timeLimit{20000};
    bool m_cancelled = false;
};

} // namespace kelo
