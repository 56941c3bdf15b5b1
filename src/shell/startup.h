// Pure pieces of start-up and shut-down: the command line and the settings
// keys with their defaults.
#pragma once

#include <QString>
#include <QStringList>

namespace kelo {

namespace key {
inline const QString scheme = QStringLiteral("lbl_schwarzweissblau");
inline const QString dir1 = QStringLiteral("dir1");
inline const QString drive1 = QStringLiteral("drive1");
inline const QString filter = QStringLiteral("Filter");
inline const QString txtFinde = QStringLiteral("txt_finde");
inline const QString txtReplace = QStringLiteral("txt_replace");
} // namespace key

namespace defaults {
inline const QString scheme = QStringLiteral("blau");
inline const QString dir1 = QStringLiteral("C:\\");
inline const QString drive1 = QStringLiteral("C:");
inline const QString filter = QStringLiteral("*.*");
inline const QString txtFinde = QStringLiteral("Suchbegriff eingeben");
inline const QString txtReplace = QStringLiteral("Ersatzbegriff eingeben");
} // namespace defaults

// The command line as one string: the arguments joined by one blank, so a
// path with blanks given as one argument stays whole.
QString commandArgument(const QStringList &arguments);

// A command that starts with a double quote loses its first and its last
// character, whatever the last one is. A lone quote stays as it is (the cut
// would leave less than nothing).
QString stripQuotes(const QString &command);

} // namespace kelo
