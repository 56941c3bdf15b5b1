// The Replace dialog on a real main window: how it opens and where, its
// fields kept across closing and restarting, replace all with its count and
// refusals, "TAB ->", "ganze Zeile löschen", and undo.
#include "platform/textbox.h"
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
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

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

enum Closing { ExitButton, TitleBar, MainWindow };
const char *const closingNames[] = {"ExitButton", "TitleBar", "MainWindow"};

class ReplaceDialogClosing : public ReplaceDialog, public ::testing::WithParamInterface<Closing> {};

TEST_P(ReplaceDialogClosing, OpensWithTheDefaultsAndKeepsTheFieldsForTheNextStart)
{
    Form1 &form = startShown();
    QTest::keyClick(form.TextBox1, Qt::Key_H, Qt::ControlModifier);
    QPointer<frm_ersetz> dialog = form.lineTools()->replaceDialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(form.TextBox1->Text().isEmpty()); // the key types nothing
    const QRect main = form.frameGeometry();
    EXPECT_EQ(dialog->pos(), main.topLeft() + QPoint(main.width() / 3, main.height() / 3));
    EXPECT_EQ(dialog->focusWidget(), dialog->cmd_exit);
    EXPECT_EQ(dialog->txt_finde->text(), QStringLiteral("Suchbegriff eingeben"));
    EXPECT_EQ(dialog->txt_replace->text(), QStringLiteral("Ersatzbegriff eingeben"));
    dialog->txt_finde->setText(QStringLiteral("Straße, Weg"));
    dialog->cmdTAB->click();
    EXPECT_EQ(&open(form), dialog.data()); // open already: shown again as it is
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
    ::testing::Values(ReplaceCase{"MadeTextIsSearchedAgain", "aaaa", "aa", "a", "a", "3"},
                      ReplaceCase{"NotThere", "abc", "Suchbegriff eingeben", "x", "abc", "0"},
                      ReplaceCase{"FourSpacesToTab", "a        b      c    \r\n  d", "    ", "\t",
                                  "a\t\tb\t  c\t\r\n  d", "4"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReplaceDialog, EndlessReplacingIsRefusedAndChangesNothing)
{
    const QByteArray text = "a b a";
    Form1 &form = startShown(text);
    frm_ersetz &dialog = open(form);
    for (const auto &[find, replacement] : {std::pair(QString(), QStringLiteral("x")),
                                            std::pair(QStringLiteral("a"), QStringLiteral("ba"))}) {
        replace(dialog, QStringLiteral("a"), QStringLiteral("c"));
        ASSERT_EQ(dialog.lbl_anzahl->text(), QStringLiteral("2"));
        form.TextBox1->undo();
        m_messages.clear();

        replace(dialog, find, replacement);
        EXPECT_EQ(form.TextBox1->utf8Text(), text);
        EXPECT_FALSE(form.TextBox1->isUndoAvailable());
        ASSERT_EQ(m_messages.shown().size(), 1);
        EXPECT_TRUE(m_messages.texts().first().contains(QStringLiteral("unverändert")));
        EXPECT_TRUE(dialog.lbl_anzahl->text().isEmpty());
        EXPECT_TRUE(dialog.lbl_text->text().isEmpty());
    }
}

TEST_F(ReplaceDialog, GanzeZeileLoeschenEmptiesTheLinesAsOneUndoStepWithoutGrowing)
{
    const QByteArray text = "eins abc\r\nzwei\r\nabc drei";
    Form1 &form = startShown(text);
    form.TextBox1->setSelStart(7);
    frm_ersetz &dialog = open(form);
    dialog.txt_finde->setText(QStringLiteral("abc"));
    for (int run = 0; run < 2; ++run) {
        dialog.cmdZSLOESCH->click();
        EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray("\r\nzwei\r\n\r\n"));
    }
    EXPECT_EQ(form.TextBox1->SelStart(), 0); // the display refresh ran
    EXPECT_TRUE(QDir(m_programFolder).isEmpty());
    form.TextBox1->undo();
    EXPECT_EQ(form.TextBox1->utf8Text(), text);
    EXPECT_FALSE(form.TextBox1->isUndoAvailable());
}

} // namespace
} // namespace kelo::test
