// Throw-away XDG folders, and the desktop's own tools run in them as
// independent judges of the files Kelo writes.
#pragma once

#include "services/desktopmirror.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <optional>

namespace kelo::test {

// $XDG_DATA_HOME and $XDG_CONFIG_HOME in a temporary folder.
struct DesktopSandbox {
    DesktopSandbox()
    {
        QDir().mkpath(folders.dataHome);
        QDir().mkpath(folders.configHome);
    }
    QTemporaryDir dir;
    DesktopFolders folders{dir.filePath("data"), dir.filePath("config")};
};

struct ToolOutput {
    int exitCode = -1;
    QString output; // standard output and error, trimmed
};

// Runs a tool with HOME and the XDG folders of the sandbox and no desktop
// session but `desktop` (for xdg-mime, such as "GNOME"); nothing when the
// tool is not installed.
inline std::optional<ToolOutput> runDesktopTool(const DesktopFolders &folders,
                                                const QString &program,
                                                const QStringList &arguments,
                                                const QString &desktop = {})
{
    const QString executable = QStandardPaths::findExecutable(program);
    if (executable.isEmpty())
        return std::nullopt;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // xdg-mime asks the running desktop when it recognises one.
    for (const char *name : {"XDG_CURRENT_DESKTOP", "DE", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "XDG_SESSION_DESKTOP"})
        environment.remove(QString::fromLatin1(name));
    if (!desktop.isEmpty())
        environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
    environment.insert(QStringLiteral("HOME"), QFileInfo(folders.dataHome).path());
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folders.dataHome);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folders.configHome);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(executable, arguments);
    const bool finished = process.waitForFinished(60000); // else killed with the QProcess
    return ToolOutput{finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode()
                                                                               : -1,
                      QString::fromUtf8(process.readAll()).trimmed()};
}

} // namespace kelo::test
