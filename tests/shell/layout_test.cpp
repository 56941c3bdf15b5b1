// The layout rule: the editor and the status line follow the window's outer
// size; a window too low is set back to 2000 twips; minimised changes nothing.
#include "platform/textbox.h"
#include "platform/units.h"
#include "shell/layout.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

TEST(LayoutRule, GivesTheEditorAndTheStatusLineTheirSizes)
{
    using enum LayoutStep::Action;
    const struct {
        double width, height;
        LayoutStep::Action action;
        double editorWidth, editorHeight;
    } cases[] = {
        {12285, 7920, Fit, 11895, 6255}, // the designed window
        {6000, 7920, Fit, 5610, 6255},
        {6000, 1671, Fit, 5610, 6},    // just high enough
        {6000, 1670, SetHeight, 0, 0}, // 1670 and below snap to 2000
        {120, 3000, Fit, 0, 1335},     // never a negative width
        {153600, 86400, Fit, 153210, 84735},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        const LayoutStep step = layoutFor(c.width, c.height, false);
        EXPECT_EQ(step.action, c.action);
        if (c.action == Fit) {
            EXPECT_EQ(step.editorWidth, c.editorWidth);
            EXPECT_EQ(step.editorHeight, c.editorHeight);
            EXPECT_EQ(step.statusWidth, c.editorWidth);
            EXPECT_EQ(step.statusTop, 720 + c.editorHeight); // no gap under the editor
        } else {
            EXPECT_EQ(step.windowHeight, 2000);
        }
    }
}

using WindowResize = Form1Fixture;

TEST_F(WindowResize, EditorAndStatusLineFollowTheWindowButNotWhileMinimised)
{
    Form1 &form = startShown();
    form.setWindowWidthTwips(6000);
    form.setWindowHeightTwips(5055);
    EXPECT_EQ(form.TextBox1->geometry(), twipsRect(105, 720, 5610, 3390));
    EXPECT_EQ(form.lblstatus->geometry(), twipsRect(105, 4110, 5610, 240));

    form.setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.isMinimized(); }));
    form.setWindowWidthTwips(6600);
    form.setWindowHeightTwips(900);
    EXPECT_EQ(form.TextBox1->geometry(), twipsRect(105, 720, 5610, 3390));
    EXPECT_EQ(form.windowHeightTwips(), 900); // not snapped while minimised

    form.setWindowState(Qt::WindowNoState);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.isMinimized(); }));
    EXPECT_EQ(form.windowHeightTwips(), 2000 - 5); // whole pixels: 96 px plus the frame
    EXPECT_EQ(form.TextBox1->geometry(), twipsRect(105, 720, 6210, 2000 - 5 - 1665));
    EXPECT_EQ(form.lblstatus->geometry(), twipsRect(105, 720 + 2000 - 5 - 1665, 6210, 240));
}

} // namespace
} // namespace kelo::test
