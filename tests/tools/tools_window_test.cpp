// The tools in the main window: the buttons and keys that reach them, and the
// Replace dialog's fields kept when the window closes. What the tools do is
// tested beside a stand-in window (editortools_test.cpp, linetools_test.cpp).
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "support/form1fixture.h"
#include "support/input.h"
#include "tools/editortools.h"
#include "tools/frm_ersetz.h"
#include "tools/frm_such.h"
#include "tools/linetools.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using ToolsWindow = Form1Fixture;
using Sel = std::pair<int, int>; // the editor's selection as (start, length)

// Ctrl+H and "replace" show the one Replace dialog, which the window takes
// down on closing, keeping its fields; Ctrl+F and "search" show the one Search
// dialog; the keys type nothing. F3 finds the next occurrence once the Search
// dialog can look, and does nothing before. "Leerzeilen" cleans the text up.
TEST_F(ToolsWindow, TheButtonsAndKeysReachTheToolsAndClosingKeepsTheReplaceFields)
{
    startShown();
    QTest::keyClick(m_window->TextBox1, Qt::Key_H, Qt::ControlModifier);
    QPointer<frm_ersetz> replace = m_window->lineTools()->replaceDialog();
    ASSERT_TRUE(replace);
    EXPECT_TRUE(m_window->TextBox1->Text().isEmpty());
    m_window->cmd_replace->click();
    EXPECT_EQ(m_window->lineTools()->replaceDialog(), replace.data());
    replace->txt_finde->setText("Gasse");
    replace->txt_replace->setText("x");
    replace->cmdTAB->click();
    closeWindow();
    EXPECT_EQ(setting(key::txtFinde) + '|' + setting(key::txtReplace), QString("Gasse|\t"));
    EXPECT_TRUE(QTest::qWaitFor([&replace] { return replace.isNull(); }));

    Form1 &form = startShown();
    form.cmd_replace->click();
    replace = form.lineTools()->replaceDialog();
    ASSERT_TRUE(replace);
    EXPECT_EQ(replace->txt_finde->text() + '|' + replace->txt_replace->text(), "Gasse|\t");

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

    box.loadUtf8("a\r\n\r\n  b");
    form.cmdDelEmpty->click();
    EXPECT_EQ(box.utf8Text(), QByteArray("a\r\n b\r\n"));
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

} // namespace
} // namespace kelo::test
