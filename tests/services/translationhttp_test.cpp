// The translation's HTTP request against a real server on 127.0.0.1: what
// goes on the wire, and every way an answer can fail to come.
#include "services/testhttpserver.h"
#include "services/translationhttp.h"
#include "services/translationrequest.h"
#include "support/testenv.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace kelo::test {

namespace {

using namespace std::chrono_literals;
using Mode = CannedAnswer::Mode;

class Http : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.listen());
        m_http.setTimeLimit(400ms);
    }
    HttpAnswer postLine(const QString &line)
    {
        return m_http.post(
            *translationUrl(m_server.url(), line, TranslationDirection::GermanToEnglish));
    }

    TestHttpServer m_server;
    TranslationHttp m_http;
};

TEST_F(Http, PostsTheQueryWithTheXmlContentTypeAndNoBody)
{
    const HttpAnswer answer = postLine(QStringLiteral("Grüße & #1"));
    ASSERT_EQ(answer.status, HttpAnswer::Status::Ok) << answer.error.toStdString();
    EXPECT_EQ(answer.contentType, "text/html; charset=utf-8");
    EXPECT_TRUE(answer.body.contains("'GRÜSSE &amp; #1'"));

    ASSERT_EQ(m_server.requests().size(), 1);
    const RecordedRequest &request = m_server.requests().first();
    EXPECT_EQ(request.requestLine, "POST /translate_t?text='Gr%C3%BC%C3%9Fe%20%26%20%231'"
                                   "&langpair=de%7Cen&hl=en HTTP/1.1");
    EXPECT_EQ(request.header("Content-Type"), "text/xml");
    EXPECT_EQ(request.header("Content-Length"), "0");
    EXPECT_TRUE(request.body.isEmpty());
}

CannedAnswer canned(int status, QByteArray body, Mode mode = Mode::Whole)
{
    return {status, status == 200 ? "OK" : "Internal Server Error", "text/html", std::move(body),
            mode};
}

// What the server answers, and a part of the German error.
class HttpFailure :
    public Http,
    public ::testing::WithParamInterface<std::tuple<CannedAnswer, QString>> {};

TEST_P(HttpFailure, IsReportedInGermanWithoutABody)
{
    const auto &[canned, errorPart] = GetParam();
    m_server.setHandler([canned](const RecordedRequest &) { return canned; });
    const HttpAnswer answer = postLine(QStringLiteral("x"));
    EXPECT_EQ(answer.status, HttpAnswer::Status::Failed);
    EXPECT_TRUE(answer.error.contains(errorPart)) << answer.error.toStdString();
    EXPECT_TRUE(answer.body.isEmpty());
    EXPECT_FALSE(m_http.isBusy());
}

const QByteArray resultPage = "<span id=result_box>'x'</span>";
const QByteArray threeMegabytes(3 * 1024 * 1024, 'x');

INSTANTIATE_TEST_SUITE_P(
    Answers, HttpFailure,
    ::testing::Values(
        std::tuple{canned(500, resultPage), "Fehler 500 (Internal Server Error)"},
        std::tuple{canned(200, resultPage, Mode::Stall), "nicht innerhalb von 0.4 Sekunden"},
        // Bytes keep coming, so a limit on silence alone would wait forever.
        std::tuple{canned(200, QByteArray(1000, 'x'), Mode::Trickle),
                   "nicht innerhalb von 0.4 Sekunden"},
        std::tuple{canned(200, threeMegabytes), "größer als 2048 KB"},
        std::tuple{canned(200, threeMegabytes, Mode::UntilClose), "größer als 2048 KB"}));

TEST_F(Http, ClosedPortIsAConnectionFailure)
{
    const QUrl url = *translationUrl(m_server.url(), {}, TranslationDirection::GermanToEnglish);
    m_server.close();
    const HttpAnswer answer = m_http.post(url);
    EXPECT_EQ(answer.status, HttpAnswer::Status::Failed);
    EXPECT_TRUE(answer.error.contains(QStringLiteral("abgelehnt"))) << answer.error.toStdString();
}

TEST_F(Http, CancelAbortsTheRequestUnderWayAndTheNextOneWorks)
{
    m_http.setTimeLimit(60s);
    m_server.setHandler([this](const RecordedRequest &) {
        QTimer::singleShot(0, &m_http, [this] { m_http.cancel(); });
        return canned(200, resultPage, Mode::Stall);
    });
    EXPECT_EQ(postLine(QStringLiteral("x")).status, HttpAnswer::Status::Cancelled);
    m_server.setHandler({});
    EXPECT_EQ(postLine(QStringLiteral("y")).status, HttpAnswer::Status::Ok);
}

} // namespace
} // namespace kelo::test
