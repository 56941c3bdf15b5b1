// The mouse as a user moves it: double clicks on list entries, and events
// delivered to the widget under the pointer.
#pragma once

#include <QEvent>
#include <QListWidget>
#include <QPoint>

#include <optional>

namespace kelo::test {

// Item views only take a double click on the entry that was pressed.
void doubleClick(QListWidget &list, const QListWidgetItem *item);

// Sends a mouse event as Qt delivers it to the widget under the pointer (a
// movement the widget does not take goes on to its parent).
void sendMouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons);
// A movement to a point of the widget (its centre by default).
void moveMouse(QWidget *target, std::optional<QPoint> at = {},
               Qt::MouseButtons buttons = Qt::NoButton);

} // namespace kelo::test
