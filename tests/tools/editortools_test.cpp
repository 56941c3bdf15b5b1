// The text tools in the main window: the caret readout after real clicks,
// automatic indentation on a real Enter, and the Search dialog with its
// buttons, options and keys acting on the editor.
#include "platform/textbox.h"
#include "platform/units.h"
#include "shell/form1.h"
#include "support/form1fixture.h"
#include "support/testenv.h"
#include "tools/editortools.h"
#include "tools/frm_such.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

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
        // Showing the window may put a hint into the status line (the
        // pointer rests on some control); the tests start from an empty one.
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

    void pressEnter() { QTest::keyClick(m_window->TextBox1, Qt::Key_Return); }

    frm_such &openSearch()
    {
        m_window->search->click();
        frm_such *dialog = m_window->editorTools()->searchDialog();
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }

    // The editor's selection as (start, length).
    std::pair<int, int> selection() const
    {
        return {m_window->TextBox1->SelStart(), m_window->TextBox1->SelLength()};
    }
    using Sel = std::pair<int, int>;
};

// ---- Caret readout ----------------------------------------------------------

struct ClickCase {
    const char *text;
    int offset;
    const char *readout;
};

void PrintTo(const ClickCase &c, std::ostream *out)
{
    *out << c.readout;
}

class CaretReadout : public TextTools, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(CaretReadout, AClickShowsLineAndColumnOfTheCaret)
{
    const ClickCase &c = GetParam();
    Form1 &form = showWith(u(c.text));
    clickAt(c.offset);
    ASSERT_EQ(form.TextBox1->SelStart(), c.offset);
    EXPECT_EQ(form.lblstatus->text(), u(c.readout));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaretReadout,
    ::testing::Values(ClickCase{"abc\r\ndef\r\nghi", 0, "Zeile 1, Spalte 1"},
                      ClickCase{"abc\r\ndef\r\nghi", 3, "Zeile 1, Spalte 4"},
                      ClickCase{"abc\r\ndef\r\nghi", 10, "Zeile 3, Spalte 1"},
                      // A lone LF or CR does not start a line of its own.
                      ClickCase{"a\nb\r\ncd\re", 6, "Zeile 2, Spalte 2"},
                      ClickCase{"a\nb\r\ncd\re", 8, "Zeile 2, Spalte 4"},
                      // A character outside the Basic Multilingual Plane counts two.
                      ClickCase{"x\xf0\x9f\x98\x80y\r\n\xf0\x9f\x98\x80z", 8, "Zeile 2, Spalte 3"},
                      ClickCase{"1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12", 35,
                                "Zeile 12, Spalte 1"}));

TEST_F(TextTools, ASelectionIsReadOutAtItsStart)
{
    Form1 &form = showWith(u("eins\r\nzwei zwo\r\ndrei\r\nvier"));
    form.TextBox1->setSelStart(10); // line 2, fifth character
    clickAt(24, Qt::ShiftModifier); // extends the selection into line 4
    ASSERT_EQ(selection(), Sel(10, 14));
    EXPECT_EQ(form.lblstatus->text(), u("Zeile 2, Spalte 5"));
}

TEST_F(TextTools, TypingAndKeysLeaveTheLastReadout)
{
    Form1 &form = showWith(u("abc\r\ndef"));
    clickAt(6);
    ASSERT_EQ(form.lblstatus->text(), u("Zeile 2, Spalte 2"));
    QTest::keyClicks(form.TextBox1, QStringLiteral("xyz"));
    QTest::keyClick(form.TextBox1, Qt::Key_Home);
    pressEnter();
    ASSERT_EQ(form.TextBox1->Text(), u("abc\r\n\r\ndxyzef"));
    EXPECT_EQ(form.lblstatus->text(), u("Zeile 2, Spalte 2"));
    // The next click reads the new text.
    clickAt(form.TextBox1->textLength());
    EXPECT_EQ(form.lblstatus->text(), u("Zeile 3, Spalte 7"));
}

// ---- Automatic indentation --------------------------------------------------

struct EnterCase {
    const char *name;
    const char *text;
    int selStart;
    int selLength;
    const char *after;
    int caret;
};

void PrintTo(const EnterCase &c, std::ostream *out)
{
    *out << c.name;
}

class AutoIndentOnEnter : public TextTools, public ::testing::WithParamInterface<EnterCase> {};

TEST_P(AutoIndentOnEnter, InsertsCrLfAndTheIndentation)
{
    const EnterCase &c = GetParam();
    Form1 &form = showWith(u(c.text));
    form.TextBox1->setSelStart(c.selStart);
    form.TextBox1->setSelLength(c.selLength);
    pressEnter();
    EXPECT_EQ(form.TextBox1->Text(), u(c.after));
    EXPECT_EQ(selection(), Sel(c.caret, 0));
    // One undo step takes it back.
    form.TextBox1->undo();
    EXPECT_EQ(form.TextBox1->Text(), u(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoIndentOnEnter,
    ::testing::Values(
        EnterCase{"FirstLine", "   abc", 6, 0, "   abc\r\n", 8},
        EnterCase{"LaterLine", "x\r\n   abc", 9, 0, "x\r\n   abc\r\n   ", 14},
        EnterCase{"TabLed", "x\r\n\t  abc", 9, 0, "x\r\n\t  abc\r\n", 11},
        EnterCase{"EmptyLine", "x\r\n\r\n  y", 3, 0, "x\r\n\r\n\r\n  y", 5},
        EnterCase{"Selection", "x\r\n  abc def", 5, 3, "x\r\n  \r\n   def", 9},
        EnterCase{"SelectionToNextLine", "  x\r\n  abc\r\n    d", 7, 9, "  x\r\n  \r\n  d", 11},
        EnterCase{"CaretInsideTheSpaces", "x\r\n    x", 5, 0, "x\r\n  \r\n      x", 11},
        EnterCase{"AfterUmlauts", "\xc3\xa4\r\n  \xc3\xb6\xf0\x9f\x98\x80", 8, 0,
                  "\xc3\xa4\r\n  \xc3\xb6\xf0\x9f\x98\x80\r\n  ", 12}));

// ---- Search dialog ----------------------------------------------------------

TEST_F(TextTools, TheDialogOpensFreshStaysOnTopAndStartsOnSuchen)
{
    Form1 &form = showWith(u("Text"));
    frm_such &dialog = openSearch();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), u("search"));
    EXPECT_TRUE(dialog.isWindow());
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(dialog.windowModality(), Qt::NonModal);
    EXPECT_EQ(dialog.size(), QSize(twipsToPixels(3315), twipsToPixels(1845)));
    EXPECT_EQ(dialog.txtSuch->geometry(), twipsRect(240, 120, 2775, 285));
    EXPECT_EQ(dialog.cmdSuchen->geometry(), twipsRect(240, 480, 1095, 375));
    EXPECT_EQ(dialog.cmdWeitersuchen->geometry(), twipsRect(1920, 480, 1095, 375));
    EXPECT_EQ(dialog.Option1[0]->geometry(), twipsRect(240, 1080, 1335, 255));
    EXPECT_EQ(dialog.Option1[1]->geometry(), twipsRect(240, 1440, 1335, 255));
    EXPECT_EQ(dialog.cmdSuchen->text(), u("suchen"));
    EXPECT_EQ(dialog.cmdWeitersuchen->text(), u("weitersuchen"));
    EXPECT_EQ(dialog.Option1[0]->text(), u("Gesamt"));
    EXPECT_EQ(dialog.Option1[1]->text(), u("Markierung"));
    EXPECT_TRUE(dialog.txtSuch->text().isEmpty());
    EXPECT_TRUE(dialog.Option1[0]->isChecked());
    EXPECT_TRUE(dialog.cmdSuchen->isEnabled());
    EXPECT_TRUE(dialog.cmdWeitersuchen->isEnabled());

    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.cmdSuchen->hasFocus(); }));
    // The tab order, round the window's focus chain.
    const std::vector<QWidget *> order = {dialog.cmdSuchen, dialog.cmdWeitersuchen,
                                          dialog.Option1[0], dialog.Option1[1], dialog.txtSuch};
    std::vector<QWidget *> chain;
    QWidget *widget = dialog.cmdSuchen;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != dialog.cmdSuchen && chain.size() < 20);
    EXPECT_EQ(chain, order);

    // A second click shows the same dialog; closing it discards it, and the
    // next one starts afresh.
    dialog.txtSuch->setText(u("Tex"));
    dialog.Option1[1]->setChecked(true);
    form.search->click();
    EXPECT_EQ(form.editorTools()->searchDialog(), &dialog);
    QPointer<frm_such> closed(&dialog);
    dialog.close();
    EXPECT_EQ(form.editorTools()->searchDialog(), nullptr);
    frm_such &again = openSearch();
    EXPECT_NE(&again, closed.data());
    EXPECT_TRUE(again.txtSuch->text().isEmpty());
    EXPECT_TRUE(again.Option1[0]->isChecked());
    EXPECT_TRUE(again.cmdWeitersuchen->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed.isNull(); }));
}

TEST_F(TextTools, EnablingFollowsTheTermAndTheOption)
{
    showWith(u("Text"));
    frm_such &dialog = openSearch();
    const auto enabled = [&] {
        return std::pair(dialog.cmdSuchen->isEnabled(), dialog.cmdWeitersuchen->isEnabled());
    };
    using Both = std::pair<bool, bool>;
    // Loaded with the empty term, both are on; switching the option does not
    // touch "suchen".
    EXPECT_EQ(enabled(), Both(true, true));
    QTest::mouseClick(dialog.Option1[1], Qt::LeftButton);
    ASSERT_TRUE(dialog.Option1[1]->isChecked());
    EXPECT_EQ(enabled(), Both(true, false));
    QTest::mouseClick(dialog.Option1[0], Qt::LeftButton);
    ASSERT_TRUE(dialog.Option1[0]->isChecked());
    EXPECT_EQ(enabled(), Both(true, false));
    // The term decides for both.
    QTest::keyClicks(dialog.txtSuch, u("a"));
    EXPECT_EQ(enabled(), Both(true, true));
    QTest::keyClick(dialog.txtSuch, Qt::Key_Backspace);
    EXPECT_EQ(enabled(), Both(false, false));
    QTest::mouseClick(dialog.Option1[1], Qt::LeftButton);
    EXPECT_EQ(enabled(), Both(false, false));
    QTest::keyClicks(dialog.txtSuch, u("ab"));
    EXPECT_EQ(enabled(), Both(true, false));
    QTest::mouseClick(dialog.Option1[0], Qt::LeftButton);
    EXPECT_EQ(enabled(), Both(true, true));
    QTest::mouseClick(dialog.Option1[1], Qt::LeftButton);
    EXPECT_EQ(enabled(), Both(true, false));
}

TEST_F(TextTools, SuchenAndWeitersuchenWalkThroughTheMatches)
{
    Form1 &form = showWith(u("ein Test und ein test"));
    form.TextBox1->setSelStart(12); // the first search starts at the beginning anyway
    form.setStatus(u("vorher"));
    frm_such &dialog = openSearch();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &dialog; }));
    dialog.txtSuch->setText(u("TEST"));
    QTest::mouseClick(dialog.cmdSuchen, Qt::LeftButton);
    EXPECT_EQ(selection(), Sel(4, 4));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.TextBox1->hasFocus(); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &form; }));
    QTest::mouseClick(dialog.cmdWeitersuchen, Qt::LeftButton);
    EXPECT_EQ(selection(), Sel(17, 4));
    // Success leaves the status line alone.
    EXPECT_EQ(form.lblstatus->text(), u("vorher"));
    QTest::mouseClick(dialog.cmdWeitersuchen, Qt::LeftButton);
    EXPECT_EQ(form.lblstatus->text(), notFound);
    EXPECT_EQ(selection(), Sel(17, 4));
}

TEST_F(TextTools, OverlappingMatchesAreFoundInTurnAndTheSearchNeverWraps)
{
    Form1 &form = showWith(u("aaaa"));
    frm_such &dialog = openSearch();
    dialog.txtSuch->setText(u("aa"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(selection(), Sel(0, 2));
    for (const int expected : {1, 2}) {
        dialog.cmdWeitersuchen->click();
        EXPECT_EQ(selection(), Sel(expected, 2));
    }
    dialog.cmdWeitersuchen->click();
    EXPECT_EQ(form.lblstatus->text(), notFound);
    EXPECT_EQ(selection(), Sel(2, 2));
}

TEST_F(TextTools, MarkierungSearchesOnlyInsideTheSelection)
{
    Form1 &form = showWith(u("ein Test und ein test"));
    frm_such &dialog = openSearch();
    dialog.Option1[1]->setChecked(true);
    dialog.txtSuch->setText(u("EIN"));
    form.TextBox1->setSelStart(9);
    form.TextBox1->setSelLength(12);
    dialog.cmdSuchen->click();
    EXPECT_EQ(selection(), Sel(13, 3));
    // Inside the selection "und ein", "test" is not there.
    form.TextBox1->setSelStart(9);
    form.TextBox1->setSelLength(7);
    dialog.txtSuch->setText(u("test"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(form.lblstatus->text(), notFound);
    EXPECT_EQ(selection(), Sel(9, 7));
    // Nothing selected: nothing found.
    form.setStatus(QString());
    form.TextBox1->setSelStart(4);
    dialog.txtSuch->setText(u("t"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(form.lblstatus->text(), notFound);
    EXPECT_EQ(selection(), Sel(4, 0));
    // The whole text selected.
    form.TextBox1->setSelStart(0);
    form.TextBox1->setSelLength(form.TextBox1->textLength());
    dialog.txtSuch->setText(u("D EIN"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(selection(), Sel(11, 5));
}

TEST_F(TextTools, TheSearchIgnoresCaseOfUmlautsAndKeepsOffsetsAcrossPairs)
{
    Form1 &form = showWith(u("\xf0\x9f\x98\x80 \xc4\xb0 Viel \xc3\x84RGER\r\nund \xc3\xa4rger"));
    frm_such &dialog = openSearch();
    dialog.txtSuch->setText(u("\xc3\xa4rger"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(selection(), Sel(10, 5));
    EXPECT_EQ(form.TextBox1->SelText(), u("\xc3\x84RGER"));
    dialog.cmdWeitersuchen->click();
    EXPECT_EQ(selection(), Sel(21, 5));
    // An emoji is found whole, and the next search starts after it.
    dialog.txtSuch->setText(u("\xf0\x9f\x98\x80"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(selection(), Sel(0, 2));
    dialog.cmdWeitersuchen->click();
    EXPECT_EQ(form.lblstatus->text(), notFound);
    EXPECT_EQ(selection(), Sel(0, 2));
}

TEST_F(TextTools, ATermWithALineBreakIsFoundWholeNeverHalfAPair)
{
    Form1 &form = showWith(u("ein\r\nzwei\r\ndrei"));
    frm_such &dialog = openSearch();
    dialog.txtSuch->setText(u("I\r\nD"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(selection(), Sel(8, 4));
    dialog.txtSuch->setText(u("\n"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(form.lblstatus->text(), notFound);
    EXPECT_EQ(selection(), Sel(8, 4));
    // From a line break, the next search skips to the line after it.
    form.TextBox1->setSelStart(3);
    dialog.txtSuch->setText(u("z"));
    dialog.cmdWeitersuchen->click();
    EXPECT_EQ(selection(), Sel(5, 1));
}

TEST_F(TextTools, TheEmptyTermSelectsNothingAtTheStartOrIsNotFound)
{
    Form1 &form = showWith(u("abc"));
    form.TextBox1->setSelStart(2);
    frm_such &dialog = openSearch();
    dialog.cmdSuchen->click();
    EXPECT_EQ(selection(), Sel(0, 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.TextBox1->hasFocus(); }));
    EXPECT_TRUE(form.lblstatus->text().isEmpty());
    dialog.cmdWeitersuchen->click();
    EXPECT_EQ(selection(), Sel(1, 0));

    form.TextBox1->setText(QString());
    dialog.cmdSuchen->click();
    EXPECT_EQ(form.lblstatus->text(), notFound);
}

TEST_F(TextTools, WeitersuchenFromTheEndReportsNotFound)
{
    Form1 &form = showWith(u("Test Test"));
    form.TextBox1->setSelStart(9);
    frm_such &dialog = openSearch();
    dialog.txtSuch->setText(u("test"));
    dialog.cmdWeitersuchen->click();
    EXPECT_EQ(form.lblstatus->text(), notFound);
    EXPECT_EQ(selection(), Sel(9, 0));
}

TEST_F(TextTools, AMatchFarDownIsSelectedAndScrolledIntoView)
{
    QString text;
    for (int line = 0; line < 3000; ++line)
        text += u("Zeile mit \xc3\xa4 und \xf0\x9f\x98\x80 und Lone\nLF\r\n");
    text += u("Ende mit Ziel");
    Form1 &form = showWith(text);
    frm_such &dialog = openSearch();
    dialog.txtSuch->setText(u("ZIEL"));
    dialog.cmdSuchen->click();
    EXPECT_EQ(selection(), Sel(int(text.size()) - 4, 4));
    TextBox &box = *form.TextBox1;
    const long firstVisible = box.SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
    const long visible = box.SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
    const long lastLine = box.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT) - 1;
    EXPECT_GT(firstVisible, 0);
    EXPECT_LE(firstVisible, lastLine);
    EXPECT_GE(firstVisible + visible, lastLine);
}

TEST_F(TextTools, KeysOpenTheDialogAndFindTheNextMatch)
{
    Form1 &form = showWith(u("ab ab ab"));
    // Keys go to the active window, as a user's keys do.
    const auto activate = [](QWidget *window) {
        window->activateWindow();
        return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
    };
    ASSERT_TRUE(activate(&form));
    // F3 before the dialog was opened does nothing.
    QTest::keyClick(form.TextBox1, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(0, 0));
    EXPECT_TRUE(form.lblstatus->text().isEmpty());

    QTest::keyClick(form.TextBox1, Qt::Key_F, Qt::ControlModifier);
    frm_such *dialog = form.editorTools()->searchDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    dialog->txtSuch->setText(u("AB"));
    // F3 in the main window, then in the dialog.
    ASSERT_TRUE(activate(&form));
    QTest::keyClick(form.TextBox1, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(3, 2));
    ASSERT_TRUE(activate(dialog));
    QTest::keyClick(dialog->txtSuch, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(6, 2));
    // Not while "weitersuchen" is off.
    dialog->Option1[1]->setChecked(true);
    form.TextBox1->setSelStart(0);
    ASSERT_TRUE(activate(dialog));
    QTest::keyClick(dialog->txtSuch, Qt::Key_F3);
    ASSERT_TRUE(activate(&form));
    QTest::keyClick(form.TextBox1, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(0, 0));
    EXPECT_TRUE(form.lblstatus->text().isEmpty());
}

TEST_F(TextTools, ClosingTheMainWindowClosesTheDialog)
{
    showWith(u("x"));
    QPointer<frm_such> dialog(&openSearch());
    closeWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }));
}

} // namespace
} // namespace kelo::test
