#include "services/desktopintegration.h"

#include "platform/controls.h"
#include "platform/messagebox.h"
#include "services/contextmenu.h"
#include "services/filetypeassociation.h"
#include "services/keystore.h"
#include "shell/form1.h"
#include "shell/optionspanel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

namespace kelo {

DesktopIntegration::DesktopIntegration(Form1 &form)
    : QObject(&form)
    , m_form(form)
    , m_store(std::make_unique<KeyStore>(KeyStore::fileIn(folders().dataHome)))
{
    OptionsPanel *panel = form.Frame1;
    connect(panel->cmd_register, &QPushButton::clicked, this,
            &DesktopIntegration::cmd_register_Click);
    connect(panel->cmd_delReg, &QPushButton::clicked, this, &DesktopIntegration::cmd_delReg_Click);
    connect(panel->txtRegister, &QPushButton::clicked, this,
            &DesktopIntegration::txtRegister_Click);
}

DesktopIntegration::~DesktopIntegration() = default;

DesktopFolders DesktopIntegration::folders() const
{
    const KeloContext &context = m_form.context();
    DesktopFolders folders{context.dataHome, context.configHome, context.dataDirs};
    if (folders.dataHome.isEmpty())
        folders.dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folders.configHome.isEmpty())
        folders.configHome =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return folders;
}

void DesktopIntegration::reportFailure(const QString &what, const QString &error)
{
    // The status line holds one line; the box shows the reasons in full.
    m_form.setStatus(what + QLatin1Char(' ') + QString(error).replace(QLatin1Char('\n'), u' '));
    m_form.context().messages->show(what + QStringLiteral("\r\n") + error, MsgButtons::Ok,
                                    MsgIcon::Critical);
}

void DesktopIntegration::cmd_register_Click()
{
    DesktopMirror mirror(folders(), m_form.strMenuEintrag);
    ContextMenuEntry entry(*m_store, mirror);
    if (const auto error = entry.ProgrammRegistrierung(m_form.strMenuEintrag, m_form.strProgPfad)) {
        reportFailure(QStringLiteral("Kelo the Scriv konnte nicht ins Kontextmenü eingetragen "
                                     "werden:"),
                      *error);
        return;
    }
    m_form.setStatus(
        QStringLiteral("Kelo the Scriv ist nun im Kontextmenü des Explorers verfügbar !"));
}

void DesktopIntegration::cmd_delReg_Click()
{
    DesktopMirror mirror(folders(), m_form.strMenuEintrag);
    ContextMenuEntry entry(*m_store, mirror);
    // Whether the verb key itself went does not matter here: an entry that
    // was not there is gone as well.
    if (const auto error = entry.Delete_ContextItem(m_form.strMenuEintrag).error) {
        reportFailure(QStringLiteral("Der Eintrag ins Kontextmenü für Kelo the Scriv konnte nicht "
                                     "gelöscht werden:"),
                      *error);
        return;
    }
    m_form.setStatus(QStringLiteral(
        "Der Eintrag ins Kontextmenü des Explorers für Kelo the Scriv wurde gelöscht !"));
}

void DesktopIntegration::txtRegister_Click()
{
    Main();
}

void DesktopIntegration::Main()
{
    DesktopMirror mirror(folders(), m_form.strMenuEintrag);
    FileTypeAssociation association(*m_store, mirror, *m_form.context().messages,
                                    m_form.strProgPfad);
    association.DateitypVerknuepfen(m_form.Frame1->txt_reggie->text());
}

} // namespace kelo
