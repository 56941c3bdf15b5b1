// The two translate buttons of the main window against a local translation
// page: the consent question, the requests line by line, the new text, and
// the old text kept after every kind of failure, a cancel or a close.
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
using Mode = CannedAnswer::Mode;

const QString question = QStringLiteral("Sie benötigen für diese Funktion eine Internet "
                                        "Verbindung ! Soll dieser Text übersetzt werden ?");

const CannedAnswer stalled{.body = "<span id=result_box>'x'</span>", .mode = Mode::Stall};

class Translate : public Form1Fixture {
protected:
    Form1 &startWith(const QString &text, std::chrono::milliseconds timeLimit = 500ms)
    {
        EXPECT_TRUE(m_server.listen());
        presetSetting(key::translationPage, m_server.url());
        Form1 &form = startShown();
        form.translation()->setTimeLimit(timeLimit);
        form.TextBox1->setText(text);
        return form;
    }
    // The same, and the text goes to English with the question answered Yes.
    Form1 &translate(const QString &text, std::chrono::milliseconds timeLimit = 500ms)
    {
        Form1 &form = startWith(text, timeLimit);
        m_messages.queueAnswer(MsgAnswer::Yes);
        form.cmd_DE2EN->click();
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
    EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNo);
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
    EXPECT_EQ(setting(key::translationPage), m_server.url()); // read, never written
}

// The text, the "text" of every request in order, the new text.
using TextCase = std::tuple<QString, QStringList, QString>;
class TranslateText : public Translate, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TranslateText, SendsOneRequestPerLineOfTheTemporaryFile)
{
    const auto &[text, sent, result] = GetParam();
    Form1 &form = translate(text);
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
                      TextCase{"it's a & langpair=en|de # 50% + ü",
                               {"'it's a & langpair=en|de # 50% + ü'"},
                               "IT'S A & LANGPAIR=EN|DE # 50% + Ü\r\n"}));

// The answer to the second of three lines, and a part of the German reason.
class TranslateFailure :
    public Translate,
    public ::testing::WithParamInterface<std::tuple<CannedAnswer, QString>> {};

TEST_P(TranslateFailure, OneMessageNamesTheLineAndTheReasonAndTheTextStays)
{
    const auto &[answer, reason] = GetParam();
    m_server.setHandler([&](const RecordedRequest &request) {
        return m_server.requests().size() == 2 ? answer : TestHttpServer::upperCaseEcho(request);
    });
    Form1 &form = translate("eins\r\nzwei\r\ndrei");
    EXPECT_EQ(m_server.requests().size(), 2);
    ASSERT_EQ(m_messages.shown().size(), 2);
    const QString message = m_messages.shown()[1].text;
    EXPECT_TRUE(message.startsWith("Die Übersetzung ist in Zeile 2 von 3 fehlgeschlagen:\n") &&
                message.contains(reason) &&
                message.endsWith("\n\nDer Text im Editor bleibt unverändert."))
        << message.toStdString();
    EXPECT_EQ(form.TextBox1->Text(), "eins\r\nzwei\r\ndrei");
    EXPECT_TRUE(form.lblstatus->text().contains("unverändert"));
    EXPECT_FALSE(temporaryFileLeft());
}

const QByteArray threeMegabytes(3 * 1024 * 1024, 'x');

INSTANTIATE_TEST_SUITE_P(
    Answers, TranslateFailure,
    ::testing::Values(std::tuple{CannedAnswer{.status = 500,
                                              .reason = "Internal Server Error",
                                              .body = "<span id=result_box>'x'</span>"},
                                 "Fehler 500 (Internal Server Error)"},
                      std::tuple{CannedAnswer{.body = "<p>'x'</p>"}, "kein Element"},
                      std::tuple{stalled, "nicht innerhalb von 0.5 Sekunden"},
                      // Bytes keep coming, so a limit on silence alone would wait forever.
                      std::tuple{CannedAnswer{.body = QByteArray(1000, 'x'), .mode = Mode::Trickle},
                                 "nicht innerhalb von 0.5 Sekunden"},
                      std::tuple{CannedAnswer{.body = threeMegabytes}, "größer als 2048 KB"},
                      std::tuple{CannedAnswer{.body = threeMegabytes, .mode = Mode::UntilClose},
                                 "größer als 2048 KB"}));

TEST_F(Translate, AnUnwritableTemporaryFileOrAnUnreachablePageKeepsTheText)
{
    ASSERT_TRUE(QDir(m_programFolder).mkdir("kelo.tmp"));
    Form1 &form = translate("a\r\nb");
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_TRUE(m_messages.texts()[1].contains("kelo.tmp")) << m_messages.texts()[1].toStdString();
    EXPECT_TRUE(m_server.requests().isEmpty()); // stopped before any request

    ASSERT_TRUE(QDir(m_programFolder).rmdir("kelo.tmp"));
    m_server.close();
    form.cmd_DE2EN->click(); // not asked again
    ASSERT_EQ(m_messages.shown().size(), 3);
    EXPECT_TRUE(m_messages.texts()[2].contains("Zeile 1 von 2") &&
                m_messages.texts()[2].contains("abgelehnt"))
        << m_messages.texts()[2].toStdString();
    EXPECT_EQ(form.TextBox1->Text(), "a\r\nb");
}

// Cancelling in the progress box, or closing the window (true), while line 2 is out.
class TranslateStop : public Translate, public ::testing::WithParamInterface<bool> {};

TEST_P(TranslateStop, KeepsTheTextAndTheWindowAndSendsNoMore)
{
    QString shown; // the progress box's line and button while line 2 is out
    m_server.setHandler([&](const RecordedRequest &request) {
        if (m_server.requests().size() < 2)
            return TestHttpServer::upperCaseEcho(request);
        QTimer::singleShot(0, m_window.get(), [&] {
            auto *progress = m_window->findChild<QProgressDialog *>();
            auto *cancel = progress->findChild<QPushButton *>();
            if (QTest::qWaitFor([&] { return progress->labelText().startsWith(u"Zeile 2"); }))
                shown = progress->labelText() + u'/' + cancel->text();
            if (GetParam())
                m_window->close();
            else
                QTest::mouseClick(cancel, Qt::LeftButton);
        });
        return stalled;
    });
    Form1 &form = translate("eins\r\nzwei\r\ndrei", 60s);
    EXPECT_EQ(shown, "Zeile 2 von 3/Abbrechen");
    EXPECT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_messages.shown().size(), 1); // the question only
    EXPECT_EQ(form.TextBox1->Text(), "eins\r\nzwei\r\ndrei");
    EXPECT_TRUE(form.lblstatus->text().startsWith("Übersetzung abgebrochen"));
    EXPECT_FALSE(temporaryFileLeft());
    EXPECT_FALSE(form.findChild<QProgressDialog *>());
    EXPECT_TRUE(form.isVisible());
}

INSTANTIATE_TEST_SUITE_P(CancelOrClose, TranslateStop, ::testing::Bool());

} // namespace
} // namespace kelo::test
