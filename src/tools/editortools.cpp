#include "tools/editortools.h"

#include "platform/textbox.h"
#include "platform/windowport.h"
#include "tools/autoindent.h"
#include "tools/caret.h"
#include "tools/frm_such.h"

#include <QEvent>
#include <QPushButton>

namespace kelo {

EditorTools::EditorTools(WindowPort &port, QObject *parent)
    : QObject(parent)
    , m_port(port)
{
    connect(&port.editor(), &TextBox::clicked, this, &EditorTools::TextBox1_Click);
    port.editor().setEnterHandler([this] { TextBox1_KeyPress(); });
}

void EditorTools::TextBox1_Click()
{
    const TextBox &box = m_port.editor();
    m_port.setStatus(caretReadout(GetCurrentLine(box), GetCurrentCol(box)));
}

void EditorTools::TextBox1_KeyPress()
{
    AutoIndent(m_port.editor());
}

void EditorTools::search_Click()
{
    if (m_such == nullptr) {
        m_such = new frm_such(
            &m_port.editor(), [this](const QString &text) { m_port.setStatus(text); },
            &m_port.window());
        // The dialog deletes itself once closed; from the moment it closes it
        // is no longer the open dialog, even before the deletion happens.
        m_such->installEventFilter(this);
        m_such->setWorkProgress([this] { return m_port.startWork(QStringLiteral("Suche")); });
    }
    m_such->show();
    m_such->raise();
    m_such->activateWindow();
}

frm_such *EditorTools::searchDialog() const
{
    return m_such;
}

bool EditorTools::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_such && event->type() == QEvent::Close)
        m_such = nullptr;
    return QObject::eventFilter(watched, event);
}

void EditorTools::findNext()
{
    if (m_such != nullptr && m_such->cmdWeitersuchen->isEnabled())
        m_such->cmdWeitersuchen_Click();
}

} // namespace kelo
