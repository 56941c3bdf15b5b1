// The translation by page beside a stand-in window: the question, the requests line by line,
// and the old text kept after every failure, a cancel or a close.
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "services/testhttpserver.h"
#include "services/translation.h"
#include "services/translationrequest.h"
#include "support/fakeport.h"
#include "support/testenv.h"

#include <QDir>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>

namespace kelo::test {
namespace {

using namespace std::chrono_literals;
using Mode = CannedAnswer::Mode;

const QString question = QStringLiteral("Sie benötigen für diese Funktion eine Internet "
                                        "Verbindung ! Soll dieser Text übersetzt werden ?");

const CannedAnswer stalled{.body = "<span id=result_box>'x'</span>", .mode = Mode::Stall};

class Translate : public PortTest {
protected:
    void startWith(const QString &text, std::chrono::milliseconds timeLimit = 500ms)
    {
        EXPECT_TRUE(m_server.listen());
        m_port.settings().write(key::translationPage, m_server.url());
        m_port.show();
        m_translation.setTimeLimit(timeLimit);
        editor().setText(text);
    }
    // The same, and the text goes to English with the question answered Yes.
    void translate(const QString &text, std::chrono::milliseconds timeLimit = 500ms)
    {
        startWith(text, timeLimit);
        m_messages.queueAnswer(MsgAnswer::Yes);
        m_translation.cmd_DE2EN_Click();
    }
    bool temporaryFileLeft() const
    {
        return !QDir(m_programFolder).entryList(QDir::Files | QDir::Hidden).isEmpty();
    }

    Translation m_translation{m_port};
    TestHttpServer m_server;
};

TEST_F(Translate, NoChangesNothingYesTranslatesLineByLineAndIsNotAskedAgain)
{
    startWith("Hallo Welt\r\nzweite Zeile");
    editor().setSelStart(5);
    m_translation.cmd_DE2EN_Click();
    EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNo);
    EXPECT_TRUE(m_server.requests().isEmpty());
    EXPECT_EQ(editor().Text(), "Hallo Welt\r\nzweite Zeile");

    m_messages.queueAnswer(MsgAnswer::Yes);
    m_translation.cmd_DE2EN_Click();
    const QString asked =
        question + "\n\nDer Text geht an die Übersetzungsseite (" + m_server.url() + ").";
    EXPECT_EQ(m_messages.texts(), QStringList({asked, asked}));
    EXPECT_EQ(editor().Text(), "HALLO WELT\r\nZWEITE ZEILE\r\n");
    EXPECT_EQ(m_port.refreshes, 1);
    EXPECT_EQ(m_port.statusLine, "temporäre Datei wurde gelöscht");
    EXPECT_FALSE(temporaryFileLeft());
    ASSERT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_server.requests()[0].requestLine,
              "POST /translate_t?text='Hallo%20Welt'&langpair=de%7Cen&hl=en HTTP/1.1");
    EXPECT_EQ(m_server.requests()[0].header("Content-Type"), "text/xml");
    EXPECT_TRUE(m_server.requests()[0].body.isEmpty());
    editor().undo(); // the whole translation is one undo step
    EXPECT_EQ(editor().Text(), "Hallo Welt\r\nzweite Zeile");

    m_translation.cmd_EN2DE_Click();
    EXPECT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_server.requests().last().query("langpair"), "en|de");
    EXPECT_EQ(m_server.requests().last().query("hl"), "de");
    EXPECT_EQ(m_port.storedSetting(key::translationPage), m_server.url()); // read, never written

    // One request per line of the temporary file: the text, the "text" of every request in
    // order, the new text. The last page is UTF-8 declared only in the HTTP header.
    const std::tuple<QString, QStringList, QString> cases[] = {
        {"", {"''"}, "\r\n"},
        {"a\r\n", {"'a'"}, "A\r\n"},
        {"a\r\n\r\nb", {"'a'", "''", "'b'"}, "A\r\n\r\nB\r\n"},
        {"it's a & langpair=en|de # 50% + ü", {"'it's a & langpair=en|de # 50% + ü'"},
         "IT'S A & LANGPAIR=EN|DE # 50% + Ü\r\n"}};
    for (const auto &[text, sent, result] : cases) {
        const qsizetype before = m_server.requests().size();
        editor().setText(text);
        m_translation.cmd_DE2EN_Click();
        QStringList texts;
        for (const RecordedRequest &request : m_server.requests().mid(before))
            texts << request.query("text");
        EXPECT_EQ(texts, sent) << text.toStdString();
        EXPECT_EQ(editor().Text(), result);
    }
}

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
    translate("eins\r\nzwei\r\ndrei");
    EXPECT_EQ(m_server.requests().size(), 2);
    ASSERT_EQ(m_messages.shown().size(), 2);
    const QString message = m_messages.shown()[1].text;
    EXPECT_TRUE(message.startsWith("Die Übersetzung ist in Zeile 2 von 3 fehlgeschlagen:\n") &&
                message.contains(reason) &&
                message.endsWith("\n\nDer Text im Editor bleibt unverändert."))
        << message.toStdString();
    EXPECT_EQ(editor().Text(), "eins\r\nzwei\r\ndrei");
    EXPECT_TRUE(m_port.statusLine.contains("unverändert"));
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
    translate("a\r\nb");
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_TRUE(m_messages.texts()[1].contains("kelo.tmp")) << m_messages.texts()[1].toStdString();
    EXPECT_TRUE(m_server.requests().isEmpty()); // stopped before any request

    ASSERT_TRUE(QDir(m_programFolder).rmdir("kelo.tmp"));
    m_server.close();
    m_translation.cmd_DE2EN_Click(); // not asked again
    ASSERT_EQ(m_messages.shown().size(), 3);
    EXPECT_TRUE(m_messages.texts()[2].contains("Zeile 1 von 2") &&
                m_messages.texts()[2].contains("abgelehnt"))
        << m_messages.texts()[2].toStdString();
    EXPECT_EQ(editor().Text(), "a\r\nb");
}

TEST_F(Translate, ATranslationWithoutTheMemoryToGoInKeepsTheText)
{
    startWith("a\r\nb");
    editor().setRoomCheck([](std::initializer_list<qsizetype>) { return false; });
    m_messages.queueAnswer(MsgAnswer::Yes);
    m_translation.cmd_DE2EN_Click();
    EXPECT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_messages.texts().value(1), "Für den neuen Text ist nicht genug Arbeitsspeicher "
                                           "frei.\n\nDer Text im Editor bleibt unverändert.");
    EXPECT_EQ(m_port.statusLine,
              "Übersetzung fehlgeschlagen: Der Text im Editor bleibt unverändert.");
    EXPECT_EQ(editor().Text(), "a\r\nb");
    EXPECT_FALSE(temporaryFileLeft());
}

// Cancelling in the progress box, or the window asking whether it may close (true), while
// line 2 is out.
class TranslateStop : public Translate, public ::testing::WithParamInterface<bool> {};

TEST_P(TranslateStop, KeepsTheTextAndTheWindowAndSendsNoMore)
{
    QString shown; // the progress box's line and button while line 2 is out
    std::optional<bool> mayClose;
    m_server.setHandler([&](const RecordedRequest &request) {
        if (m_server.requests().size() < 2)
            return TestHttpServer::upperCaseEcho(request);
        QTimer::singleShot(0, &m_port.window(), [&] {
            auto *progress = m_port.window().findChild<QProgressDialog *>();
            auto *cancel = progress->findChild<QPushButton *>();
            if (QTest::qWaitFor([&] { return progress->labelText().startsWith(u"Zeile 2"); }))
                shown = progress->labelText() + u'/' + cancel->text();
            if (GetParam())
                mayClose = m_translation.mayClose();
            else
                QTest::mouseClick(cancel, Qt::LeftButton);
        });
        return stalled;
    });
    translate("eins\r\nzwei\r\ndrei", 60s);
    EXPECT_EQ(shown, "Zeile 2 von 3/Abbrechen");
    EXPECT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_messages.shown().size(), 1); // the question only
    EXPECT_EQ(editor().Text(), "eins\r\nzwei\r\ndrei");
    EXPECT_TRUE(m_port.statusLine.startsWith("Übersetzung abgebrochen"));
    EXPECT_FALSE(temporaryFileLeft());
    EXPECT_FALSE(m_port.window().findChild<QProgressDialog *>());
    // The window stays: a close is refused, and nothing ends the program.
    EXPECT_EQ(mayClose, GetParam() ? std::optional(false) : std::nullopt);
    EXPECT_EQ(m_port.exits, 0);
    // Once stopped, the run no longer keeps the window.
    EXPECT_TRUE(m_translation.mayClose());
}

INSTANTIATE_TEST_SUITE_P(CancelOrClose, TranslateStop, ::testing::Bool());

} // namespace
} // namespace kelo::test
