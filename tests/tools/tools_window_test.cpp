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

// Ctrl+F and "search" show the one Search dialog, and F3 finds the next
// occurrence once it can look, nothing before. "Leerzeilen" cleans the text
// up. Ctrl+H and "replace" show the one Replace dialog, which the window
// takes down on closing, keeping its fields. The keys type nothing.
TEST_F(ToolsWindow, TheButtonsAndKeysReachTheToolsAndClosingKeepsTheReplaceFields)
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

    keyIn(&box, Qt::Key_H, Qt::ControlModifier);
    QPointer<frm_ersetz> replace = form.lineTools()->replaceDialog();
    ASSERT_TRUE(replace);
    EXPECT_EQ(box.utf8Text(), QByteArray("a\r\n b\r\n"));
    form.cmd_replace->click();
    EXPECT_EQ(form.lineTools()->replaceDialog(), replace.data());
    replace->txt_finde->setText("Gasse");
    replace->txt_replace->setText("Weg");
    closeWindow();
    EXPECT_EQ(setting(key::txtFinde) + '|' + setting(key::txtReplace), QString("Gasse|Weg"));
    EXPECT_TRUE(QTest::qWaitFor([&replace] { return replace.isNull(); }));
}

} // namespace
} // namespace kelo::test
