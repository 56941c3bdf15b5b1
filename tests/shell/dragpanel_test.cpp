// Dragging the file panels sideways with the right mouse button.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/listcontrols.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

class PanelDragging : public Form1Fixture {
protected:
    static void press(QWidget *panel, QPoint at, Qt::MouseButtons buttons = Qt::RightButton)
    {
        sendMouse(panel, QEvent::MouseButtonPress, at, Qt::RightButton, buttons);
    }
    static void release(QWidget *panel, QPoint at)
    {
        sendMouse(panel, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
    }
};

TEST_F(PanelDragging, TheRightButtonAloneDragsSidewaysToTheLeftEdge)
{
    startShown();
    for (QWidget *panel : QList<QWidget *>{m_window->Dateiauswahl, m_window->Dateiauswahl2}) {
        panel->move(200, 43);
        panel->show();
        ASSERT_EQ(panel->childAt(20, 3), nullptr) << "the caption row is the panel's own";
        moveMouse(panel, QPoint(20, 3));
        press(panel, {20, 3});
        moveMouse(panel, QPoint(120, 200), Qt::RightButton);
        EXPECT_EQ(panel->pos(), QPoint(300, 43)) << panel->objectName().toStdString();
        EXPECT_EQ(m_window->children().last(), panel);      // in front of the other panel
        moveMouse(panel, QPoint(-400, 3), Qt::RightButton); // never past the window's left edge
        EXPECT_EQ(panel->pos(), QPoint(0, 43));
        release(panel, {20, 200});
        panel->hide();
    }

    // Both buttons, or a press over the lists, do not drag.
    OpenPanel *panel = m_window->Dateiauswahl;
    panel->move(200, 43);
    panel->show();
    moveMouse(panel, QPoint(20, 3));
    press(panel, {20, 3}, Qt::LeftButton | Qt::RightButton);
    moveMouse(panel, QPoint(90, 3), Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(200, 43));
    // Both buttons refreshed the remembered point: letting go of the left one
    // drags on from there.
    moveMouse(panel, QPoint(100, 3), Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(210, 43));
    release(panel, {100, 3});

    // A right-button press on the file list belongs to the list, and so do
    // the movements after it, even when they reach the panel's margin.
    const QPoint inList = panel->File1->geometry().center();
    press(panel, inList);
    moveMouse(panel, inList + QPoint(30, 0), Qt::RightButton);
    moveMouse(panel, QPoint(3, 3), Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(210, 43));
    release(panel, {3, 3});

    // A movement over the list without a button does not refresh the point.
    moveMouse(panel, QPoint(20, 3));
    moveMouse(panel, inList);
    press(panel, {40, 3});
    moveMouse(panel, QPoint(60, 3), Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(250, 43));
}

} // namespace
} // namespace kelo::test
