// The services beside the classic page, without the network: the setting, addresses, keys and
// where they are kept, the choices refused, the JSON of answers and what errors mean.
#include "services/servicekeys.h"
#include "services/translationdialog.h"
#include "services/translationservice.h"
#include "support/fakeservices.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using Service = TranslationService;

// The setting names a service in any case and anything else is the classic page; an empty
// address is the service's own, DeepL's after whether the key is one of its free ones.
TEST(TranslationService, TheSettingsNameTheServiceAndItsAddress)
{
    const std::pair<QString, Service> services[] = {{"Seite", Service::Page},
                                                    {"", Service::Page},
                                                    {"Google", Service::Page},
                                                    {"DeepL Pro", Service::Page},
                                                    {"LibreTranslate", Service::LibreTranslate},
                                                    {" libretranslate ", Service::LibreTranslate},
                                                    {"DeepL", Service::DeepL},
                                                    {"DEEPL", Service::DeepL}};
    for (const auto &[setting, service] : services)
        EXPECT_EQ(serviceFromSetting(setting), service) << setting.toStdString();

    // service, setting, key, address
    const std::tuple<Service, QString, QString, QString> addresses[] = {
        {Service::Page, "", "", "http://translate.google.com/translate_t"},
        {Service::Page, "  ", "", "http://translate.google.com/translate_t"},
        {Service::Page, "http://localhost:8080/translate_t", "",
         "http://localhost:8080/translate_t"},
        {Service::LibreTranslate, "", "k", ""},
        {Service::LibreTranslate, " http://localhost:5000 ", "", "http://localhost:5000"},
        {Service::DeepL, "", "0a1b-2c3d:fx", "https://api-free.deepl.com"},
        {Service::DeepL, "", "0a1b-2c3d", "https://api.deepl.com"},
        {Service::DeepL, "", "fx", "https://api.deepl.com"},
        {Service::DeepL, "http://127.0.0.1:9", "0a1b:fx", "http://127.0.0.1:9"},
    };
    for (const auto &[service, setting, key, address] : addresses)
        EXPECT_EQ(serviceAddress(service, setting, key), address) << setting.toStdString();
}

// Text and key go only to an http or https server without a query, at the service's path below
// it; a key with blanks or line breaks would add a header of its own.
TEST(TranslationService, OnlyAServerAddressAndAKeyOfPrintableAsciiAreUsed)
{
    // service, base, endpoint ("" for none)
    const std::tuple<Service, QString, QString> cases[] = {
        {Service::LibreTranslate, "http://localhost:5000", "http://localhost:5000/translate"},
        {Service::LibreTranslate, "https://lt.example.org/api/",
         "https://lt.example.org/api/translate"},
        {Service::DeepL, "https://api-free.deepl.com", "https://api-free.deepl.com/v2/translate"},
        {Service::DeepL, "https://api.deepl.com/v2/", "https://api.deepl.com/v2/translate"},
        {Service::DeepL, "http://127.0.0.1:8/#x", "http://127.0.0.1:8/v2/translate"},
        {Service::LibreTranslate, "localhost:5000", ""},
        {Service::LibreTranslate, "http:///translate", ""},
        {Service::DeepL, "https://api.deepl.com/?auth_key=x", ""},
        {Service::Page, "http://localhost:8080", ""},
    };
    for (const auto &[service, base, endpoint] : cases) {
        const std::optional<QUrl> url = serviceEndpoint(service, base);
        EXPECT_EQ(url ? url->toString() : QString(), endpoint) << base.toStdString();
    }
    EXPECT_TRUE(isPlausibleKey("279a2e9d-83b3-c416-7e2d-f721593e42a0:fx"));
    for (const QString key : {"", "a b", "a\r\nX-Evil: 1", "schlüssel", "a\tb"})
        EXPECT_FALSE(isPlausibleKey(key)) << key.toStdString();
}

// An answer gives one text per line sent, in order, or says in German what is wrong with it.
TEST(ServiceAnswerReading, GivesEveryTranslationInOrderOrNamesWhatIsWrong)
{
    // service, body, expected count, translations (joined by |) or a part of the error
    const std::tuple<Service, QByteArray, qsizetype, QString, QString> cases[] = {
        {Service::LibreTranslate, R"({"translatedText":["Hello","Grüße"]})", 2, "Hello|Grüße", ""},
        {Service::DeepL,
         R"({"translations":[{"detected_source_language":"DE","text":"Hello"},)"
         R"({"detected_source_language":"DE","text":""}]})",
         2, "Hello|", ""},
        {Service::LibreTranslate, R"({"translatedText":["Hello"]})", 2, "",
         "1 Übersetzungen für 2 gesendete Zeilen"},
        {Service::LibreTranslate, R"({"translatedText":"Hello"})", 1, "",
         "\"translatedText\" fehlt"},
        {Service::DeepL, R"({"translatedText":["Hello"]})", 1, "", "\"translations\" fehlt"},
        {Service::LibreTranslate, R"({"translatedText":["a",7]})", 2, "",
         "Übersetzung 2 ist kein Text"},
        {Service::DeepL, R"({"translations":[{"txt":"a"}]})", 1, "", "Übersetzung 1 ist kein Text"},
        {Service::DeepL, R"(["a"])", 1, "", "kein JSON-Objekt"},
        {Service::LibreTranslate, R"({"translatedText":["a")", 1, "", "kein lesbares JSON"},
        {Service::DeepL, "<html>Bad Gateway</html>", 1, "", "kein lesbares JSON"},
    };
    for (const auto &[service, body, expected, translations, error] : cases) {
        SCOPED_TRACE(body.toStdString());
        const ServiceAnswer answer = readServiceAnswer(service, body, expected);
        if (error.isEmpty()) {
            EXPECT_TRUE(answer.translations) << answer.error.toStdString();
            EXPECT_EQ(answer.translations.value_or(QStringList()).join('|'), translations);
        } else {
            EXPECT_FALSE(answer.translations);
            EXPECT_TRUE(answer.error.contains(error)) << answer.error.toStdString();
        }
    }
}

// What a service says about a failure is shown in a box: short, and never with the key in it.
TEST(TranslationService, AServiceMessageIsReadFromJsonOrPlainTextAndNeverShowsTheKey)
{
    // body, key, message
    const std::tuple<QByteArray, QString, QString> cases[] = {
        {R"({"error":"Invalid API key"})", "", "Invalid API key"},
        {R"({"message":"Quota Exceeded"})", "", "Quota Exceeded"},
        {R"({"detail":"Too many\nrequests"})", "", "Too many requests"},
        {R"({"error":"Key sk-123 is not valid"})", "sk-123", "Key … is not valid"},
        {"Service Unavailable\r\n", "", "Service Unavailable"},
        {"<html><body>502</body></html>", "", ""},
        {R"({"code":7})", "", ""},
    };
    for (const auto &[body, key, message] : cases)
        EXPECT_EQ(serviceMessage(body, key), message) << body.toStdString();
    EXPECT_EQ(serviceMessage(QByteArray(1000, 'x'), "").size(), 302);
}

// Each HTTP error a service may give is told by its meaning, in German.
TEST(TranslationService, HttpErrorsNameTheirMeaningInGerman)
{
    // status, a part of the reason
    const std::pair<int, QString> cases[] = {
        {403,
         "DeepL hat den Schlüssel abgelehnt (HTTP 403): er ist falsch, abgelaufen oder fehlt."},
        {401, "hat den Schlüssel abgelehnt (HTTP 401)"},
        {456, "Kontingent des Kontos bei DeepL ist verbraucht"},
        {429, "Zu viele Anfragen"},
        {404, "antwortet kein DeepL"},
        {307, "Kelo folgt dem nicht"},
        {413, "zu groß"},
        {400, "als fehlerhaft abgelehnt"},
        {503, "DeepL meldet einen Fehler (HTTP 503 Service Unavailable)"},
    };
    for (const auto &[status, reason] : cases) {
        const QString text = httpFailure(Service::DeepL, status, "Service Unavailable", QString());
        EXPECT_TRUE(text.contains(reason)) << status << ": " << text.toStdString();
    }
}

// The keyring is asked each time; a key it would not take holds for the run, even over an older
// one it gives later, until it takes a key again.
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

// The dialog takes no choice that could not work: service, address, key, a part of the problem.
TEST(TranslationDialog, AnUnusableChoiceIsRefused)
{
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
