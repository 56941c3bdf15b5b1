#include "shell/unloadallforms.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace kelo {

void UnloadAllForms()
{
    // Closing one window may close or delete others, so walk a guarded copy.
    QList<QPointer<QWidget>> windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isWindow() && widget->isVisible())
            windows.append(widget);
    }
    for (const QPointer<QWidget> &window : windows) {
        if (window && window->isVisible())
            window->close();
    }
}

} // namespace kelo
