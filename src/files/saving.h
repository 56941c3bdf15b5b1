// Saving the editor text: the "speichern" and "speichern als" buttons (and
// Ctrl+S), the save-as panel's name box and folder list, the EXIT button and
// the question asked before a changed text is closed or replaced.
//
// Nothing is ever lost on the way out: a save that did not happen (no name
// yet, or a failed write) keeps the window open with the save-as panel, and
// going back (Escape, the box's close button, "Abbrechen") is never taken for
// "Nein". Nor is another program's work lost: a file that changed on disk
// since Kelo read or wrote it is only written over when the user says so.
#pragma once

#include "platform/messagebox.h"

#include <QObject>
#include <QString>

namespace kelo {

class SaveAsPanel;
class WindowPort;

class Saving : public QObject {
    Q_OBJECT

public:
    // Takes over the save-as panel (its name box and folder list) and moves
    // its folder list to the program's folder.
    Saving(WindowPort &port, SaveAsPanel &panel, QObject *parent = nullptr);

    // Writes the text over the current file (the program's folder's
    // Kelo.txt when there is none) if that file exists, and says so. A file
    // that does not exist yet is not created: the user is asked for a name
    // and the save-as panel shows. A file another program changed or
    // replaced since Kelo read or wrote it is written over only after a
    // question whose default is "Nein". A failed write says "Hoppla" (the
    // reason goes to the status line) and shows the panel too. Returns
    // whether the text was written.
    bool Speichern();

    void img_save_Click();
    // Shows the save-as panel at its working position, ready for a name.
    void Save_AS_Click();
    // A key pressed in the name box: Enter with a name writes the text to
    // the folder the panel shows under that name, which becomes the current
    // file.
    void saveas_KeyPress(int key);
    // Offers to save a text that is not empty ("Ja"/"Nein"), then closes
    // every window; stays open when the user went back, or wanted the text
    // saved and it was not.
    void EXIT_Click();

    // Asked before a text changed since it was loaded or saved is dropped
    // (the window closes, another file is loaded): "Datei … speichern ?"
    // with "Ja" (save through Speichern), "Nein" and "Abbrechen". True when
    // the text may go: it was unchanged, it was saved, or the user said
    // "Nein".
    bool confirmDropChangedText();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Written { Yes, Failed, Stopped };
    // Writes the editor text to a path, with a progress box for a long
    // write. On success the text counts as unchanged and takes the form it
    // was written in; on failure, or when the user stopped the write, the
    // reason goes to the status line and the file stays as it was.
    Written writeText(const QString &path);
    // Whether the text may be written over the file at the path: yes unless
    // it is the file Kelo knows and another program changed or replaced it
    // since, and the user does not say "Ja".
    bool mayOverwrite(const QString &path);
    // Shows the save-as panel, where the user left it, ready for a name.
    void showPanelForAName();
    MsgAnswer askToSave(MsgButtons buttons);

    WindowPort &m_port;
    SaveAsPanel &m_panel;
    QObject *m_nameBox = nullptr; // compared, never followed: see eventFilter
    // A save is running: its progress box lets the window work, and the end
    // of the session may ask for another save meanwhile.
    bool m_writing = false;
};

} // namespace kelo
