// The options panel's buttons for the desktop: the file manager's
// context-menu entry (cmd_register, cmd_delReg) and the association of the
// extension in txt_reggie (txtRegister). Reports in the status line and in
// message boxes; the work is done by ContextMenuEntry and
// FileTypeAssociation on the user's key store and desktop folders.
#pragma once

#include "services/desktopmirror.h"

#include <QObject>

#include <memory>

namespace kelo {

class Form1;
class KeyStore;

class DesktopIntegration : public QObject {
    Q_OBJECT

public:
    // Connects the buttons of the window's options panel.
    explicit DesktopIntegration(Form1 &form);
    ~DesktopIntegration() override;

    void cmd_register_Click();
    void cmd_delReg_Click();
    void txtRegister_Click();
    // Associates the extension typed into txt_reggie.
    void Main();

    // The user's folders: from the window's context, else the standard ones.
    DesktopFolders folders() const;

private:
    void reportFailure(const QString &what, const QString &error);

    Form1 &m_form;
    std::unique_ptr<KeyStore> m_store;
};

} // namespace kelo
