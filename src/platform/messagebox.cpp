#include "platform/messagebox.h"

#include "platform/filenames.h"

#include <QMessageBox>
#include <QPushButton>

namespace kelo {

QtMessageBoxes::QtMessageBoxes(QWidget *parent)
    : m_parent(parent)
{}

void QtMessageBoxes::setParent(QWidget *parent)
{
    m_parent = parent;
}

MsgAnswer QtMessageBoxes::show(const QString &text, MsgButtons buttons, MsgIcon icon,
                               const QString &title)
{
    QMessageBox box(icon == MsgIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    title.isEmpty() ? defaultMessageTitle() : title, displayFileName(text),
                    QMessageBox::NoButton,
                    m_parent);
    if (buttons == MsgButtons::YesNo) {
        QPushButton *yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
        QPushButton *no = box.addButton(QStringLiteral("Nein"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    return MsgAnswer::Ok;
}

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList result;
    for (const Shown &box : m_shown)
        result.append(box.text);
    return result;
}

MsgAnswer ScriptedMessageBoxes::show(const QString &text, MsgButtons buttons, MsgIcon icon,
                                     const QString &title)
{
    m_shown.append(
        {displayFileName(text), buttons, icon, title.isEmpty() ? defaultMessageTitle() : title});
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

} // namespace kelo
