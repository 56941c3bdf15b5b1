// The editor tools in the main window: Ctrl+F, F3 and "search" reach the
// Search dialog. What the tools do is tested beside a stand-in window
// (editortools_test.cpp).
#include "platform/textbox.h"
#include "support/form1fixture.h"
#include "support/input.h"
#include "tools/editortools.h"
#include "tools/frm_such.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using EditorToolsWindow = Form1Fixture;
using Sel = std::pair<int, int>; // the editor's selection as (start, length)

// Ctrl+F and "search" show the one Search dialog, the key typing nothing; F3
// in the editor finds the next occurrence once the dialog can look, and does
// nothing before.
TEST_F(EditorToolsWindow, CtrlFF3AndTheSearchButtonReachTheSearch)
{
    Form1 &form = startShown();
    TextBox &box = *form.TextBox1;
    const auto selection = [&box] { return Sel(box.SelStart(), box.SelLength()); };
    box.setText(QStringLiteral("ein Test und ein test"));
    box.setSelStart(12);
    keyIn(&box, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(12, 0));
    keyIn(&box, Qt::Key_F, Qt::ControlModifier);
    ASSERT_NE(form.editorTools()->searchDialog(), nullptr);
    frm_such &dialog = *form.editorTools()->searchDialog();
    EXPECT_EQ(box.Text(), QStringLiteral("ein Test und ein test"));

    dialog.txtSuch->setText(QStringLiteral("TEST"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(selection(), Sel(4, 4));
    keyIn(&box, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(17, 4));

    form.search->click();
    EXPECT_EQ(form.editorTools()->searchDialog(), &dialog);
}

} // namespace
} // namespace kelo::test
