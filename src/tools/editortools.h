// The text tools of the editor: the caret readout after a click, automatic
// indentation on Enter, and the Search dialog (the command "search", Ctrl+F)
// with its "find next" (F3).
#pragma once

#include <QObject>
#include <QPointer>

namespace kelo {

class WindowPort;
class frm_such;

class EditorTools : public QObject {
    Q_OBJECT

public:
    // Takes the editor's clicks and its Enter key.
    explicit EditorTools(WindowPort &port, QObject *parent = nullptr);

    // A click into the editor: its line and column into the status line.
    void TextBox1_Click();
    // Enter in the editor: a line break with the current line's indentation.
    void TextBox1_KeyPress();
    // Shows the Search dialog, creating it when it is not open.
    void search_Click();

    // F3: the next occurrence, when the Search dialog is open and can look.
    void findNext();

    // The open Search dialog, or nullptr.
    frm_such *searchDialog() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    WindowPort &m_port;
    QPointer<frm_such> m_such;
};

} // namespace kelo
