// Makes what the key store holds take effect on a Linux desktop: after each
// change the context-menu verb and the file-type associations are written
// into the freedesktop files that file managers read, and the desktop's
// caches are rebuilt with its own tools where they are installed.
//
//   verb "*\shell\<name>\command"   -> Kelo's desktop entry offers itself for
//                                      application/octet-stream (every file),
//                                      and a KDE service menu for all files
//   ".ext" -> T, "T\shell\open\command"
//                                   -> the extension's type in the desktop
//                                      entry, Kelo its default application in
//                                      mimeapps.list, and a type of Kelo's own
//                                      with the glob "*.ext" when none knows it
#pragma once

#include "services/keystore.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kelo {

// The user's freedesktop folders ($XDG_DATA_HOME and $XDG_CONFIG_HOME), and
// the system's data folders ($XDG_DATA_DIRS), where an installed Kelo's
// desktop entry is looked for.
struct DesktopFolders {
    QString dataHome;
    QString configHome;
    QStringList dataDirs;
};

// Whether one of the data folders holds an installed Kelo's desktop entry
// (applications/org.example.kelo.Kelo.desktop).
bool holdsInstalledEntry(const QStringList &dataFolders);

// The names of the types whose globs match a file name, best first.
using MimeLookup = std::function<QStringList(const QString &fileName)>;
// The lookup of the installed shared-mime-info database (QMimeDatabase).
QStringList installedMimeTypes(const QString &fileName);

// What running one of the desktop's tools gave.
struct ToolRun {
    bool installed = false;
    bool ok = false;
    QString output; // what it wrote, for a failure message
};
using ToolRunner = std::function<ToolRun(const QString &program, const QStringList &arguments)>;
// Runs a program found on the PATH and waits for it (at most a minute).
ToolRun runInstalledTool(const QString &program, const QStringList &arguments);

class DesktopMirror {
public:
    DesktopMirror(DesktopFolders folders, QString verbName, MimeLookup lookup = installedMimeTypes,
                  ToolRunner runner = runInstalledTool);

    // Brings Kelo's desktop entry, its service menu and its type package in
    // line with the keys and rebuilds the caches. Beside an installed Kelo
    // (in the user's data folder, installed with a prefix there, or in the
    // system's) the entry stays out of the application menu. Returns a
    // German description of what failed, or nothing.
    std::optional<QString> sync(const RegKey &root);
    // Makes Kelo the default application for the extension's type in
    // mimeapps.list. Only an association does this: syncing must not take a
    // type back that the user has given to another application since.
    std::optional<QString> makeDefault(const QString &extensionKey);

    // The type of files with this extension (".txt"): the installed type
    // that knows it, else Kelo's own.
    QString mimeTypeOf(const QString &extensionKey) const;

    QString desktopEntryPath() const;
    QString serviceMenuPath() const;
    QString mimePackagePath() const;
    QString mimeappsPath() const;

private:
    std::optional<QString> runTool(const QString &program, const QString &folder);

    DesktopFolders m_folders;
    QString m_verbName;
    MimeLookup m_lookup;
    ToolRunner m_runner;
};

} // namespace kelo
