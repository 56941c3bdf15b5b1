// Ends the program as soon as a window has been shown for the first time:
// the start-up benchmark times whole processes up to that moment.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <QWindow>

namespace kelo::bench {

class QuitWhenExposed : public QObject {
public:
    explicit QuitWhenExposed(QWidget *window)
    {
        window->winId(); // makes the native window, so its events reach us
        window->windowHandle()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose)
            QCoreApplication::exit(0);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace kelo::bench
