// Dragging the file panels sideways with the right mouse button.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/listcontrols.h"
#include "platform/units.h"
#include "shell/dragpanel.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

TEST(DragPanelProcedure, OnlyTheRightButtonAloneMovesEveryOtherButtonRemembers)
{
    QWidget parent;
    auto *panel = new QWidget(&parent);
    auto *other = new QWidget(&parent);
    placeTwips(panel, 1500, 1500, 1500, 1500);
    DragStart start;

    for (const int button : {0, 1, 3, 4, 6, 7}) {
        DragPanel(panel, start, button, 0, 300 + button * 15, 600);
        EXPECT_EQ(start.X, 300 + button * 15);
        EXPECT_EQ(start.Y, 600);
        EXPECT_EQ(panel->pos(), QPoint(100, 100)) << button;
    }
    // Right button: moved by the distance from the remembered point, both
    // ways, and brought in front of its sibling.
    DragPanel(panel, start, 2, 1, 405 + 450, 600 - 150);
    EXPECT_EQ(panel->pos(), QPoint(100 + 30, 100 - 10));
    EXPECT_EQ(parent.children().last(), panel);
    EXPECT_EQ(start.X, 405); // moving does not remember
    Q_UNUSED(other)
}

class PanelDragging : public Form1Fixture {
protected:
    void SetUp() override
    {
        Form1Fixture::SetUp();
        startShown();
    }
    static void move(QWidget *panel, QPoint at, Qt::MouseButtons buttons = Qt::NoButton)
    {
        moveMouse(panel, at, buttons);
    }
    static void press(QWidget *panel, QPoint at, Qt::MouseButtons buttons = Qt::RightButton)
    {
        sendMouse(panel, QEvent::MouseButtonPress, at, Qt::RightButton, buttons);
    }
    static void release(QWidget *panel, QPoint at)
    {
        sendMouse(panel, QEvent::MouseButtonRelease, at, Qt::RightButton, Qt::NoButton);
    }
};

TEST_F(PanelDragging, BothFilePanelsFollowTheRightButtonSidewaysToTheLeftEdge)
{
    for (QWidget *panel : QList<QWidget *>{m_window->Dateiauswahl, m_window->Dateiauswahl2}) {
        panel->move(200, 43);
        panel->show();
        ASSERT_EQ(panel->childAt(20, 3), nullptr) << "the caption row is the panel's own";
        // Pointer at panel x 20 (window x 220), dragged to window x 320.
        move(panel, {20, 3});
        press(panel, {20, 3});
        move(panel, {120, 200}, Qt::RightButton);
        EXPECT_EQ(panel->pos(), QPoint(300, 43)) << panel->objectName().toStdString();
        move(panel, {-400, 3}, Qt::RightButton); // never past the window's left edge
        EXPECT_EQ(panel->pos(), QPoint(0, 43));
        release(panel, {20, 200});
        panel->hide();
    }
}

TEST_F(PanelDragging, BothButtonsOrTheLeftOneDoNotDrag)
{
    OpenPanel *panel = m_window->Dateiauswahl;
    panel->move(200, 43);
    panel->show();
    move(panel, {20, 3});
    press(panel, {20, 3}, Qt::LeftButton | Qt::RightButton);
    move(panel, {90, 3}, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(200, 43));
    // Both buttons refreshed the remembered point: letting go of the left one
    // drags on from there.
    move(panel, {100, 3}, Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(210, 43));
    move(panel, {50, 3}, Qt::LeftButton);
    EXPECT_EQ(panel->pos(), QPoint(210, 43));
}

TEST_F(PanelDragging, MovementsOverTheListsInsideNeitherDragNorRemember)
{
    OpenPanel *panel = m_window->Dateiauswahl;
    panel->move(200, 43);
    panel->show();
    move(panel, {20, 3});
    // A right-button press on the file list belongs to the list, and so do
    // the movements after it, even when they reach the panel's margin.
    QWidget *list = panel->File1;
    const QPoint inList = list->geometry().center();
    press(panel, inList);
    move(panel, inList + QPoint(30, 0), Qt::RightButton);
    move(panel, {3, 3}, Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(200, 43));
    release(panel, {3, 3});

    // A movement over the list without a button does not refresh the point.
    move(panel, inList);
    press(panel, {20, 3});
    move(panel, {40, 3}, Qt::RightButton);
    EXPECT_EQ(panel->pos(), QPoint(220, 43));
}

} // namespace
} // namespace kelo::test
