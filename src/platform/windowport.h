// The main window as the features see it: the editor, the status line, the
// message boxes and settings, the program's folder, and the current file
// with the form its text was read in. Saving, the line tools, the editor
// tools, the translation and the whole-text commands take this port (and the
// panels they own) instead of the concrete window, so each of them can be
// built and tested without the rest of the window.
#pragma once

#include "platform/codepage.h"
#include "platform/fileidentity.h"
#include "platform/workprogress.h"

#include <QString>

#include <memory>

class QWidget;

namespace kelo {

class MessageBoxes;
class SettingsStore;
class TextBox;

class WindowPort {
public:
    virtual ~WindowPort() = default;

    // The window itself: the parent of dialogs and progress boxes.
    virtual QWidget &window() = 0;
    virtual TextBox &editor() = 0;
    virtual MessageBoxes &messages() = 0;
    virtual SettingsStore &settings() = 0;
    // The folder of the running program file.
    virtual QString programFolder() const = 0;

    // The progress box of a long piece of work on the text, its label made
    // of `what` and the percentage ("Ersetze … 40 %"); none by default.
    virtual std::unique_ptr<WorkProgress> startWork(const QString &what)
    {
        Q_UNUSED(what);
        return nullptr;
    }

    // Writes a hint or a message into the status line.
    virtual void setStatus(const QString &text) = 0;
    // The font and colours of the colour scheme again, caret to the start.
    virtual void refreshText() = 0;

    // The current file ("" when none), shown above the editor.
    virtual QString currentFile() const = 0;
    virtual void setCurrentFile(const QString &path) = 0;
    // The form the text was read in; saving writes it back in that form.
    virtual TextFormat textFormat() const = 0;
    virtual void setTextFormat(const TextFormat &format) = 0;
    // The file as Kelo last read or wrote it, to notice another program's
    // writes; rememberFile() takes the identity the file has now.
    virtual KnownFile knownFile() const = 0;
    virtual void setKnownFile(const KnownFile &known) = 0;
    void rememberFile(const QString &path) { setKnownFile({path, identityOf(path)}); }

    // Closes every window of the program; whatever had to be asked about
    // the text was asked already (EXIT).
    virtual void exitProgram() = 0;
};

} // namespace kelo
