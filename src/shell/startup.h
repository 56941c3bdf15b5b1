// Pure pieces of start-up: the command line.
#pragma once

#include <QString>
#include <QStringList>

namespace kelo {

// The command line as one string: the arguments joined by one blank, so a
// path with blanks given as one argument stays whole.
QString commandArgument(const QStringList &arguments);

// A command that starts with a double quote loses its first and its last
// character, whatever the last one is. A lone quote stays as it is (the cut
// would leave less than nothing).
QString stripQuotes(const QString &command);

} // namespace kelo
