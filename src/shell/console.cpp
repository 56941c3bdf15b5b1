#include "shell/console.h"

#include "platform/desktoplauncher.h"
#include "platform/messagebox.h"
#include "platform/productinfo.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace kelo {

namespace {
constexpr int enterKey = 13;

bool isOneOf(const QString &text, std::initializer_list<const char *> words)
{
    for (const char *word : words) {
        if (text == QLatin1String(word))
            return true;
    }
    return false;
}
} // namespace

StatusConsole::StatusConsole(QLineEdit *lblstatus, DesktopLauncher *launcher,
                             MessageBoxes *messages, std::function<void()> exitProgram,
                             QObject *parent)
    : QObject(parent)
    , m_status(lblstatus)
    , m_launcher(launcher)
    , m_messages(messages)
    , m_exitProgram(std::move(exitProgram))
{
    m_status->installEventFilter(this);
}

void StatusConsole::lblstatus_DblClick()
{
    m_status->setText(QString());
}

void StatusConsole::lblstatus_KeyPress(int KeyAscii)
{
    if (KeyAscii != enterKey || m_status->text().isEmpty())
        return;
    // Each test reads the status line anew: the first command replaces the
    // text by an address, which matches no later word, so at most one
    // command runs per Enter.
    if (isOneOf(m_status->text(), {"help", "info", "quentor"})) {
        m_status->setText(product::downloadPage);
        ShellExec(m_status->text(), 1, QStringLiteral("open"));
    }
    if (isOneOf(m_status->text(), {"DOS", "dos"}))
        startTerminal();
    if (isOneOf(m_status->text(), {"X", "x", "EXIT", "exit"})) {
        m_exitProgram();
        return;
    }
    if (m_status->text() == QLatin1String("autor")) {
        m_status->setText(product::authorContactLine);
        ShellExec(product::authorPage, 1, QStringLiteral("open"));
    }
}

bool StatusConsole::ShellExec(const QString &Path, int WindowStyle, const QString &Operation)
{
    return kelo::ShellExec(*m_launcher, Path, WindowStyle, Operation);
}

void StatusConsole::startTerminal()
{
    if (m_launcher->startTerminal())
        return;
    m_messages->show(QStringLiteral("Es konnte kein Terminal gestartet werden. Tragen Sie Ihr "
                                    "Terminalprogramm in der Umgebungsvariablen TERMINAL ein."),
                     MsgButtons::Ok, MsgIcon::Critical);
}

bool StatusConsole::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_status) {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            // Ctrl+Enter is a line feed (10) for a classic text box, not 13.
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                !key->modifiers().testFlag(Qt::ControlModifier))
                lblstatus_KeyPress(enterKey);
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            lblstatus_DblClick();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kelo
