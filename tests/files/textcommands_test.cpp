// Print, copy, clear and refresh on the main window, with the printer and the
// message boxes answered by the test. What the printer code puts on paper is
// checked through a PDF in the platform tests.
#include "files/textcommands.h"
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/textprinter.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const QString question = QStringLiteral("Datei jetzt ausdrucken ?");

using Commands = Form1Fixture;

// Print asks first; Yes prints the editor's text, also an empty one, and a
// printer failure is shown, never silent.
TEST_F(Commands, PrintAsksAndYesPrintsTheEditorsTextOrSaysWhyNot)
{
    Form1 &form = startShown({makeFile("brief.txt", "gespeichert")});
    form.TextBox1->setText(QStringLiteral("nicht gespeichert\r\nzweite Zeile"));
    m_messages.queueAnswer(MsgAnswer::No);
    form.Print->click();
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.Print->click();
    form.TextBox1->setText(QString());
    form.TextBox1->setFocus();
    m_messages.queueAnswer(MsgAnswer::Yes);
    QTest::keyClick(form.TextBox1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(m_printer.printed,
              QStringList({QStringLiteral("nicht gespeichert\r\nzweite Zeile"), QString()}));
    EXPECT_EQ(m_messages.texts(), QStringList(3, question)); // no confirmation
    EXPECT_EQ(m_messages.shown().first().buttons, MsgButtons::YesNo);
    EXPECT_EQ(form.TextBox1->Text(), QString()); // Ctrl+P typed no "p"

    m_printer.answer = {false, noPrinterMessage()};
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.Print->click();
    EXPECT_EQ(m_messages.shown().last().text, QStringLiteral("Es ist kein Drucker eingerichtet."));
    EXPECT_EQ(m_messages.shown().last().icon, MsgIcon::Critical);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the wait cursor is gone
}

// Copy takes the whole text whatever is selected, clear keeps the file and is
// one undo step, refresh applies the scheme again with the caret at the start.
TEST_F(Commands, CopyClearAndRefresh)
{
    const QString path = makeFile("x.txt", "Größe\r\nStraße\r\n\r\nEnde\r");
    Form1 &form = startShown({path});
    form.TextBox1->setSelStart(7);
    form.TextBox1->setSelLength(6);
    form.copy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Größe\nStraße\n\nEnde\r"));
    EXPECT_FALSE(QApplication::clipboard()->mimeData()->hasHtml());

    form.TextBox1->setSelText(QStringLiteral("neu"));
    form.img_clear->click();
    EXPECT_EQ(form.TextBox1->Text(), QString());
    EXPECT_EQ(form.currentFile(), path);
    form.copy->click(); // an empty text empties the clipboard
    EXPECT_EQ(QApplication::clipboard()->text(), QString());
    form.TextBox1->undo();
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Größe\r\nneu\r\n\r\nEnde\r"));

    form.TextBox1->setSelStart(5);
    form.TextBox1->setBackColor(Qt::red);
    form.cmd_fresh->click();
    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 128));
    EXPECT_EQ(form.TextBox1->SelStart(), 0);
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

} // namespace
} // namespace kelo::test
