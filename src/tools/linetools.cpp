#include "tools/linetools.h"

#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/windowport.h"
#include "tools/frm_ersetz.h"
#include "tools/linerules.h"
#include "tools/tempfile.h"


namespace kelo {

namespace {

const QString tempName = QStringLiteral("kelo.tmp");
const QString savedStatus = QStringLiteral("temporäre Datei gespeichert");
const QString unchangedStatus =
    QStringLiteral("Abgebrochen: Die temporäre Datei hat versagt, der Text ist unverändert.");
const QString errorTitle = QStringLiteral("Fehler");

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
    m_replace->Form_Load();
    m_replace->show();
}

frm_ersetz *LineTools::replaceDialog() const
{
    return m_replace;
}

bool LineTools::Leerz()
{
    return throughTemporaryFile(
        [this](const QString &folder) {
            // CleanFile says itself what failed.
            return CleanFile(folder, tempName);
        },
        joinFileLines);
}

bool LineTools::SLoesch(const QString &txt_find)
{
    const QByteArray find = txt_find.toUtf8();
    return throughTemporaryFile(
        {}, [&find](QByteArrayView lines) { return emptyLinesContaining(lines, find); });
}

bool LineTools::throughTemporaryFile(const std::function<bool(const QString &folder)> &rewriteFile,
                                     const std::function<QByteArray(QByteArrayView)> &rebuild)
{
    const QString folder = temporaryFolder(m_port.programFolder());
    TemporaryTextFile file(folder, tempName);
    const QByteArray original = m_port.editor().utf8Text();
    if (!file.writeText(original)) {
        reportFailure(file.errorString());
        return false;
    }
    m_port.setStatus(savedStatus);
    if (rewriteFile && !rewriteFile(folder)) {
        file.remove();
        m_port.setStatus(unchangedStatus);
        return false;
    }
    const std::optional<QByteArray> lines = file.readBytes();
    if (!lines) {
        reportFailure(file.errorString());
        return false;
    }
    const QByteArray text = rebuild(*lines);
    if (!file.remove()) {
        reportFailure(file.errorString());
        return false;
    }
    if (text != original)
        m_port.editor().replaceAllUtf8(text);
    return true;
}

bool LineTools::CleanFile(const QString &folder, const QString &name)
{
    TemporaryTextFile target(folder, name);
    // The working copy lies beside the file, in a folder we may write.
    TemporaryTextFile copy(folder, QStringLiteral("Temp_") + name);
    const auto failed = [this](const TemporaryTextFile &file) {
        m_port.messages().show(file.errorString(), MsgButtons::Ok, MsgIcon::Critical,
                                         errorTitle);
        return false; // the copy's destructor deletes it
    };

    {
        const std::optional<QByteArray> original = target.readBytes();
        if (!original)
            return failed(target);
        if (!copy.writeBytes(*original))
            return failed(copy);
    }
    const std::optional<QByteArray> lines = copy.readBytes();
    if (!lines)
        return failed(copy);
    if (!target.writeBytes(cleanLines(*lines)))
        return failed(target);
    if (!copy.remove())
        return failed(copy);
    // The rewritten file is the caller's to read and delete.
    target.release();
    return true;
}

void LineTools::reportFailure(const QString &description)
{
    m_port.setStatus(unchangedStatus);
    m_port.messages().show(description + QStringLiteral("\nDer Text bleibt unverändert."),
                                     MsgButtons::Ok, MsgIcon::Critical, errorTitle);
}

} // namespace kelo
