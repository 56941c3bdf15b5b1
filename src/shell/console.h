// The status line as a command console: a word typed into it and confirmed
// with Enter opens the download page ("help", "info", "quentor"), starts the
// user's terminal ("DOS", "dos"), ends the program ("X", "x", "EXIT", "exit")
// or shows the author's contact line and opens the author's page ("autor").
// The whole text is the command, compared exactly: letter case counts and
// blanks are not trimmed. A double click empties the status line.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;

namespace kelo {

class DesktopLauncher;
class MessageBoxes;

class StatusConsole : public QObject {
    Q_OBJECT

public:
    // exitProgram closes the program the way the window's close button does.
    StatusConsole(QLineEdit *lblstatus, DesktopLauncher *launcher, MessageBoxes *messages,
                  std::function<void()> exitProgram, QObject *parent = nullptr);

    // KeyAscii is the character code of the key (13 for Enter).
    void lblstatus_KeyPress(int KeyAscii);
    void lblstatus_DblClick();
    bool ShellExec(const QString &Path, int WindowStyle = 1,
                   const QString &Operation = QStringLiteral("open"));

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startTerminal();

    QLineEdit *m_status;
    DesktopLauncher *m_launcher;
    MessageBoxes *m_messages;
    std::function<void()> m_exitProgram;
};

} // namespace kelo
