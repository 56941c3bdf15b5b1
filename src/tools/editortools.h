// Wires the text tools of the editor into the main window: the caret readout
// after a click, automatic indentation on Enter, and the Search dialog with
// its keys (Ctrl+F opens it, F3 finds the next occurrence).
#pragma once

#include <QObject>
#include <QPointer>

namespace kelo {

class Form1;
class frm_such;

class EditorTools : public QObject {
    Q_OBJECT

public:
    explicit EditorTools(Form1 *form);

    // A click into the editor: its line and column into the status line.
    void TextBox1_Click();
    // Enter in the editor: a line break with the current line's indentation.
    void TextBox1_KeyPress();
    // Shows the Search dialog, creating it when it is not open.
    void search_Click();

    // The open Search dialog, or nullptr.
    frm_such *searchDialog() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void findNextKey();

    Form1 *m_form;
    QPointer<frm_such> m_such;
};

} // namespace kelo
