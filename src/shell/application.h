// Kelo with its real services: the user's settings file, message boxes, the
// desktop's browser and terminal, the default printer. The program's main()
// and the start-up benchmark both start Kelo through this class.
#pragma once

#include "platform/desktoplauncher.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textprinter.h"

#include <QStringList>

#include <memory>

namespace kelo {

class Form1;

// Names the application and installs the font substitutions; call once,
// right after the QApplication is made.
void prepareApplication();

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
