// Print, copy, clear and refresh on the main window, with the printer and the
// message boxes answered by the test; printing through the real printer code
// into a PDF, read back with pdftotext.
#include "files/textcommands.h"
#include "platform/controls.h"
#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/textprinter.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMimeData>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const QString question = QStringLiteral("Datei jetzt ausdrucken ?");

using Commands = Form1Fixture;

TEST_F(Commands, PrintAsksAndYesPrintsTheTextAsTheEditorHoldsIt)
{
    const QString path = makeFile(QStringLiteral("brief.txt"), "gespeichert");
    Form1 &form = startShown({path});
    form.TextBox1->setText(QStringLiteral("nicht gespeichert\r\nzweite Zeile"));
    form.TextBox1->setSelStart(3);
    form.TextBox1->setSelLength(4);
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.Print->click();

    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_EQ(m_messages.shown().first().text, question);
    EXPECT_EQ(m_messages.shown().first().buttons, MsgButtons::YesNo);
    EXPECT_EQ(m_messages.shown().first().icon, MsgIcon::None);
    EXPECT_EQ(m_printer.printed, QStringList{QStringLiteral("nicht gespeichert\r\nzweite Zeile")});
    // Printing changes nothing.
    EXPECT_EQ(form.TextBox1->SelText(), QStringLiteral("ht g"));
    EXPECT_EQ(readBytes(path), QByteArray("gespeichert"));
}

TEST_F(Commands, NoPrintsNothingAndAnEmptyTextIsStillSent)
{
    Form1 &form = startShown();
    m_messages.queueAnswer(MsgAnswer::No);
    form.Print->click();
    EXPECT_TRUE(m_printer.printed.isEmpty());

    m_messages.queueAnswer(MsgAnswer::Yes);
    form.Print->click();
    EXPECT_EQ(m_printer.printed, QStringList{QString()});
    EXPECT_EQ(m_messages.shown().size(), 2); // the questions, no confirmation
}

TEST_F(Commands, CtrlPAsksTheSameQuestion)
{
    Form1 &form = startShown();
    form.TextBox1->setText(QStringLiteral("Text"));
    form.TextBox1->setFocus();
    m_messages.queueAnswer(MsgAnswer::Yes);
    QTest::keyClick(form.TextBox1, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(m_messages.texts(), QStringList{question});
    EXPECT_EQ(m_printer.printed, QStringList{QStringLiteral("Text")});
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Text")); // no "p" typed
}

TEST_F(Commands, APrinterFailureIsShownAndNeverSilent)
{
    Form1 &form = startShown();
    m_printer.answer = {false, noPrinterMessage()};
    m_messages.queueAnswer(MsgAnswer::Yes);
    form.Print->click();
    ASSERT_EQ(m_messages.shown().size(), 2);
    EXPECT_EQ(m_messages.shown().at(1).text, QStringLiteral("Es ist kein Drucker eingerichtet."));
    EXPECT_EQ(m_messages.shown().at(1).icon, MsgIcon::Critical);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // the wait cursor is gone
}

TEST_F(Commands, CopyPutsTheWholeTextWithLfBreaksWhateverIsSelected)
{
    Form1 &form = startShown();
    form.TextBox1->setText(QStringLiteral("Größe\r\nStraße\r\n\r\nEnde\r"));
    form.TextBox1->setSelStart(7);
    form.TextBox1->setSelLength(6);
    QApplication::clipboard()->setText(QStringLiteral("vorher"));
    form.copy->click();
    const QMimeData *data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text(), QStringLiteral("Größe\nStraße\n\nEnde\r"));
    EXPECT_FALSE(data->hasHtml());
    EXPECT_EQ(form.TextBox1->SelLength(), 6);

    // An empty text leaves an empty clipboard, not the old content.
    form.TextBox1->setText(QString());
    form.copy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QString());
}

TEST_F(Commands, ClearEmptiesTheTextAsOneUndoStepAndKeepsTheFile)
{
    start().img_clear->click(); // on an empty editor: nothing to undo
    EXPECT_FALSE(m_window->TextBox1->isUndoAvailable());
    EXPECT_FALSE(m_window->TextBox1->isModified());

    const QString path = makeFile(QStringLiteral("x.txt"), "eins\r\nzwei");
    Form1 &form = startShown({path});
    form.TextBox1->setSelStart(6);
    form.TextBox1->setSelText(QStringLiteral("neu "));
    form.img_clear->click();
    EXPECT_EQ(form.TextBox1->Text(), QString());
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_TRUE(m_messages.shown().isEmpty());
    form.TextBox1->undo();
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("eins\r\nneu zwei"));
}

TEST_F(Commands, RefreshAppliesTheSchemeAgainAndPutsTheCaretAtTheStart)
{
    Form1 &form = startShown();
    form.TextBox1->setText(QStringLiteral("eins zwei"));
    form.TextBox1->setSelStart(5);
    form.TextBox1->setBackColor(Qt::red);
    form.cmd_fresh->click();
    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 128));
    EXPECT_EQ(form.TextBox1->SelStart(), 0);
}

TEST(PrintToPdf, TheQuestionAndTheRealPrinterCodeMakeTheDocument)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = QDir(dir.path()).filePath(QStringLiteral("druck.pdf"));
    TextBox editor;
    editor.setText(QStringLiteral("Sehr geehrte Damen und Herren,\r\n\r\nüber 100 € Straße"));
    ScriptedMessageBoxes messages;
    PdfPrinter printer(pdf);
    TextCommands commands(&editor, &messages, &printer, [] {});
    messages.queueAnswer(MsgAnswer::Yes);
    commands.Print_Click();

    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                             QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.at(0).trimmed(), QStringLiteral("Sehr geehrte Damen und Herren,"));
    EXPECT_EQ(lines.at(1).trimmed(), QString());
    EXPECT_EQ(lines.at(2).trimmed(), QStringLiteral("über 100 € Straße"));
    EXPECT_EQ(messages.texts(), QStringList{QStringLiteral("Datei jetzt ausdrucken ?")});
}

} // namespace
} // namespace kelo::test
