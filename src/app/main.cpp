// Kelo the Scriv: creates the main window with the real services and runs it.
#include "platform/desktoplauncher.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textprinter.h"
#include "platform/units.h"
#include "shell/form1.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelo"));
    QApplication::setOrganizationName(QStringLiteral("Kelo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kelo the Scriv"));
    QApplication::setDesktopFileName(QStringLiteral("kelo-the-scriv"));
    kelo::installFontSubstitutions();

    kelo::SettingsStore settings;
    kelo::QtMessageBoxes messages;
    kelo::SystemDesktopLauncher launcher;
    kelo::DefaultPrinter printer;

    kelo::KeloContext context;
    context.programFile = QApplication::applicationFilePath();
    context.programFolder = QApplication::applicationDirPath();
    context.arguments = QApplication::arguments().mid(1);
    context.settings = &settings;
    context.messages = &messages;
    context.launcher = &launcher;
    context.printer = &printer;

    kelo::Form1 window(std::move(context));
    messages.setParent(&window);
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
