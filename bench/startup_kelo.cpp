// Kelo's start-up as main.cpp does it, ending when the main window is on the
// screen (for the start-up benchmark). Settings come from the environment's
// XDG_CONFIG_HOME, which the benchmark points at a throw-away folder.
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/units.h"
#include "shell/form1.h"
#include "startup_probe.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelo"));
    QApplication::setOrganizationName(QStringLiteral("Kelo"));
    kelo::installFontSubstitutions();

    kelo::SettingsStore settings;
    kelo::QtMessageBoxes messages;
    kelo::KeloContext context;
    context.programFile = QApplication::applicationFilePath();
    context.programFolder = QApplication::applicationDirPath();
    context.arguments = QApplication::arguments().mid(1);
    context.settings = &settings;
    context.messages = &messages;

    kelo::Form1 window(std::move(context));
    window.Form_Load();
    kelo::bench::QuitWhenExposed quit(&window);
    window.show();
    return QApplication::exec();
}
