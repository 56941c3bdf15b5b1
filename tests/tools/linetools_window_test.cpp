// The line tools in the main window: the buttons and Ctrl+H that reach them,
// and the Replace dialog's fields kept when the window closes. What the tools
// do is tested beside a stand-in window (linetools_test.cpp).
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "support/form1fixture.h"
#include "tools/frm_ersetz.h"
#include "tools/linetools.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using LineToolsWindow = Form1Fixture;

// Ctrl+H and "replace" show the one Replace dialog, the key typing nothing;
// "Leerzeilen" cleans the text up.
TEST_F(LineToolsWindow, TheButtonsAndCtrlHReachTheLineTools)
{
    Form1 &form = startShown();
    QTest::keyClick(form.TextBox1, Qt::Key_H, Qt::ControlModifier);
    QPointer<frm_ersetz> dialog = form.lineTools()->replaceDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(form.TextBox1->Text().isEmpty()); // the key types nothing
    form.cmd_replace->click();
    EXPECT_EQ(form.lineTools()->replaceDialog(), dialog.data());

    form.TextBox1->loadUtf8("a\r\n\r\n  b");
    form.cmdDelEmpty->click();
    EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray("a\r\n b\r\n"));
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

// Closing the main window takes the Replace dialog down with it and keeps its
// fields for the next start.
TEST_F(LineToolsWindow, ClosingTheWindowKeepsTheReplaceFields)
{
    startShown();
    m_window->cmd_replace->click();
    QPointer<frm_ersetz> dialog = m_window->lineTools()->replaceDialog();
    ASSERT_TRUE(dialog);
    dialog->txt_finde->setText("Gasse");
    dialog->txt_replace->setText("x");
    dialog->cmdTAB->click();
    closeWindow();
    EXPECT_EQ(setting(key::txtFinde) + '|' + setting(key::txtReplace), QString("Gasse|\t"));
    EXPECT_TRUE(QTest::qWaitFor([&dialog] { return dialog.isNull(); }));
    startShown();
    m_window->cmd_replace->click();
    dialog = m_window->lineTools()->replaceDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->txt_finde->text() + '|' + dialog->txt_replace->text(), "Gasse|\t");
}

} // namespace
} // namespace kelo::test
