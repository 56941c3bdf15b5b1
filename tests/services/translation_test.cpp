// The translation beside a stand-in window, against local imitations of the classic page,
// LibreTranslate and DeepL: the question, the requests, one message naming the lines and the
// reason, the old text kept after every failure, a cancel or a close, and keys kept secret.
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "services/servicekeys.h"
#include "services/testhttpserver.h"
#include "services/translation.h"
#include "services/translationdialog.h"
#include "support/fakeport.h"
#include "support/fakeservices.h"
#include "support/testenv.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace kelo::test {
namespace {

using namespace std::chrono_literals;
using Service = TranslationService;
using Mode = CannedAnswer::Mode;

const QString question = QStringLiteral("Sie benötigen für diese Funktion eine Internet "
                                        "Verbindung ! Soll dieser Text übersetzt werden ?");
const QString kept = QStringLiteral("Der Text im Editor bleibt unverändert.");
const CannedAnswer stalled{.body = "<span id=result_box>'x'</span>", .mode = Mode::Stall};

// A text of n lines "Zeile i".
QString numberedLines(int n)
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << QStringLiteral("Zeile %1").arg(i);
    return lines.join(QStringLiteral("\r\n"));
}

// A request's JSON in the form compared here: compact, the members in order.
QByteArray jsonOf(const RecordedRequest &request)
{
    return QJsonDocument(request.json()).toJson(QJsonDocument::Compact);
}

TestHttpServer::Handler echoOf(Service service)
{
    if (service == Service::Page)
        return TestHttpServer::upperCaseEcho;
    return service == Service::DeepL ? TestHttpServer::deepLEcho
                                     : TestHttpServer::libreTranslateEcho;
}

class Translate : public PortTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.listen());
        m_port.show();
        m_translation.setTimeLimit(500ms);
        choose(Service::Page);
    }
    // The service at the local imitation, unless an address is given.
    void choose(Service service, const QString &key = {}, std::optional<QString> address = {})
    {
        m_port.settings().write(key::translationService, settingOf(service));
        m_port.settings().write(
            key::translationPage,
            address.value_or(service == Service::Page ? m_server.url() : m_server.url({})));
        if (!key.isEmpty())
            m_secrets.secrets.insert(ServiceKeys::entryName(service), key);
        m_server.setHandler(echoOf(service));
    }
    // Sets the text and clicks a flag, the question answered with Yes.
    void translate(const QString &text, bool toEnglish = true)
    {
        editor().setText(text);
        m_messages.queueAnswer(MsgAnswer::Yes);
        if (toEnglish)
            m_translation.cmd_DE2EN_Click();
        else
            m_translation.cmd_EN2DE_Click();
    }
    bool temporaryFileLeft() const
    {
        return !QDir(m_programFolder).entryList(QDir::Files | QDir::Hidden).isEmpty();
    }

    MemorySecretStore m_secrets;
    TestHttpServer m_server;
    Translation m_translation{m_port, nullptr, &m_secrets};
};

// The page: No sends nothing; Yes sends every line of the temporary file on its own, in the
// query, and is not asked again; the new text is one undo step.
TEST_F(Translate, ThePageGetsEveryLineOnItsOwnAfterAYes)
{
    editor().setText("Hallo Welt\r\nzweite Zeile");
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
    editor().undo();
    EXPECT_EQ(editor().Text(), "Hallo Welt\r\nzweite Zeile");

    m_translation.cmd_EN2DE_Click();
    EXPECT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_server.requests().last().query("langpair"), "en|de");
    EXPECT_EQ(m_server.requests().last().query("hl"), "de");
    EXPECT_EQ(m_port.storedSetting(key::translationPage), m_server.url()); // read, never written

    // The text, the "text" of every request in order, the new text. The page is UTF-8
    // declared only in the HTTP header.
    const std::tuple<QString, QStringList, QString> cases[] = {
        {"", {"''"}, "\r\n"},
        {"a\r\n", {"'a'"}, "A\r\n"},
        {"a\r\n\r\nb", {"'a'", "''", "'b'"}, "A\r\n\r\nB\r\n"},
        {"it's a & langpair=en|de # 50% + ü",
         {"'it's a & langpair=en|de # 50% + ü'"},
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

// LibreTranslate and DeepL get the lines with words as their JSON, the key where each wants it,
// and every line keeps its indentation and its own break; a new destination is asked about.
TEST_F(Translate, EachServiceGetsTheLinesAsItsJsonAndIsAskedAboutOnce)
{
    choose(Service::LibreTranslate);
    translate("Guten Tag\r\n\r\n    Wie geht's? \"Gut\" – danke\r\n");
    ASSERT_EQ(m_server.requests().size(), 1) << m_messages.texts().join('\n').toStdString();
    const RecordedRequest &libre = m_server.requests()[0];
    EXPECT_EQ(libre.requestLine, "POST /translate HTTP/1.1");
    EXPECT_EQ(libre.header("Content-Type"), "application/json");
    EXPECT_EQ(libre.header("User-Agent"), "Kelo-the-Scriv/" KELO_TEST_VERSION);
    EXPECT_EQ(jsonOf(libre), R"({"format":"text","q":["Guten Tag","Wie geht's? \"Gut\" – danke"],)"
                             R"("source":"de","target":"en"})");
    EXPECT_EQ(editor().Text(), "GUTEN TAG\r\n\r\n    WIE GEHT'S? \"GUT\" – DANKE\r\n");
    EXPECT_EQ(m_port.refreshes, 1);
    EXPECT_EQ(m_port.statusLine, "Übersetzung über LibreTranslate fertig: 3 Zeilen.");
    EXPECT_EQ(m_messages.texts(), QStringList{question + "\n\nDer Text geht an LibreTranslate (" +
                                              m_server.url({}) + ")."});
    editor().undo();
    EXPECT_EQ(editor().Text(), "Guten Tag\r\n\r\n    Wie geht's? \"Gut\" – danke\r\n");

    // With a key, the other way, and not asked again.
    m_secrets.secrets.insert(ServiceKeys::entryName(Service::LibreTranslate), "lt-key-1");
    translate("Good morning", false);
    ASSERT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(
        jsonOf(m_server.requests()[1]),
        R"({"api_key":"lt-key-1","format":"text","q":["Good morning"],"source":"en","target":"de"})");
    EXPECT_EQ(editor().Text(), "GOOD MORNING");
    EXPECT_EQ(m_messages.shown().size(), 1);

    // Another address, then another service: each asked about once.
    TestHttpServer other;
    ASSERT_TRUE(other.listen());
    choose(Service::LibreTranslate, {}, other.url({}));
    other.setHandler(TestHttpServer::libreTranslateEcho);
    translate("Hallo");
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_TRUE(m_messages.texts()[1].endsWith("LibreTranslate (" + other.url({}) + ")."));
    EXPECT_EQ(other.requests().size(), 1);

    // DeepL takes the key in a header, never in the body.
    choose(Service::DeepL, "0a1b2c3d-aaaa:fx");
    translate("eins\nzwei\r\rdrei\n");
    ASSERT_EQ(m_messages.shown().size(), 3);
    EXPECT_TRUE(m_messages.texts()[2].endsWith("DeepL (" + m_server.url({}) + ")."));
    ASSERT_EQ(m_server.requests().size(), 3);
    const RecordedRequest &deepL = m_server.requests()[2];
    EXPECT_EQ(deepL.requestLine, "POST /v2/translate HTTP/1.1");
    EXPECT_EQ(deepL.header("Authorization"), "DeepL-Auth-Key 0a1b2c3d-aaaa:fx");
    EXPECT_EQ(jsonOf(deepL),
              R"({"source_lang":"DE","target_lang":"EN-GB","text":["eins","zwei","drei"]})");
    EXPECT_FALSE(deepL.body.contains("0a1b2c3d"));
    EXPECT_EQ(editor().Text(), "EINS\nZWEI\r\rDREI\n");
    translate("one", false);
    EXPECT_EQ(jsonOf(m_server.requests()[3]),
              R"({"source_lang":"EN","target_lang":"DE","text":["one"]})");
}

// The service, the answer to its second request, and a part of the German reason. The 120
// lines go to the page one at a time and to the services 50 at a time.
struct Failure {
    Service service;
    CannedAnswer answer;
    QString reason;
};
class TranslateFailure : public Translate, public ::testing::WithParamInterface<Failure> {};

TEST_P(TranslateFailure, OneMessageNamesTheLinesAndTheReasonAndTheTextStays)
{
    const auto &[service, answer, reason] = GetParam();
    choose(service, "geheim-0815:fx");
    m_server.setHandler([&, echo = echoOf(service)](const RecordedRequest &request) {
        return m_server.requests().size() == 2 ? answer : echo(request);
    });
    translate(numberedLines(120));
    EXPECT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(editor().Text(), numberedLines(120));
    EXPECT_EQ(m_port.refreshes, 0);
    ASSERT_EQ(m_messages.shown().size(), 2);
    const QString message = m_messages.shown()[1].text;
    const QString where = service == Service::Page ? QString("ist in Zeile 2 von 120")
                                                   : "über " + displayName(service) +
                                                         " ist bei den Zeilen 51 bis 100 von 120";
    EXPECT_TRUE(message.startsWith("Die Übersetzung " + where + " fehlgeschlagen:\n") &&
                message.contains(reason) && message.endsWith("\n\n" + kept))
        << message.toStdString();
    EXPECT_EQ(m_messages.shown()[1].icon, MsgIcon::Critical);
    EXPECT_FALSE(message.contains("geheim")) << message.toStdString();
    EXPECT_EQ(m_port.statusLine, "Übersetzung fehlgeschlagen: " + kept);
    EXPECT_FALSE(temporaryFileLeft());
}

const QByteArray threeMegabytes(3 * 1024 * 1024, 'x');

CannedAnswer json(int status, const QByteArray &body)
{
    return TestHttpServer::jsonAnswer(status, body);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TranslateFailure,
    ::testing::Values(
        Failure{Service::Page,
                {.status = 500, .reason = "Internal Server Error", .body = stalled.body},
                "Fehler 500 (Internal Server Error)"},
        Failure{Service::Page, {.body = "<p>'x'</p>"}, "kein Element"},
        Failure{Service::Page, stalled, "nicht innerhalb von 0.5 Sekunden"},
        // Bytes keep coming, so a limit on silence alone would wait forever.
        Failure{Service::Page,
                {.body = QByteArray(1000, 'x'), .mode = Mode::Trickle},
                "nicht innerhalb von 0.5 Sekunden"},
        Failure{Service::Page, {.body = threeMegabytes}, "größer als 2048 KB"},
        Failure{Service::Page,
                {.body = threeMegabytes, .mode = Mode::UntilClose},
                "größer als 2048 KB"},
        // A server that repeats the key in its message or its reason phrase.
        Failure{Service::LibreTranslate, json(400, R"({"error":"geheim-0815:fx is not a key"})"),
                "hat die Anfrage als fehlerhaft abgelehnt (HTTP 400).\nMeldung des Dienstes: "
                "\"… is not a key\""},
        Failure{Service::DeepL,
                {.status = 502, .reason = "Bad geheim-0815:fx Gateway"},
                "DeepL meldet einen Fehler (HTTP 502 Bad … Gateway)"},
        Failure{Service::LibreTranslate, json(200, R"({"translatedText":["A","B"]})"),
                "Der Dienst gab 2 Übersetzungen für 50 gesendete Zeilen zurück."},
        // To the same server, which would answer.
        Failure{Service::LibreTranslate,
                {.status = 307,
                 .reason = "Temporary Redirect",
                 .extraHeaders = "Location: /translate\r\n"},
                "Kelo folgt dem nicht"},
        Failure{Service::DeepL, stalled, "nicht innerhalb von 0.5 Sekunden"}));

// Cancelling in the progress box while the second request is out (for the page line 2, for
// DeepL lines 51 to 100) keeps the text, sends no more and no longer keeps the window open.
class TranslateCancel : public Translate, public ::testing::WithParamInterface<Service> {};

TEST_P(TranslateCancel, KeepsTheTextAndSendsNoMore)
{
    choose(GetParam(), "k:fx");
    m_translation.setTimeLimit(60s);
    const QString line = GetParam() == Service::Page ? "Zeile 2 von 150" : "Zeile 100 von 150";
    QString shown; // the progress box's line and button while the second request is out
    m_server.setHandler([&, echo = echoOf(GetParam())](const RecordedRequest &request) {
        if (m_server.requests().size() < 2)
            return echo(request);
        QTimer::singleShot(0, &m_port.window(), [&] {
            auto *progress = m_port.window().findChild<QProgressDialog *>();
            auto *cancel = progress->findChild<QPushButton *>();
            if (QTest::qWaitFor([&] { return progress->labelText() == line; }))
                shown = progress->labelText() + u'/' + cancel->text();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        return stalled;
    });
    translate(numberedLines(150));
    EXPECT_EQ(shown, line + "/Abbrechen");
    EXPECT_EQ(m_server.requests().size(), 2);
    EXPECT_EQ(m_messages.shown().size(), 1); // the question only
    EXPECT_EQ(editor().Text(), numberedLines(150));
    EXPECT_EQ(m_port.statusLine, "Übersetzung abgebrochen: " + kept);
    EXPECT_FALSE(temporaryFileLeft());
    EXPECT_FALSE(m_port.window().findChild<QProgressDialog *>());
    EXPECT_TRUE(m_translation.mayClose());
}

INSTANTIATE_TEST_SUITE_P(PageAndService, TranslateCancel,
                         ::testing::Values(Service::Page, Service::DeepL));

// What cannot go out is named before anything is asked or sent: each stops at its own step.
TEST_F(Translate, WhatCannotGoOutIsNamedBeforeAnythingIsSentOrAsked)
{
    // service, setting of the address (none: the imitation's), key, a part of the message
    const std::tuple<Service, std::optional<QString>, QString, QString> cases[] = {
        {Service::DeepL, {}, "", "Für DeepL ist ein API-Schlüssel nötig"},
        {Service::DeepL, {}, "zwei teile", "enthält Zeichen, die in keinem Schlüssel"},
        {Service::LibreTranslate, "", "", "Für LibreTranslate fehlt die Adresse des Servers"},
        {Service::LibreTranslate, "localhost:5000", "", "keine http- oder https-Adresse"},
        {Service::LibreTranslate,
         {},
         "",
         "Zeile 2 ist zu lang für eine Anfrage an LibreTranslate (höchstens 100 KB)"},
    };
    for (const auto &[service, address, key, message] : cases) {
        m_secrets.secrets.clear();
        m_messages.clear();
        choose(service, key, address);
        editor().setText("kurz\r\n" + QString(101 * 1024, 'x'));
        m_translation.cmd_DE2EN_Click();
        ASSERT_EQ(m_messages.shown().size(), 1) << message.toStdString();
        EXPECT_TRUE(m_messages.texts()[0].contains(message)) << m_messages.texts()[0].toStdString();
        EXPECT_TRUE(m_messages.texts()[0].endsWith(kept));
        EXPECT_TRUE(m_server.requests().isEmpty());
    }

    // A text without words asks nothing and sends nothing.
    m_messages.clear();
    choose(Service::LibreTranslate);
    editor().setText("  \r\n\r\n");
    m_translation.cmd_DE2EN_Click();
    EXPECT_TRUE(m_messages.shown().isEmpty());
    EXPECT_EQ(m_port.statusLine, "Der Text enthält nichts zu übersetzen.");
}

// The page's temporary file cannot be written, the page cannot be reached, the new text finds
// no memory: the old text stays, and the temporary file goes.
TEST_F(Translate, AnUnwritableTemporaryFileAnUnreachablePageOrNoMemoryKeepTheText)
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

    ASSERT_TRUE(m_server.listen());
    editor().setRoomCheck([](std::initializer_list<qsizetype>) { return false; });
    for (const Service service : {Service::Page, Service::LibreTranslate}) {
        m_messages.clear();
        choose(service);
        m_messages.queueAnswer(MsgAnswer::Yes);
        m_translation.cmd_DE2EN_Click();
        EXPECT_EQ(m_messages.texts().value(1),
                  "Für den neuen Text ist nicht genug Arbeitsspeicher frei.\n\n" + kept);
        EXPECT_EQ(m_port.statusLine, "Übersetzung fehlgeschlagen: " + kept);
        EXPECT_EQ(editor().Text(), "a\r\nb");
    }
    EXPECT_FALSE(temporaryFileLeft());
}

// The dialog shows the stored choice with each service's own key, hidden, and takes no choice
// that could not work. What it takes goes into the settings, the keys that changed into the
// keyring or, without one, into this run only; never into the settings, a message or the status.
TEST_F(Translate, TheDialogsChoiceIsStoredAndItsKeysKeptInTheKeyringOrForThisRun)
{
    choose(Service::LibreTranslate, "lt", "http://localhost:5000");
    m_secrets.secrets.insert(ServiceKeys::entryName(Service::DeepL), "dl:fx");
    const auto take = [](TranslationServiceDialog &dialog) {
        for (QAbstractButton *button : dialog.findChild<QDialogButtonBox *>()->buttons()) {
            if (button->text() == "Übernehmen")
                button->click();
        }
        return !dialog.isVisible();
    };
    const auto inDialog = [&](const std::function<void(TranslationServiceDialog &)> &use) {
        QTimer::singleShot(0, &m_port.window(), [&] {
            auto *dialog = m_port.window().findChild<TranslationServiceDialog *>();
            ASSERT_TRUE(dialog);
            use(*dialog);
            if (dialog->isVisible()) // refused: no hang
                dialog->reject();
        });
        m_translation.chooseService();
    };
    inDialog([&](TranslationServiceDialog &dialog) {
        EXPECT_EQ(dialog.serviceBox->currentText(), "LibreTranslate");
        EXPECT_EQ(dialog.addressEdit->text(), "http://localhost:5000");
        EXPECT_EQ(dialog.keyEdit->text(), "lt");
        EXPECT_EQ(dialog.keyEdit->echoMode(), QLineEdit::Password);
        dialog.keyEdit->setText("  lt-neu ");
        dialog.serviceBox->setCurrentIndex(int(Service::DeepL));
        EXPECT_EQ(dialog.keyEdit->text(), "dl:fx");
        dialog.serviceBox->setCurrentIndex(int(Service::Page));
        EXPECT_FALSE(dialog.keyEdit->isEnabled());
        dialog.serviceBox->setCurrentIndex(int(Service::DeepL));
        dialog.addressEdit->setText(m_server.url({}));
        dialog.keyEdit->clear();
        EXPECT_FALSE(take(dialog));
        EXPECT_TRUE(dialog.problemLabel->text().contains("API-Schlüssel nötig"));
        dialog.keyEdit->setText("erster-schluessel:fx");
        EXPECT_TRUE(take(dialog));
    });
    EXPECT_EQ(m_secrets.secrets.value(ServiceKeys::entryName(Service::LibreTranslate)), "lt-neu");
    EXPECT_EQ(m_secrets.secrets.value(ServiceKeys::entryName(Service::DeepL)),
              "erster-schluessel:fx");
    EXPECT_TRUE(m_messages.shown().isEmpty());
    EXPECT_EQ(m_port.storedSetting(key::translationService), "DeepL");
    EXPECT_EQ(m_port.storedSetting(key::translationPage), m_server.url({}));
    EXPECT_EQ(m_port.statusLine, "Übersetzungen gehen jetzt an DeepL (" + m_server.url({}) + ").");

    // No keyring: said so, and the key is used for the rest of the run.
    m_secrets.available = false;
    inDialog([&](TranslationServiceDialog &dialog) {
        dialog.keyEdit->setText("zweiter-schluessel:fx");
        take(dialog);
    });
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_TRUE(m_messages.texts()[0].contains("nicht erreichbar") &&
                m_messages.texts()[0].contains("gilt deshalb nur, bis Kelo beendet wird"))
        << m_messages.texts()[0].toStdString();
    EXPECT_FALSE(m_messages.texts()[0].contains("schluessel:fx"));
    m_server.setHandler(TestHttpServer::deepLEcho);
    translate("Hallo");
    ASSERT_EQ(m_server.requests().size(), 1);
    EXPECT_EQ(m_server.requests()[0].header("Authorization"),
              "DeepL-Auth-Key zweiter-schluessel:fx");
    EXPECT_EQ(editor().Text(), "HALLO");
    const QByteArray settingsFile = readBytes(m_port.settingsFile());
    EXPECT_TRUE(settingsFile.contains("Uebersetzungsdienst=DeepL"));
    EXPECT_FALSE(settingsFile.contains("schluessel")) << settingsFile.toStdString();
    EXPECT_FALSE(m_port.statusLine.contains("schluessel"));
}

} // namespace
} // namespace kelo::test
