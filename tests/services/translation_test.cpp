// The two translate buttons of the main window against a local translation
// page: the consent question, the requests line by line, the new text, and
// the old text kept after a failure, a cancel or a close.
#include "platform/controls.h"
#include "platform/textbox.h"
#include "services/testhttpserver.h"
#include "services/translation.h"
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

const QString question = QStringLiteral("Sie benötigen für diese Funktion eine Internet "
                                        "Verbindung ! Soll dieser Text übersetzt werden ?");

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

    QStringList sentTexts() const
    {
        QStringList texts;
        for (const RecordedRequest &request : m_server.requests())
            texts << request.query(QStringLiteral("text"));
        return texts;
    }

    bool temporaryFileLeft() const
    {
        return !QDir(m_programFolder).entryList(QDir::Files | QDir::Hidden).isEmpty();
    }

    TestHttpServer m_server;
};

TEST_F(Translate, NoToTheQuestionChangesNothingAndTheNextClickAsksAgain)
{
    Form1 &form = startWith(QStringLiteral("Hallo"));
    form.setStatus(QStringLiteral("vorher"));
    form.cmd_DE2EN->click();
    form.cmd_EN2DE->click();
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_messages.shown()[1].text, question);
    EXPECT_EQ(m_messages.shown()[1].buttons, MsgButtons::YesNo);
    EXPECT_EQ(m_messages.shown()[1].icon, MsgIcon::None);
    EXPECT_TRUE(m_server.requests().isEmpty());
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Hallo"));
    EXPECT_EQ(form.lblstatus->text(), QStringLiteral("vorher"));
    EXPECT_FALSE(form.translation()->blnInternetOK);
}

TEST_F(Translate, YesTranslatesEveryLineAndTheOtherButtonDoesNotAskAgain)
{
    Form1 &form = startWith(QStringLiteral("Hallo Welt\r\nzweite Zeile"));
    form.TextBox1->setSelStart(5);
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();

    EXPECT_EQ(m_messages.texts(), QStringList{question});
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("HALLO WELT\r\nZWEITE ZEILE\r\n"));
    EXPECT_EQ(form.TextBox1->SelStart(), 0); // RefreshText ran
    EXPECT_EQ(form.lblstatus->text(), QStringLiteral("temporäre Datei wurde gelöscht"));
    EXPECT_FALSE(temporaryFileLeft());
    ASSERT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_server.requests()[0].requestLine,
              "POST /translate_t?text='Hallo%20Welt'&langpair=de%7Cen&hl=en HTTP/1.1");
    EXPECT_EQ(m_server.requests()[0].header("Content-Type"), "text/xml");
    // The whole translation is one undo step.
    form.TextBox1->undo();
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Hallo Welt\r\nzweite Zeile"));

    form.cmd_EN2DE->click();
    EXPECT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_server.requests().last().query(QStringLiteral("langpair")),
              QStringLiteral("en|de"));
    EXPECT_EQ(m_server.requests().last().query(QStringLiteral("hl")), QStringLiteral("de"));
    EXPECT_EQ(setting(translationPageKey), m_server.url()); // read, never written
}

struct TextCase {
    const char *text;
    QStringList sent; // the "text" of every request, in order
    const char *result;
};
void PrintTo(const TextCase &c, std::ostream *out)
{
    *out << c.text;
}

class TranslateText : public Translate, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TranslateText, SendsOneRequestPerLineOfTheTemporaryFile)
{
    Form1 &form = startWith(QString::fromUtf8(GetParam().text));
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    EXPECT_EQ(sentTexts(), GetParam().sent);
    EXPECT_EQ(form.TextBox1->Text(), QString::fromUtf8(GetParam().result));
    for (const RecordedRequest &request : m_server.requests())
        EXPECT_EQ(request.query(QStringLiteral("langpair")), QStringLiteral("de|en"));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TranslateText,
    ::testing::Values(TextCase{"", {QStringLiteral("''")}, "\r\n"},
                      TextCase{"a\r\n", {QStringLiteral("'a'")}, "A\r\n"},
                      TextCase{"a\r\n\r\nb", {"'a'", "''", "'b'"}, "A\r\n\r\nB\r\n"},
                      TextCase{"a & langpair=en|de # 50% + ü",
                               {QStringLiteral("'a & langpair=en|de # 50% + ü'")},
                               "A & LANGPAIR=EN|DE # 50% + Ü\r\n"}));

struct EncodingCase {
    const char *contentType;
    QByteArray page;
};
void PrintTo(const EncodingCase &c, std::ostream *out)
{
    *out << '"' << c.contentType << "\" " << c.page.toPercentEncoding(" <>='/").constData();
}

class TranslateEncoding : public Translate, public ::testing::WithParamInterface<EncodingCase> {};

TEST_P(TranslateEncoding, UmlautsArriveWhateverTheDeclaration)
{
    Form1 &form = startWith(QStringLiteral("x"));
    const CannedAnswer answer{200, "OK", GetParam().contentType, GetParam().page};
    m_server.setHandler([answer](const RecordedRequest &) { return answer; });
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_EN2DE->click();
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Grüße\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, TranslateEncoding,
    ::testing::Values(
        EncodingCase{"text/html; charset=UTF-8", "<b id=result_box>'Gr\xC3\xBC\xC3\x9F\x65'</b>"},
        EncodingCase{"text/html",
                     "<meta charset=utf-8><b id=result_box>'Gr\xC3\xBC\xC3\x9F\x65'</b>"},
        EncodingCase{"text/html; charset=ISO-8859-1", "<b id=result_box>'Gr\xFC\xDF\x65'</b>"},
        EncodingCase{"text/html", "<b id=result_box>'Gr\xFC\xDF\x65'</b>"}));

struct FailureCase {
    const char *name;
    CannedAnswer secondAnswer;
    const char *reasonPart;
};
void PrintTo(const FailureCase &c, std::ostream *out)
{
    *out << c.name;
}

class TranslateFailure : public Translate, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(TranslateFailure, OneMessageNamesTheLineAndTheTextStays)
{
    const QString original = QStringLiteral("eins\r\nzwei\r\ndrei");
    Form1 &form = startWith(original);
    m_server.setHandler([this](const RecordedRequest &request) {
        return m_server.requests().size() == 2 ? GetParam().secondAnswer
                                               : TestHttpServer::upperCaseEcho(request);
    });
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();

    EXPECT_EQ(m_server.requests().size(), 2);
    ASSERT_EQ(m_messages.shown().size(), 2);
    const QString message = m_messages.shown()[1].text;
    EXPECT_TRUE(message.startsWith(QStringLiteral("Die Übersetzung ist in Zeile 2 von 3 "
                                                  "fehlgeschlagen")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromUtf8(GetParam().reasonPart)))
        << message.toStdString();
    EXPECT_EQ(form.TextBox1->Text(), original);
    EXPECT_TRUE(form.lblstatus->text().contains(QStringLiteral("unverändert")));
    EXPECT_FALSE(temporaryFileLeft());
}

CannedAnswer page(QByteArray body, int status = 200,
                  CannedAnswer::Mode mode = CannedAnswer::Mode::Whole)
{
    return {status, status == 200 ? "OK" : "Internal Server Error", "text/html", std::move(body),
            mode};
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TranslateFailure,
    ::testing::Values(
        FailureCase{"ServerError", page("oops", 500), "Fehler 500"},
        FailureCase{"NoResultBox", page("<span id=result>'x'</span>"), "kein Element"},
        FailureCase{"TooShort", page("<span id=result_box>x</span>"), "kürzer als zwei"},
        FailureCase{"Stalled",
                    page("<span id=result_box>'x'</span>", 200, CannedAnswer::Mode::Stall),
                    "nicht innerhalb von 0.5 Sekunden"},
        FailureCase{"Huge", page(QByteArray(3 << 20, 'x')), "größer als 2048 KB"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Translate, UnreachablePageFailsOnTheFirstLineWithOneMessage)
{
    Form1 &form = startWith(QStringLiteral("a\r\nb\r\nc"));
    m_server.close();
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_TRUE(m_messages.shown()[1].text.contains(QStringLiteral("Zeile 1 von 3")));
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("a\r\nb\r\nc"));
}

TEST_F(Translate, TemporaryFileThatCannotBeWrittenStopsBeforeAnyRequest)
{
    Form1 &form = startWith(QStringLiteral("a\r\nb"));
    ASSERT_TRUE(QDir(m_programFolder).mkdir(QStringLiteral("kelo.tmp")));
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_TRUE(m_messages.shown()[1].text.contains(QStringLiteral("kelo.tmp")))
        << m_messages.shown()[1].text.toStdString();
    EXPECT_TRUE(m_server.requests().isEmpty());
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("a\r\nb"));
}

TEST_F(Translate, CancelInTheProgressBoxKeepsTheTextAndSendsNoMore)
{
    const QString original = QStringLiteral("eins\r\nzwei\r\ndrei");
    Form1 &form = startWith(original);
    form.translation()->setTimeLimit(60s);
    QString label;
    m_server.setHandler([&](const RecordedRequest &request) {
        if (m_server.requests().size() < 2)
            return TestHttpServer::upperCaseEcho(request);
        auto *progress = form.findChild<QProgressDialog *>();
        QTimer::singleShot(0, progress, [progress, &label] {
            // While the line is out the box shows it (within a tenth of a second).
            if (QTest::qWaitFor(
                    [&] { return progress->labelText().startsWith(QLatin1String("Zeile 2")); }))
                label = progress->labelText();
            for (auto *button : progress->findChildren<QPushButton *>()) {
                if (button->text() == QLatin1String("Abbrechen"))
                    QTest::mouseClick(button, Qt::LeftButton);
            }
        });
        return page("<span id=result_box>'x'</span>", 200, CannedAnswer::Mode::Stall);
    });
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();

    EXPECT_EQ(label, QStringLiteral("Zeile 2 von 3"));
    EXPECT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_messages.shown().size(), 1); // the question only
    EXPECT_EQ(form.TextBox1->Text(), original);
    EXPECT_TRUE(form.lblstatus->text().startsWith(QStringLiteral("Übersetzung abgebrochen")));
    EXPECT_FALSE(temporaryFileLeft());
    EXPECT_FALSE(form.findChild<QProgressDialog *>());
}

TEST_F(Translate, ClosingTheWindowWhileALineIsOutCancelsAndKeepsTheWindow)
{
    Form1 &form = startWith(QStringLiteral("eins\r\nzwei"));
    form.translation()->setTimeLimit(60s);
    form.show();
    m_server.setHandler([&](const RecordedRequest &) {
        QTimer::singleShot(0, &form, [&form] { form.close(); });
        return page("<span id=result_box>'x'</span>", 200, CannedAnswer::Mode::Stall);
    });
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.cmd_DE2EN->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("eins\r\nzwei"));
    EXPECT_EQ(m_server.requests().size(), 1);
}

} // namespace
} // namespace kelo::test
