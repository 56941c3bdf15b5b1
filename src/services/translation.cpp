#include "services/translation.h"

#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "platform/windowport.h"
#include "services/translationanswer.h"
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

Translation::Translation(WindowPort &port, QObject *parent)
    : QObject(parent)
    , m_port(port)
{}

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
    return m_port.settings().read(key::translationPage, defaults::translationPage);
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
    if (m_running)
        return;
    MessageBoxes &messages = m_port.messages();
    if (!blnInternetOK) {
        blnInternetOK = messages.show(consentQuestion, MsgButtons::YesNo) == MsgAnswer::Yes;
        if (!blnInternetOK)
            return;
    }
    m_running = true;
    const auto notRunning = qScopeGuard([this] { m_running = false; });
    m_cancelled = false;
    m_page = translationPage();

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
        m_port.editor().replaceAllUtf8(joinTranslatedLines(run.lines).toUtf8());
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

} // namespace kelo
