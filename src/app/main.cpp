// Kelo the Scriv: starts the main window with the real services and runs it.
#include "shell/application.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kelo::prepareApplication();
    kelo::KeloApplication kelo(QApplication::arguments().mid(1));
    kelo.start();
    return QApplication::exec();
}
