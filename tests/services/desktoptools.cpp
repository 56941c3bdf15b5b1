#include "desktoptools.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace kelo::test {

DesktopSandbox::DesktopSandbox()
{
    m_folders.dataHome = m_dir.filePath(QStringLiteral("data"));
    m_folders.configHome = m_dir.filePath(QStringLiteral("config"));
    QDir().mkpath(m_folders.dataHome);
    QDir().mkpath(m_folders.configHome);
}

std::optional<ToolOutput> runDesktopTool(const DesktopFolders &folders, const QString &program,
                                         const QStringList &arguments, const QString &desktop)
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
    ToolOutput result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        result.output = QStringLiteral("did not finish: ") + process.errorString();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAll()).trimmed();
    return result;
}

QStringList filesBelow(const QString &folder)
{
    QStringList files;
    const QDir root(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(root.relativeFilePath(it.next()));
    files.sort();
    return files;
}

} // namespace kelo::test
