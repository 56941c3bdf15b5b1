// Message boxes. Every box the program shows goes through this interface, so
// that tests can answer the boxes and check what was asked.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace kelo {

enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgIcon { None, Critical };
// The answers carry the classic values (Yes is 6). A question that is
// dismissed with Escape or the box's own close button answers Cancel, also
// when it has no "Abbrechen" button: going back never counts as "Nein".
enum class MsgAnswer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

inline const QString &defaultMessageTitle()
{
    static const QString title = QStringLiteral("Kelo the Scriv");
    return title;
}

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows a modal box and returns the answer. An empty title shows the
    // program's name. A question's default button (the one Enter presses)
    // is "Ja" unless another is given. When the box closes, the keyboard
    // focus goes back to where it was. File names in the text that are not
    // UTF-8 show as displayFileName has them.
    virtual MsgAnswer show(const QString &text, MsgButtons buttons = MsgButtons::Ok,
                           MsgIcon icon = MsgIcon::None, const QString &title = {},
                           MsgAnswer defaultAnswer = MsgAnswer::Yes) = 0;
};

// Real boxes: QMessageBox with the German buttons "OK", "Ja" and "Nein".
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget *parent = nullptr);
    void setParent(QWidget *parent);
    MsgAnswer show(const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title,
                   MsgAnswer defaultAnswer) override;

private:
    QPointer<QWidget> m_parent;
};

// Boxes for tests: records every box and gives the queued answers in turn.
// Without a queued answer an OK box answers OK and a question answers No.
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        QString text; // as shown
        MsgButtons buttons;
        MsgIcon icon;
        QString title; // as shown: the program's name when none was given
        MsgAnswer defaultAnswer;
    };

    void queueAnswer(MsgAnswer answer) { m_answers.append(answer); }
    const QList<Shown> &shown() const { return m_shown; }
    QStringList texts() const;
    void clear()
    {
        m_shown.clear();
        m_answers.clear();
    }

    MsgAnswer show(const QString &text, MsgButtons buttons, MsgIcon icon, const QString &title,
                   MsgAnswer defaultAnswer) override;

private:
    QList<MsgAnswer> m_answers;
    QList<Shown> m_shown;
};

} // namespace kelo
