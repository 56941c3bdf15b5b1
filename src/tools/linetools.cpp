#include "tools/linetools.h"

#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "shell/colourschemes.h"
#include "shell/form1.h"
#include "tools/frm_ersetz.h"
#include "tools/linerules.h"
#include "tools/tempfile.h"

#include <QPushButton>
#include <QShortcut>

namespace kelo {

namespace {

const QString tempName = QStringLiteral("kelo.tmp");
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
    const QString folder = temporaryFolder(m_form->context().programFolder);
    TemporaryTextFile file(folder, tempName);
    const QByteArray original = m_form->TextBox1->utf8Text();
    if (!file.writeText(original)) {
        reportFailure(file.errorString());
        return false;
    }
    m_form->setStatus(savedStatus);
    if (rewriteFile && !rewriteFile(folder)) {
        file.remove();
        m_form->setStatus(unchangedStatus);
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
        m_form->TextBox1->replaceAllUtf8(text);
    return true;
}

bool LineTools::CleanFile(const QString &folder, const QString &name)
{
    TemporaryTextFile target(folder, name);
    // The working copy lies beside the file, in a folder we may write.
    TemporaryTextFile copy(folder, QStringLiteral("Temp_") + name);
    const auto failed = [this](const TemporaryTextFile &file) {
        m_form->context().messages->show(file.errorString(), MsgButtons::Ok, MsgIcon::Critical,
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
    m_form->setStatus(unchangedStatus);
    m_form->context().messages->show(description + QStringLiteral("\nDer Text bleibt unverändert."),
                                     MsgButtons::Ok, MsgIcon::Critical, errorTitle);
}

} // namespace kelo
