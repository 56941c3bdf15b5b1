// The texts of the freedesktop files through which Kelo's context-menu entry
// and its file-type associations take effect on a Linux desktop: the desktop
// entry, the KDE service menu, the shared-mime-info package for extensions no
// type knows, and Kelo's line in mimeapps.list. Pure functions of their
// inputs; DesktopMirror writes them.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kelo::desktop {

// The file name (and desktop id) of Kelo's desktop entry and service menu.
inline const QString entryFileName = QStringLiteral("kelo-the-scriv.desktop");
// The id an installed Kelo goes by: its desktop entry in the application
// menu, its icon in the icon theme and its AppStream metainfo (packaging/).
inline const QString applicationId = QStringLiteral("org.example.kelo.Kelo");
inline const QString installedEntryFileName = applicationId + QStringLiteral(".desktop");
// Every file type is a subtype of this one, so an application that opens it
// is offered for every file.
inline const QString anyFileType = QStringLiteral("application/octet-stream");
// The prefix of the types Kelo makes for extensions that no type knows.
inline const QString ownTypePrefix = QStringLiteral("application/x-kelo-");

// Why a desktop entry cannot start this program, in German, or nothing. The
// entries are UTF-8 text: a program whose path holds bytes that are not
// UTF-8 cannot be named in them (another name would start nothing, or
// something else).
std::optional<QString> programProblem(const QString &program);

// The program of a command as the key store holds it ("<program> %1", the
// program unquoted and possibly with blanks).
QString programOfCommand(const QString &command);

// The Exec value that starts the program with one file: the program quoted
// by the Desktop Entry rules, then the file's field code; escaped for a
// desktop file's string value.
QString execValue(const QString &program);

// A value as a desktop file's string writes it ("\\", "\n", "\t", "\r").
QString escapeValue(const QString &value);

// Kelo's own type for an extension key (".xyz" gives application/x-kelo-xyz).
// Letters, digits, "-", "+" and "." stand for themselves; every other byte
// of the extension's UTF-8 is "_" and two hex digits, so that distinct
// extensions get distinct types; the lone "." gives application/x-kelo-_.
// Beyond 200 characters the rest is a checksum of the extension.
QString ownMimeType(const QString &extensionKey);

// Whether an installed Kelo has an entry of its own in the application
// menu and its icon in the icon theme.
enum class Installed { No, Yes };

// The desktop entry: Kelo as an application for the given types. Next to an
// installed Kelo it stays out of the application menu (NoDisplay), which
// shows the installed entry already, and takes the installed icon; it is
// still offered for its types.
QByteArray desktopEntry(const QString &name, const QString &program, const QStringList &mimeTypes,
                        Installed installed = Installed::No);

// The KDE service menu: one action for every file.
QByteArray serviceMenu(const QString &name, const QString &program,
                       Installed installed = Installed::No);

// One type of Kelo's own with the glob of its extension.
struct OwnType {
    QString mimeType;
    QString extensionKey; // ".xyz": the glob is "*.xyz"
    QString comment;
};
// The shared-mime-info package that declares the types.
QByteArray mimePackage(const QList<OwnType> &types);

// mimeapps.list with the desktop id as the first default application for
// the type. Every other line stays as it was: comments, other sections, the
// other defaults, the applications that were the default before (they stay
// behind Kelo in the list), the line ends.
QByteArray withDefaultApplication(const QByteArray &mimeapps, const QString &mimeType,
                                  const QString &desktopId);

} // namespace kelo::desktop
