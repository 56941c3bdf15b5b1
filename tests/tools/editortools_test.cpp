// The caret readout after real clicks, automatic indentation, and the search
// that ignores case, on its own and through the Search dialog and its keys.
#include "platform/textbox.h"
#include "support/fakeport.h"
#include "support/input.h"
#include "support/testenv.h"
#include "tools/autoindent.h"
#include "tools/editortools.h"
#include "tools/findnocase.h"
#include "tools/frm_such.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>

namespace kelo::test {
namespace {

const QString notFound = QStringLiteral("Suchbegriff nicht gefunden!");
using Sel = std::pair<int, int>; // the editor's selection as (start, length)

class TextTools : public PortTest {
protected:
    void showWith(const QString &text)
    {
        m_port.show();
        editor().setText(text);
        QCoreApplication::processEvents();
        m_port.statusLine.clear();
    }

    // A left click just right of the left edge of the character at a UTF-16 offset.
    void clickAt(int offset, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        TextBox &box = editor();
        const long position = box.utf16ToPosition(offset);
        const QPoint target(
            int(box.SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, position)) + 1,
            int(box.SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, position)) + 3);
        QTest::mouseClick(box.viewport(), Qt::LeftButton, modifiers, target);
    }

    Sel selection() { return {editor().SelStart(), editor().SelLength()}; }
    Sel press(QPushButton *button) { return button->click(), selection(); }

    EditorTools m_tools{m_port};
};

// The editor's UTF-8 form, with pos a byte position: the first line never
// indents; tabs and non-breaking spaces end the run; a lone CR or LF starts
// no line, and the caret between CR and LF is still on the line before; the
// last of several breaks decides.
TEST(CountIndent, CountsTheLeadingSpacesOfTheCaretsCrLfLine)
{
    const std::tuple<const char *, qsizetype, int> cases[] = {
        {"   abc", 6, 0},        {"x\r\n  \t abc", 9, 2},      {"x\r\n\u00a0 abc", 9, 0},
        {"x\r\n\r\n   y", 3, 0}, {"  a\r  b", 7, 0},           {"x\r\n a\n  b", 9, 1},
        {"x\r\n  y\r\n", 7, 2},  {" a\r\n  b\r\n    c", 13, 4}};
    for (const auto &[text, pos, spaces] : cases)
        EXPECT_EQ(CountIndent(text, pos), spaces) << ::testing::PrintToString(QByteArray(text));
}

// Lines are those of CR LF, whatever QScintilla makes of a lone CR or LF. A
// click reads out where the selection starts; Enter replaces the selection by
// CR LF and the indentation as one undo step.
TEST_F(TextTools, AClickShowsLineAndColumnAndEnterIndentsAsOneUndoStep)
{
    showWith(QString());
    const auto click = [&](const char *text, int offset) {
        editor().setText(QString::fromUtf8(text));
        clickAt(offset);
        EXPECT_EQ(editor().SelStart(), offset);
        return m_port.statusLine;
    };
    EXPECT_EQ(click("abc\r\ndef\r\nghi", 10), "Zeile 3, Spalte 1");
    EXPECT_EQ(click("a\nb\r\ncd\re", 8), "Zeile 2, Spalte 4");
    EXPECT_EQ(click("x😀y\r\n😀z", 8), "Zeile 2, Spalte 3"); // an emoji counts two

    // A selection is read out at its start; keys leave the readout alone.
    editor().setText("eins\r\nzwei zwo\r\ndrei\r\nvier");
    editor().setSelStart(10);
    clickAt(24, Qt::ShiftModifier);
    ASSERT_EQ(selection(), Sel(10, 14));
    EXPECT_EQ(m_port.statusLine, "Zeile 2, Spalte 5");
    QTest::keyClicks(&editor(), QStringLiteral("xy"));
    QTest::keyClick(&editor(), Qt::Key_Return);
    EXPECT_EQ(m_port.statusLine, "Zeile 2, Spalte 5");

    // The text after Enter, with "|" at the caret.
    const auto enter = [&](const char *text, int start, int length) {
        editor().setText(QString::fromUtf8(text));
        editor().setSelStart(start);
        editor().setSelLength(length);
        QTest::keyClick(&editor(), Qt::Key_Return);
        EXPECT_EQ(editor().SelLength(), 0);
        const QString after = editor().Text().insert(editor().SelStart(), u'|');
        editor().undo();
        EXPECT_EQ(editor().Text(), QString::fromUtf8(text));
        return after;
    };
    EXPECT_EQ(enter("  x\r\n  abc\r\n    d", 7, 9), "  x\r\n  \r\n  |d");
    EXPECT_EQ(enter("x\r\n    x", 5, 0), "x\r\n  \r\n    |  x"); // caret inside the spaces
    EXPECT_EQ(enter("ä😀ä\r\n  x", 9, 0), "ä😀ä\r\n  x\r\n  |");   // bytes are not units
}

// Random texts against indexOf on their lowered pieces, skipping matches that
// split a pair or a CR LF. Lowered in place: "İ" is one "i", "ß" no "ss".
TEST(FindNoCase, AgreesWithAPlainSearchOnRandomTexts)
{
    const QStringList pieces =
        QString::fromUtf8("a|A|ä|Ä|i|I|İ|k|\u212a|s|S|ß|ẞ|😀|𐐀|𐐨|\r|\n|\r\n| ").split(u'|');
    const QStringList lowered =
        QString::fromUtf8("a|a|ä|ä|i|i|i|k|k|s|s|ß|ß|😀|𐐨|𐐨|\r|\n|\r\n| ").split(u'|');
    quint32 seed = 4711;
    const auto next = [&seed](qsizetype range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % quint32(range));
    };
    const auto randomText = [&](int maxPieces, QString &lower) {
        QString text;
        for (int n = next(maxPieces + 1); n > 0; --n) {
            const int piece = next(pieces.size());
            text += pieces[piece];
            lower += lowered[piece];
        }
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        QString lowText, lowTerm;
        const QString text = randomText(40, lowText);
        QString term = randomText(3, lowTerm);
        if (next(8) == 0 && !term.isEmpty()) { // sometimes half a pair
            term.chop(1);
            lowTerm.chop(1);
        }
        const int start = next(text.size() + 2);
        const auto splits = [&text](qsizetype at) {
            return at > 0 && at < text.size() &&
                   ((text[at - 1] == u'\r' && text[at] == u'\n') ||
                    (text[at - 1].isHighSurrogate() && text[at].isLowSurrogate()));
        };
        qsizetype expected = -1;
        for (qsizetype at = lowText.indexOf(lowTerm, start); at >= 0 && at < text.size();
             at = lowText.indexOf(lowTerm, at + 1)) {
            if (!splits(at) && !splits(at + term.size())) {
                expected = at;
                break;
            }
        }
        SCOPED_TRACE(::testing::PrintToString(text) + " / " + ::testing::PrintToString(term) +
                     " @" + std::to_string(start));
        // From the start moved off the middle of a pair, as the dialog does.
        const QByteArray bytes = text.toUtf8();
        const qsizetype moved = start + (start < text.size() && text[start].isLowSurrogate());
        const Utf8Match match =
            findNoCaseUtf8(bytes, term, text.left(moved).toUtf8().size(), bytes.size());
        ASSERT_EQ(match.found() ? QString::fromUtf8(bytes.left(match.position)).size() : -1,
                  expected);
        if (match.found()) {
            ASSERT_EQ(QString::fromUtf8(bytes.mid(match.position, match.bytes)).size(),
                      term.size());
        }

        // Searched a few bytes at a time, in any part of the text: the same match.
        const qsizetype from = next(int(bytes.size()) + 2);
        const qsizetype to = from + next(int(bytes.size()) + 2);
        const qsizetype stride = 1 + next(6);
        qint64 told = 0;
        const std::optional<Utf8Match> stepped = findNoCaseUtf8InSteps(
            bytes, term, from, to,
            [&told](qint64 done) {
                EXPECT_GT(done, told);
                told = done;
                return true;
            },
            stride);
        const Utf8Match whole = findNoCaseUtf8(bytes, term, from, to);
        ASSERT_TRUE(stepped);
        ASSERT_EQ(stepped->position, whole.position)
            << "in steps of " << stride << " from " << from << " to " << to;
        ASSERT_EQ(stepped->bytes, whole.bytes);
    }
}

// The Search dialog enables its buttons, finds without wrapping, starts
// afresh once closed, and can be stopped.
TEST_F(TextTools, SearchDialogEnablesFindsWithoutWrappingStartsAfreshAndStops)
{
    showWith("ein Test und ein test");
    editor().setSelStart(12); // "suchen" starts at the beginning anyway
    m_port.setStatus("vorher");
    m_tools.search_Click();
    ASSERT_NE(m_tools.searchDialog(), nullptr);
    frm_such &dialog = *m_tools.searchDialog();
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.cmdSuchen->hasFocus(); }));

    // "suchen", "weitersuchen" enabled (1) after each step: "G"/"M" an option, "=t" a term.
    const auto state = [&dialog]() -> QString {
        return QString::number(dialog.cmdSuchen->isEnabled()) +
               QString::number(dialog.cmdWeitersuchen->isEnabled());
    };
    QString states = state(); // loaded with the empty term
    for (const QString step : {"M", "G", "=a", "=", "M", "=ab", "G"}) {
        if (step.startsWith(u'='))
            dialog.txtSuch->setText(step.mid(1));
        else
            dialog.Option1[step == "M"]->setChecked(true);
        states += ' ' + state();
    }
    EXPECT_EQ(states, "11 10 10 11 00 00 10 11"); // the option alone does not enable

    dialog.txtSuch->setText("TEST");
    EXPECT_EQ(press(dialog.cmdSuchen), Sel(4, 4));
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor().hasFocus(); }));
    m_tools.findNext();
    EXPECT_EQ(selection(), Sel(17, 4));
    EXPECT_EQ(m_port.statusLine, "vorher"); // success leaves the status line alone
    keyIn(dialog.txtSuch, Qt::Key_F3);
    EXPECT_EQ(selection(), Sel(17, 4));
    EXPECT_EQ(m_port.statusLine, notFound);

    // "Markierung" looks only inside the selection; F3 is off with it.
    dialog.Option1[1]->setChecked(true);
    const auto search = [&](int start, int length, const char *text) {
        m_port.setStatus(QString());
        editor().setSelStart(start);
        editor().setSelLength(length);
        dialog.txtSuch->setText(QString::fromUtf8(text));
        return press(dialog.cmdSuchen);
    };
    EXPECT_EQ(search(9, 12, "EIN"), Sel(13, 3));
    m_tools.findNext();
    EXPECT_EQ(selection(), Sel(13, 3));
    EXPECT_TRUE(m_port.statusLine.isEmpty());
    EXPECT_EQ(search(9, 7, "test"), Sel(9, 7)); // not beyond the selection's end
    EXPECT_EQ(m_port.statusLine, notFound);
    EXPECT_EQ(search(4, 0, "t"), Sel(4, 0));
    EXPECT_EQ(m_port.statusLine, notFound);

    // Overlapping matches are found in turn.
    dialog.Option1[0]->setChecked(true);
    editor().setText("aaaa");
    EXPECT_EQ(search(0, 0, "aa"), Sel(0, 2));
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(1, 2));
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(2, 2));
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(2, 2));
    EXPECT_EQ(m_port.statusLine, notFound);

    // Offsets count UTF-16 units, "İ" before a match does not shift it, and a
    // match far down is scrolled into view.
    const QString text = QString::fromUtf8("😀 İ Viel ÄRGER\r\nund ärger\r\n") +
                         QString::fromUtf8("Zeile mit ä und 😀 und Lone\nLF\r\n").repeated(3000) +
                         "Ziel";
    editor().setText(text);
    EXPECT_EQ(search(0, 0, "ärger"), Sel(10, 5));
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(21, 5));
    EXPECT_EQ(search(0, 0, "😀"), Sel(0, 2)); // found whole; the next search starts after it
    EXPECT_EQ(press(dialog.cmdWeitersuchen), Sel(44, 2));
    EXPECT_EQ(search(0, 0, "ZIEL"), Sel(int(text.size()) - 4, 4));
    TextBox &box = editor();
    const long firstVisible = box.SendScintilla(QsciScintillaBase::SCI_GETFIRSTVISIBLELINE);
    const long lastLine = box.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT) - 1;
    EXPECT_GE(firstVisible + box.SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN), lastLine);

    // A second click shows the same dialog; once closed, the next one starts afresh.
    m_tools.search_Click();
    EXPECT_EQ(m_tools.searchDialog(), &dialog);
    dialog.close();
    m_tools.search_Click();
    frm_such &fresh = *m_tools.searchDialog();
    EXPECT_TRUE(fresh.txtSuch->text().isEmpty());

    // A long search tells its progress; stopped, it leaves the selection and
    // says so, and the next search goes on as ever.
    editor().setText(QString((2 << 20) + 100, u'x') + QStringLiteral("Straße"));
    int steps = 0;
    bool stop = true;
    struct Stopping : WorkProgress {
        std::function<bool()> onStep;
        bool step(qint64, qint64) override { return onStep(); }
    };
    QStringList asked;
    m_port.work = [&](const QString &what) {
        asked.append(what);
        auto progress = std::make_unique<Stopping>();
        progress->onStep = [&] { return ++steps < 2 || !stop; };
        return progress;
    };
    fresh.txtSuch->setText(QStringLiteral("straße"));
    editor().setSelStart(7);
    EXPECT_EQ(press(fresh.cmdSuchen), Sel(7, 0));
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(m_port.statusLine, QStringLiteral("Suche abgebrochen."));
    stop = false;
    EXPECT_EQ(press(fresh.cmdSuchen), Sel((2 << 20) + 100, 6));
    EXPECT_EQ(asked, QStringList({"Suche", "Suche"}));
}

} // namespace
} // namespace kelo::test
