#include "services/desktopintegration.h"

#include "platform/messagebox.h"
#include "platform/windowport.h"
#include "services/contextmenu.h"
#include "services/filetypeassociation.h"
#include "services/keystore.h"

#include <QStandardPaths>

namespace kelo {

DesktopIntegration::DesktopIntegration(WindowPort &port, DesktopFacts facts, QObject *parent)
    : QObject(parent)
    , m_port(port)
    , m_facts(std::move(facts))
    , m_store(std::make_unique<KeyStore>(KeyStore::fileIn(m_facts.folders.dataHome)))
{}

DesktopIntegration::~DesktopIntegration() = default;

DesktopFolders standardDesktopFolders(DesktopFolders folders)
{
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
    m_port.setStatus(what + QLatin1Char(' ') + QString(error).replace(QLatin1Char('\n'), u' '));
    m_port.messages().show(what + QStringLiteral("\r\n") + error, MsgButtons::Ok,
                                    MsgIcon::Critical);
}

void DesktopIntegration::cmd_register_Click()
{
    DesktopMirror mirror(m_facts.folders, m_facts.menuName);
    ContextMenuEntry entry(*m_store, mirror);
    if (const auto error = entry.ProgrammRegistrierung(m_facts.menuName, m_facts.programFile)) {
        reportFailure(QStringLiteral("Kelo the Scriv konnte nicht ins Kontextmenü eingetragen "
                                     "werden:"),
                      *error);
        return;
    }
    m_port.setStatus(
        QStringLiteral("Kelo the Scriv ist nun im Kontextmenü des Explorers verfügbar !"));
}

void DesktopIntegration::cmd_delReg_Click()
{
    DesktopMirror mirror(m_facts.folders, m_facts.menuName);
    ContextMenuEntry entry(*m_store, mirror);
    // Whether the verb key itself went does not matter here: an entry that
    // was not there is gone as well.
    if (const auto error = entry.Delete_ContextItem(m_facts.menuName).error) {
        reportFailure(QStringLiteral("Der Eintrag ins Kontextmenü für Kelo the Scriv konnte nicht "
                                     "gelöscht werden:"),
                      *error);
        return;
    }
    m_port.setStatus(QStringLiteral(
        "Der Eintrag ins Kontextmenü des Explorers für Kelo the Scriv wurde gelöscht !"));
}

void DesktopIntegration::Main(const QString &extension)
{
    DesktopMirror mirror(m_facts.folders, m_facts.menuName);
    FileTypeAssociation association(*m_store, mirror, m_port.messages(), m_facts.programFile);
    association.DateitypVerknuepfen(extension);
}

} // namespace kelo
