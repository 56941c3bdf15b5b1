// Saving the editor text: the "speichern" and "speichern als" buttons (and
// Ctrl+S), the save-as panel's name box and folder list, the EXIT button and
// the question the window asks before it closes over a changed text.
//
// Nothing is ever lost on the way out: a save that did not happen (no name
// yet, or a failed write) keeps the window open with the save-as panel.
#pragma once

#include <QObject>
#include <QString>

namespace kelo {

class Form1;
class MessageBoxes;
class SaveAsPanel;

class Saving : public QObject {
    Q_OBJECT

public:
    // Wires the buttons, the shortcut and the save-as panel of the window,
    // and moves the panel's folder list to the program's folder.
    explicit Saving(Form1 &form);

    // Writes the text over the current file (the program's folder's
    // Kelo.txt when there is none) if that file exists, and says so. A file
    // that does not exist yet is not created: the user is asked for a name
    // and the save-as panel shows. A failed write says "Hoppla" (the reason
    // goes to the status line) and shows the panel too. Returns whether the
    // text was written.
    bool Speichern();

    void img_save_Click();
    void Save_AS_Click();
    // A key pressed in the name box: Enter with a name writes the text to
    // the folder the panel shows under that name, which becomes the current
    // file.
    void saveas_KeyPress(int key);
    // Offers to save a text that is not empty, then closes every window;
    // stays open when the user wanted the text saved and it was not.
    void EXIT_Click();

    // Asked by the window before it closes by any other way: a text changed
    // since it was loaded or saved is offered for saving. False keeps the
    // window open (the user said yes and the text was not saved).
    bool mayClose();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Writes the editor text to a path. On success the text counts as
    // unchanged and takes the form it was written in; on failure the reason
    // goes to the status line.
    bool writeText(const QString &path);
    // Shows the save-as panel, where the user left it, ready for a name.
    void showPanelForAName();
    bool userWantsItSaved();
    MessageBoxes &messages() const;
    SaveAsPanel *panel() const;

    Form1 &m_form;
    QObject *m_nameBox = nullptr; // the save-as panel's name box
    // Set while EXIT closes the window: it has asked already.
    bool m_exiting = false;
};

} // namespace kelo
