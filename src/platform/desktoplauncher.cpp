#include "platform/desktoplauncher.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace kelo {

namespace {

// The terminal command lines to try, in order. $TERMINAL may carry arguments
// ("kitty --single-instance"); an empty one is skipped.
QList<QStringList> terminalCandidates(const QString &terminalVariable)
{
    QList<QStringList> candidates;
    const QStringList own = QProcess::splitCommand(terminalVariable);
    if (!own.isEmpty())
        candidates.append(own);
    // Debian's alternative for the default terminal comes before any guess.
    for (const char *name :
         {"x-terminal-emulator", "gnome-terminal", "konsole", "xfce4-terminal", "xterm"})
        candidates.append({QString::fromLatin1(name)});
    return candidates;
}

} // namespace

SystemDesktopLauncher::SystemDesktopLauncher(QProcessEnvironment environment)
    : m_environment(std::move(environment))
{}

bool SystemDesktopLauncher::openUrl(const QUrl &url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool SystemDesktopLauncher::startTerminal()
{
    const QStringList searchPath = m_environment.value(QStringLiteral("PATH"))
                                       .split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QStringList &command :
         terminalCandidates(m_environment.value(QStringLiteral("TERMINAL")))) {
        const QString program = QStandardPaths::findExecutable(command.first(), searchPath);
        if (program.isEmpty())
            continue;
        QProcess process;
        process.setProgram(program);
        process.setArguments(command.mid(1));
        process.setProcessEnvironment(m_environment);
        // The terminal opens in Kelo's current folder by inheriting it:
        // naming it through Qt would fail for a folder that is not UTF-8.
        if (process.startDetached())
            return true;
    }
    return false;
}

bool ShellExec(DesktopLauncher &launcher, const QString &path, int windowStyle,
               const QString &operation)
{
    Q_UNUSED(windowStyle)
    if (operation != QLatin1String("open") || path.isEmpty())
        return false;
    return launcher.openUrl(QUrl::fromUserInput(path, QDir::currentPath(), QUrl::AssumeLocalFile));
}

} // namespace kelo
