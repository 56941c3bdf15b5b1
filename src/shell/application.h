// Kelo with its real services: the user's settings file, message boxes, the
// desktop's browser and terminal, the default printer. The program's main()
// and the start-up benchmark both start Kelo through this class.
#pragma once

#include "platform/desktoplauncher.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textprinter.h"

#include <QByteArray>
#include <QStringList>

#include <memory>

namespace kelo {

class Form1;

// The window system Kelo asks Qt for, before the QApplication is made: on a
// Wayland session (WAYLAND_DISPLAY set) Kelo is a Wayland client, under GNOME
// too, and falls back to X11 (XWayland) where Qt's Wayland plugin is missing
// or the compositor cannot be reached. A platform the user chose
// (QT_QPA_PLATFORM, e.g. xcb for XWayland) stays. Returns what to put into
// QT_QPA_PLATFORM, or nothing to leave Qt its own choice.
QByteArray windowSystemFor(const QByteArray &chosenPlatform, const QByteArray &waylandDisplay);
// Applies windowSystemFor to the environment.
void chooseWindowSystem();

// Names the application and installs the font substitutions; call once,
// right after the QApplication is made.
void prepareApplication();

// The command-line arguments after the program's name, each from its own
// bytes (decodeFileName), so that a path that is not UTF-8 stays that path.
// Pass argc and argv as the QApplication left them: it takes its own options
// out.
QStringList commandLineArguments(int argc, const char *const *argv);

// The running program's file, from its own bytes.
QString runningProgramFile();

class KeloApplication {
public:
    // Builds the main window for the given command-line arguments.
    explicit KeloApplication(const QStringList &arguments);
    ~KeloApplication();

    Form1 &window() { return *m_window; }
    // Runs the start-up sequence and shows the window.
    void start();

private:
    SettingsStore m_settings;
    QtMessageBoxes m_messages;
    SystemDesktopLauncher m_launcher;
    DefaultPrinter m_printer;
    std::unique_ptr<Form1> m_window;
};

} // namespace kelo
