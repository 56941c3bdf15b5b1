// An HTTP/1.1 server on 127.0.0.1 for the translation tests and benchmark: it records
// every request and answers as the handler says, also stalling, trickling or endless.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <functional>
#include <utility>

class QTcpSocket;

namespace kelo::test {

struct RecordedRequest {
    QByteArray requestLine; // "POST /translate_t?... HTTP/1.1"
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body = {};

    QByteArray header(QByteArrayView name) const; // first of that name, any case
    QString query(const QString &key) const;      // percent-decoded as UTF-8
    QJsonObject json() const;                     // the body as a JSON object
};

struct CannedAnswer {
    enum class Mode {
        Whole,      // status, headers, Content-Length and body at once
        UntilClose, // no Content-Length: the body, then the connection closes
        Stall,      // the headers and half the body, then nothing
        Trickle,    // the headers, then one byte of the body every 20 ms
    };
    int status = 200;
    QByteArray reason = "OK";
    QByteArray contentType = "text/html";
    QByteArray body = {};
    Mode mode = Mode::Whole;
    QByteArray extraHeaders = {}; // further header lines, each ending in CR LF
};

class TestHttpServer : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<CannedAnswer(const RecordedRequest &request)>;

    TestHttpServer();
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    void close() { m_server.close(); }
    QString url(const QString &path = QStringLiteral("/translate_t")) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    const QList<RecordedRequest> &requests() const { return m_requests; }

    // The query's "text" (apostrophes included) in upper case as a translation page.
    static CannedAnswer upperCaseEcho(const RecordedRequest &request);
    // Imitations of LibreTranslate and DeepL, answering in their documented
    // formats with the request's texts in upper case.
    static CannedAnswer libreTranslateEcho(const RecordedRequest &request);
    static CannedAnswer deepLEcho(const RecordedRequest &request);
    // A JSON answer of a status.
    static CannedAnswer jsonAnswer(int status, const QByteArray &body);

private:
    void readFrom(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const CannedAnswer &answer);

    QTcpServer m_server;
    Handler m_handler;
    QList<RecordedRequest> m_requests;
};

} // namespace kelo::test
