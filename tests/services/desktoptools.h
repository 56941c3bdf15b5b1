// The desktop's own tools as independent judges of the files Kelo writes:
// each runs in the test's own XDG folders, never the real ones.
#pragma once

#include "services/desktopmirror.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace kelo::test {

// Throw-away $XDG_DATA_HOME and $XDG_CONFIG_HOME.
class DesktopSandbox {
public:
    DesktopSandbox();
    bool isValid() const { return m_dir.isValid(); }
    const DesktopFolders &folders() const { return m_folders; }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

private:
    QTemporaryDir m_dir;
    DesktopFolders m_folders;
};

struct ToolOutput {
    int exitCode = -1;
    QString output; // standard output and error, trimmed
};

// Runs a tool with HOME and the XDG folders of the sandbox and no desktop
// session in its environment (desktop names one for xdg-mime, such as
// "GNOME"). Nothing when the tool is not installed.
std::optional<ToolOutput> runDesktopTool(const DesktopFolders &folders, const QString &program,
                                         const QStringList &arguments, const QString &desktop = {});

// Every file below a folder, as paths relative to it.
QStringList filesBelow(const QString &folder);

} // namespace kelo::test
