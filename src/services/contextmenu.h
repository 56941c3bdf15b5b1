// The file manager's context-menu entry for every file: the verb
// "*\shell\<menu text>\command" in the key store, whose command starts Kelo
// with the file, mirrored onto the desktop after each change.
#pragma once

#include <QString>

#include <optional>

namespace kelo {

class DesktopMirror;
class KeyStore;

class ContextMenuEntry {
public:
    ContextMenuEntry(KeyStore &store, DesktopMirror &mirror);

    // Creates the verb strMenuText with the command strAnwendung + " %1"
    // (both unquoted, exactly as given). Returns a German description of what
    // failed, or nothing when the entry is in place. A program the desktop
    // files cannot name (desktop::programProblem) writes nothing.
    std::optional<QString> ProgrammRegistrierung(const QString &strMenuText,
                                                 const QString &strAnwendung);

    struct Removal {
        bool deleted = false;         // the verb key itself was deleted
        std::optional<QString> error; // what failed; an entry that was not there is no failure
    };
    // Removes the verb strText: its "Command" key first, then the verb key,
    // stopping at the first step that fails.
    Removal Delete_ContextItem(const QString &strText);

private:
    std::optional<QString> mirror();

    KeyStore &m_store;
    DesktopMirror &m_mirror;
};

} // namespace kelo
