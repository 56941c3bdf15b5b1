#include "services/translation.h"

#include "platform/controls.h"
#include "platform/memoryroom.h"
#include "platform/messagebox.h"
#include "platform/secretstore.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "platform/windowport.h"
#include "services/translationanswer.h"
#include "services/translationbatches.h"
#include "services/translationdialog.h"
#include "tools/tempfile.h"

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTimer>

#include <climits>

namespace kelo {

namespace {

const QString consentQuestion = QStringLiteral(
    "Sie benötigen für diese Funktion eine Internet Verbindung ! Soll dieser Text übersetzt "
    "werden ?");
const QString savedStatus =
    QStringLiteral("temporäre Datei gespeichert. Die Funktion wird ausgeführt. Bitte warten...");
const QString deletedStatus = QStringLiteral("temporäre Datei wurde gelöscht");
const QString keptText = QStringLiteral("Der Text im Editor bleibt unverändert.");
const QString dialogHint = QStringLiteral(
    "Ein Rechtsklick auf eine der beiden Flaggen öffnet die Wahl des Dienstes, seiner Adresse "
    "und seines Schlüssels.");
const QString keyringNote = QStringLiteral(
    "Schlüssel werden im Schlüsselbund des Desktops aufbewahrt, nie in der Einstellungsdatei.");

// The window-modal box of a run: "Zeile n von m" and "Abbrechen". The label
// follows the lines at most ten times a second, since repainting it for
// every line of a page that answers at once took a third of the time per
// line; a line that stays out longer is shown by the catch-up timer, which
// runs while the request is waited for.
class ProgressBox {
public:
    ProgressBox(QWidget *window, qsizetype lineCount)
        : m_dialog(window)
        , m_count(lineCount)
    {
        m_dialog.setWindowTitle(QStringLiteral("Übersetzung"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setRange(0, int(qMin<qsizetype>(lineCount, INT_MAX)));
        m_catchUp.setSingleShot(true);
        QObject::connect(&m_catchUp, &QTimer::timeout, &m_dialog, [this] { paint(); });
        m_dialog.show();
    }

    QProgressDialog &dialog() { return m_dialog; }

    void showLine(qsizetype lineNumber)
    {
        m_line = lineNumber;
        if (!m_sincePaint.isValid() || m_sincePaint.elapsed() >= interval)
            paint();
        else if (!m_catchUp.isActive())
            m_catchUp.start(interval);
    }

private:
    static constexpr int interval = 100; // ms

    void paint()
    {
        m_catchUp.stop();
        m_sincePaint.start();
        m_dialog.setLabelText(QStringLiteral("Zeile %1 von %2").arg(m_line).arg(m_count));
        m_dialog.setValue(int(qMin<qsizetype>(m_line - 1, INT_MAX)));
    }

    QProgressDialog m_dialog;
    QTimer m_catchUp;
    QElapsedTimer m_sincePaint;
    qsizetype m_line = 0;
    qsizetype m_count;
};

} // namespace

Translation::Translation(WindowPort &port, QObject *parent, SecretStore *secrets)
    : QObject(parent)
    , m_port(port)
    , m_ownSecrets(secrets ? nullptr : std::make_unique<KeyringSecretStore>())
    , m_keys(secrets ? *secrets : *m_ownSecrets)
{}

Translation::~Translation() = default;

void Translation::cmd_DE2EN_Click()
{
    translateText(TranslationDirection::GermanToEnglish);
}

void Translation::cmd_EN2DE_Click()
{
    translateText(TranslationDirection::EnglishToGerman);
}

LineTranslation Translation::GetTranslatedToEN(const QString &strEN)
{
    return translateLine(strEN, TranslationDirection::GermanToEnglish);
}

LineTranslation Translation::GetTranslatedToDE(const QString &strEN)
{
    return translateLine(strEN, TranslationDirection::EnglishToGerman);
}

QString Translation::translationPage() const
{
    return serviceAddress(TranslationService::Page,
                          m_port.settings().read(key::translationPage, defaults::translationPage),
                          QString());
}

TranslationService Translation::chosenService() const
{
    return serviceFromSetting(
        m_port.settings().read(key::translationService, defaults::translationService));
}

LineTranslation Translation::translateLine(const QString &line, TranslationDirection direction)
{
    const QString page = m_page.isEmpty() ? translationPage() : m_page;
    const std::optional<QUrl> url = translationUrl(page, line, direction);
    if (!url) {
        return LineTranslation::failed(
            QStringLiteral("Die Übersetzungsseite \"%1\" ist keine http- oder https-Adresse "
                           "(Einstellung \"%2\").")
                .arg(page, key::translationPage));
    }
    const HttpAnswer answer = m_http.post(*url);
    switch (answer.status) {
    case HttpAnswer::Status::Cancelled:
        return LineTranslation::stopped();
    case HttpAnswer::Status::Failed:
        return LineTranslation::failed(answer.error);
    case HttpAnswer::Status::Ok:
        break;
    }
    AnswerReading reading = readTranslationAnswer(answer.body, answer.contentType);
    if (!reading.translation)
        return LineTranslation::failed(reading.error);
    return LineTranslation::done(std::move(*reading.translation));
}

void Translation::cancel()
{
    m_cancelled = true;
    m_http.cancel();
}

void Translation::reportNoRoom()
{
    m_port.setStatus(QStringLiteral("Übersetzung fehlgeschlagen: ") + keptText);
    m_port.messages().show(noRoomForNewText() + QStringLiteral("\n\n") + keptText, MsgButtons::Ok,
                           MsgIcon::Critical);
}

bool Translation::mayClose()
{
    // Closing the window while lines are out cancels the run first; the
    // window stays open with its text.
    if (!m_running)
        return true;
    cancel();
    return false;
}

void Translation::translateText(TranslationDirection direction)
{
    // The keyring and the question wait in event loops of their own, where
    // another click could start a second run.
    if (m_running || m_busy)
        return;
    m_busy = true;
    const auto notBusy = qScopeGuard([this] { m_busy = false; });
    const TranslationService service = chosenService();
    if (service == TranslationService::Page)
        translateByPage(direction);
    else
        translateByService(service, direction);
}

bool Translation::agreeToSend(TranslationService service, const QString &address)
{
    // The agreement is to send the text to one place: another service or
    // address is asked about again.
    const QString destination = QStringLiteral("%1 (%2)").arg(displayName(service), address);
    if (blnInternetOK && m_agreedTo == destination)
        return true;
    const QString question =
        consentQuestion + QStringLiteral("\n\nDer Text geht an %1.").arg(destination);
    blnInternetOK = m_port.messages().show(question, MsgButtons::YesNo) == MsgAnswer::Yes;
    m_agreedTo = blnInternetOK ? destination : QString();
    return blnInternetOK;
}

void Translation::translateByPage(TranslationDirection direction)
{
    MessageBoxes &messages = m_port.messages();
    const QString page = translationPage();
    if (!agreeToSend(TranslationService::Page, page))
        return;
    m_running = true;
    const auto notRunning = qScopeGuard([this] { m_running = false; });
    m_cancelled = false;
    m_page = page;
    m_http.setTimeLimit(m_lineLimit);

    TemporaryTextFile file(temporaryFolder(m_port.programFolder()));
    if (!file.writeText(m_port.editor().utf8Text())) {
        messages.show(file.errorString() + QStringLiteral("\n\n") + keptText, MsgButtons::Ok,
                      MsgIcon::Critical);
        file.remove();
        m_page.clear();
        return;
    }
    m_port.setStatus(savedStatus);
    const std::optional<QStringList> lines = file.readLines();

    TranslationRun run;
    if (!lines) {
        run.state = TranslationRun::State::Failed;
        run.error = file.errorString();
    } else {
        ProgressBox progress(&m_port.window(), lines->size());
        connect(&progress.dialog(), &QProgressDialog::canceled, this, &Translation::cancel);
        run = translateLines(
            *lines,
            [this, direction](const QString &line) {
                return direction == TranslationDirection::GermanToEnglish ? GetTranslatedToEN(line)
                                                                          : GetTranslatedToDE(line);
            },
            [this, &progress](qsizetype lineNumber, qsizetype) {
                progress.showLine(lineNumber);
                return !m_cancelled;
            });
    }
    m_page.clear();

    const bool removed = file.remove();
    switch (run.state) {
    case TranslationRun::State::Done:
        if (!m_port.editor().replaceAllUtf8(joinTranslatedLines(run.lines).toUtf8())) {
            reportNoRoom();
            break;
        }
        m_port.setStatus(deletedStatus);
        if (!removed)
            messages.show(file.errorString(), MsgButtons::Ok, MsgIcon::Critical);
        m_port.refreshText();
        break;
    case TranslationRun::State::Failed:
        m_port.setStatus(QStringLiteral("Übersetzung fehlgeschlagen: ") + keptText);
        messages.show(lines ? failureMessage(run)
                            : file.errorString() + QStringLiteral("\n\n") + keptText,
                      MsgButtons::Ok, MsgIcon::Critical);
        break;
    case TranslationRun::State::Cancelled:
        m_port.setStatus(QStringLiteral("Übersetzung abgebrochen: ") + keptText);
        break;
    }
}

void Translation::translateByService(TranslationService service, TranslationDirection direction)
{
    MessageBoxes &messages = m_port.messages();
    const QString name = displayName(service);
    const auto refuse = [&](const QString &reason) {
        messages.show(reason + QStringLiteral("\n\n") + keptText, MsgButtons::Ok,
                      MsgIcon::Critical);
    };

    const KeyReading key = m_keys.read(service);
    if (key.key.isEmpty() && needsKey(service)) {
        refuse(QStringLiteral("Für %1 ist ein API-Schlüssel nötig, und es ist keiner gespeichert.")
                   .arg(name) +
               (key.notice.isEmpty() ? QString() : QStringLiteral("\n") + key.notice) +
               QStringLiteral("\n") + dialogHint);
        return;
    }
    if (!key.key.isEmpty() && !isPlausibleKey(key.key)) {
        refuse(QStringLiteral("Der gespeicherte Schlüssel für %1 enthält Zeichen, die in keinem "
                              "Schlüssel vorkommen.\n")
                   .arg(name) +
               dialogHint);
        return;
    }
    const QString address =
        serviceAddress(service, m_port.settings().read(key::translationPage, QString()), key.key);
    if (address.isEmpty()) {
        refuse(QStringLiteral("Für %1 fehlt die Adresse des Servers, zum Beispiel "
                              "http://localhost:5000 (Einstellung \"%2\").\n")
                   .arg(name, key::translationPage) +
               dialogHint);
        return;
    }
    const std::optional<QUrl> endpoint = serviceEndpoint(service, address);
    if (!endpoint) {
        refuse(QStringLiteral("Die Adresse \"%1\" für %2 ist keine http- oder https-Adresse eines "
                              "Servers (Einstellung \"%3\").\n")
                   .arg(address, name, key::translationPage) +
               dialogHint);
        return;
    }

    const QList<TextLine> lines = splitTextLines(m_port.editor().Text());
    BatchLimits limits;
    limits.envelopeBytes = envelopeSize(service, direction, key.key);
    limits.textBytes = encodedTextSize;
    const BatchPlan plan = planBatches(lines, limits);
    if (plan.tooLong) {
        refuse(QStringLiteral("Zeile %1 ist zu lang für eine Anfrage an %2 (höchstens %3 KB).")
                   .arg(*plan.tooLong + 1)
                   .arg(name)
                   .arg(limits.maxBodyBytes / 1024));
        return;
    }
    if (plan.batches.isEmpty()) {
        m_port.setStatus(QStringLiteral("Der Text enthält nichts zu übersetzen."));
        return;
    }
    if (!agreeToSend(service, address))
        return;

    m_running = true;
    const auto notRunning = qScopeGuard([this] { m_running = false; });
    m_cancelled = false;
    m_http.setTimeLimit(m_batchLimit);
    m_port.setStatus(QStringLiteral("Die Übersetzung über %1 läuft. Bitte warten...").arg(name));

    // Whatever a server says goes into a message box, but never the key.
    const auto withoutKey = [&key](QString text) {
        if (!key.key.isEmpty())
            text.replace(key.key, QStringLiteral("…"));
        return text;
    };
    HttpHeaders headers;
    if (service == TranslationService::DeepL)
        headers.append({"Authorization", "DeepL-Auth-Key " + key.key.toLatin1()});
    const auto translateBatch = [&](const QStringList &texts) {
        const HttpAnswer answer =
            m_http.postJson(*endpoint, requestBody(service, texts, direction, key.key), headers);
        switch (answer.status) {
        case HttpAnswer::Status::Cancelled:
            return BatchTranslation::stopped();
        case HttpAnswer::Status::Failed:
            return BatchTranslation::failed(
                answer.httpStatus == 0
                    ? answer.error
                    : httpFailure(service, answer.httpStatus, withoutKey(answer.reason),
                                  serviceMessage(answer.body, key.key)));
        case HttpAnswer::Status::Ok:
            break;
        }
        ServiceAnswer reading = readServiceAnswer(service, answer.body, texts.size());
        if (!reading.translations)
            return BatchTranslation::failed(reading.error);
        return BatchTranslation::done(std::move(*reading.translations));
    };

    BatchRun run;
    {
        ProgressBox progress(&m_port.window(), lines.size());
        connect(&progress.dialog(), &QProgressDialog::canceled, this, &Translation::cancel);
        run = translateInBatches(lines, plan, translateBatch,
                                 [this, &progress](qsizetype, qsizetype lastLine, qsizetype) {
                                     progress.showLine(lastLine);
                                     return !m_cancelled;
                                 });
    }

    switch (run.state) {
    case BatchRun::State::Done:
        if (!m_port.editor().replaceAllUtf8(run.text.toUtf8())) {
            reportNoRoom();
            break;
        }
        m_port.setStatus(
            QStringLiteral("Übersetzung über %1 fertig: %2 Zeilen.").arg(name).arg(lines.size()));
        m_port.refreshText();
        break;
    case BatchRun::State::Failed:
        m_port.setStatus(QStringLiteral("Übersetzung fehlgeschlagen: ") + keptText);
        messages.show(batchFailureMessage(run, name), MsgButtons::Ok, MsgIcon::Critical);
        break;
    case BatchRun::State::Cancelled:
        m_port.setStatus(QStringLiteral("Übersetzung abgebrochen: ") + keptText);
        break;
    }
}

void Translation::chooseService()
{
    if (m_running || m_busy)
        return;
    m_busy = true;
    const auto notBusy = qScopeGuard([this] { m_busy = false; });
    ServiceChoice current;
    current.service = chosenService();
    current.address = m_port.settings().read(key::translationPage, QString());
    const KeyReading libre = m_keys.read(TranslationService::LibreTranslate);
    const KeyReading deepL = m_keys.read(TranslationService::DeepL);
    current.libreTranslateKey = libre.key;
    current.deepLKey = deepL.key;
    const QString notice = deepL.notice.isEmpty() ? libre.notice : deepL.notice;

    TranslationServiceDialog dialog(current, notice.isEmpty() ? keyringNote : notice,
                                    &m_port.window());
    if (dialog.exec() != QDialog::Accepted)
        return;
    applyChoice(dialog.choice());
}

void Translation::applyChoice(const ServiceChoice &choice)
{
    QStringList problems;
    SettingsStore &settings = m_port.settings();
    if (!settings.write(key::translationService, settingOf(choice.service)) ||
        !settings.write(key::translationPage, choice.address))
        problems << QStringLiteral("Die Einstellungen konnten nicht in \"%1\" gespeichert werden.")
                        .arg(settings.fileName());
    for (const TranslationService service :
         {TranslationService::LibreTranslate, TranslationService::DeepL}) {
        const QString key = choice.keyOf(service);
        if (key == m_keys.read(service).key)
            continue;
        const KeySaving saving = m_keys.save(service, key);
        if (!saving.inKeyring)
            problems << saving.notice;
    }
    const QString address = serviceAddress(choice.service, choice.address, choice.key());
    m_port.setStatus(
        QStringLiteral("Übersetzungen gehen jetzt an %1%2.")
            .arg(displayName(choice.service),
                 address.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(address)));
    if (!problems.isEmpty())
        m_port.messages().show(problems.join(QStringLiteral("\n\n")), MsgButtons::Ok,
                               MsgIcon::Critical);
}

} // namespace kelo
