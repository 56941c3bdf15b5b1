#include "shell/startup.h"

namespace kelo {

QString commandArgument(const QStringList &arguments)
{
    return arguments.join(QLatin1Char(' '));
}

QString stripQuotes(const QString &command)
{
    if (command.size() >= 2 && command.startsWith(QLatin1Char('"')))
        return command.mid(1, command.size() - 2);
    return command;
}

} // namespace kelo
