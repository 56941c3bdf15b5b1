#include "files/textcommands.h"

#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/textprinter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kelo {

TextCommands::TextCommands(TextBox *editor, MessageBoxes *messages, TextPrinter *printer,
                           std::function<void()> refreshText, QObject *parent)
    : QObject(parent)
    , m_editor(editor)
    , m_messages(messages)
    , m_printer(printer)
    , m_refreshText(std::move(refreshText))
{}

void TextCommands::Print_Click()
{
    if (m_messages->show(QStringLiteral("Datei jetzt ausdrucken ?"), MsgButtons::YesNo) ==
        MsgAnswer::Yes)
        Drucken();
}

void TextCommands::Drucken()
{
    // A long text takes a few seconds on its way to the printer.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const PrintResult result = m_printer->printText(m_editor->Text());
    QGuiApplication::restoreOverrideCursor();
    if (!result.ok)
        m_messages->show(result.error, MsgButtons::Ok, MsgIcon::Critical);
}

void TextCommands::copy_Click()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (m_editor->utf8View().isEmpty())
        return;
    // A copy of the editor's bytes goes on the clipboard, and becomes the
    // text with LF line breaks when a program pastes it: on a big text that
    // is one copy instead of three, and no wait until then.
    if (std::unique_ptr<QMimeData> whole = m_editor->wholeTextMimeData()) {
        clipboard->setMimeData(whole.release());
        return;
    }
    m_messages->show(QStringLiteral("Der Text kann nicht in die Zwischenablage kopiert werden: "
                                    "Dafür ist nicht genug Arbeitsspeicher frei."),
                     MsgButtons::Ok, MsgIcon::Critical);
}

void TextCommands::img_clear_Click()
{
    m_editor->setText(QString());
}

void TextCommands::cmd_fresh_Click()
{
    m_refreshText();
}

} // namespace kelo
