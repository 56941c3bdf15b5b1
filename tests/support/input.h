// The mouse and the keys as a user works them: double clicks on list
// entries, events delivered to the widget under the pointer, keys typed into
// the active window.
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

// A key typed into a widget of the active window, as a user's keys go: the
// widget's window is made active first (fails the calling test otherwise).
void keyIn(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {});

} // namespace kelo::test
