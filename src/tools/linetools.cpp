#include "tools/linetools.h"

#include "platform/memoryroom.h"
#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/windowport.h"
#include "platform/workprogress.h"
#include "tools/frm_ersetz.h"
#include "tools/linerules.h"
#include "tools/tempfile.h"
#include "tools/textpassage.h"

namespace kelo {

namespace {

const QString savedStatus = QStringLiteral("temporäre Datei gespeichert");
const QString unchangedStatus =
    QStringLiteral("Abgebrochen: Die temporäre Datei hat versagt, der Text ist unverändert.");
const QString errorTitle = QStringLiteral("Fehler");
const QString cancelledStatus = QStringLiteral("Abgebrochen: Der Text ist unverändert.");

} // namespace

LineTools::LineTools(WindowPort &port, QObject *parent)
    : QObject(parent)
    , m_port(port)
{}

void LineTools::cmdDelEmpty_Click()
{
    Leerz();
    m_port.refreshText();
}

void LineTools::cmd_replace_Click()
{
    if (m_replace) {
        // Open already: only brought forward again.
        m_replace->show();
        m_replace->raise();
        m_replace->activateWindow();
        return;
    }
    m_replace = new frm_ersetz(&m_port.editor(), m_port.settings(), m_port.messages(),
                               &m_port.window());
    connect(m_replace, &frm_ersetz::deleteLinesRequested, this, [this](const QString &text) {
        SLoesch(text);
        m_port.refreshText();
    });
    m_replace->setWorkProgress([this] { return m_port.startWork(QStringLiteral("Ersetze")); });
    m_replace->Form_Load();
    m_replace->show();
}

frm_ersetz *LineTools::replaceDialog() const
{
    return m_replace;
}

bool LineTools::Leerz()
{
    return throughTemporaryFile(QStringLiteral("Entferne Leerzeilen"),
                                {.rewrite = cleanLines, .rebuild = joinFileLines});
}

bool LineTools::SLoesch(const QString &txt_find)
{
    const QByteArray find = txt_find.toUtf8();
    return throughTemporaryFile(QStringLiteral("Leere Zeilen"),
                                {.rewrite = {}, .rebuild = [&find](QByteArrayView lines) {
                                     return emptyLinesContaining(lines, find);
                                 }});
}

bool LineTools::throughTemporaryFile(const QString &what, const TextPassage &passage)
{
    // The editor's own bytes, not a copy: while the passage runs, its box
    // holds the window's input back, so nothing changes the text.
    const QByteArrayView original = m_port.editor().utf8View();
    // The passage's steps and, last, the editor taking the new text, which
    // cannot be stopped: the box then only shows how far it is.
    std::unique_ptr<WorkProgress> progress = m_port.startWork(what);
    WorkMeter meter(progress.get(), qint64(passageParts(passage) + 1) * original.size());
    PassageResult result =
        passThroughTemporaryFile(m_port.programFolder(), original, passage, &meter);
    if (result.cancelled) {
        m_port.setStatus(cancelledStatus);
        return false;
    }
    if (result.failedStep == PassageStep::Write) {
        reportFailure(result.error, unchangedStatus);
        return false;
    }
    m_port.setStatus(savedStatus);
    if (result.failedStep == PassageStep::Rewrite) {
        // The working copy's rewrite says what failed as CleanFile does.
        showCleanFileFailure(result.error);
        m_port.setStatus(unchangedStatus);
        return false;
    }
    if (!result.edits) {
        reportFailure(result.error, unchangedStatus);
        return false;
    }
    if (!result.edits->isEmpty()) {
        // Only what changed goes into the undo step (see textchanges.h).
        if (!m_port.editor().replaceAllUtf8(std::move(*result.edits), meter.unstoppableRest())) {
            progress.reset(); // not left behind the message
            reportFailure(noRoomForNewText(), cancelledStatus);
            return false;
        }
    }
    return true;
}

bool LineTools::CleanFile(const QString &folder, const QString &name)
{
    TemporaryTextFile target(folder, name);
    const std::optional<QString> failure =
        target.openExisting() ? rewriteThroughCopy(target, cleanLines) : target.errorString();
    if (failure) {
        showCleanFileFailure(*failure);
        return false;
    }
    return true;
}

void LineTools::showCleanFileFailure(const QString &description)
{
    m_port.messages().show(description, MsgButtons::Ok, MsgIcon::Critical, errorTitle);
}

void LineTools::reportFailure(const QString &description, const QString &status)
{
    m_port.setStatus(status);
    m_port.messages().show(description + QStringLiteral("\nDer Text bleibt unverändert."),
                                     MsgButtons::Ok, MsgIcon::Critical, errorTitle);
}

} // namespace kelo
