// The translation against a local translation page: the HTTP request and
// every way its answer can fail to come, then the two translate buttons of
// the main window with the consent question, the requests line by line, the
// new text, and the old text kept after a failure, a cancel or a close.
#include "platform/controls.h"
#include "platform/textbox.h"
#include "services/testhttpserver.h"
#include "services/translation.h"
#include "services/translationhttp.h"
#include "services/translationrequest.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QDir>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
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
    const HttpAnswer answer = postLine("x");
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
    EXPECT_TRUE(answer.error.contains("abgelehnt")) << answer.error.toStdString();
}

const QString question = QStringLiteral("Sie benötigen für diese Funktion eine Internet "
                                        "Verbindung ! Soll dieser Text übersetzt werden ?");
const CannedAnswer stalled = canned(200, resultPage, Mode::Stall);

class Translate : public Form1Fixture {
protected:
    Form1 &startWith(const QString &text)
    {
        EXPECT_TRUE(m_server.listen());
        presetSetting(translationPageKey, m_server.url());
        Form1 &form = start();
        form.translation()->setTimeLimit(500ms);
        form.TextBox1->setText(text);
        return form;
    }
    bool temporaryFileLeft() const
    {
        return !QDir(m_programFolder).entryList(QDir::Files | QDir::Hidden).isEmpty();
    }

    TestHttpServer m_server;
};

TEST_F(Translate, NoChangesNothingYesTranslatesEveryLineAndIsNotAskedAgain)
{
    Form1 &form = startWith("Hallo Welt\r\nzweite Zeile");
    form.TextBox1->setSelStart(5);
    form.cmd_DE2EN->click();
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown()[0].text, question);
    EXPECT_EQ(m_messages.shown()[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(m_server.requests().isEmpty());
    EXPECT_EQ(form.TextBox1->Text(), "Hallo Welt\r\nzweite Zeile");

    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    EXPECT_EQ(m_messages.texts(), QStringList({question, question}));
    EXPECT_EQ(form.TextBox1->Text(), "HALLO WELT\r\nZWEITE ZEILE\r\n");
    EXPECT_EQ(form.TextBox1->SelStart(), 0); // RefreshText ran
    EXPECT_EQ(form.lblstatus->text(), "temporäre Datei wurde gelöscht");
    EXPECT_FALSE(temporaryFileLeft());
    ASSERT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_server.requests()[0].requestLine,
              "POST /translate_t?text='Hallo%20Welt'&langpair=de%7Cen&hl=en HTTP/1.1");
    EXPECT_EQ(m_server.requests()[0].header("Content-Type"), "text/xml");
    EXPECT_TRUE(m_server.requests()[0].body.isEmpty());
    form.TextBox1->undo(); // the whole translation is one undo step
    EXPECT_EQ(form.TextBox1->Text(), "Hallo Welt\r\nzweite Zeile");

    form.cmd_EN2DE->click();
    EXPECT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_server.requests().last().query("langpair"), "en|de");
    EXPECT_EQ(m_server.requests().last().query("hl"), "de");
    EXPECT_EQ(setting(translationPageKey), m_server.url()); // read, never written
}

// The text, the "text" of every request in order, the new text.
using TextCase = std::tuple<QString, QStringList, QString>;
class TranslateText : public Translate, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TranslateText, SendsOneRequestPerLineOfTheTemporaryFile)
{
    const auto &[text, sent, result] = GetParam();
    Form1 &form = startWith(text);
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    QStringList texts;
    for (const RecordedRequest &request : m_server.requests())
        texts << request.query("text");
    EXPECT_EQ(texts, sent);
    EXPECT_EQ(form.TextBox1->Text(), result);
}

// The last page is UTF-8 declared only in the HTTP header.
INSTANTIATE_TEST_SUITE_P(
    Texts, TranslateText,
    ::testing::Values(TextCase{"", {"''"}, "\r\n"}, TextCase{"a\r\n", {"'a'"}, "A\r\n"},
                      TextCase{"a\r\n\r\nb", {"'a'", "''", "'b'"}, "A\r\n\r\nB\r\n"},
                      TextCase{"a & langpair=en|de # 50% + ü",
                               {"'a & langpair=en|de # 50% + ü'"},
                               "A & LANGPAIR=EN|DE # 50% + Ü\r\n"}));

// A failing request and a page without a translation both stop the run.
class TranslateFailure : public Translate, public ::testing::WithParamInterface<CannedAnswer> {};

TEST_P(TranslateFailure, OneMessageNamesTheLineAndTheTextStays)
{
    const QString original = "eins\r\nzwei\r\ndrei";
    Form1 &form = startWith(original);
    m_server.setHandler([this](const RecordedRequest &request) {
        return m_server.requests().size() == 2 ? GetParam()
                                               : TestHttpServer::upperCaseEcho(request);
    });
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();

    EXPECT_EQ(m_server.requests().size(), 2);
    ASSERT_EQ(m_messages.shown().size(), 2);
    const QString message = m_messages.shown()[1].text;
    EXPECT_TRUE(message.startsWith("Die Übersetzung ist in Zeile 2 von 3 fehlgeschlagen:\n") &&
                message.endsWith("\n\nDer Text im Editor bleibt unverändert."))
        << message.toStdString();
    EXPECT_EQ(form.TextBox1->Text(), original);
    EXPECT_TRUE(form.lblstatus->text().contains("unverändert"));
    EXPECT_FALSE(temporaryFileLeft());
}

INSTANTIATE_TEST_SUITE_P(Answers, TranslateFailure,
                         ::testing::Values(canned(500, {}), canned(200, "<p>'x'</p>")));

TEST_F(Translate, TemporaryFileThatCannotBeWrittenStopsBeforeAnyRequest)
{
    Form1 &form = startWith("a\r\nb");
    ASSERT_TRUE(QDir(m_programFolder).mkdir("kelo.tmp"));
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_TRUE(m_messages.shown()[1].text.contains("kelo.tmp"))
        << m_messages.shown()[1].text.toStdString();
    EXPECT_TRUE(m_server.requests().isEmpty());
    EXPECT_EQ(form.TextBox1->Text(), "a\r\nb");
}

TEST_F(Translate, CancelInTheProgressBoxKeepsTheTextAndSendsNoMore)
{
    const QString original = "eins\r\nzwei\r\ndrei";
    Form1 &form = startWith(original);
    form.translation()->setTimeLimit(60s);
    QString label;
    m_server.setHandler([&](const RecordedRequest &request) {
        if (m_server.requests().size() < 2)
            return TestHttpServer::upperCaseEcho(request);
        auto *progress = form.findChild<QProgressDialog *>();
        QTimer::singleShot(0, progress, [progress, &label] {
            if (QTest::qWaitFor(
                    [&] { return progress->labelText().startsWith(QLatin1String("Zeile 2")); }))
                label = progress->labelText();
            for (auto *button : progress->findChildren<QPushButton *>()) {
                if (button->text() == QLatin1String("Abbrechen"))
                    QTest::mouseClick(button, Qt::LeftButton);
            }
        });
        return stalled;
    });
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();

    EXPECT_EQ(label, "Zeile 2 von 3");
    EXPECT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_messages.shown().size(), 1); // the question only
    EXPECT_EQ(form.TextBox1->Text(), original);
    EXPECT_TRUE(form.lblstatus->text().startsWith("Übersetzung abgebrochen"));
    EXPECT_FALSE(temporaryFileLeft());
    EXPECT_FALSE(form.findChild<QProgressDialog *>());
}

TEST_F(Translate, ClosingTheWindowWhileALineIsOutCancelsAndKeepsTheWindow)
{
    Form1 &form = startWith("eins\r\nzwei");
    form.translation()->setTimeLimit(60s);
    form.show();
    m_server.setHandler([&](const RecordedRequest &) {
        QTimer::singleShot(0, &form, [&form] { form.close(); });
        return stalled;
    });
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.TextBox1->Text(), "eins\r\nzwei");
    EXPECT_EQ(m_server.requests().size(), 1);
}

} // namespace
} // namespace kelo::test
