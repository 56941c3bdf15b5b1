#include "services/testhttpserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

namespace kelo::test {

QByteArray RecordedRequest::header(QByteArrayView name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString RecordedRequest::query(const QString &key) const
{
    const QUrl url = QUrl::fromEncoded(requestLine.split(' ').value(1));
    return QUrlQuery(url).queryItemValue(key, QUrl::FullyDecoded);
}

QJsonObject RecordedRequest::json() const
{
    return QJsonDocument::fromJson(body).object();
}

TestHttpServer::TestHttpServer()
    : m_server(this) // moves along when the server is moved to a thread of its own
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void TestHttpServer::readFrom(QTcpSocket *socket)
{
    // Requests may follow each other on one kept-alive connection; the
    // unread rest waits in the socket's property until it is complete.
    QByteArray buffer = socket->property("pending").toByteArray() + socket->readAll();
    while (true) {
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            break;
        RecordedRequest request;
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        request.requestLine = lines.value(0).trimmed();
        for (const QByteArray &line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            break;
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        m_requests.append(request);
        answer(socket, m_handler ? m_handler(request) : upperCaseEcho(request));
    }
    socket->setProperty("pending", buffer);
}

void TestHttpServer::answer(QTcpSocket *socket, const CannedAnswer &answer)
{
    using Mode = CannedAnswer::Mode;
    const QByteArray length = answer.mode == Mode::UntilClose
                                  ? QByteArray("Connection: close")
                                  : "Content-Length: " + QByteArray::number(answer.body.size());
    socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + answer.reason +
                  "\r\nContent-Type: " + answer.contentType + "\r\n" + answer.extraHeaders +
                  length + "\r\n\r\n");
    if (answer.mode == Mode::Trickle) {
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket,
                [socket, body = answer.body, sent = qsizetype(0)]() mutable {
                    if (sent < body.size())
                        socket->write(body.mid(sent++, 1));
                });
        timer->start(20);
        return;
    }
    socket->write(answer.mode == Mode::Stall ? answer.body.left(answer.body.size() / 2)
                                             : answer.body);
    if (answer.mode == Mode::UntilClose)
        socket->disconnectFromHost();
}

CannedAnswer TestHttpServer::upperCaseEcho(const RecordedRequest &request)
{
    const QString text = request.query(QStringLiteral("text")).toUpper();
    CannedAnswer answer;
    answer.contentType = "text/html; charset=utf-8";
    answer.body = "<html><body><span id=\"result_box\"><span title=\"x\">" +
                  text.toHtmlEscaped().toUtf8() + "</span></span></body></html>";
    return answer;
}

CannedAnswer TestHttpServer::jsonAnswer(int status, const QByteArray &body)
{
    CannedAnswer answer;
    answer.status = status;
    answer.reason = status == 200 ? "OK" : "Error";
    answer.contentType = "application/json";
    answer.body = body;
    return answer;
}

CannedAnswer TestHttpServer::libreTranslateEcho(const RecordedRequest &request)
{
    QJsonArray translated;
    for (const QJsonValue text : request.json().value(QStringLiteral("q")).toArray())
        translated.append(text.toString().toUpper());
    return jsonAnswer(200,
                      QJsonDocument(QJsonObject{{QStringLiteral("translatedText"), translated}})
                          .toJson(QJsonDocument::Compact));
}

CannedAnswer TestHttpServer::deepLEcho(const RecordedRequest &request)
{
    QJsonArray translations;
    for (const QJsonValue text : request.json().value(QStringLiteral("text")).toArray())
        translations.append(
            QJsonObject{{QStringLiteral("detected_source_language"), QStringLiteral("DE")},
                        {QStringLiteral("text"), text.toString().toUpper()}});
    return jsonAnswer(200,
                      QJsonDocument(QJsonObject{{QStringLiteral("translations"), translations}})
                          .toJson(QJsonDocument::Compact));
}

} // namespace kelo::test
