// Kelo's start-up as the program does it, ending when the main window is on
// the screen (for the start-up benchmark). Settings come from the
// environment's XDG_CONFIG_HOME, which the benchmark points at a throw-away
// folder.
#include "shell/application.h"
#include "shell/form1.h"
#include "startup_probe.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kelo::prepareApplication();
    // From argv itself, which the QApplication has left without its own
    // options: QApplication::arguments() loses bytes that are not UTF-8.
    kelo::KeloApplication kelo(kelo::commandLineArguments(argc, argv));
    kelo::bench::QuitWhenExposed quit(&kelo.window());
    kelo.start();
    return QApplication::exec();
}
