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

    void serve(CannedAnswer answer)
    {
        m_server.setHandler([answer](const RecordedRequest &) { return answer; });
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
    EXPECT_EQ(request.query(QStringLiteral("text")), QStringLiteral("'Grüße & #1'"));
    EXPECT_EQ(request.query(QStringLiteral("langpair")), QStringLiteral("de|en"));
}

struct FailureCase {
    const char *name;
    CannedAnswer answer;
    const char *errorPart;
};
void PrintTo(const FailureCase &c, std::ostream *out)
{
    *out << c.name;
}

class HttpFailure : public Http, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(HttpFailure, IsReportedInGermanWithoutABody)
{
    serve(GetParam().answer);
    const HttpAnswer answer = postLine(QStringLiteral("x"));
    EXPECT_EQ(answer.status, HttpAnswer::Status::Failed);
    EXPECT_TRUE(answer.error.contains(QString::fromUtf8(GetParam().errorPart)))
        << answer.error.toStdString();
    EXPECT_TRUE(answer.body.isEmpty());
    EXPECT_FALSE(m_http.isBusy());
}

CannedAnswer canned(int status, QByteArray body, CannedAnswer::Mode mode)
{
    CannedAnswer answer;
    answer.status = status;
    answer.reason = status == 200 ? "OK" : "Internal Server Error";
    answer.body = std::move(body);
    answer.mode = mode;
    return answer;
}

const QByteArray threeMegabytes(3 * 1024 * 1024, 'x');

INSTANTIATE_TEST_SUITE_P(
    Answers, HttpFailure,
    ::testing::Values(
        FailureCase{"ServerError",
                    canned(500, "<span id=result_box>'x'</span>", CannedAnswer::Mode::Whole),
                    "Fehler 500 (Internal Server Error)"},
        FailureCase{"Stalled",
                    canned(200, "<span id=result_box>'x'</span>", CannedAnswer::Mode::Stall),
                    "nicht innerhalb von 0.4 Sekunden"},
        // Bytes keep coming, so a limit on silence alone would wait forever.
        FailureCase{"Trickling", canned(200, QByteArray(1000, 'x'), CannedAnswer::Mode::Trickle),
                    "nicht innerhalb von 0.4 Sekunden"},
        FailureCase{"HugeWithLength", canned(200, threeMegabytes, CannedAnswer::Mode::Whole),
                    "größer als 2048 KB"},
        FailureCase{"HugeWithoutLength",
                    canned(200, threeMegabytes, CannedAnswer::Mode::UntilClose),
                    "größer als 2048 KB"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Http, ClosedPortIsAConnectionFailure)
{
    const QString url = m_server.url();
    m_server.close();
    const HttpAnswer answer =
        m_http.post(*translationUrl(url, {}, TranslationDirection::GermanToEnglish));
    EXPECT_EQ(answer.status, HttpAnswer::Status::Failed);
    EXPECT_TRUE(answer.error.contains(QStringLiteral("abgelehnt"))) << answer.error.toStdString();
}

TEST_F(Http, CancelAbortsTheRequestUnderWay)
{
    m_http.setTimeLimit(60s);
    serve(canned(200, "<span id=result_box>'x'</span>", CannedAnswer::Mode::Stall));
    m_server.setHandler([this](const RecordedRequest &) {
        QTimer::singleShot(0, &m_http, [this] { m_http.cancel(); });
        return canned(200, "<span>", CannedAnswer::Mode::Stall);
    });
    const HttpAnswer answer = postLine(QStringLiteral("x"));
    EXPECT_EQ(answer.status, HttpAnswer::Status::Cancelled);
    // The next request works again.
    m_server.setHandler({});
    EXPECT_EQ(postLine(QStringLiteral("y")).status, HttpAnswer::Status::Ok);
}

} // namespace
} // namespace kelo::test
