// The reference for the start-up benchmark: a bare Qt Widgets program that
// shows an empty window and ends when it is on the screen.
#include "startup_probe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(809, 491);
    kelo::bench::QuitWhenExposed quit(&window);
    window.show();
    return QApplication::exec();
}
