// What the options panel's buttons do for the desktop: the file manager's
// context-menu entry (cmd_register, cmd_delReg) and the association of an
// extension (txtRegister with the text of txt_reggie). Reports in the status
// line and in message boxes; the work is done by ContextMenuEntry and
// FileTypeAssociation on the user's key store and desktop folders.
#pragma once

#include "services/desktopmirror.h"

#include <QObject>

#include <memory>

namespace kelo {

class KeyStore;
class WindowPort;

// What the desktop entries name, fixed when Kelo starts.
struct DesktopFacts {
    QString programFile; // the running program file (strProgPfad)
    QString menuName;    // the name in the menus (strMenuEintrag), "Kelo the Scriv"
    DesktopFolders folders;
};

// The given folders, with the user's standard ones where they are empty.
DesktopFolders standardDesktopFolders(DesktopFolders folders);

class DesktopIntegration : public QObject {
    Q_OBJECT

public:
    DesktopIntegration(WindowPort &port, DesktopFacts facts, QObject *parent = nullptr);
    ~DesktopIntegration() override;

    void cmd_register_Click();
    void cmd_delReg_Click();
    // Associates the extension (typed into txt_reggie) with Kelo.
    void Main(const QString &extension);

    const DesktopFacts &facts() const { return m_facts; }

private:
    void reportFailure(const QString &what, const QString &error);

    WindowPort &m_port;
    DesktopFacts m_facts;
    std::unique_ptr<KeyStore> m_store;
};

} // namespace kelo
