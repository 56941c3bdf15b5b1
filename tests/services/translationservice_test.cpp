// The services beside the classic page, without the network: setting, addresses, request
// sizes, the JSON of answers, and what errors mean.
#include "services/translationservice.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using Service = TranslationService;
using enum TranslationDirection;

TEST(TranslationService, TheSettingNamesAServiceAndAnythingElseIsTheClassicPage)
{
    const std::pair<QString, Service> cases[] = {
        {"Seite", Service::Page}, {"", Service::Page}, {"Google", Service::Page},
        {"DeepL Pro", Service::Page}, {"LibreTranslate", Service::LibreTranslate},
        {" libretranslate ", Service::LibreTranslate}, {"DeepL", Service::DeepL},
        {"DEEPL", Service::DeepL}};
    for (const auto &[setting, service] : cases)
        EXPECT_EQ(serviceFromSetting(setting), service) << setting.toStdString();
}

TEST(TranslationService, AnEmptyAddressIsTheServicesOwnAndDeepLsDependsOnTheKey)
{
    // service, setting, key, address
    const std::tuple<Service, QString, QString, QString> cases[] = {
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
    for (const auto &[service, setting, key, address] : cases)
        EXPECT_EQ(serviceAddress(service, setting, key), address) << setting.toStdString();
}

TEST(TranslationService, TheEndpointIsThePathOfTheServiceBelowTheBase)
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
        {Service::LibreTranslate, "ftp://localhost", ""},
        {Service::LibreTranslate, "http:///translate", ""},
        {Service::DeepL, "https://api.deepl.com/?auth_key=x", ""},
        {Service::Page, "http://localhost:8080", ""},
    };
    for (const auto &[service, base, endpoint] : cases) {
        const std::optional<QUrl> url = serviceEndpoint(service, base);
        EXPECT_EQ(url ? url->toString() : QString(), endpoint) << base.toStdString();
    }
}

TEST(TranslationService, AKeyIsPrintableAsciiWithoutBlanks)
{
    EXPECT_TRUE(isPlausibleKey("279a2e9d-83b3-c416-7e2d-f721593e42a0:fx"));
    for (const QString key : {"", "a b", "a\r\nX-Evil: 1", "schlüssel", "a\tb"})
        EXPECT_FALSE(isPlausibleKey(key)) << key.toStdString();
}

TEST(TranslationService, TheSizeOfABodyIsKnownBeforeItIsBuilt)
{
    // Texts whose JSON form differs from their UTF-8 form in every way.
    const QStringList texts{"plain",
                            "\"quoted\" and \\backslash\\",
                            QString("tab\tand\x01control"),
                            "Umlaute äöüß and € and \U0001F600",
                            QString(2000, QChar(0x7F)),
                            "</script>"};
    for (const Service service : {Service::LibreTranslate, Service::DeepL}) {
        for (const QString &key : {QString(), QStringLiteral("key:fx")}) {
            for (qsizetype n = 1; n <= texts.size(); ++n) {
                const QStringList some = texts.mid(0, n);
                qsizetype expected = envelopeSize(service, GermanToEnglish, key) + (n - 1);
                for (const QString &text : some)
                    expected += encodedTextSize(text);
                EXPECT_EQ(requestBody(service, some, GermanToEnglish, key).size(), expected) << n;
            }
        }
    }
    // UTF-8 as it stands, not escaped.
    EXPECT_TRUE(requestBody(Service::DeepL, texts, GermanToEnglish, "").contains("Umlaute äöüß"));
}

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
        {Service::DeepL, R"({"translations":[{"text":"a"},{"text":"b"}]})", 1, "",
         "2 Übersetzungen für 1 gesendete Zeilen"},
        {Service::LibreTranslate, R"({"translatedText":"Hello"})", 1, "",
         "\"translatedText\" fehlt"},
        {Service::DeepL, R"({"translatedText":["Hello"]})", 1, "", "\"translations\" fehlt"},
        {Service::LibreTranslate, R"({"translatedText":["a",7]})", 2, "",
         "Übersetzung 2 ist kein Text"},
        {Service::DeepL, R"({"translations":[{"txt":"a"}]})", 1, "", "Übersetzung 1 ist kein Text"},
        {Service::DeepL, R"(["a"])", 1, "", "kein JSON-Objekt"},
        {Service::LibreTranslate, R"({"translatedText":["a")", 1, "", "kein lesbares JSON"},
        {Service::DeepL, "<html>Bad Gateway</html>", 1, "", "kein lesbares JSON"},
        {Service::LibreTranslate, "", 1, "", "kein lesbares JSON"},
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
        {"", "", ""},
    };
    for (const auto &[body, key, message] : cases)
        EXPECT_EQ(serviceMessage(body, key), message) << body.toStdString();
    EXPECT_EQ(serviceMessage(QByteArray(1000, 'x'), "").size(), 302);
}

TEST(TranslationService, HttpErrorsNameTheirMeaningInGerman)
{
    // status, a part of the reason
    const std::pair<int, QString> cases[] = {
        {403, "hat den Schlüssel abgelehnt (HTTP 403)"},
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

} // namespace
} // namespace kelo::test
