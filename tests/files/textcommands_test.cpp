// Print, copy, clear and refresh on the main window. What the printer code
// puts on paper is checked through a PDF in the platform tests.
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/textprinter.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const QString question = QStringLiteral("Datei jetzt ausdrucken ?");

using Commands = Form1Fixture;

// Print asks first and prints the editor's text, or says why not; copy takes
// the whole text whatever is selected; clear asks nothing, keeps the file and
// is one undo step; refresh applies the scheme again.
TEST_F(Commands, PrintCopyClearAndRefresh)
{
    const QString path = makeFile("x.txt", "Größe\r\nStraße\r\n\r\nEnde\r");
    Form1 &form = startShown({path});
    form.TextBox1->setSelStart(7);
    form.TextBox1->setSelLength(6);
    form.TextBox1->setSelText(QStringLiteral("neu")); // not saved
    const QString text = QStringLiteral("Größe\r\nneu\r\n\r\nEnde\r");
    m_messages.queueAnswer(MsgAnswer::No);
    form.Print->click();
    form.TextBox1->setFocus();
    m_messages.queueAnswer(MsgAnswer::Yes);
    QTest::keyClick(form.TextBox1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(m_printer.printed, QStringList{text});
    EXPECT_EQ(m_messages.shown().value(0).buttons, MsgButtons::YesNo);
    EXPECT_EQ(form.TextBox1->Text(), text); // Ctrl+P typed no "p"

    form.TextBox1->setSelStart(2);
    form.TextBox1->setSelLength(3);
    form.copy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Größe\nneu\n\nEnde\r"));
    form.img_clear->click();
    EXPECT_EQ(form.TextBox1->Text(), QString());
    EXPECT_EQ(form.currentFile(), path);
    form.copy->click(); // an empty text empties the clipboard
    EXPECT_EQ(QApplication::clipboard()->text(), QString());
    form.TextBox1->undo();
    EXPECT_EQ(form.TextBox1->Text(), text);
    form.TextBox1->setBackColor(Qt::red);
    form.cmd_fresh->click();
    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 128));

    m_printer.answer = {false, noPrinterMessage()};
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.Print->click();
    EXPECT_EQ(m_messages.texts(),
              QStringList({question, question, question,
                           QStringLiteral("Es ist kein Drucker eingerichtet.")}));
    EXPECT_EQ(m_messages.shown().value(3).icon, MsgIcon::Critical);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the wait cursor is gone
}

} // namespace
} // namespace kelo::test
