// Tests of the editor control: the text-box interface over QScintilla
// (UTF-16 offsets, CR LF lines, NUL bytes, undo steps, looks, keys, drops).
#include "platform/textbox.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace kelo {
namespace {

using Sci = QsciScintillaBase;

QString u(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// A text with each kind of offset trap: CR LF (2 units), an umlaut (2 bytes,
// 1 unit), an emoji (4 bytes, 2 units). a=0 CR=1 LF=2 ä=3 😀=4,5 b=6, length 7.
const char *const kMixed = "a\r\n\xc3\xa4\xf0\x9f\x98\x80"
                           "b";

TEST(TextBox, NulBytesSurviveEveryWayInAndOut) {
    TextBox box;
    const QString withNul = u("vor") + QChar(0) + u("nach\r\n") + QChar(0);
    box.setText(withNul);
    EXPECT_EQ(box.Text(), withNul);
    EXPECT_EQ(box.textLength(), withNul.size());

    const QByteArray bytes("x\0y\r\n\0\0z", 8);
    box.loadUtf8(bytes);
    EXPECT_EQ(box.utf8Text(), bytes);
    box.replaceAllUtf8(bytes + bytes);
    EXPECT_EQ(box.utf8Text(), bytes + bytes);

    box.setText(u("ab"));
    box.setSelStart(1);
    box.setSelText(QString(QChar(0)) + u("-") + QChar(0));
    EXPECT_EQ(box.Text(), u("a") + QChar(0) + u("-") + QChar(0) + u("b"));
    EXPECT_EQ(box.SelStart(), 4);
    box.setSelStart(1);
    box.setSelLength(3);
    EXPECT_EQ(box.SelText(), QString(QChar(0)) + u("-") + QChar(0));
}

TEST(TextBox, UnicodeTextRoundTripsAndCountsUtf16Units) {
    TextBox box;
    box.setText(u(kMixed));
    EXPECT_EQ(box.Text(), u(kMixed));
    EXPECT_EQ(box.utf8Text(), QByteArray(kMixed));
    EXPECT_EQ(box.textLength(), 7);
}

struct CaretCase {
    int requested;
    int expected;
};

class TextBoxCaret : public ::testing::TestWithParam<CaretCase> {};

// Offsets inside a CR LF pair or a surrogate pair move to the pair's start;
// offsets outside the text are clamped.
TEST_P(TextBoxCaret, SelStartLandsOnACharacterBoundary) {
    TextBox box;
    box.setText(u(kMixed));
    box.setSelStart(GetParam().requested);
    EXPECT_EQ(box.SelStart(), GetParam().expected);
    EXPECT_EQ(box.SelLength(), 0);
}

INSTANTIATE_TEST_SUITE_P(Offsets, TextBoxCaret,
                         ::testing::Values(CaretCase{0, 0}, CaretCase{1, 1}, CaretCase{2, 1},
                                           CaretCase{3, 3}, CaretCase{4, 4}, CaretCase{5, 4},
                                           CaretCase{6, 6}, CaretCase{7, 7}, CaretCase{8, 7},
                                           CaretCase{INT_MAX, 7}, CaretCase{-1, 0},
                                           CaretCase{INT_MIN, 0}));

struct SelectionCase {
    int start;
    int length;
    int expectedStart;
    int expectedLength;
    const char *expectedText;
};

class TextBoxSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(TextBoxSelection, NeverHoldsHalfACharacter) {
    const SelectionCase &c = GetParam();
    TextBox box;
    box.setText(u(kMixed));
    box.setSelStart(c.start);
    box.setSelLength(c.length);
    EXPECT_EQ(box.SelStart(), c.expectedStart);
    EXPECT_EQ(box.SelLength(), c.expectedLength);
    EXPECT_EQ(box.SelText(), u(c.expectedText));
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, TextBoxSelection,
    ::testing::Values(SelectionCase{0, 2, 0, 1, "a"}, SelectionCase{0, 3, 0, 3, "a\r\n"},
                      SelectionCase{3, 1, 3, 1, "\xc3\xa4"}, SelectionCase{3, 2, 3, 1, "\xc3\xa4"},
                      SelectionCase{3, 3, 3, 3, "\xc3\xa4\xf0\x9f\x98\x80"},
                      SelectionCase{4, 2, 4, 2, "\xf0\x9f\x98\x80"}, SelectionCase{5, 1, 4, 0, ""},
                      SelectionCase{6, 100, 6, 1, "b"},
                      SelectionCase{1, INT_MAX, 1, 6,
                                    "\r\n\xc3\xa4\xf0\x9f\x98\x80"
                                    "b"},
                      SelectionCase{2, -4, 1, 0, ""}, SelectionCase{7, 5, 7, 0, ""}));

TEST(TextBox, LoneBreaksAreOrdinaryOffsets) {
    TextBox box;
    box.setText(u("x\ry\nz"));
    box.setSelStart(2);
    EXPECT_EQ(box.SelStart(), 2);
    box.setSelLength(2);
    EXPECT_EQ(box.SelText(), u("y\n"));
}

TEST(TextBox, SelTextReplacesTheSelectionAndLeavesTheCaretAfterIt) {
    TextBox box;
    box.setText(u("Hallo Welt!"));
    box.setSelStart(6);
    box.setSelLength(4);
    box.setSelText(u("K\xc3\xa4se\xf0\x9f\x98\x80"));
    EXPECT_EQ(box.Text(), u("Hallo K\xc3\xa4se\xf0\x9f\x98\x80!"));
    EXPECT_EQ(box.SelStart(), 12);
    EXPECT_EQ(box.SelLength(), 0);

    box.setSelStart(0);
    box.setSelText(u("\r\n"));
    EXPECT_EQ(box.Text(), u("\r\nHallo K\xc3\xa4se\xf0\x9f\x98\x80!"));
    EXPECT_EQ(box.SelStart(), 2);
}

struct LineCase {
    const char *text;
    std::vector<int> lineStarts; // offsets of the CR LF lines
};

class TextBoxLines : public ::testing::TestWithParam<LineCase> {};

// Only CR LF starts a line; a lone CR or LF stays inside its line.
TEST_P(TextBoxLines, LineQueriesCountCrLfLinesOnly) {
    const LineCase &c = GetParam();
    TextBox box;
    box.setText(u(c.text));
    const int lines = int(c.lineStarts.size());
    EXPECT_EQ(box.crlfLineCount(), lines);
    for (int line = 0; line < lines; ++line)
        EXPECT_EQ(box.lineIndex(line), c.lineStarts[size_t(line)]) << "line " << line;
    EXPECT_EQ(box.lineIndex(lines), -1);
    EXPECT_EQ(box.lineIndex(lines + 100), -1);
    EXPECT_EQ(box.lineIndex(-2), -1);
    for (int offset = 0; offset <= box.textLength(); ++offset) {
        const int expected =
            int(std::upper_bound(c.lineStarts.begin(), c.lineStarts.end(), offset) -
                c.lineStarts.begin()) -
            1;
        EXPECT_EQ(box.lineFromChar(offset), expected) << "offset " << offset;
    }
    EXPECT_EQ(box.lineFromChar(box.textLength() + 50), lines - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextBoxLines,
    ::testing::Values(LineCase{"", {0}}, LineCase{"abc", {0}},
                      LineCase{"a\rb\r\nc\nd\r\ne", {0, 5, 10}}, LineCase{"\r\n", {0, 2}},
                      LineCase{"\r", {0}}, LineCase{"\n\r", {0}}, LineCase{"\r\r\n\n", {0, 3}},
                      LineCase{"x\r\n\r\ny", {0, 3, 5}}, LineCase{"\n\n\r\n\r\r\r\n", {0, 4, 8}},
                      LineCase{"\xc3\xa4\xf0\x9f\x98\x80\r\n\xf0\x9f\x98\x80\rz", {0, 5}}));

TEST(TextBox, MinusOneMeansTheLineOfTheSelectionStart) {
    TextBox box;
    box.setText(u("a\rb\r\nc\nd\r\ne"));
    box.setSelStart(7);
    box.setSelLength(4);
    EXPECT_EQ(box.lineFromChar(-1), 1);
    EXPECT_EQ(box.lineIndex(-1), 5);
    box.setSelStart(2);
    EXPECT_EQ(box.lineFromChar(-1), 0);
    EXPECT_EQ(box.lineIndex(-1), 0);
}

// The lone-break index must follow every edit, including the ones that keep
// the number of Scintilla lines but change what ends them.
TEST(TextBox, LineQueriesFollowEdits) {
    TextBox box;
    box.setText(u("a\rb\r\nc"));
    ASSERT_EQ(box.lineIndex(1), 5);

    box.setSelStart(2); // after the lone CR: CR + LF makes it a line break
    box.setSelText(u("\n"));
    EXPECT_EQ(box.Text(), u("a\r\nb\r\nc"));
    EXPECT_EQ(box.crlfLineCount(), 3);
    EXPECT_EQ(box.lineIndex(1), 3);
    EXPECT_EQ(box.lineFromChar(3), 1);

    box.setSelStart(3); // splits nothing but moves every line after it
    QTest::keyClicks(&box, QStringLiteral("xyz"));
    EXPECT_EQ(box.Text(), u("a\r\nxyzb\r\nc"));
    EXPECT_EQ(box.lineIndex(2), 9);
    EXPECT_EQ(box.lineFromChar(8), 1);

    box.setSelStart(1); // CR LF becomes a lone LF: two lines join
    box.setSelLength(2);
    box.setSelText(u("\n"));
    EXPECT_EQ(box.Text(), u("a\nxyzb\r\nc"));
    EXPECT_EQ(box.crlfLineCount(), 2);
    EXPECT_EQ(box.lineIndex(1), 8);

    box.undo();
    EXPECT_EQ(box.Text(), u("a\r\nxyzb\r\nc"));
    EXPECT_EQ(box.lineIndex(1), 3);
}

// Edits at random places, many of them next to lone CRs and LFs and inside
// pairs, checked against a plain QString model of the text after each step
// (and after undoing). Catches stale offset and line indexes.
TEST(TextBox, RandomEditsKeepOffsetsAndLinesConsistent) {
    const auto snap = [](const QString &text, int offset) {
        offset = std::clamp(offset, 0, int(text.size()));
        if (offset > 0 && offset < text.size() &&
            ((text[offset - 1] == u'\r' && text[offset] == u'\n') || text[offset].isLowSurrogate()))
            --offset;
        return offset;
    };
    const auto lineStarts = [](const QString &text) {
        std::vector<int> starts{0};
        for (int i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == u'\r' && text[i + 1] == u'\n')
                starts.push_back(i + 2);
        }
        return starts;
    };
    const QStringList pieces = {u("\r"),   u("\n"),       u("\r\n"),
                                u("x"),    u("\xc3\xa4"), u("\xf0\x9f\x98\x80"),
                                u("y\rz"), u("\n\r"),     QString()};
    TextBox box;
    QString model;
    std::vector<QString> history;
    quint32 seed = 12345;
    const auto next = [&seed](quint32 range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % range;
    };
    for (int step = 0; step < 400; ++step) {
        if (!history.empty() && next(6) == 0) {
            box.undo();
            model = history.back();
            history.pop_back();
        } else {
            const int start = int(next(quint32(model.size()) + 2));
            const int length = int(next(4));
            const QString &piece = pieces[qsizetype(next(quint32(pieces.size())))];
            box.setSelStart(start);
            box.setSelLength(length);
            const int from = snap(model, start);
            const int to = snap(model, from + length);
            ASSERT_EQ(box.SelStart(), from) << "step " << step;
            ASSERT_EQ(box.SelLength(), to - from) << "step " << step;
            box.setSelText(piece);
            if (to > from || !piece.isEmpty())
                history.push_back(model);
            model = model.left(from) + piece + model.mid(to);
            ASSERT_EQ(box.SelStart(), from + piece.size()) << "step " << step;
        }
        ASSERT_EQ(box.Text(), model) << "step " << step;
        ASSERT_EQ(box.textLength(), model.size());
        const std::vector<int> starts = lineStarts(model);
        ASSERT_EQ(box.crlfLineCount(), int(starts.size())) << "step " << step;
        for (size_t line = 0; line < starts.size(); ++line) {
            ASSERT_EQ(box.lineIndex(int(line)), starts[line]) << "step " << step;
            ASSERT_EQ(box.lineFromChar(starts[line]), int(line)) << "step " << step;
        }
    }
}

TEST(TextBox, SetTextAndReplaceAllAreOneUndoStepEachAndPutTheCaretAtTheStart) {
    TextBox box;
    box.loadUtf8("eins");
    box.setSelStart(4);
    box.setText(u("zwei\r\nzwei"));
    EXPECT_EQ(box.SelStart(), 0);
    box.setSelStart(3);
    box.replaceAllUtf8("drei");
    EXPECT_EQ(box.SelStart(), 0);
    EXPECT_TRUE(box.isModified());

    box.undo();
    EXPECT_EQ(box.Text(), u("zwei\r\nzwei"));
    box.undo();
    EXPECT_EQ(box.Text(), u("eins"));
    EXPECT_FALSE(box.isUndoAvailable());
    EXPECT_FALSE(box.isModified());
}

TEST(TextBox, SelTextIsOneUndoStepApartFromTyping) {
    TextBox box;
    box.loadUtf8("ab");
    box.setSelStart(2);
    QTest::keyClicks(&box, QStringLiteral("cd"));
    box.setSelStart(1);
    box.setSelLength(2);
    box.setSelText(u("\r\n    "));
    QTest::keyClicks(&box, QStringLiteral("x"));
    ASSERT_EQ(box.Text(), u("a\r\n    xd"));

    box.undo();
    EXPECT_EQ(box.Text(), u("a\r\n    d"));
    box.undo();
    EXPECT_EQ(box.Text(), u("abcd"));
}

TEST(TextBox, LoadingIsNotUndoableAndLeavesTheTextUnmodified) {
    TextBox box;
    QTest::keyClicks(&box, QStringLiteral("vorher"));
    ASSERT_TRUE(box.isModified());
    box.loadUtf8("geladen\r\n");
    EXPECT_FALSE(box.isModified());
    EXPECT_FALSE(box.isUndoAvailable());
    EXPECT_EQ(box.SelStart(), 0);
    box.undo();
    EXPECT_EQ(box.Text(), u("geladen\r\n"));

    QTest::keyClicks(&box, QStringLiteral("x"));
    EXPECT_TRUE(box.isModified());
    box.undo();
    EXPECT_EQ(box.Text(), u("geladen\r\n"));
    EXPECT_FALSE(box.isModified());
}

TEST(TextBox, ReadOnlyStillTakesProgrammaticText) {
    TextBox box;
    box.setReadOnly(true);
    box.setText(u("a"));
    box.setSelStart(1);
    box.setSelText(u("b"));
    box.loadUtf8("c");
    box.setSelStart(1);
    box.setSelText(u("d"));
    EXPECT_EQ(box.Text(), u("cd"));
    EXPECT_TRUE(box.isReadOnly());
}

TEST(TextBox, ColoursAndFontAreReadBackFromTheEditor) {
    TextBox box;
    const QColor fore(0x12, 0x34, 0x56);
    const QColor back(0x00, 0x00, 0x80);
    box.setTextColor(fore);
    box.setBackColor(back);
    EXPECT_EQ(box.textColor(), fore);
    EXPECT_EQ(box.backColor(), back);
    // The caret is drawn in the text colour (Scintilla keeps 0xBBGGRR).
    EXPECT_EQ(box.SendScintilla(Sci::SCI_GETCARETFORE), 0x563412);

    QFont font(u("Sch\xc3\xb6ne Schrift"));
    font.setPointSizeF(13.5);
    font.setWeight(QFont::Bold);
    font.setItalic(true);
    box.setEditorFont(font);
    const QFont shown = box.editorFont();
    EXPECT_EQ(shown.family(), font.family());
    EXPECT_DOUBLE_EQ(shown.pointSizeF(), 13.5);
    EXPECT_EQ(shown.weight(), QFont::Bold);
    EXPECT_TRUE(shown.italic());
    // Changing the font keeps the colours and the other way round.
    EXPECT_EQ(box.textColor(), fore);
    box.setTextColor(back);
    EXPECT_EQ(box.editorFont().family(), font.family());
    EXPECT_EQ(box.backColor(), back);
}

TEST(TextBox, EnterCallsTheHandlerInsteadOfInsertingALineBreak) {
    TextBox box;
    box.setText(u("ab"));
    box.setSelStart(1);
    int calls = 0;
    box.setEnterHandler([&] {
        ++calls;
        box.setSelText(u("\r\n  "));
    });
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(box.Text(), u("a\r\n  b"));
    QTest::keyClick(&box, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(calls, 2);
    QTest::keyClick(&box, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(calls, 2);
}

TEST(TextBox, EnterWithoutAHandlerInsertsCrLf) {
    TextBox box;
    box.setText(u("ab"));
    box.setSelStart(1);
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(box.Text(), u("a\r\nb"));
    EXPECT_EQ(box.SelStart(), 3);
}

TEST(TextBox, PastedLineBreaksBecomeCrLf) {
    TextBox box;
    QApplication::clipboard()->setText(u("eins\nzwei\rdrei"));
    box.paste();
    EXPECT_EQ(box.Text(), u("eins\r\nzwei\r\ndrei"));
}

TEST(TextBox, DroppedFilesAreReportedNotInserted) {
    TextBox box;
    box.setText(u("Inhalt"));
    QSignalSpy dropped(&box, &TextBox::filesDropped);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(u("/tmp/eins.txt")), QUrl(u("https://example.org/")),
                  QUrl::fromLocalFile(u("/tmp/zw\xc3\xa4i.txt"))});
    mime.setText(u("/tmp/eins.txt"));
    const QPointF where(5, 5);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;

    QDragEnterEvent enter(where.toPoint(), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);

    QDropEvent drop(where, actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction); // a move would let the file manager delete it
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toStringList(),
              QStringList({u("/tmp/eins.txt"), u("/tmp/zw\xc3\xa4i.txt")}));
    EXPECT_EQ(box.Text(), u("Inhalt"));
}

TEST(TextBox, DroppedTextIsInsertedWithCrLf) {
    TextBox box;
    box.resize(300, 200);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QSignalSpy dropped(&box, &TextBox::filesDropped);
    QMimeData mime;
    mime.setText(u("neu\nzeile"));
    const QPoint where(2, 2);
    QDragEnterEvent enter(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &enter);
    QDragMoveEvent move(where, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &move);
    QDropEvent drop(QPointF(where), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &drop);
    EXPECT_EQ(box.Text(), u("neu\r\nzeile"));
    EXPECT_EQ(dropped.count(), 0);
}

TEST(TextBox, ALeftClickIntoTheTextMovesTheCaretAndReportsIt) {
    TextBox box;
    box.setText(u("abc\r\ndef"));
    box.resize(300, 200);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QSignalSpy clicked(&box, &TextBox::clicked);
    // Just left of "e" on the second line.
    const long position = 6;
    const QPoint target(int(box.SendScintilla(Sci::SCI_POINTXFROMPOSITION, 0UL, position)) + 1,
                        int(box.SendScintilla(Sci::SCI_POINTYFROMPOSITION, 0UL, position)) +
                            int(box.SendScintilla(Sci::SCI_TEXTHEIGHT, 1UL)) / 2);

    QTest::mouseClick(box.viewport(), Qt::RightButton, Qt::NoModifier, target);
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, target);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(box.SelStart(), 5 + 1);
    EXPECT_EQ(box.lineFromChar(-1), 1);
}

} // namespace
} // namespace kelo
