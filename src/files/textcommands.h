// The whole-text commands of the top bar: printing the text on the default
// printer after a question (Print, Ctrl+P), copying the whole text to the
// clipboard, emptying the editor, and the display refresh.
#pragma once

#include <QObject>

#include <functional>

namespace kelo {

class MessageBoxes;
class TextBox;
class TextPrinter;

class TextCommands : public QObject {
    Q_OBJECT

public:
    // refreshText is RefreshText of the colour schemes.
    TextCommands(TextBox *editor, MessageBoxes *messages, TextPrinter *printer,
                 std::function<void()> refreshText, QObject *parent = nullptr);

    // Asks "Datei jetzt ausdrucken ?" and prints on Yes.
    void Print_Click();
    // Prints the whole text, as the editor holds it, followed by a line end.
    void Drucken();
    // Puts the whole text (not only the selection) on the clipboard as plain
    // text with LF line breaks, or says that there is no memory for it.
    void copy_Click();
    // Empties the editor as one undo step; the current file stays.
    void img_clear_Click();
    void cmd_fresh_Click();

private:
    TextBox *m_editor;
    MessageBoxes *m_messages;
    TextPrinter *m_printer;
    std::function<void()> m_refreshText;
};

} // namespace kelo
