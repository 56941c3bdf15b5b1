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
    kelo::KeloApplication kelo(QApplication::arguments().mid(1));
    kelo::bench::QuitWhenExposed quit(&kelo.window());
    kelo.start();
    return QApplication::exec();
}
