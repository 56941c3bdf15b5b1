#include "tools/editortools.h"

#include "platform/textbox.h"
#include "shell/form1.h"
#include "tools/autoindent.h"
#include "tools/caret.h"
#include "tools/frm_such.h"

#include <QEvent>
#include <QPushButton>
#include <QShortcut>

namespace kelo {

EditorTools::EditorTools(Form1 *form)
    : QObject(form)
    , m_form(form)
{
    connect(m_form->TextBox1, &TextBox::clicked, this, &EditorTools::TextBox1_Click);
    m_form->TextBox1->setEnterHandler([this] { TextBox1_KeyPress(); });
    connect(m_form->search, &QPushButton::clicked, this, &EditorTools::search_Click);

    auto *find = new QShortcut(QKeySequence::Find, m_form);
    connect(find, &QShortcut::activated, this, &EditorTools::search_Click);
    auto *findNext = new QShortcut(QKeySequence(Qt::Key_F3), m_form);
    connect(findNext, &QShortcut::activated, this, &EditorTools::findNextKey);
}

void EditorTools::TextBox1_Click()
{
    const TextBox &box = *m_form->TextBox1;
    m_form->setStatus(caretReadout(GetCurrentLine(box), GetCurrentCol(box)));
}

void EditorTools::TextBox1_KeyPress()
{
    AutoIndent(*m_form->TextBox1);
}

void EditorTools::search_Click()
{
    if (m_such == nullptr) {
        m_such = new frm_such(
            m_form->TextBox1, [form = m_form](const QString &text) { form->setStatus(text); },
            m_form);
        // The dialog deletes itself once closed; from the moment it closes it
        // is no longer the open dialog, even before the deletion happens.
        m_such->installEventFilter(this);
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

void EditorTools::findNextKey()
{
    if (m_such != nullptr && m_such->cmdWeitersuchen->isEnabled())
        m_such->cmdWeitersuchen_Click();
}

} // namespace kelo
