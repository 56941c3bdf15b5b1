// The text tools in the main window: the caret readout after real clicks,
// automatic indentation (its width, then a real Enter), and the Search dialog
// with its buttons, options and keys acting on the editor. The search itself
// is checked case by case in findnocase_test.
#include "platform/textbox.h"
#include "shell/form1.h"
#include "support/form1fixture.h"
#include "support/testenv.h"
#include "tools/autoindent.h"
#include "tools/editortools.h"
#include "tools/frm_such.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace kelo::test {
namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

const QString notFound = QStringLiteral("Suchbegriff nicht gefunden!");

class TextTools : public Form1Fixture {
protected:
    // The main window on screen with this text in its editor.
    Form1 &showWith(const QString &text)
    {
        Form1 &form = start();
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.TextBox1->setText(text);
        // Showing the window may put a hint into the status line.
        QCoreApplication::processEvents();
        form.lblstatus->clear();
        return form;
    }

    // A left click just right of the left edge of the character at a UTF-16
    // offset (at the end of its line when the offset is a line's end).
    void clickAt(int offset, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        TextBox &box = *m_window->TextBox1;
        const long position = box.utf16ToPosition(offset);
        const QPoint target(
            int(box.SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, position)) + 1,
            int(box.SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, position)) + 3);
        QTest::mouseClick(box.viewport(), Qt::LeftButton, modifiers, target);
    }

    frm_such &openSearch()
    {
        m_window->search->click();
        frm_such *dialog = m_window->editorTools()->searchDialog();
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }

    // The editor's selection as (start, length).
    using Sel = std::pair<int, int>;
    Sel selection() const
    {
        return {m_window->TextBox1->SelStart(), m_window->TextBox1->SelLength()};
    }
    // Clicks a button of the Search dialog; the selection afterwards.
    Sel press(QPushButton *button)
    {
        button->click();
        return selection();
    }
};

// ---- Caret readout and automatic indentation -------------------------------

TEST_F(TextTools, AClickShowsLineAndColumnOfTheSelectionStart)
{
    Form1 &form = showWith(QString());
    const auto click = [&](const char *text, int offset) {
        form.TextBox1->setText(u(text));
        clickAt(offset);
        EXPECT_EQ(form.TextBox1->SelStart(), offset);
        return form.lblstatus->text();
    };
    EXPECT_EQ(click("abc\r\ndef\r\nghi", 10), u("Zeile 3, Spalte 1"));
    EXPECT_EQ(click("a\nb\r\ncd\re", 8), u("Zeile 2, Spalte 4")); // no line of its own
    EXPECT_EQ(click("x😀y\r\n😀z", 8), u("Zeile 2, Spalte 3"));     // an emoji counts two
    EXPECT_EQ(click("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12", 35),
              u("Zeile 12, Spalte 1"));

    // A selection is read out at its start; keys leave the readout alone.
    form.TextBox1->setText(u("eins\r\nzwei zwo\r\ndrei\r\nvier"));
    form.TextBox1->setSelStart(10); // line 2, fifth character
    clickAt(24, Qt::ShiftModifier); // extends the selection into line 4
    ASSERT_EQ(selection(), Sel(10, 14));
    EXPECT_EQ(form.lblstatus->text(), u("Zeile 2, Spalte 5"));
    QTest::keyClick(form.TextBox1, Qt::Key_End);
    QTest::keyClicks(form.TextBox1, QStringLiteral("xyz"));
    QTest::keyClick(form.TextBox1, Qt::Key_Return);
    EXPECT_EQ(form.lblstatus->text(), u("Zeile 2, Spalte 5"));
}

// The width for a caret at a UTF-16 offset, from the UTF-16 and the UTF-8 form.
int indent(const char *utf8, int pos)
{
    const QString text = QString::fromUtf8(utf8);
    const int width = CountIndent(text, pos);
    const QByteArray bytes = text.toUtf8();
    EXPECT_EQ(CountIndent(QByteArrayView(bytes), text.left(std::max(pos, 0)).toUtf8().size()),
              width);
    return width;
}

// The indentation width: only CR LF ends a line, only spaces count, the run
// is measured in the whole line, the first line never indents.
TEST(CountIndent, CountsTheLeadingSpacesOfTheCaretsLine)
{
    // The first line carries nothing over, however it begins.
    EXPECT_EQ(indent("   abc", 6), 0);
    EXPECT_EQ(indent("", 0), 0);
    // A later line: its leading spaces, wherever the caret is in it, even
    // inside the run, where the spaces after the caret count too.
    EXPECT_EQ(indent("x\r\n   abc", 3), 3);
    EXPECT_EQ(indent("x\r\n   äö", 8), 3);
    EXPECT_EQ(indent("x\r\n    x", 5), 4);
    // Tabs and non-breaking spaces end the run.
    EXPECT_EQ(indent("x\r\n\t  abc", 9), 0);
    EXPECT_EQ(indent("x\r\n  \t abc", 9), 2);
    EXPECT_EQ(indent("x\r\n\u00a0 abc", 8), 0);
    // An empty line before an indented one; a line of spaces only.
    EXPECT_EQ(indent("x\r\n\r\n   y", 3), 0);
    EXPECT_EQ(indent("x\r\n  \r\n   y", 5), 2);
    EXPECT_EQ(indent("x\r\n   ", 6), 3);
    // A lone LF or CR does not start a line.
    EXPECT_EQ(indent("  a\n  b", 7), 0);
    EXPECT_EQ(indent("  a\r  b", 7), 0);
    EXPECT_EQ(indent("x\r\n a\n  b", 9), 1);
    // The caret between CR and LF is still on the line before.
    EXPECT_EQ(indent("x\r\n  y\r\n", 7), 2);
    EXPECT_EQ(indent("  x\r\n", 4), 0);
    // The last of several line breaks decides; a caret beyond the end counts
    // as at the end.
    EXPECT_EQ(indent(" a\r\n  b\r\n    c", 13), 4);
    EXPECT_EQ(indent(" a\r\n  b", 99), 2);
    EXPECT_EQ(indent(" a\r\n  b", -1), 0);
}

TEST_F(TextTools, EnterReplacesTheSelectionByCrLfAndTheIndentationAsOneUndoStep)
{
    Form1 &form = showWith(QString());
    // The text after Enter, with "|" at the caret.
    const auto enter = [&](const char *text, int start, int length) {
        form.TextBox1->setText(u(text));
        form.TextBox1->setSelStart(start);
        form.TextBox1->setSelLength(length);
        QTest::keyClick(form.TextBox1, Qt::Key_Return);
        EXPECT_EQ(form.TextBox1->SelLength(), 0);
        const QString after = form.TextBox1->Text().insert(form.TextBox1->SelStart(), u'|');
        form.TextBox1->undo();
        EXPECT_EQ(form.TextBox1->Text(), u(text));
        return after;
    };
    EXPECT_EQ(enter("x\r\n  abc def", 5, 3), u("x\r\n  \r\n  | def"));
    EXPECT_EQ(enter("  x\r\n  abc\r\n    d", 7, 9), u("  x\r\n  \r\n  |d"));
    EXPECT_EQ(enter("x\r\n    x", 5, 0), u("x\r\n  \r\n    |  x")); // caret inside the spaces
    EXPECT_EQ(enter("ä😀ä\r\n  x", 9, 0), u("ä😀ä\r\n  x\r\n  |"));   // bytes are not units
}

// ---- Search dialog ----------------------------------------------------------

TEST_F(TextTools, EnablingFollowsTheTermAndTheOptionAndANewDialogStartsAfresh)
{
    Form1 &form = showWith(u("Text"));
    frm_such &dialog = openSearch();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.cmdSuchen->hasFocus(); }));
    using Both = std::pair<bool, bool>; // "suchen", "weitersuchen"
    const auto enabled = [](frm_such &d) {
        return Both(d.cmdSuchen->isEnabled(), d.cmdWeitersuchen->isEnabled());
    };
    const auto option = [&](int index) {
        QTest::mouseClick(dialog.Option1[index], Qt::LeftButton);
        EXPECT_TRUE(dialog.Option1[index]->isChecked());
        return enabled(dialog);
    };
    const auto type = [&](const char *keys) {
        if (*keys == 0)
            QTest::keyClick(dialog.txtSuch, Qt::Key_Backspace);
        QTest::keyClicks(dialog.txtSuch, u(keys));
        return enabled(dialog);
    };
    EXPECT_EQ(enabled(dialog), Both(true, true)); // loaded with the empty term
    EXPECT_EQ(option(1), Both(true, false));
    EXPECT_EQ(option(0), Both(true, false)); // the option alone does not decide
    EXPECT_EQ(type("a"), Both(true, true));
    EXPECT_EQ(type(""), Both(false, false)); // a backspace
    EXPECT_EQ(option(1), Both(false, false));
    EXPECT_EQ(type("ab"), Both(true, false));
    EXPECT_EQ(option(0), Both(true, true));
    EXPECT_EQ(option(1), Both(true, false));

    // A second click shows the same dialog; once closed, the next one starts
    // with an empty term and "Gesamt".
    form.search->click();
    EXPECT_EQ(form.editorTools()->searchDialog(), &dialog);
    QPointer<frm_such> closed(&dialog);
    dialog.close();
    frm_such &again = openSearch();
    EXPECT_NE(&again, closed.data());
    EXPECT_TRUE(again.txtSuch->text().isEmpty());
    EXPECT_TRUE(again.Option1[0]->isChecked());
    EXPECT_EQ(enabled(again), Both(true, true));
}

TEST_F(TextTools, SuchenWeitersuchenAndMarkierungFindTheMatchesWithoutWrapping)
{
    Form1 &form = showWith(u("ein Test und ein test"));
    form.TextBox1->setSelStart(12); // "suchen" starts at the beginning anyway
    form.setStatus(u("vorher"));
    frm_such &dialog = openSearch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; }));
    dialog.txtSuch->setText(u("TEST"));
    EXPECT_EQ(press(dialog.cmdSuchen), Sel(4, 4));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.TextBox1->hasFocus(); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &form; }));
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(17, 4));
    EXPECT_EQ(form.lblstatus->text(), u("vorher")); // success leaves the status line alone
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(17, 4));
    EXPECT_EQ(form.lblstatus->text(), notFound);

    // "Markierung" looks only inside the selection.
    dialog.Option1[1]->setChecked(true);
    const auto search = [&](int start, int length, const char *term) {
        form.setStatus(QString());
        form.TextBox1->setSelStart(start);
        form.TextBox1->setSelLength(length);
        dialog.txtSuch->setText(u(term));
        return press(dialog.cmdSuchen);
    };
    EXPECT_EQ(search(9, 12, "EIN"), Sel(13, 3));
    EXPECT_EQ(search(0, 21, "D EIN"), Sel(11, 5)); // the whole text selected
    EXPECT_TRUE(form.lblstatus->text().isEmpty());
    // Not inside "und ein", nor in nothing selected.
    EXPECT_EQ(search(9, 7, "test"), Sel(9, 7));
    EXPECT_EQ(form.lblstatus->text(), notFound);
    EXPECT_EQ(search(4, 0, "t"), Sel(4, 0));
    EXPECT_EQ(form.lblstatus->text(), notFound);

    // Overlapping matches are found in turn.
    dialog.Option1[0]->setChecked(true);
    form.TextBox1->setText(u("aaaa"));
    EXPECT_EQ(search(0, 0, "aa"), Sel(0, 2));
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(1, 2));
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(2, 2));
    EXPECT_TRUE(form.lblstatus->text().isEmpty());
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(2, 2));
    EXPECT_EQ(form.lblstatus->text(), notFound);
}

// The editor holds UTF-8: offsets must still count UTF-16 units, "İ" before a
// match must not shift it, and a match far down is scrolled into view.
TEST_F(TextTools, TheSearchIgnoresCaseOfUmlautsAndKeepsOffsetsAcrossPairs)
{
    const QString text = u("😀 İ Viel ÄRGER\r\nund ärger\r\n") +
                         u("Zeile mit ä und 😀 und Lone\nLF\r\n").repeated(3000) + u("Ziel");
    Form1 &form = showWith(text);
    frm_such &dialog = openSearch();
    dialog.txtSuch->setText(u("ärger"));
    EXPECT_EQ(press(dialog.cmdSuchen), Sel(10, 5));
    EXPECT_EQ(form.TextBox1->SelText(), u("ÄRGER"));
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(21, 5));
    // An emoji is found whole, and the next search starts after it.
    dialog.txtSuch->setText(u("😀"));
    EXPECT_EQ(press(dialog.cmdSuchen), Sel(0, 2));
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(44, 2));

    dialog.txtSuch->setText(u("ZIEL"));
    EXPECT_EQ(press(dialog.cmdSuchen), Sel(int(text.size()) - 4, 4));
    TextBox &box = *form.TextBox1;
    const long firstVisible = box.SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
    const long visible = box.SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
    const long lastLine = box.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT) - 1;
    EXPECT_LE(firstVisible, lastLine);
    EXPECT_GE(firstVisible + visible, lastLine);
}

TEST_F(TextTools, CtrlFOpensTheDialogAndF3FindsTheNextMatchWhenWeitersuchenIsOn)
{
    Form1 &form = showWith(u("ab ab ab"));
    // Keys go to the active window, as a user's keys do.
    const auto keyIn = [](QWidget *widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        widget->activateWindow();
        ASSERT_TRUE(
            QTest::qWaitFor([widget] { return QApplication::activeWindow() == widget->window(); }));
        QTest::keyClick(widget, key, modifiers);
    };
    keyIn(form.TextBox1, Qt::Key_F3); // before the dialog was opened: nothing
    EXPECT_EQ(selection(), Sel(0, 0));
    keyIn(form.TextBox1, Qt::Key_F, Qt::ControlModifier);
    frm_such *dialog = form.editorTools()->searchDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->txtSuch->setText(u("AB"));
    keyIn(form.TextBox1, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(3, 2));
    keyIn(dialog->txtSuch, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(6, 2));
    // Not while "weitersuchen" is off.
    dialog->Option1[1]->setChecked(true);
    form.TextBox1->setSelStart(0);
    keyIn(dialog->txtSuch, Qt::Key_F3);
    keyIn(form.TextBox1, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(0, 0));
    EXPECT_TRUE(form.lblstatus->text().isEmpty());
}

} // namespace
} // namespace kelo::test
