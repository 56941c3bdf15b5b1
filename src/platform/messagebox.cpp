#include "platform/messagebox.h"

#include "platform/filenames.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>

namespace kelo {

QtMessageBoxes::QtMessageBoxes(QWidget *parent)
    : m_parent(parent)
{}

void QtMessageBoxes::setParent(QWidget *parent)
{
    m_parent = parent;
}

MsgAnswer QtMessageBoxes::show(const QString &text, MsgButtons buttons, MsgIcon icon,
                               const QString &title, MsgAnswer defaultAnswer)
{
    // Where the keyboard was: an undo right after the box must work at once.
    const QPointer<QWidget> focus = QApplication::focusWidget();
    const auto giveFocusBack = qScopeGuard([&focus] {
        if (focus) {
            focus->activateWindow();
            focus->setFocus(Qt::OtherFocusReason);
        }
    });

    QMessageBox box(icon == MsgIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    title.isEmpty() ? defaultMessageTitle() : title, displayFileName(text),
                    QMessageBox::NoButton,
                    m_parent);
    if (buttons == MsgButtons::Ok) {
        QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
        box.exec();
        return MsgAnswer::Ok;
    }

    QPushButton *yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("Nein"), QMessageBox::NoRole);
    // Escape and the title bar's close button press the escape button. Left
    // to itself QMessageBox would take "Nein" for it; a question without
    // "Abbrechen" gets a button nobody sees instead, so that going back never
    // answers "Nein".
    QPushButton *cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    if (buttons == MsgButtons::YesNo)
        cancel->hide();
    box.setEscapeButton(cancel);
    QPushButton *byDefault = yes;
    if (defaultAnswer == MsgAnswer::No)
        byDefault = no;
    else if (defaultAnswer == MsgAnswer::Cancel && buttons == MsgButtons::YesNoCancel)
        byDefault = cancel;
    box.setDefaultButton(byDefault);
    box.exec();
    if (box.clickedButton() == yes)
        return MsgAnswer::Yes;
    if (box.clickedButton() == no)
        return MsgAnswer::No;
    return MsgAnswer::Cancel;
}

QStringList ScriptedMessageBoxes::texts() const
{
    QStringList result;
    for (const Shown &box : m_shown)
        result.append(box.text);
    return result;
}

MsgAnswer ScriptedMessageBoxes::show(const QString &text, MsgButtons buttons, MsgIcon icon,
                                     const QString &title, MsgAnswer defaultAnswer)
{
    m_shown.append(
        {displayFileName(text), buttons, icon, title.isEmpty() ? defaultMessageTitle() : title,
         defaultAnswer});
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
}

} // namespace kelo
