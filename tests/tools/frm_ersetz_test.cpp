// Replace all against the straightforward loop it stands for (replace the
// leftmost occurrence, search again from the start, until none is left) on
// thousands of random small cases, and its bounds; then the Replace dialog on
// a real main window: how it opens and where, its fields kept across closing
// and restarting, replace all with its count and refusals, "ganze Zeile
// löschen", and undo.
#include "platform/textbox.h"
#include "shell/startup.h"
#include "support/form1fixture.h"
#include "support/testenv.h"
#include "tools/frm_ersetz.h"
#include "tools/linetools.h"
#include "tools/replaceall.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

namespace kelo::test {
namespace {

// The loop as the dialog was first written, one replacement per pass on the
// whole text, stopped at the same bounds as replaceAll.
struct Literal {
    bool ended = true;
    QString text;
    qint64 count = 0;
};

Literal literalReplaceAll(QString s, const QString &f, const QString &r,
                          const ReplaceLimits &limits)
{
    qint64 count = 0;
    while (s.contains(f)) {
        s = sReplace(s, f, r);
        if (++count > limits.maxReplacements || s.toUtf8().size() > limits.maxBytes)
            return {false, {}, count};
    }
    return {true, s, count};
}

TEST(ReplaceAllProperty, AgreesWithTheLoopOnRandomSmallCases)
{
    // Small alphabets make matches, overlaps and cascades frequent; the
    // umlaut and the emoji check that bytes and characters agree.
    const QStringList alphabets[] = {
        {"a", "b"}, {"a", "b", "c"}, {"a", "ä", "😀"}, {"a", " ", "\r", "\n"}};
    const ReplaceLimits small{2000, 2000};
    std::mt19937 random(20240607);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    int endless = 0, tooMuch = 0, replaced = 0;
    for (int i = 0; i < 6000; ++i) {
        const QStringList &alphabet = alphabets[i % 4];
        const auto word = [&](int low, int high) {
            QString w;
            for (int n = pick(low, high); n > 0; --n)
                w += alphabet[pick(0, int(alphabet.size()) - 1)];
            return w;
        };
        const QString s = word(0, 14), f = word(1, 3), r = word(0, 4);
        SCOPED_TRACE(("case " + std::to_string(i) + ": '" + s.toStdString() + "' '" +
                      f.toStdString() + "' -> '" + r.toStdString() + "'"));

        const Literal expected = literalReplaceAll(s, f, r, small);
        const QByteArray s8 = s.toUtf8(), f8 = f.toUtf8(), r8 = r.toUtf8();
        if (r.contains(f) && s.contains(f)) {
            EXPECT_FALSE(expected.ended);
            EXPECT_EQ(replaceAll(s8, f8, r8).outcome, ReplaceOutcome::EndlessReplacement);
            ++endless;
        } else if (!expected.ended) {
            EXPECT_EQ(replaceAll(s8, f8, r8, small).outcome, ReplaceOutcome::TooMuchWork);
            ++tooMuch;
        } else {
            const ReplaceAllResult got = replaceAll(s8, f8, r8);
            ASSERT_EQ(got.outcome, ReplaceOutcome::Replaced);
            EXPECT_EQ(got.text, expected.text.toUtf8());
            EXPECT_EQ(got.count, expected.count);
            replaced += expected.count > 0;
        }
    }
    // The cases must reach every branch, or the comparison proves little.
    EXPECT_GT(endless, 100);
    EXPECT_GT(tooMuch, 0);
    EXPECT_GT(replaced, 2000);
}

// "ab" -> "ba" on a^k b^k takes k² replacements: the bounds stop it at the
// limit, not one replacement or byte earlier or later.
TEST(ReplaceAllBounds, LimitsAreExact)
{
    const QByteArray text = QByteArray(30, 'a') + QByteArray(30, 'b');
    const ReplaceAllResult enough = replaceAll(text, "ab", "ba", {900, qint64(1) << 30});
    EXPECT_EQ(enough.outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(enough.count, 900);
    EXPECT_EQ(enough.text, QByteArray(30, 'b') + QByteArray(30, 'a'));
    const ReplaceAllResult tooFew = replaceAll(text, "ab", "ba", {899, qint64(1) << 30});
    EXPECT_EQ(tooFew.outcome, ReplaceOutcome::TooMuchWork);
    EXPECT_TRUE(tooFew.text.isEmpty());
    // 100 replacements of "x" by "yy": the text grows from 100 to 200 bytes.
    const QByteArray xs(100, 'x');
    EXPECT_EQ(replaceAll(xs, "x", "yy", {1000, 200}).outcome, ReplaceOutcome::Replaced);
    EXPECT_EQ(replaceAll(xs, "x", "yy", {1000, 199}).outcome, ReplaceOutcome::TooMuchWork);
    EXPECT_TRUE(
        replaceRefusal(ReplaceOutcome::TooMuchWork).contains(QStringLiteral("unverändert")));
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

class ReplaceDialogClosing : public ReplaceDialog, public ::testing::WithParamInterface<bool> {};

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

    if (GetParam())
        closeWindow(); // the main window takes the dialog down with it
    else
        dialog->cmd_exit->click();
    EXPECT_EQ(setting(key::txtFinde), QStringLiteral("Straße, Weg"));
    EXPECT_EQ(setting(key::txtReplace), QStringLiteral("\t"));
    // Closed is gone: the next click makes a new one.
    EXPECT_TRUE(QTest::qWaitFor([&dialog] { return dialog.isNull(); }));

    Form1 &again = startShown();
    frm_ersetz &reopened = open(again);
    EXPECT_EQ(reopened.txt_finde->text(), QStringLiteral("Straße, Weg"));
    EXPECT_EQ(reopened.txt_replace->text(), QStringLiteral("\t"));
}

INSTANTIATE_TEST_SUITE_P(Ways, ReplaceDialogClosing, ::testing::Bool(), [](const auto &info) {
    return std::string(info.param ? "MainWindow" : "ExitButton");
});

TEST_F(ReplaceDialog, ErsetzenReplacesAllAsOneUndoStepAndShowsTheCountOrRefuses)
{
    Form1 &form = startShown();
    frm_ersetz &dialog = open(form);
    // The text afterwards and the labels; one undo brings the text back.
    const auto ersetzen = [&](const char *text, const QString &find, const QString &replacement) {
        form.TextBox1->loadUtf8(text);
        form.TextBox1->setSelStart(3);
        replace(dialog, find, replacement);
        EXPECT_EQ(form.TextBox1->SelStart(), 0);
        const QString result = form.TextBox1->Text() + QStringLiteral(" / ") +
                               dialog.lbl_anzahl->text() + u' ' + dialog.lbl_text->text();
        form.TextBox1->undo();
        EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray(text));
        EXPECT_FALSE(form.TextBox1->isUndoAvailable()); // nor an empty step when nothing changed
        return result;
    };
    EXPECT_EQ(ersetzen("aaaa", "aa", "a"), QStringLiteral("a / 3 ersetzt"));
    EXPECT_EQ(ersetzen("abc", "Suchbegriff eingeben", "x"), QStringLiteral("abc / 0 ersetzt"));
    EXPECT_EQ(ersetzen("a        b      c    \r\n  d", "    ", "\t"),
              QStringLiteral("a\t\tb\t  c\t\r\n  d / 4 ersetzt"));
    EXPECT_TRUE(m_messages.shown().isEmpty());

    // The endless cases change nothing, clear the labels and say why.
    for (const auto &[find, replacement] : {std::pair(QString(), QStringLiteral("x")),
                                            std::pair(QStringLiteral("a"), QStringLiteral("ba"))}) {
        EXPECT_EQ(ersetzen("a b a", "a", "c"), QStringLiteral("c b c / 2 ersetzt"));
        m_messages.clear();
        replace(dialog, find, replacement);
        EXPECT_EQ(form.TextBox1->utf8Text(), QByteArray("a b a"));
        EXPECT_FALSE(form.TextBox1->isUndoAvailable());
        ASSERT_EQ(m_messages.shown().size(), 1);
        EXPECT_TRUE(m_messages.texts().first().contains(QStringLiteral("unverändert")));
        EXPECT_EQ(dialog.lbl_anzahl->text() + dialog.lbl_text->text(), QString());
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
