#include "tools/linetools.h"

#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "shell/colourschemes.h"
#include "shell/form1.h"
#include "tools/frm_ersetz.h"
#include "tools/linerules.h"
#include "tools/tempfile.h"
#include "tools/textpassage.h"

#include <QPushButton>
#include <QShortcut>

namespace kelo {

namespace {

const QString savedStatus = QStringLiteral("temporäre Datei gespeichert");
const QString unchangedStatus =
    QStringLiteral("Abgebrochen: Die temporäre Datei hat versagt, der Text ist unverändert.");
const QString errorTitle = QStringLiteral("Fehler");

} // namespace

LineTools::LineTools(Form1 *form)
    : QObject(form)
    , m_form(form)
{
    connect(form->cmdDelEmpty, &QPushButton::clicked, this, &LineTools::cmdDelEmpty_Click);
    connect(form->cmd_replace, &QPushButton::clicked, this, &LineTools::cmd_replace_Click);
    auto *replace = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), form);
    connect(replace, &QShortcut::activated, this, &LineTools::cmd_replace_Click);
}

void LineTools::cmdDelEmpty_Click()
{
    Leerz();
    m_form->schemes()->RefreshText();
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
    const KeloContext &context = m_form->context();
    m_replace = new frm_ersetz(m_form->TextBox1, *context.settings, *context.messages, m_form);
    connect(m_replace, &frm_ersetz::deleteLinesRequested, this, [this](const QString &text) {
        SLoesch(text);
        m_form->schemes()->RefreshText();
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
    return throughTemporaryFile({.rewrite = cleanLines, .rebuild = joinFileLines});
}

bool LineTools::SLoesch(const QString &txt_find)
{
    const QByteArray find = txt_find.toUtf8();
    return throughTemporaryFile({.rewrite = {}, .rebuild = [&find](QByteArrayView lines) {
                                     return emptyLinesContaining(lines, find);
                                 }});
}

bool LineTools::throughTemporaryFile(const TextPassage &passage)
{
    const QByteArray original = m_form->TextBox1->utf8Text();
    const PassageResult result =
        passThroughTemporaryFile(m_form->context().programFolder, original, passage);
    if (result.failedStep == PassageStep::Write) {
        reportFailure(result.error);
        return false;
    }
    m_form->setStatus(savedStatus);
    if (result.failedStep == PassageStep::Rewrite) {
        // The working copy's rewrite says what failed as CleanFile does.
        showCleanFileFailure(result.error);
        m_form->setStatus(unchangedStatus);
        return false;
    }
    if (!result.text) {
        reportFailure(result.error);
        return false;
    }
    if (*result.text != original)
        m_form->TextBox1->replaceAllUtf8(*result.text);
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
    m_form->context().messages->show(description, MsgButtons::Ok, MsgIcon::Critical, errorTitle);
}

void LineTools::reportFailure(const QString &description)
{
    m_form->setStatus(unchangedStatus);
    m_form->context().messages->show(description + QStringLiteral("\nDer Text bleibt unverändert."),
                                     MsgButtons::Ok, MsgIcon::Critical, errorTitle);
}

} // namespace kelo
