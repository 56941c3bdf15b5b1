// The main window's line tools: the blank-line and double-space clean-up
// ("Leerzeilen"), the emptying of lines that hold a text (the Replace
// dialog's "ganze Zeile löschen"), and the Replace dialog itself, which the
// command "replace" (button and Ctrl+H) opens.
//
// The clean-up and the emptying pass the editor text through the temporary
// file "kelo.tmp" (textpassage.h), line by line; the file's line rules are
// theirs. Each command replaces the editor text once, as one undo step, and
// only when it succeeded: a failure of the temporary file leaves the text
// exactly as it was, says what failed, and leaves no temporary file behind.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

namespace kelo {

class WindowPort;
class frm_ersetz;
struct TextPassage;

class LineTools : public QObject {
    Q_OBJECT

public:
    explicit LineTools(WindowPort &port, QObject *parent = nullptr);

    // "Leerzeilen": the clean-up, then the display refresh.
    void cmdDelEmpty_Click();
    // "replace": shows the Replace dialog, creating it when it is not open.
    void cmd_replace_Click();

    // Removes the blank lines and shrinks the runs of spaces. False when the
    // temporary file failed (the text is then unchanged).
    bool Leerz();
    // Empties every line that contains the text. False when the temporary
    // file failed (the text is then unchanged).
    bool SLoesch(const QString &txt_find);
    // Rewrites the file folder/name in place through its working copy
    // "Temp_" + name beside it: runs of spaces shrunk, lines of nothing but
    // spaces dropped. On a failure (also when another Kelo holds the file)
    // shows the box "Fehler" and returns false.
    bool CleanFile(const QString &folder, const QString &name);

    // The open Replace dialog, or null.
    frm_ersetz *replaceDialog() const;

private:
    // The passage both commands take; any failure leaves the editor text as
    // it was.
    // `what` names the work in its progress box ("Ersetze", ...).
    bool throughTemporaryFile(const QString &what, const TextPassage &passage);
    // A failure's message box, with the status it leaves.
    void reportFailure(const QString &description, const QString &status);
    void showCleanFileFailure(const QString &description);

    WindowPort &m_port;
    QPointer<frm_ersetz> m_replace;
};

} // namespace kelo
