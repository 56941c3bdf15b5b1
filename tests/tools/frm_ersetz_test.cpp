// The Replace dialog on a real main window: how it opens and where, its
// fields kept across closing and restarting, replace all with its count and
// refusals, "TAB ->", "ganze Zeile löschen", and undo.
#include "platform/messagebox.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "shell/startup.h"
#include "support/form1fixture.h"
#include "support/testenv.h"
#include "tools/frm_ersetz.h"
#include "tools/linetools.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

// Table cases carry a name, which failure messages show.
template <typename Case>
auto operator<<(std::ostream &out, const Case &c) -> decltype(out << c.name)
{
    return out << c.name;
}

class ReplaceDialog : public Form1Fixture {
protected:
    Form1 &startShown(const QByteArray &text = {})
    {
        Form1 &form = start();
        form.TextBox1->loadUtf8(text);
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
        return form;
    }

    frm_ersetz &open(Form1 &form)
    {
        form.cmd_replace->click();
        frm_ersetz *dialog = form.lineTools()->replaceDialog();
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }

    // Fills the fields and presses "ersetzen".
    void replace(frm_ersetz &dialog, const QString &find, const QString &replacement)
    {
        dialog.txt_finde->setText(find);
        dialog.txt_replace->setText(replacement);
        dialog.cmd_ersetzen->click();
    }
};

TEST_F(ReplaceDialog, OpensOnTopAtAThirdOfTheWindowWithTheDefaultsAndFocusOnExit)
{
    Form1 &form = startShown();
    frm_ersetz &dialog = open(form);

    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Replace"));
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(dialog.isWindow());
    EXPECT_FALSE(dialog.isModal());
    const QRect main = form.frameGeometry();
    EXPECT_EQ(dialog.pos(), main.topLeft() + QPoint(main.width() / 3, main.height() / 3));

    EXPECT_EQ(dialog.txt_finde->text(), QStringLiteral("Suchbegriff eingeben"));
    EXPECT_EQ(dialog.txt_replace->text(), QStringLiteral("Ersatzbegriff eingeben"));
    EXPECT_TRUE(dialog.lbl_anzahl->text().isEmpty());
    EXPECT_TRUE(dialog.lbl_text->text().isEmpty());
    EXPECT_TRUE(dialog.lbl_anzahl->font().bold());
    EXPECT_EQ(dialog.focusWidget(), dialog.cmd_exit);

    // The keyboard's round through the dialog, from "EXIT" on.
    const QList<QWidget *> order = {dialog.cmd_exit,  dialog.cmd_ersetzen, dialog.txt_replace,
                                    dialog.txt_finde, dialog.cmdTAB,       dialog.cmdZSLOESCH};
    QWidget *widget = dialog.cmd_exit;
    for (qsizetype i = 1; i <= order.size(); ++i) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(widget, order[i % order.size()]) << i;
    }
}

TEST_F(ReplaceDialog, AnotherClickOrCtrlHShowsTheSameDialog)
{
    Form1 &form = startShown();
    QTest::keyClick(form.TextBox1, Qt::Key_H, Qt::ControlModifier);
    QPointer<frm_ersetz> first = form.lineTools()->replaceDialog();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    // Ctrl+H in the editor opens the dialog and types nothing.
    EXPECT_TRUE(form.TextBox1->Text().isEmpty());

    first->txt_finde->setText(QStringLiteral("ungespeichert"));
    EXPECT_EQ(&open(form), first.data());
    EXPECT_EQ(first->txt_finde->text(), QStringLiteral("ungespeichert"));
}

enum Closing { ExitButton, TitleBar, MainWindow };
const char *const closingNames[] = {"ExitButton", "TitleBar", "MainWindow"};

void PrintTo(Closing closing, std::ostream *out)
{
    *out << closingNames[closing];
}

class ReplaceDialogClosing : public ReplaceDialog, public ::testing::WithParamInterface<Closing> {};

TEST_P(ReplaceDialogClosing, StoresTheFieldsWhichTheNextStartShows)
{
    Form1 &form = startShown();
    QPointer<frm_ersetz> dialog = &open(form);
    dialog->txt_finde->setText(QStringLiteral("Straße, Weg"));
    dialog->cmdTAB->click();
    EXPECT_EQ(dialog->txt_replace->text(), QStringLiteral("\t"));

    switch (GetParam()) {
    case ExitButton:
        dialog->cmd_exit->click();
        break;
    case TitleBar:
        dialog->close();
        break;
    case MainWindow:
        closeWindow();
        break;
    }
    EXPECT_EQ(setting(key::txtFinde), QStringLiteral("Straße, Weg"));
    EXPECT_EQ(setting(key::txtReplace), QStringLiteral("\t"));
    // Closed is gone: the next click makes a new one.
    EXPECT_TRUE(QTest::qWaitFor([&dialog] { return dialog.isNull(); }));

    Form1 &again = startShown();
    frm_ersetz &reopened = open(again);
    EXPECT_EQ(reopened.txt_finde->text(), QStringLiteral("Straße, Weg"));
    EXPECT_EQ(reopened.txt_replace->text(), QStringLiteral("\t"));
}

INSTANTIATE_TEST_SUITE_P(Ways, ReplaceDialogClosing,
                         ::testing::Values(ExitButton, TitleBar, MainWindow),
                         [](const auto &info) { return std::string(closingNames[info.param]); });

struct ReplaceCase {
    const char *name;
    QString text, find, replacement, result, count;
};

class ReplaceDialogErsetzen :
    public ReplaceDialog,
    public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(ReplaceDialogErsetzen, ReplacesAllAsOneUndoStepAndShowsTheCount)
{
    const ReplaceCase &c = GetParam();
    Form1 &form = startShown(c.text.toUtf8());
    form.TextBox1->setSelStart(3);
    frm_ersetz &dialog = open(form);
    replace(dialog, c.find, c.replacement);

    EXPECT_EQ(form.TextBox1->Text(), c.result);
    EXPECT_EQ(dialog.lbl_anzahl->text(), c.count);
    EXPECT_EQ(dialog.lbl_text->text(), QStringLiteral("ersetzt"));
    EXPECT_EQ(form.TextBox1->SelStart(), 0);
    EXPECT_TRUE(m_messages.shown().isEmpty());
    if (c.result != c.text) {
        form.TextBox1->undo();
        EXPECT_EQ(form.TextBox1->Text(), c.text);
    }
    // Nothing changed, nothing to undo: no empty undo step either.
    EXPECT_FALSE(form.TextBox1->isUndoAvailable());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReplaceDialogErsetzen,
    ::testing::Values(ReplaceCase{"Welt", "Hallo Welt, hallo Welt", "Welt", "Erde",
                                  "Hallo Erde, hallo Erde", "2"},
                      ReplaceCase{"MadeTextIsSearchedAgain", "aaaa", "aa", "a", "a", "3"},
                      ReplaceCase{"NotThere", "abc", "Suchbegriff eingeben", "x", "abc", "0"},
                      ReplaceCase{"CrLfInTheSearch", "a\r\nb\r\nc", "\r\n", " ", "a b c", "2"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReplaceDialog, TabButtonTurnsGroupsOfFourSpacesIntoTabs)
{
    Form1 &form = startShown("a        b      c    \r\n  d");
    frm_ersetz &dialog = open(form);
    dialog.cmdTAB->click();
    dialog.txt_finde->setText(QStringLiteral("    "));
    dialog.cmd_ersetzen->click();
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("a\t\tb\t  c\t\r\n  d"));
    EXPECT_EQ(dialog.lbl_anzahl->text(), QStringLiteral("4"));
}

struct RefusalCase {
    const char *name;
    QString find, replacement;
};

class ReplaceDialogRefusal :
    public ReplaceDialog,
    public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ReplaceDialogRefusal, EndlessReplacingIsRefusedAndChangesNothing)
{
    const QByteArray text = "a b a";
    Form1 &form = startShown(text);
    frm_ersetz &dialog = open(form);
    replace(dialog, QStringLiteral("a"), QStringLiteral("c"));
    ASSERT_EQ(dialog.lbl_anzahl->text(), QStringLiteral("2"));
    form.TextBox1->undo();

    replace(dialog, GetParam().find, GetParam().replacement);
    EXPECT_EQ(form.TextBox1->utf8Text(), text);
    EXPECT_FALSE(form.TextBox1->isUndoAvailable());
    ASSERT_EQ(m_messages.shown().size(), 1);
    EXPECT_TRUE(m_messages.texts().first().contains(QStringLiteral("unverändert")));
    EXPECT_TRUE(dialog.lbl_anzahl->text().isEmpty());
    EXPECT_TRUE(dialog.lbl_text->text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Inputs, ReplaceDialogRefusal,
                         ::testing::Values(RefusalCase{"EmptySearch", "", "x"},
                                           RefusalCase{"ReplacementHoldsTheSearch", "a", "ba"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReplaceDialog, GanzeZeileLoeschenEmptiesTheLinesAndLeavesTheCount)
{
    const QByteArray text = "eins abc\r\nzwei\r\nabc drei\r\n";
    Form1 &form = startShown(text);
    form.TextBox1->setSelStart(7);
    frm_ersetz &dialog = open(form);
    replace(dialog, QStringLiteral("zwei"), QStringLiteral("Zwei"));
    ASSERT_EQ(dialog.lbl_anzahl->text(), QStringLiteral("1"));
    form.TextBox1->undo();
    form.TextBox1->setSelStart(7);

    dialog.txt_finde->setText(QStringLiteral("abc"));
    dialog.cmdZSLOESCH->click();

    EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray("\r\nzwei\r\n\r\n"));
    EXPECT_EQ(dialog.lbl_anzahl->text(), QStringLiteral("1"));
    EXPECT_EQ(dialog.lbl_text->text(), QStringLiteral("ersetzt"));
    EXPECT_EQ(form.TextBox1->SelStart(), 0); // the display refresh ran
    EXPECT_EQ(QDir(m_programFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList());
    form.TextBox1->undo();
    EXPECT_EQ(form.TextBox1->utf8Text(), text);
    EXPECT_FALSE(form.TextBox1->isUndoAvailable());
}

} // namespace
} // namespace kelo::test
