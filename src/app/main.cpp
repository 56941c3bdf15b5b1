// Kelo the Scriv: starts the main window with the real services and runs it.
#include "shell/application.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    kelo::chooseWindowSystem();
    QApplication app(argc, argv);
    kelo::prepareApplication();
    // From argv itself, which the QApplication has left without its own
    // options: QApplication::arguments() loses bytes that are not UTF-8.
    kelo::KeloApplication kelo(kelo::commandLineArguments(argc, argv));
    kelo.start();
    return QApplication::exec();
}
