// The desktop outside the program: the browser for web addresses and
// documents, and the user's terminal. Tests pass a launcher that records.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace kelo {

class DesktopLauncher {
public:
    virtual ~DesktopLauncher() = default;
    // Hands an address or a document to the desktop; true when it took it.
    virtual bool openUrl(const QUrl &url) = 0;
    // Starts the user's terminal in its own window; true when one started.
    virtual bool startTerminal() = 0;
};

// The real desktop: QDesktopServices for addresses; for the terminal
// $TERMINAL, else x-terminal-emulator, else the first of a few well-known
// terminals found on the PATH, started detached.
class SystemDesktopLauncher final : public DesktopLauncher {
public:
    explicit SystemDesktopLauncher(
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());
    bool openUrl(const QUrl &url) override;
    bool startTerminal() override;

private:
    QProcessEnvironment m_environment;
};

// ShellExec: hands Path to the desktop with the operation "open" (the only
// one the program uses; any other is refused). The window style of the
// classic call is accepted for the callers' sake; the desktop chooses how the
// window appears. True when the desktop took the address.
bool ShellExec(DesktopLauncher &launcher, const QString &path, int windowStyle = 1,
               const QString &operation = QStringLiteral("open"));

} // namespace kelo
