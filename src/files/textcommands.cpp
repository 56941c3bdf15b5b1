#include "files/textcommands.h"

#include "platform/linebreaks.h"
#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/textprinter.h"

#include <QClipboard>
#include <QGuiApplication>

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
    const QString text = m_editor->Text();
    if (!text.isEmpty())
        clipboard->setText(crlfToLf(text));
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
