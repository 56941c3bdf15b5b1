// Translation through LibreTranslate and DeepL against local imitations: the requests, the
// old text kept after a failure or cancel, and keys kept out of settings and messages.
#include "platform/settingsstore.h"
#include "services/servicekeys.h"
#include "services/testhttpserver.h"
#include "services/translation.h"
#include "services/translationdialog.h"
#include "support/fakeport.h"
#include "support/fakeservices.h"
#include "support/testenv.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using namespace std::chrono_literals;
using Service = TranslationService;
using Mode = CannedAnswer::Mode;

const QString consent = QStringLiteral("Sie benötigen für diese Funktion eine Internet "
                                       "Verbindung ! Soll dieser Text übersetzt werden ?");

// A text of n lines "Zeile i".
QString numberedLines(int n, const QString &lineBreak = QStringLiteral("\r\n"))
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << QStringLiteral("Zeile %1").arg(i);
    return lines.join(lineBreak);
}

class WebTranslation : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    Translation &translation()
    {
        if (!m_translation) {
            m_translation = std::make_unique<Translation>(port, nullptr, &secrets);
            m_translation->setTimeLimit(2s);
        }
        return *m_translation;
    }
    // The service, at the local imitation unless an address is given.
    void choose(Service service, const QString &key = {}, std::optional<QString> address = {})
    {
        port.settings().write(key::translationService, settingOf(service));
        port.settings().write(key::translationPage, address.value_or(server.url(QString())));
        if (!key.isEmpty())
            secrets.secrets.insert(ServiceKeys::entryName(service), key);
        server.setHandler(service == Service::DeepL ? TestHttpServer::deepLEcho
                                                    : TestHttpServer::libreTranslateEcho);
    }
    // Sets the text and clicks a flag, answering the question with Yes.
    void translate(const QString &text, bool toEnglish = true)
    {
        port.editor().setText(text);
        port.boxes.queueAnswer(MsgAnswer::Yes);
        if (toEnglish)
            translation().cmd_DE2EN_Click();
        else
            translation().cmd_EN2DE_Click();
    }
    QString text() const { return const_cast<FakePort &>(port).editor().Text(); }

    FakePort port;
    MemorySecretStore secrets;
    TestHttpServer server;
    std::unique_ptr<Translation> m_translation;
};

TEST_F(WebTranslation, EachServiceGetsTheLinesAsItsJsonAndIsAskedAboutOnce)
{
    choose(Service::LibreTranslate);
    translate("Guten Tag\r\n\r\n    Wie geht's? \"Gut\" – danke\r\n");
    ASSERT_EQ(server.requests().size(), 1) << port.boxes.texts().join('\n').toStdString();
    EXPECT_EQ(server.requests()[0].requestLine, "POST /translate HTTP/1.1");
    EXPECT_EQ(server.requests()[0].header("Content-Type"), "application/json");
    EXPECT_EQ(server.requests()[0].header("User-Agent"), "Kelo-the-Scriv/" KELO_TEST_VERSION);
    EXPECT_EQ(server.requests()[0].json(),
              (QJsonObject{{"q", QJsonArray{"Guten Tag", "Wie geht's? \"Gut\" – danke"}},
                           {"source", "de"},
                           {"target", "en"},
                           {"format", "text"}}));
    EXPECT_EQ(text(), "GUTEN TAG\r\n\r\n    WIE GEHT'S? \"GUT\" – DANKE\r\n");
    EXPECT_EQ(port.refreshes, 1);
    EXPECT_EQ(port.statusLine, "Übersetzung über LibreTranslate fertig: 3 Zeilen.");
    EXPECT_EQ(port.boxes.texts(), QStringList{consent + "\n\nDer Text geht an LibreTranslate (" +
                                              server.url(QString()) + ")."});
    port.editor().undo(); // one undo step
    EXPECT_EQ(text(), "Guten Tag\r\n\r\n    Wie geht's? \"Gut\" – danke\r\n");

    // With a key, the other way, and not asked again.
    secrets.secrets.insert(ServiceKeys::entryName(Service::LibreTranslate), "lt-key-1");
    translate("Good morning", false);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[1].json(), (QJsonObject{{"q", QJsonArray{"Good morning"}},
                                                        {"source", "en"},
                                                        {"target", "de"},
                                                        {"format", "text"},
                                                        {"api_key", "lt-key-1"}}));
    EXPECT_EQ(text(), "GOOD MORNING");
    EXPECT_EQ(port.boxes.shown().size(), 1);

    // Another address, then another service: each asked about once.
    TestHttpServer other;
    ASSERT_TRUE(other.listen());
    other.setHandler(TestHttpServer::libreTranslateEcho);
    port.settings().write(key::translationPage, other.url(QString()));
    translate("Hallo");
    ASSERT_EQ(port.boxes.shown().size(), 2);
    EXPECT_TRUE(port.boxes.texts()[1].endsWith("LibreTranslate (" + other.url(QString()) + ")."));
    EXPECT_EQ(other.requests().size(), 1);

    // DeepL takes the key in a header, and every kind of line break stays.
    choose(Service::DeepL, "0a1b2c3d-aaaa:fx");
    translate("eins\nzwei\r\rdrei\n");
    ASSERT_EQ(port.boxes.shown().size(), 3);
    EXPECT_TRUE(port.boxes.texts()[2].endsWith("DeepL (" + server.url(QString()) + ")."));
    ASSERT_EQ(server.requests().size(), 3);
    EXPECT_EQ(server.requests()[2].requestLine, "POST /v2/translate HTTP/1.1");
    EXPECT_EQ(server.requests()[2].header("Authorization"), "DeepL-Auth-Key 0a1b2c3d-aaaa:fx");
    EXPECT_EQ(server.requests()[2].json(),
              (QJsonObject{{"text", QJsonArray{"eins", "zwei", "drei"}},
                           {"source_lang", "DE"},
                           {"target_lang", "EN-GB"}}));
    EXPECT_FALSE(server.requests()[2].body.contains("0a1b2c3d"));
    EXPECT_EQ(text(), "EINS\nZWEI\r\rDREI\n");
    translate("one", false);
    EXPECT_EQ(server.requests()[3].json().value("source_lang"), "EN");
    EXPECT_EQ(server.requests()[3].json().value("target_lang"), "DE");
}

// The service, the answer to the second of three requests, a part of the reason.
using FailureCase = std::tuple<Service, CannedAnswer, QString>;
class WebTranslationFailure :
    public WebTranslation,
    public ::testing::WithParamInterface<FailureCase> {};

TEST_P(WebTranslationFailure, OneMessageNamesTheLinesAndTheReasonAndTheTextStays)
{
    const auto &[service, answer, reason] = GetParam();
    const QString key = QStringLiteral("geheim-0815:fx");
    choose(service, key);
    const auto echo =
        service == Service::DeepL ? TestHttpServer::deepLEcho : TestHttpServer::libreTranslateEcho;
    server.setHandler([&](const RecordedRequest &request) {
        return server.requests().size() == 2 ? answer : echo(request);
    });
    const QString original = numberedLines(120);
    translate(original);
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_EQ(text(), original);
    EXPECT_EQ(port.refreshes, 0);
    ASSERT_EQ(port.boxes.shown().size(), 2);
    const QString message = port.boxes.shown()[1].text;
    EXPECT_TRUE(message.startsWith("Die Übersetzung über " + displayName(service) +
                                   " ist bei den Zeilen 51 bis 100 von 120 fehlgeschlagen:\n") &&
                message.contains(reason) &&
                message.endsWith("\n\nDer Text im Editor bleibt unverändert."))
        << message.toStdString();
    EXPECT_EQ(port.boxes.shown()[1].icon, MsgIcon::Critical);
    EXPECT_FALSE(message.contains("geheim")) << message.toStdString();
    EXPECT_EQ(port.statusLine,
              "Übersetzung fehlgeschlagen: Der Text im Editor bleibt unverändert.");
}

CannedAnswer json(int status, const QByteArray &body)
{
    return TestHttpServer::jsonAnswer(status, body);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, WebTranslationFailure,
    ::testing::Values(
        FailureCase{Service::LibreTranslate, json(403, R"({"error":"Invalid API key"})"),
                    "LibreTranslate hat den Schlüssel abgelehnt (HTTP 403): er ist falsch, "
                    "abgelaufen oder fehlt.\nMeldung des Dienstes: \"Invalid API key\""},
        // A server that repeats the key in its message.
        FailureCase{Service::LibreTranslate,
                    json(400, R"({"error":"geheim-0815:fx is not a key"})"),
                    "Meldung des Dienstes: \"… is not a key\""},
        FailureCase{Service::DeepL,
                    CannedAnswer{.status = 502, .reason = "Bad geheim-0815:fx Gateway", .body = ""},
                    "DeepL meldet einen Fehler (HTTP 502 Bad … Gateway)"},
        FailureCase{Service::LibreTranslate, json(200, R"({"translatedText":["A","B"]})"),
                    "Der Dienst gab 2 Übersetzungen für 50 gesendete Zeilen zurück."},
        FailureCase{Service::LibreTranslate,
                    // To the same server, which would answer.
                    CannedAnswer{.status = 307,
                                 .reason = "Temporary Redirect",
                                 .body = "",
                                 .extraHeaders = "Location: /translate\r\n"},
                    "Kelo folgt dem nicht"},
        FailureCase{Service::DeepL,
                    CannedAnswer{.body = R"({"translations":[])", .mode = Mode::Stall},
                    "nicht innerhalb von 2 Sekunden"}));

TEST_F(WebTranslation, CancellingWhileABatchIsOutKeepsTheTextAndSendsNoMore)
{
    choose(Service::DeepL, "k:fx");
    QString shown;
    server.setHandler([&](const RecordedRequest &request) {
        if (server.requests().size() < 2)
            return TestHttpServer::deepLEcho(request);
        QTimer::singleShot(0, &port.window(), [&] {
            auto *progress = port.window().findChild<QProgressDialog *>();
            if (QTest::qWaitFor([&] { return progress->labelText().startsWith(u"Zeile 100"); }))
                shown = progress->labelText();
            QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        });
        return CannedAnswer{.body = "{", .mode = Mode::Stall};
    });
    translation().setTimeLimit(60s);
    translate(numberedLines(150));
    EXPECT_EQ(shown, "Zeile 100 von 150");
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_EQ(text(), numberedLines(150));
    EXPECT_EQ(port.boxes.shown().size(), 1); // the question only
    EXPECT_TRUE(port.statusLine.startsWith("Übersetzung abgebrochen"));
    EXPECT_FALSE(port.window().findChild<QProgressDialog *>());
}

TEST_F(WebTranslation, WhatCannotGoOutIsNamedBeforeAnythingIsSentOrAsked)
{
    // setting of the address ("-": none), key, a part of the message
    const std::tuple<Service, QString, QString, QString> cases[] = {
        {Service::DeepL, "", "", "Für DeepL ist ein API-Schlüssel nötig"},
        {Service::DeepL, "", "zwei teile", "enthält Zeichen, die in keinem Schlüssel"},
        {Service::LibreTranslate, "-", "", "Für LibreTranslate fehlt die Adresse des Servers"},
        {Service::LibreTranslate, "localhost:5000", "", "keine http- oder https-Adresse"},
        {Service::LibreTranslate, "", "",
         "Zeile 2 ist zu lang für eine Anfrage an "
         "LibreTranslate (höchstens 100 KB)"},
    };
    for (const auto &[service, address, key, message] : cases) {
        secrets.secrets.clear();
        port.boxes.clear();
        choose(service, key,
               address == "-"      ? std::optional<QString>(QString())
               : address.isEmpty() ? std::nullopt
                                   : std::optional(address));
        port.editor().setText("kurz\r\n" + QString(101 * 1024, 'x'));
        translation().cmd_DE2EN_Click();
        ASSERT_EQ(port.boxes.shown().size(), 1) << message.toStdString();
        EXPECT_TRUE(port.boxes.texts()[0].contains(message)) << port.boxes.texts()[0].toStdString();
        EXPECT_TRUE(port.boxes.texts()[0].endsWith("Der Text im Editor bleibt unverändert."));
        EXPECT_TRUE(server.requests().isEmpty());
    }

    // A text without words asks nothing and sends nothing.
    port.boxes.clear();
    choose(Service::LibreTranslate);
    port.editor().setText("  \r\n\r\n");
    translation().cmd_DE2EN_Click();
    EXPECT_TRUE(port.boxes.shown().isEmpty());
    EXPECT_EQ(port.statusLine, "Der Text enthält nichts zu übersetzen.");
}

// The choice goes into the settings, its key into the keyring or, without one, this run only.
TEST_F(WebTranslation, TheDialogsChoiceIsStoredAndItsKeyKeptInTheKeyringOrForThisRun)
{
    const auto inDialog = [&](Service service, const QString &key, bool take) {
        QTimer::singleShot(0, &port.window(), [&, service, key, take] {
            auto *dialog = port.window().findChild<TranslationServiceDialog *>();
            ASSERT_TRUE(dialog);
            dialog->serviceBox->setCurrentIndex(int(service));
            dialog->addressEdit->setText(server.url(QString()));
            dialog->keyEdit->setText(key);
            for (QAbstractButton *button : dialog->findChild<QDialogButtonBox *>()->buttons()) {
                if (button->text() == (take ? "Übernehmen" : "Abbrechen"))
                    button->click();
            }
            if (dialog->isVisible()) // the button was missing or refused: no hang
                dialog->reject();
        });
        translation().chooseService();
    };
    inDialog(Service::DeepL, "erster-schluessel:fx", true);
    EXPECT_EQ(secrets.secrets.value(ServiceKeys::entryName(Service::DeepL)),
              "erster-schluessel:fx");
    EXPECT_TRUE(port.boxes.shown().isEmpty());
    EXPECT_EQ(port.settings().read(key::translationService, {}), "DeepL");
    EXPECT_EQ(port.settings().read(key::translationPage, {}), server.url(QString()));
    EXPECT_EQ(port.statusLine,
              "Übersetzungen gehen jetzt an DeepL (" + server.url(QString()) + ").");
    inDialog(Service::Page, "", false);
    EXPECT_EQ(port.settings().read(key::translationService, {}), "DeepL");

    // No keyring: said so, and the key is used for the rest of the run.
    secrets.available = false;
    inDialog(Service::DeepL, "zweiter-schluessel:fx", true);
    ASSERT_EQ(port.boxes.shown().size(), 1);
    EXPECT_TRUE(port.boxes.texts()[0].contains("nicht erreichbar") &&
                port.boxes.texts()[0].contains("gilt deshalb nur, bis Kelo beendet wird"))
        << port.boxes.texts()[0].toStdString();
    EXPECT_FALSE(port.boxes.texts()[0].contains("schluessel:fx"));
    server.setHandler(TestHttpServer::deepLEcho);
    translate("Hallo");
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].header("Authorization"), "DeepL-Auth-Key zweiter-schluessel:fx");
    EXPECT_EQ(text(), "HALLO");

    // Neither key is anywhere in the settings file, nor in the status line.
    const QByteArray settingsFile = readBytes(port.settingsFile());
    EXPECT_TRUE(settingsFile.contains("Uebersetzungsdienst=DeepL"));
    EXPECT_FALSE(settingsFile.contains("schluessel")) << settingsFile.toStdString();
    EXPECT_FALSE(port.statusLine.contains("schluessel"));
}

TEST(ServiceKeys, TheKeyringIsAskedEachTimeUntilAKeyHadToBeKeptForTheRun)
{
    MemorySecretStore store;
    ServiceKeys keys(store);
    EXPECT_EQ(keys.read(Service::Page).key, QString());
    EXPECT_EQ(store.reads, 0); // the page takes no key
    EXPECT_EQ(keys.read(Service::DeepL).key, QString());
    store.secrets.insert(ServiceKeys::entryName(Service::DeepL), "a");
    EXPECT_EQ(keys.read(Service::DeepL).key, "a");
    EXPECT_TRUE(keys.save(Service::LibreTranslate, "l").inKeyring);
    EXPECT_EQ(keys.read(Service::LibreTranslate).key, "l");

    store.available = false;
    const KeyReading unreadable = keys.read(Service::DeepL);
    EXPECT_EQ(unreadable.key, QString());
    EXPECT_TRUE(unreadable.notice.contains("gilt nur, bis Kelo beendet wird"));
    EXPECT_FALSE(keys.save(Service::DeepL, "b").inKeyring);
    EXPECT_FALSE(keys.save(Service::LibreTranslate, "").inKeyring); // removed for this run
    store.available = true;
    EXPECT_EQ(keys.read(Service::DeepL).key, "b");
    EXPECT_EQ(keys.read(Service::LibreTranslate).key, QString());
    EXPECT_EQ(store.secrets.value(ServiceKeys::entryName(Service::DeepL)), "a");

    // Once the keyring takes a key again, it holds it.
    EXPECT_TRUE(keys.save(Service::DeepL, "c").inKeyring);
    store.secrets.insert(ServiceKeys::entryName(Service::DeepL), "d");
    EXPECT_EQ(keys.read(Service::DeepL).key, "d");
    EXPECT_TRUE(keys.save(Service::DeepL, "").inKeyring);
    EXPECT_FALSE(store.secrets.contains(ServiceKeys::entryName(Service::DeepL)));

    // Without a keyring service every call says so in German. A bus that is not there keeps a
    // developer's own keyring untouched.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kelo-test-bus");
    KeyringSecretStore keyring;
    for (const SecretResult &result : {keyring.write("Kelo-Test", "x"), keyring.read("Kelo-Test"),
                                       keyring.remove("Kelo-Test")}) {
        EXPECT_EQ(result.status, SecretResult::Status::Unavailable);
        EXPECT_TRUE(result.error.startsWith("Der Schlüsselbund des Desktops"))
            << result.error.toStdString();
    }
}

TEST(TranslationDialog, EachServiceShowsItsOwnKeyAndAnUnusableChoiceIsRefused)
{
    TranslationServiceDialog dialog({.service = Service::LibreTranslate,
                                     .address = "http://localhost:5000",
                                     .libreTranslateKey = "lt",
                                     .deepLKey = "dl:fx"},
                                    "Hinweis");
    EXPECT_EQ(dialog.serviceBox->currentText(), "LibreTranslate");
    EXPECT_EQ(dialog.keyEdit->text(), "lt");
    EXPECT_EQ(dialog.keyEdit->echoMode(), QLineEdit::Password);

    dialog.keyEdit->setText("  lt-neu ");
    dialog.serviceBox->setCurrentIndex(int(Service::DeepL));
    EXPECT_EQ(dialog.keyEdit->text(), "dl:fx");
    dialog.serviceBox->setCurrentIndex(int(Service::Page));
    EXPECT_FALSE(dialog.keyEdit->isEnabled());
    dialog.serviceBox->setCurrentIndex(int(Service::DeepL));
    const ServiceChoice choice = dialog.choice();
    EXPECT_EQ(choice.service, Service::DeepL);
    EXPECT_EQ(choice.libreTranslateKey, "lt-neu");
    EXPECT_EQ(choice.deepLKey, "dl:fx");

    dialog.keyEdit->clear();
    dialog.show();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.problemLabel->text().contains("API-Schlüssel nötig"));
    dialog.keyEdit->setText("dl:fx");
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // What else keeps a choice from being taken: service, address, key, a part of the problem.
    const std::tuple<Service, QString, QString, QString> cases[] = {
        {Service::Page, "", "", ""},
        {Service::Page, "http://localhost:8080/translate_t", "", ""},
        {Service::Page, "translate_t", "", "keine http- oder https-Adresse"},
        {Service::LibreTranslate, "http://localhost:5000", "", ""},
        {Service::LibreTranslate, "", "", "fehlt die Adresse"},
        {Service::LibreTranslate, "http://h/?x=1", "", "ohne \"?\""},
        {Service::LibreTranslate, "http://localhost:5000", "mit blank", "keine Leerzeichen"},
    };
    for (const auto &[service, address, key, problem] : cases) {
        ServiceChoice choice;
        choice.service = service;
        choice.address = address;
        choice.setKey(service, key);
        const QString found = choiceProblem(choice);
        EXPECT_EQ(found.isEmpty(), problem.isEmpty()) << found.toStdString();
        EXPECT_TRUE(found.contains(problem)) << found.toStdString();
    }
}

} // namespace
} // namespace kelo::test
