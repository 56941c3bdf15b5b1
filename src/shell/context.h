// What the main window is given from outside: the program's own place, its
// command line, and the services it talks to. Tests pass their own.
#pragma once

#include "platform/volumes.h"

#include <QString>
#include <QStringList>

namespace kelo {

class DesktopLauncher;
class MessageBoxes;
class SettingsStore;
class TextPrinter;

struct KeloContext {
    QString programFolder; // folder of the running program file
    QString programFile;   // full path of the running program file
    QStringList arguments; // command-line arguments after the program name
    QString dataHome;      // the user's data folder ($XDG_DATA_HOME); "" for the standard one
    QString configHome;    // the user's config folder ($XDG_CONFIG_HOME); "" for the standard one
    QStringList dataDirs;  // the system's data folders ($XDG_DATA_DIRS), where Kelo may be installed
    QString recoveryFolder; // where recovery copies are kept; "" keeps none
    SettingsStore *settings = nullptr;
    MessageBoxes *messages = nullptr;
    VolumeSource volumes = systemVolumes;
    DesktopLauncher *launcher = nullptr; // browser and terminal
    TextPrinter *printer = nullptr;      // the default printer
};

} // namespace kelo
