// The web translation of the main window: the two flag buttons translate the
// whole editor text German to English (cmd_DE2EN) or English to German
// (cmd_EN2DE), after the user agreed, once per run and destination, to send
// the text there. A right click on either flag chooses the service.
//
// Through the classic page the text is taken apart into lines through the
// temporary file and every line is sent on its own. LibreTranslate and DeepL
// take many lines per request: the lines with words go out in batches, and
// every line keeps its place and its own line break. Meanwhile a
// window-modal progress box shows "Zeile n von m" and offers "Abbrechen",
// and only when every line is translated does the editor get the new text
// (one undo step). A failure shows one message that names the lines and
// what went wrong; after it, and after a cancel, the editor keeps the text
// it had.
#pragma once

#include "services/servicekeys.h"
#include "services/translationhttp.h"
#include "services/translationrequest.h"
#include "services/translationrun.h"
#include "services/translationservice.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

namespace kelo {

class SecretStore;
class WindowPort;
struct ServiceChoice;

class Translation : public QObject {
    Q_OBJECT

public:
    // The keys of the services are kept in `secrets`; without one, in the
    // desktop's keyring.
    explicit Translation(WindowPort &port, QObject *parent = nullptr,
                         SecretStore *secrets = nullptr);
    ~Translation() override;

    void cmd_DE2EN_Click();
    void cmd_EN2DE_Click();

    // The dialog of the service, its address and its key.
    void chooseService();
    // Stores a choice made in the dialog: the service and the address in
    // the settings, the keys that changed in the keyring.
    void applyChoice(const ServiceChoice &choice);

    // One line each way (the parameter keeps the one name both directions
    // always had).
    LineTranslation GetTranslatedToEN(const QString &strEN);
    LineTranslation GetTranslatedToDE(const QString &strEN);

    // The user agreed, in this run of the program, to send the text to the
    // destination named in the question (a new one is asked about again).
    bool blnInternetOK = false;

    // The limit for one request, of a line or of a batch.
    void setTimeLimit(std::chrono::milliseconds limit)
    {
        m_lineLimit = limit;
        m_batchLimit = limit;
    }

    // Asked before the window closes: while lines are out, the run is
    // cancelled and the window stays open with its text.
    bool mayClose();

private:
    void translateText(TranslationDirection direction);
    void translateByPage(TranslationDirection direction);
    void translateByService(TranslationService service, TranslationDirection direction);
    bool agreeToSend(TranslationService service, const QString &address);
    LineTranslation translateLine(const QString &line, TranslationDirection direction);
    QString translationPage() const;
    TranslationService chosenService() const;
    void cancel();
    // The translated text could not go into the editor.
    void reportNoRoom();

    WindowPort &m_port;
    std::unique_ptr<SecretStore> m_ownSecrets;
    ServiceKeys m_keys;
    TranslationHttp m_http;
    std::chrono::milliseconds m_lineLimit{20000};
    // A batch of many lines may keep a small server busy for a while.
    std::chrono::milliseconds m_batchLimit{60000};
    QString m_agreedTo; // the destination blnInternetOK holds for
    QString m_page;     // the page of the run under way
    bool m_running = false;
    bool m_busy = false; // a click is being handled
    bool m_cancelled = false;
};

} // namespace kelo
