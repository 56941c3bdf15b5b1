#include "tools/frm_ersetz.h"

#include "platform/controls.h"
#include "platform/memoryroom.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "platform/workprogress.h"
#include "tools/replaceall.h"
#include "tools/textchanges.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace kelo {

frm_ersetz::frm_ersetz(TextBox *editor, SettingsStore &settings, MessageBoxes &messages,
                       QWidget *mainWindow)
    : QWidget(mainWindow, Qt::Window | Qt::WindowStaysOnTopHint)
    , m_editor(editor)
    , m_settings(settings)
    , m_messages(messages)
    , m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("frm_ersetz"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Replace"));
    setFont(classicFont(QStringLiteral("MS Sans Serif"), 8.25));
    setFixedSize(twipsToPixels(5250), twipsToPixels(1425));

    const auto label = [this](const QString &name, const QString &text, double l, double t,
                              double w, double h) {
        auto *widget = named(new QLabel(text, this), name);
        placeTwips(widget, l, t, w, h);
        return widget;
    };
    const auto field = [this](const QString &name, double l, double t, double w, double h) {
        auto *widget = named(new QLineEdit(this), name);
        placeTwips(widget, l, t, w, h);
        return widget;
    };
    const auto button = [](QPushButton *widget, const QString &name, double l, double t, double w,
                           double h) {
        named(widget, name);
        placeTwips(widget, l, t, w, h);
        return widget;
    };

    Label1 = label(QStringLiteral("Label1"), QStringLiteral("find:"), 1080, 0, 375, 255);
    txt_finde = field(QStringLiteral("txt_finde"), 1560, 0, 3570, 375);
    cmdTAB = button(new QPushButton(QStringLiteral("TAB ->"), this), QStringLiteral("cmdTAB"), 105,
                    450, 645, 285);
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("replace:"), 840, 480, 735, 255);
    txt_replace = field(QStringLiteral("txt_replace"), 1560, 480, 3570, 375);
    lbl_anzahl = label(QStringLiteral("lbl_anzahl"), QString(), 0, 960, 615, 255);
    QFont bold = font();
    bold.setBold(true);
    lbl_anzahl->setFont(bold);
    lbl_text = label(QStringLiteral("lbl_text"), QString(), 720, 960, 735, 255);
    cmd_ersetzen = button(new QPushButton(QStringLiteral("ersetzen"), this),
                          QStringLiteral("cmd_ersetzen"), 1560, 915, 1110, 420);
    cmdZSLOESCH = button(new WrapButton(QStringLiteral("ganze Zeile löschen"), this),
                         QStringLiteral("cmdZSLOESCH"), 2730, 900, 1320, 420);
    cmd_exit = button(new QPushButton(QStringLiteral("EXIT"), this), QStringLiteral("cmd_exit"),
                      4200, 915, 885, 420);

    // The designed order, which also puts the first focus on "EXIT".
    setTabOrder(cmd_exit, cmd_ersetzen);
    setTabOrder(cmd_ersetzen, txt_replace);
    setTabOrder(txt_replace, txt_finde);
    setTabOrder(txt_finde, cmdTAB);
    setTabOrder(cmdTAB, cmdZSLOESCH);
    for (QWidget *unfocused :
         {static_cast<QWidget *>(Label1), static_cast<QWidget *>(Label2),
          static_cast<QWidget *>(lbl_anzahl), static_cast<QWidget *>(lbl_text)})
        unfocused->setFocusPolicy(Qt::NoFocus);
    cmd_exit->setFocus();

    txt_finde->setAccessibleName(QStringLiteral("find: zu ersetzender Text"));
    txt_replace->setAccessibleName(QStringLiteral("replace: neuer Text"));
    cmdTAB->setAccessibleName(QStringLiteral("TAB"));
    cmdTAB->setAccessibleDescription(QStringLiteral("setzt einen Tabulator als neuen Text"));
    cmd_ersetzen->setAccessibleDescription(QStringLiteral("ersetzt jedes Vorkommen im Text"));
    cmdZSLOESCH->setAccessibleDescription(
        QStringLiteral("leert jede Zeile, die den zu ersetzenden Text enthält"));
    cmd_exit->setAccessibleDescription(QStringLiteral("schließt den Dialog (auch mit Escape)"));
    // Escape leaves as "EXIT" does, the texts stored on the way.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, cmd_exit, &QPushButton::click);

    connect(cmd_ersetzen, &QPushButton::clicked, this, &frm_ersetz::cmd_ersetzen_Click);
    connect(cmdTAB, &QPushButton::clicked, this, &frm_ersetz::cmdTAB_Click);
    connect(cmdZSLOESCH, &QPushButton::clicked, this, &frm_ersetz::cmdZSLOESCH_Click);
    connect(cmd_exit, &QPushButton::clicked, this, &frm_ersetz::cmd_exit_Click);
}

void frm_ersetz::Form_Load()
{
    const QRect main = m_mainWindow->frameGeometry();
    move(main.left() + main.width() / 3, main.top() + main.height() / 3);
    txt_finde->setText(m_settings.read(key::txtFinde, defaults::txtFinde));
    txt_replace->setText(m_settings.read(key::txtReplace, defaults::txtReplace));
}

void frm_ersetz::Form_Unload()
{
    m_settings.write(key::txtFinde, txt_finde->text());
    m_settings.write(key::txtReplace, txt_replace->text());
}

void frm_ersetz::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frm_ersetz::cmd_ersetzen_Click()
{
    lbl_anzahl->clear();
    lbl_text->clear();
    // The editor's own bytes, not a copy: while the replacing runs, its box
    // holds the window's input back, so nothing changes the text.
    const QByteArrayView text = m_editor->utf8View();
    // Two parts: the replacing, then the editor taking the new text, which
    // cannot be stopped: the box then only shows how far it is.
    std::unique_ptr<WorkProgress> progress = m_startWork ? m_startWork() : nullptr;
    WorkMeter meter(progress.get(), 2 * qint64(text.size()));
    const QByteArray search = txt_finde->text().toUtf8();
    const QByteArray replacement = txt_replace->text().toUtf8();
    ReplaceAllChange result =
        replaceAllChange(text, search, replacement, {}, meter.partReport());
    if (result.outcome != ReplaceOutcome::Replaced && result.outcome != ReplaceOutcome::Cancelled) {
        m_messages.show(replaceRefusal(result.outcome));
        return;
    }
    if (result.outcome == ReplaceOutcome::Cancelled || !meter.partDone(text.size())) {
        lbl_text->setText(QStringLiteral("abgebrochen"));
        return;
    }
    // One undo step for all replacements, which keeps just the occurrences
    // where it can; an unchanged text is not written again, only the caret
    // goes to the start as if it had been.
    bool changed = true;
    if (result.edits)
        changed = m_editor->replaceAllUtf8(std::move(*result.edits), meter.unstoppableRest());
    else if (result.count > 0)
        changed = m_editor->replaceAllUtf8(result.text);
    else
        m_editor->setSelStart(0);
    if (!changed) {
        progress.reset(); // not left behind the message
        lbl_text->setText(QStringLiteral("abgebrochen"));
        m_messages.show(noRoomForNewText() + QStringLiteral("\nDer Text bleibt unverändert."),
                        MsgButtons::Ok, MsgIcon::Critical);
        return;
    }
    lbl_anzahl->setText(QString::number(result.count));
    lbl_text->setText(QStringLiteral("ersetzt"));
}

void frm_ersetz::cmdTAB_Click()
{
    txt_replace->setText(QStringLiteral("\t"));
}

void frm_ersetz::cmdZSLOESCH_Click()
{
    Q_EMIT deleteLinesRequested(txt_finde->text());
}

void frm_ersetz::cmd_exit_Click()
{
    close();
}

} // namespace kelo
