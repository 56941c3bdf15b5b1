#include "support/input.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {

void doubleClick(QListWidget &list, const QListWidgetItem *item)
{
    list.scrollToItem(item);
    const QPoint where = list.visualItemRect(item).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, where);
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, where);
}

void sendMouse(QWidget *target, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, target->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void moveMouse(QWidget *target, std::optional<QPoint> at, Qt::MouseButtons buttons)
{
    sendMouse(target, QEvent::MouseMove, at.value_or(target->rect().center()), Qt::NoButton,
              buttons);
}

void keyIn(QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    widget->activateWindow();
    ASSERT_TRUE(
        QTest::qWaitFor([widget] { return QApplication::activeWindow() == widget->window(); }));
    QTest::keyClick(widget, key, modifiers);
}

} // namespace kelo::test
