// Tests of the editor control, the text-box interface over QScintilla.
#include "platform/textbox.h"
#include "platform/workprogress.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <limits>
#include <vector>

namespace kelo {
namespace {

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

// Begins a load and appends the text in pieces of the given size.
void loadInPieces(TextBox &box, QByteArrayView text, qsizetype piece,
                  const std::function<bool()> &meanwhile = {})
{
    ASSERT_TRUE(box.beginLoad(text.size(), meanwhile));
    for (qsizetype at = 0; at < text.size(); at += piece)
        ASSERT_TRUE(box.appendLoad(text.sliced(at, std::min(piece, text.size() - at))));
}

// The length and the line queries against the text itself: only CR LF starts
// a line, a lone CR or LF stays inside its line.
void expectLines(const TextBox &box, const QString &text)
{
    std::vector<int> starts{0};
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == u'\r' && text[i + 1] == u'\n')
            starts.push_back(i + 2);
    }
    ASSERT_EQ(box.textLength(), int(text.size()));
    ASSERT_EQ(box.crlfLineCount(), int(starts.size()));
    for (size_t line = 0; line <= starts.size(); ++line)
        ASSERT_EQ(box.lineIndex(int(line)), line < starts.size() ? starts[line] : -1) << line;
    for (int offset = 0; offset <= text.size() + 1; ++offset) {
        const auto after = std::upper_bound(starts.begin(), starts.end(), offset);
        ASSERT_EQ(box.lineFromChar(offset), int(after - starts.begin()) - 1) << offset;
    }
}

// A room check that refuses every block from `limit` bytes on, and keeps
// the biggest block it was asked for.
struct Limit {
    static constexpr qsizetype none = std::numeric_limits<qsizetype>::max();
    qsizetype limit = none;
    qsizetype biggest = 0;

    TextBox::RoomCheck check()
    {
        return [this](std::initializer_list<qsizetype> blocks) {
            bool room = true;
            for (const qsizetype block : blocks) {
                biggest = std::max(biggest, block);
                room = room && block < limit;
            }
            return room;
        };
    }
};

// Offsets that count bytes, selections that split a CR LF or a surrogate
// pair, and NUL or a leading U+FEFF lost on the way in or out.
TEST(TextBox, OffsetsAreUtf16UnitsSelectionsHoldWholeCharactersAndLinesAreCrLfLines)
{
    TextBox box;
    // U+FEFF=0 a=1 CR=2 LF=3 ä=4 (2 bytes, 1 unit) 😀=5,6 (4 bytes, 2 units) NUL=7 b=8
    const QString text = u"\uFEFFa\r\nä😀\0b"_qs;
    box.setText(text);
    EXPECT_EQ(box.Text(), text);
    ASSERT_EQ(box.textLength(), 9);
    // Snapping inside pairs and past the end the random edits below walk too.
    // clang-format off
    const std::tuple<int, int, int, int, QString> cases[] = {
        {INT_MIN, 2, 0, 2, u"\uFEFFa"_qs}, {4, 2, 4, 1, u"ä"_qs}, {5, 2, 5, 2, u"😀"_qs},
        {7, INT_MAX, 7, 2, u"\0b"_qs}, {3, -4, 2, 0, {}}};
    // clang-format on
    for (const auto &[start, length, expectedStart, expectedLength, selected] : cases) {
        box.setSelStart(start);
        box.setSelLength(length);
        EXPECT_EQ(box.SelStart(), expectedStart) << start << " " << length;
        EXPECT_EQ(box.SelLength(), expectedLength) << start << " " << length;
        EXPECT_EQ(box.SelText(), selected) << start << " " << length;
    }
    const QByteArray bytes("x\0y\r\n\0\0z", 8);
    box.loadUtf8(bytes);
    EXPECT_EQ(box.utf8Text(), bytes);
    box.replaceAllUtf8(bytes + bytes);
    box.setSelStart(1);
    box.setSelLength(1);
    box.setSelText(QString(2, QChar(0)));
    EXPECT_EQ(box.utf8Text(), QByteArray("x\0\0y\r\n\0\0zx\0y\r\n\0\0z", 17));

    // A stale line index, or bytes and units mixed up in the conversions, also
    // after noncharacters, which Scintilla counts byte by byte.
    int round = 0;
    for (const char *sample :
         {"", "a\rb\r\nc\nd\r\ne", "\r\n", "\xc3\xa4", "\n\r", "\r\r\n\n", "\n\n\r\n\r\r\r\n",
          "\xc3\xa4\xf0\x9f\x98\x80\r\n\xf0\x9f\x98\x80\rz", "a\xEF\xBF\xBFx",
          "\xF0\xBF\xBF\xBF\r\nyx\xEF\xBF\xBE", "\xEF\xB7\x90 x\r\n\xEF\xB7\xAFx",
          "\xF4\x8F\xBF\xBE\xEF\xBF\xBFx\xF0\x9F\x98\x80x"}) {
        const QByteArray utf8(sample);
        SCOPED_TRACE(utf8.toHex().toStdString());
        if (round++ % 2 == 0)
            box.setText(u(sample));
        else
            box.loadUtf8(utf8);
        ASSERT_NO_FATAL_FAILURE(expectLines(box, u(sample)));
        for (qsizetype at = utf8.indexOf('x'); at >= 0; at = utf8.indexOf('x', at + 1)) {
            box.setSelStart(box.positionToUtf16(long(at)));
            box.setSelLength(1);
            EXPECT_EQ(box.SelText(), u("x")) << " at " << at;
            EXPECT_EQ(box.utf16ToPosition(box.SelStart()), at);
        }
    }
    box.setText(u("a\rb\r\nc\nd\r\ne"));
    box.setSelStart(8); // -1 asks for the line of the selection start
    EXPECT_EQ(box.lineFromChar(-1), 1);
    EXPECT_EQ(box.lineIndex(-1), 5);
    EXPECT_EQ(box.lineIndex(-2), -1);

    // A loaded text is indexed on first use: typing before that must not
    // leave the index behind the text.
    box.loadUtf8("\xf0\x9f\x98\x80"
                 "a\r\nb\xc3\xa4\r\nc");
    box.SendScintilla(QsciScintillaBase::SCI_GOTOPOS, 10L); // after the umlaut
    box.SendScintilla(QsciScintillaBase::SCI_ADDTEXT, 5UL, "\xf0\x9f\x98\x80x");
    EXPECT_EQ(box.SelStart(), 10);
    EXPECT_EQ(box.lineFromChar(-1), 1);
    const QString typed = u("\xf0\x9f\x98\x80"
                            "a\r\nb\xc3\xa4\xf0\x9f\x98\x80x\r\nc");
    EXPECT_EQ(box.Text(), typed);
    ASSERT_NO_FATAL_FAILURE(expectLines(box, typed));
}

// Random edits and undos next to lone CRs and LFs or inside pairs, against a
// QString model: a wrong lone-break update or a stale UTF-16 index shows.
TEST(TextBox, RandomEditsKeepOffsetsAndLinesRight)
{
    const auto snap = [](const QString &text, int offset) {
        offset = std::clamp(offset, 0, int(text.size()));
        if (offset > 0 && offset < text.size() &&
            ((text[offset - 1] == u'\r' && text[offset] == u'\n') || text[offset].isLowSurrogate()))
            --offset;
        return offset;
    };
    const QStringList pieces =
        u("\r|\n|\r\n|x|\xc3\xa4|\xf0\x9f\x98\x80|y\rz|\n\r||a\r\nb\rc\nd\r\n\r\n\n").split(u'|');
    TextBox box;
    QString model;
    std::vector<QString> history;
    quint32 seed = 12345;
    const auto next = [&seed](quint32 range) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % range);
    };
    for (int step = 0; step < 900; ++step) {
        SCOPED_TRACE(step);
        if (!history.empty() && next(6) == 0) {
            box.undo();
            model = history.back();
            history.pop_back();
        } else {
            const int start = next(quint32(model.size()) + 2);
            const int length = next(4);
            const QString &piece = pieces[next(quint32(pieces.size()))];
            box.setSelStart(start);
            box.setSelLength(length);
            const int from = snap(model, start);
            const int to = snap(model, from + length);
            ASSERT_EQ(box.SelStart(), from);
            ASSERT_EQ(box.SelLength(), to - from);
            box.setSelText(piece);
            if (to > from || !piece.isEmpty())
                history.push_back(model);
            model = model.left(from) + piece + model.mid(to);
            ASSERT_EQ(box.SelStart(), from + piece.size());
        }
        ASSERT_EQ(box.Text(), model);
        // The line queries only now and then, so that several edits, and the
        // two halves of a replacement, pile up in between.
        if (next(3) == 0) {
            ASSERT_NO_FATAL_FAILURE(expectLines(box, model));
        }
    }
}

// A load in pieces that shows half a text, or loses the old text, its undo
// or modified state when refused, abandoned or stopped (room made meanwhile).
TEST(TextBox, LoadingInPiecesShowsTheTextOnlyWhenComplete)
{
    const QByteArray loaded("x\0y\r\nGr\xc3\xbc\xc3\x9f\x65\nz\r\xf0\x9f\x98\x80\r\n", 21);
    EXPECT_GE(TextBox::longestLoad(), qsizetype(2000) << 20);
    enum class End { Refused, Abandoned, Stopped, Finished, FinishedWithRoomMadeMeanwhile };
    for (const End end : {End::Refused, End::Abandoned, End::Stopped, End::Finished,
                          End::FinishedWithRoomMadeMeanwhile}) {
        SCOPED_TRACE(int(end));
        TextBox box;
        box.setText(u("alt\r\nText"));
        box.setSelStart(3);
        box.setSelText(u("er"));
        int waits = 0;
        const auto meanwhile = [&waits, end] {
            ++waits;
            return end != End::Stopped;
        };
        if (end == End::Refused) {
            for (const qsizetype bytes :
                 {qsizetype(-1), TextBox::longestLoad() + 1, qsizetype(1) << 32}) {
                EXPECT_FALSE(box.beginLoad(bytes));
                EXPECT_FALSE(box.appendLoad("neu"));
                box.finishLoad(); // nothing pending: nothing happens
            }
        } else if (end == End::Stopped) {
            EXPECT_FALSE(box.beginLoad(loaded.size(), meanwhile));
            EXPECT_FALSE(box.appendLoad(loaded));
            box.finishLoad();
        } else if (end == End::FinishedWithRoomMadeMeanwhile) {
            ASSERT_NO_FATAL_FAILURE(loadInPieces(box, loaded, 4, meanwhile));
        } else {
            ASSERT_NO_FATAL_FAILURE(loadInPieces(box, "alt", 3));
            ASSERT_NO_FATAL_FAILURE(loadInPieces(box, loaded, 4));
        }
        EXPECT_EQ(waits > 0, end == End::Stopped || end == End::FinishedWithRoomMadeMeanwhile);
        EXPECT_EQ(box.utf8Text(), "alter\r\nText");
        QSignalSpy changed(&box, &QsciScintilla::textChanged);
        if (end < End::Finished) {
            box.abandonLoad();
            EXPECT_EQ(changed.count(), 0);
            EXPECT_EQ(box.utf8Text(), "alter\r\nText");
            EXPECT_TRUE(box.isModified());
            box.undo();
            EXPECT_EQ(box.utf8Text(), "alt\r\nText");
            box.undo();
            EXPECT_EQ(box.utf8Text(), "");
            continue;
        }
        box.setReadOnly(true);
        box.finishLoad();
        EXPECT_TRUE(box.isReadOnly());
        EXPECT_FALSE(box.appendLoad("x"));
        box.setReadOnly(false);
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(box.utf8Text(), loaded);
        EXPECT_FALSE(box.isModified());
        EXPECT_FALSE(box.isUndoAvailable());
        EXPECT_EQ(box.SelStart(), 0);
        ASSERT_NO_FATAL_FAILURE(expectLines(box, QString::fromUtf8(loaded)));
        // The new document is set up as the first one was: UTF-8, CR LF
        // typed, edits undoable again.
        box.setSelStart(box.textLength());
        QTest::keyClick(&box, Qt::Key_Return);
        QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, u("\xc3\xa4"));
        QApplication::sendEvent(&box, &umlaut);
        EXPECT_EQ(box.utf8Text(), loaded + "\r\n\xc3\xa4");
        EXPECT_EQ(box.textLength(), QString::fromUtf8(loaded).size() + 3);
        box.undo();
        EXPECT_EQ(box.utf8Text().left(loaded.size()), loaded);
    }
}

// A long line (> 32 KiB) losing text, undo state or settings on the move to
// the document with styles, or words that do not alternate in style.
TEST(TextBox, VeryLongLinesGetWordStylesAndLoseNothing)
{
    const QByteArray longLine = QByteArray("Grüße aus München ").repeated(3000);
    const QByteArray loaded = "kurz\r\n" + longLine + "Ende\r\n\tkurz";
    const auto stylesOn = [](const TextBox &box) {
        return (box.SendScintilla(QsciScintillaBase::SCI_GETDOCUMENTOPTIONS) &
                QsciScintillaBase::SC_DOCUMENTOPTION_STYLES_NONE) == 0;
    };
    const auto wordsAlternate = [](const TextBox &box, qsizetype lineStart) {
        const auto styleAt = [&box, lineStart](qsizetype at) {
            return box.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT,
                                     static_cast<unsigned long>(lineStart + at));
        };
        // "Grüße " is 8 bytes, "aus " 4, "München " 9.
        return styleAt(0) != styleAt(8) && styleAt(7) == styleAt(0) && styleAt(12) == styleAt(0) &&
               styleAt(21) != styleAt(20);
    };

    TextBox box;
    box.setReadOnly(true);
    ASSERT_NO_FATAL_FAILURE(loadInPieces(box, loaded, 1000));
    box.finishLoad();
    ASSERT_EQ(box.utf8Text(), loaded);
    EXPECT_TRUE(stylesOn(box));
    EXPECT_TRUE(wordsAlternate(box, 6));
    EXPECT_EQ(box.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, 1UL), 0);
    EXPECT_TRUE(box.isReadOnly());
    EXPECT_FALSE(box.isModified());
    EXPECT_FALSE(box.isUndoAvailable());
    EXPECT_EQ(box.crlfLineCount(), 3);
    box.setReadOnly(false);

    // A replacement keeps its undo step, and its long line gets the styles.
    const QByteArray replaced = "x\r\n" + longLine;
    box.replaceAllUtf8(replaced);
    EXPECT_EQ(box.utf8Text(), replaced);
    EXPECT_TRUE(wordsAlternate(box, 3));
    box.undo();
    EXPECT_EQ(box.utf8Text(), loaded);

    ASSERT_NO_FATAL_FAILURE(loadInPieces(box, "kurz\r\n", 6));
    box.finishLoad();
    EXPECT_EQ(box.utf8Text(), "kurz\r\n");
    EXPECT_FALSE(stylesOn(box));

    // Without room for the document with styles the text stays whole in the
    // one without.
    Limit memory{.limit = 64 * 1024 + loaded.size()};
    box.setRoomCheck(memory.check());
    ASSERT_NO_FATAL_FAILURE(loadInPieces(box, loaded, loaded.size()));
    box.finishLoad();
    EXPECT_EQ(box.utf8Text(), loaded);
    EXPECT_FALSE(stylesOn(box));
    EXPECT_EQ(box.crlfLineCount(), 3);
    EXPECT_GE(memory.biggest, memory.limit);
}

// Typing into a long line costs no pass over it: drawing restyles nothing
// (which would compare each shown line's layout byte by byte), and a caret
// move does not count its column from the start of the line.
TEST(TextBox, AKeyInALongLineIsNotFollowedByPassesOverTheLine)
{
    // 22 KB, and 44 KB, which moves the text to a document with styles.
    for (const int words : {2000, 4000}) {
        const QString line = QStringLiteral("Hallo Welt ").repeated(words);
        TextBox box;
        box.resize(400, 200);
        box.loadUtf8(line.toUtf8());
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
        QSignalSpy caretReports(&box, &QsciScintilla::cursorPositionChanged);
        QString expected = line;
        for (const int at : {0, 37, int(line.size()) + 2}) {
            const QImage before = box.grab().toImage();
            box.setSelStart(at);
            QTest::sendKeyEvent(QTest::Click, &box, Qt::Key_Adiaeresis, QStringLiteral("ä"),
                                Qt::NoModifier);
            expected.insert(at, QStringLiteral("ä"));
            box.viewport()->repaint();
            EXPECT_EQ(box.SendScintilla(QsciScintillaBase::SCI_GETENDSTYLED),
                      box.SendScintilla(QsciScintillaBase::SCI_GETLENGTH))
                << words << " " << at;
            if (at == 0) { // what was typed is drawn
                EXPECT_NE(box.grab().toImage(), before);
            }
        }
        EXPECT_EQ(caretReports.count(), 0);
        EXPECT_EQ(QString::fromUtf8(box.utf8Text()), expected);
        box.undo();
        EXPECT_EQ(QString::fromUtf8(box.utf8Text()), expected.chopped(1));
    }
}

// What a screen reader is told, as the accessibility bridge would pass it on.
QStringList told;

void recordTold(QAccessibleEvent *event)
{
    if (const auto *insert = dynamic_cast<QAccessibleTextInsertEvent *>(event))
        told << u"+%1 %2"_qs.arg(insert->changePosition()).arg(insert->textInserted());
    else if (const auto *remove = dynamic_cast<QAccessibleTextRemoveEvent *>(event))
        told << u"-%1 %2"_qs.arg(remove->changePosition()).arg(remove->textRemoved());
    else if (const auto *selection = dynamic_cast<QAccessibleTextSelectionEvent *>(event))
        told << u"selected %1-%2, caret %3"_qs.arg(selection->selectionStart())
                    .arg(selection->selectionEnd())
                    .arg(selection->cursorPosition());
    else if (event->type() == QAccessible::TextCaretMoved)
        told << u"caret %1"_qs.arg(
            static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition());
}

// The editor's description answers in UTF-16 offsets over any bytes, finds
// words and lines far into a long line, edits as one undo step with CR LF
// breaks unless read-only, and tells of each edit, caret move and selection once.
TEST(TextBox, AScreenReaderReadsAndEditsInCharactersAndHearsOfEachChangeOnce)
{
    // The offscreen platform has no accessibility bridge and drops Qt's
    // events; the editor's go to the test instead.
    ASSERT_FALSE(QAccessible::isActive());
    const AnnouncementListener previous = listenToAnnouncements(recordTold);
    TextBox box;
    QAccessible::setActive(true); // the editor hears of it, Qt stays inactive
    const auto restore = qScopeGuard([previous] {
        QAccessible::setActive(false);
        listenToAnnouncements(previous);
        told.clear();
    });
    box.setAccessibleName(QStringLiteral("Text"));
    box.resize(400, 300);
    box.show();
    const QString text = u("Gr\xC3\xBC\xC3\x9F"
                           "e \xF0\x9F\x98\x80\r\nzweite Zeile\r\ndritte");
    box.setText(text);
    QApplication::processEvents();
    QAccessibleInterface *description = QAccessible::queryAccessibleInterface(&box);
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->role(), QAccessible::EditableText);
    EXPECT_EQ(description->text(QAccessible::Name), QStringLiteral("Text"));
    EXPECT_TRUE(description->state().editable && description->state().multiLine);
    QAccessibleTextInterface *reading = description->textInterface();
    QAccessibleEditableTextInterface *editing = description->editableTextInterface();
    ASSERT_TRUE(reading && editing);

    EXPECT_EQ(reading->characterCount(), text.size());
    EXPECT_EQ(reading->text(0, reading->characterCount()), text);
    EXPECT_EQ(reading->text(6, 8), u("\xF0\x9F\x98\x80"));
    reading->setCursorPosition(8);
    EXPECT_EQ(reading->cursorPosition(), 8);
    EXPECT_EQ(box.SelStart(), 8);
    reading->setSelection(0, 10, 16);
    EXPECT_EQ(reading->selectionCount(), 1);
    int start = -1;
    int end = -1;
    reading->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(10, 16));
    EXPECT_EQ(box.SelText(), u("zweite"));
    const auto at = [&](int offset, QAccessible::TextBoundaryType boundary, bool before = false) {
        const QString found = before ? reading->textBeforeOffset(offset, boundary, &start, &end)
                                     : reading->textAtOffset(offset, boundary, &start, &end);
        return std::tuple(found, start, end);
    };
    EXPECT_EQ(at(12, QAccessible::WordBoundary), std::tuple(u("zweite"), 10, 16));
    EXPECT_EQ(at(12, QAccessible::LineBoundary), std::tuple(u("zweite Zeile\r\n"), 10, 24));
    EXPECT_EQ(at(8, QAccessible::CharBoundary, true), std::tuple(u("\xF0\x9F\x98\x80"), 6, 8));
    reading->removeSelection(0);
    EXPECT_EQ(reading->selectionCount(), 0);

    // Edits through the description.
    editing->insertText(0, u("A\nB"));
    EXPECT_EQ(box.Text(), u("A\r\nB") + text);
    editing->replaceText(0, 4, u("C"));
    editing->deleteText(0, 1);
    EXPECT_EQ(box.Text(), text);
    box.undo();
    EXPECT_EQ(box.Text(), u("C") + text);
    box.undo();
    EXPECT_EQ(box.Text(), u("A\r\nB") + text);
    box.redo();
    box.setReadOnly(true);
    EXPECT_TRUE(description->state().readOnly);
    editing->insertText(0, u("nicht"));
    EXPECT_EQ(box.Text(), u("C") + text);
    box.setReadOnly(false);

    // What is told: a key typed, one deleted, a selection; scrolling tells
    // nothing, a new text only moves the caret.
    box.setText(text);
    reading->setCursorPosition(8);
    QApplication::processEvents();
    told.clear();
    for (const std::function<void()> &act : std::initializer_list<std::function<void()>>{
             [&] { QTest::keyClick(&box, Qt::Key_X); },
             [&] { QTest::keyClick(&box, Qt::Key_Backspace); },
             [&] { reading->setSelection(0, 10, 16); },
             [&] { box.SendScintilla(QsciScintillaBase::SCI_SETXOFFSET, 20); },
             [&] { box.loadUtf8("neu"); }}) {
        act();
        QApplication::processEvents();
    }
    EXPECT_EQ(told, QStringList({"+8 x", "caret 9", "-8 x", "caret 8", "selected 10-16, caret 16",
                                 "caret 16", "caret 0"}));

    // Far into a line longer than the reach of a word search.
    box.setText(QStringLiteral("wort ").repeated(20000) + u("\xC3\xA4"));
    EXPECT_EQ(at(80002, QAccessible::WordBoundary), std::tuple(u("wort"), 80000, 80004));
    EXPECT_EQ(at(100000, QAccessible::CharBoundary), std::tuple(u("\xC3\xA4"), 100000, 100001));
}

// Edits handed over that give a wrong text, lines or offsets, or more than
// one undo step, on each of the three ways they go in, read-only too.
TEST(TextBox, AChangeHandedOverAsEditsIsTheNewTextAndOneUndoStep)
{
    QByteArray longText;
    for (int line = 0; line < 2000; ++line)
        longText += line % 40 == 0 ? QByteArray("\r\n")
                                   : QByteArray("Zeile  mit \xc3\xa4 und\r\0 mehr\r\n", 26);
    const QByteArray shortText("a  b\r\n\r\nc\rd");
    // An edit every line: one by one, but going in as the text they make.
    const QByteArray denseText =
        QByteArray("Eine Zeile, auf die eine leere folgt, und noch etwas mehr.\r\n\r\n")
            .repeated(1000);
    for (const QByteArray &before : {longText, shortText, denseText}) {
        SCOPED_TRACE(before.size());
        TextEdits edits;
        QByteArray after;
        qsizetype kept = 0;
        // Every blank line out, every 20th double space shrunk, every 50th
        // lone CR made CR LF with an emoji after it, and a closing break.
        int spaces = 0;
        int crs = 0;
        for (qsizetype at = 0; at < before.size(); ++at) {
            QByteArrayView inserted;
            qsizetype removed = 0;
            if (before.sliced(at).startsWith("\r\n") && (at == 0 || before[at - 1] == '\n'))
                removed = 2;
            else if (before.sliced(at).startsWith("  ") && spaces++ % 20 == 0)
                removed = 1;
            else if (before[at] == '\r' && (at + 1 == before.size() || before[at + 1] != '\n') &&
                     crs++ % 50 == 0)
                inserted = "\r\n\xf0\x9f\x98\x80", removed = 1;
            else
                continue;
            after += before.sliced(kept, at - kept) + inserted.toByteArray();
            edits.add(at, removed, inserted);
            kept = at + removed;
        }
        after += before.sliced(kept) + "\r\n";
        edits.add(before.size(), 0, "\r\n");

        TextBox box;
        box.loadUtf8(before);
        box.setReadOnly(true);
        box.setSelStart(5);
        box.replaceAllUtf8(edits);
        ASSERT_EQ(box.utf8View(), after);
        EXPECT_EQ(box.SelStart(), 0);
        EXPECT_TRUE(box.isModified());
        ASSERT_NO_FATAL_FAILURE(expectLines(box, QString::fromUtf8(after)));
        box.setReadOnly(false);
        box.undo();
        ASSERT_EQ(box.utf8View(), before);
        ASSERT_NO_FATAL_FAILURE(expectLines(box, QString::fromUtf8(before)));
        EXPECT_FALSE(box.isUndoAvailable());
        EXPECT_FALSE(box.isModified());
        box.redo();
        EXPECT_EQ(box.utf8View(), after);
    }
}

// Scintilla's own lines against the text: a line ends at CR LF, a lone CR or
// a lone LF. (A piece that goes in right after a CR and starts with an LF
// joins the two into one line break.)
void expectScintillaLines(const TextBox &box, QByteArrayView text)
{
    std::vector<qsizetype> starts{0};
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text[at] == '\n' ||
            (text[at] == '\r' && (at + 1 == text.size() || text[at + 1] != '\n')))
            starts.push_back(at + 1);
    }
    ASSERT_EQ(box.SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT), long(starts.size()));
    for (size_t line = 0; line < starts.size(); ++line)
        ASSERT_EQ(box.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line),
                  long(starts[line]))
            << line;
}

// Many edits on a text of several pieces remake it a piece at a time, and
// the text, its lines, its undo and its redo come out exactly: where a piece
// ends between a CR and its LF, where an edit runs across the end of a
// piece, where the text grows on the way past the room its buffer had, and
// with an insertion at the very end. The memory asked for is never that of
// a second whole text, unless the text grows.
TEST(TextBox, ManyEditsOnABigTextRemakeItAPieceAtATime)
{
    constexpr qsizetype piece = 16 * 1024 * 1024;
    // Lines of 64 bytes after one byte, so that the first piece ends between
    // a CR and its LF.
    const QByteArray before =
        "x" + QByteArray("Zeile  mit Text, die vierundsechzig Bytes lang ist, ja, genau!\r\n")
                  .repeated(2 * piece / 64 + 65536);
    ASSERT_EQ(before.mid(piece - 1, 2), "\r\n");
    const qsizetype cutAt = before.indexOf("  ", 2 * piece - 512 * 1024);
    const qsizetype cut = 1024 * 1024;
    const qsizetype growAt = before.indexOf("  ", 1000);
    const auto change = [&](qsizetype growth) {
        std::pair<TextEdits, QByteArray> made;
        auto &[edits, after] = made;
        const QByteArray grown(growth, 'g');
        qsizetype kept = 0;
        // Every double space shrunk; a stretch of 1 MiB across the second
        // piece's end taken out; a run of bytes that may make the text grow
        // put in early.
        for (qsizetype at = before.indexOf("  "); at >= 0; at = before.indexOf("  ", at + 2)) {
            if (at > cutAt && at < cutAt + cut)
                continue;
            const qsizetype removed = at == cutAt ? cut : 1;
            const QByteArrayView inserted = at == growAt ? QByteArrayView(grown) : QByteArrayView();
            after += before.sliced(kept, at - kept) + inserted.toByteArray();
            edits.add(at, removed, inserted);
            kept = at + removed;
        }
        after += before.sliced(kept) + "Ende\r\n";
        edits.add(before.size(), 0, "Ende\r\n");
        return made;
    };
    TextBox box;
    Limit memory;
    box.setRoomCheck(memory.check());
    for (const qsizetype growth : {qsizetype(0), qsizetype(3 * 1024 * 1024)}) {
        SCOPED_TRACE(growth);
        auto [edits, after] = change(growth);
        ASSERT_GT(edits.size(), before.size() / 200); // many
        box.loadUtf8(before);
        memory.biggest = 0;
        ASSERT_TRUE(box.replaceAllUtf8(std::move(edits)));
        if (growth == 0) {
            EXPECT_LT(memory.biggest, before.size() / 2);
        }
        ASSERT_EQ(box.utf8View(), after);
        ASSERT_NO_FATAL_FAILURE(expectScintillaLines(box, after));
        EXPECT_EQ(box.crlfLineCount(), after.count("\r\n") + 1);
        box.undo();
        ASSERT_EQ(box.utf8View(), before);
        ASSERT_NO_FATAL_FAILURE(expectScintillaLines(box, before));
        box.redo();
        ASSERT_EQ(box.utf8View(), after);
        ASSERT_NO_FATAL_FAILURE(expectScintillaLines(box, after));
    }
}

// What the progress of each undo or redo of an edits step heard (the text
// at its begin is still the old one; done only rises).
struct StepHeard {
    bool undoing;
    qsizetype cost;
    QByteArray textAtBegin;
    qint64 lastDone = -1;
    qint64 total = 0;
    int partsShown = 0;
};

void recordSteps(TextBox &box, std::vector<StepHeard> &heard)
{
    struct Recorder : WorkProgress {
        Recorder(const TextBox &box, StepHeard &heard)
            : box(box)
            , heard(heard)
        {}
        bool step(qint64, qint64) override { return true; }
        void beginUnstoppable() override { heard.textAtBegin = box.utf8Text(); }
        void show(qint64 done, qint64 total) override
        {
            EXPECT_GE(done, heard.lastDone);
            heard.partsShown += done > 0 && done < total ? 1 : 0;
            heard.lastDone = done;
            heard.total = total;
        }
        const TextBox &box;
        StepHeard &heard; // the last one, while the step is made
    };
    box.setStepProgress([&box, &heard](bool undoing, qsizetype cost) {
        heard.push_back({undoing, cost, {}});
        return std::unique_ptr<WorkProgress>(new Recorder(box, heard.back()));
    });
}

void expectHeard(const StepHeard &step, bool undoing, qsizetype cost, const QByteArray &before)
{
    EXPECT_EQ(step.undoing, undoing);
    EXPECT_EQ(step.cost, cost);
    EXPECT_EQ(step.textAtBegin, before);
    EXPECT_GT(step.total, 0);
    EXPECT_EQ(step.lastDone, step.total);
}

// An edits step undone and redone by keys, calls or Scintilla's own message,
// with the caret, modified state and progress right, forgotten once it cannot
// be redone; without room every whole-text change, and every undo or redo of
// such a step, leaves everything as it was and says so.
TEST(TextBox, AnEditsStepIsUndoneAndRedoneByEveryWayRefusedWithoutRoomAndForgotten)
{
    const QByteArray original = QByteArray("Hallo Welt, sch\xc3\xb6ne Welt\r\n").repeated(500);
    TextEdits edits;
    TextEdits shifted; // the same edits after a typed X
    for (qsizetype at = original.indexOf("Welt"); at >= 0; at = original.indexOf("Welt", at + 4)) {
        edits.add(at, 4, "Erdball");
        shifted.add(at + 1, 4, "Erdball");
    }
    const QByteArray typed = "X" + original;
    const QByteArray typedAndReplaced = "X" + QByteArray(original).replace("Welt", "Erdball");

    TextBox box;
    Limit memory;
    box.setRoomCheck(memory.check());
    std::vector<StepHeard> heard;
    recordSteps(box, heard);
    box.loadUtf8(original);
    QSignalSpy modified(&box, &QsciScintilla::modificationChanged);
    box.SendScintilla(QsciScintillaBase::SCI_ADDTEXT, 1UL, "X");

    memory.limit = 10 * 1024; // below the text's own size
    QSignalSpy changed(&box, &QsciScintilla::textChanged);
    QSignalSpy refused(&box, &TextBox::stepRefused);
    EXPECT_FALSE(box.replaceAllUtf8(QByteArray("Hello world, a line.\r\n").repeated(500)));
    EXPECT_FALSE(box.replaceAllUtf8(typed + "Y")); // one edit, but the text grows
    EXPECT_FALSE(box.replaceAllUtf8(shifted));
    EXPECT_FALSE(box.loadUtf8(QByteArray("neu\r\n").repeated(3000)));
    box.setText(QString::fromUtf8(QByteArray("neu\r\n").repeated(3000)));
    EXPECT_EQ(box.utf8View(), typed);
    EXPECT_EQ(box.crlfLineCount(), 501);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(box.editsStepsKept(), 0);
    // A small change still fits, but not its undo, which makes the text grow.
    TextEdits few;
    few.add(1, 5, "Moin");
    ASSERT_TRUE(box.replaceAllUtf8(std::move(few)));
    const QByteArray moin = box.utf8Text();
    EXPECT_TRUE(moin.startsWith("XMoin Welt,"));
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box.utf8View(), moin);
    memory.limit = Limit::none;
    box.undo();
    ASSERT_EQ(box.utf8View(), typed);

    // A new step drops the undone one.
    ASSERT_TRUE(box.replaceAllUtf8(shifted));
    ASSERT_EQ(box.utf8View(), typedAndReplaced);
    EXPECT_EQ(box.editsStepsKept(), 1);
    ASSERT_EQ(modified.size(), 1);
    EXPECT_TRUE(box.isModified());
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(box.utf8View(), typed);
    EXPECT_EQ(box.SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS), 7 + 4); // "XHallo Welt"
    box.undo();
    ASSERT_EQ(box.utf8View(), original);
    EXPECT_FALSE(box.isModified());
    box.redo();
    ASSERT_EQ(box.utf8View(), typed);
    memory.limit = 10 * 1024;
    QTest::keyClick(&box, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(box.utf8View(), typed);
    ASSERT_EQ(refused.count(), 2);
    EXPECT_TRUE(refused.at(0).at(0).toBool());
    EXPECT_FALSE(refused.at(1).at(0).toBool());
    memory.limit = Limit::none;
    QTest::keyClick(&box, Qt::Key_Y, Qt::ControlModifier);
    ASSERT_EQ(box.utf8View(), typedAndReplaced);
    EXPECT_EQ(box.SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS),
              typedAndReplaced.lastIndexOf("Erdball") + 7);
    ASSERT_NO_FATAL_FAILURE(expectLines(box, QString::fromUtf8(typedAndReplaced)));
    // The changes themselves are the tool's to show, refused steps show nothing.
    ASSERT_EQ(heard.size(), 3U);
    expectHeard(heard[0], true, 200, moin);
    expectHeard(heard[1], true, typedAndReplaced.size(), typedAndReplaced);
    expectHeard(heard[2], false, typed.size(), typed);

    // A way the editor does not hear of: the step follows once control is
    // back in the event loop.
    box.SendScintilla(QsciScintillaBase::SCI_UNDO);
    QCoreApplication::processEvents();
    ASSERT_EQ(box.utf8View(), typed);
    EXPECT_EQ(box.editsStepsKept(), 1);

    // Typing drops the redo steps, the undone step with them; what came
    // before is still undone as before.
    box.SendScintilla(QsciScintillaBase::SCI_ADDTEXT, 1UL, "Y");
    EXPECT_EQ(box.editsStepsKept(), 0);
    EXPECT_FALSE(box.isRedoAvailable());
    box.undo();
    box.undo();
    EXPECT_EQ(box.utf8View(), original);

    // So does a new step or a whole replacement after an undone step, and
    // emptying the undo history drops every step.
    box.replaceAllUtf8(edits);
    box.undo();
    box.replaceAllUtf8(edits);
    EXPECT_EQ(box.editsStepsKept(), 1);
    box.undo();
    box.replaceAllUtf8(QByteArray("neu"));
    EXPECT_EQ(box.editsStepsKept(), 1); // its own
    box.undo();
    box.replaceAllUtf8(edits);
    // Loading empties the history and counts as unmodified, even when the
    // user cannot type.
    box.setReadOnly(true);
    box.loadUtf8("anders");
    EXPECT_EQ(box.editsStepsKept(), 0);
    EXPECT_FALSE(box.isModified());
    EXPECT_FALSE(box.isUndoAvailable());
    box.setReadOnly(false);
    box.undo();
    EXPECT_EQ(box.utf8View(), "anders");
    // The whole-text commands and typed keys are one step each (SelText is
    // one in the random edits).
    box.setText(u("zwei"));
    EXPECT_TRUE(box.isModified());
    box.replaceAllUtf8("drei\r\n");
    box.setSelStart(4);
    QTest::keyClicks(&box, QStringLiteral("ab"));
    ASSERT_EQ(box.Text(), u("dreiab\r\n"));
    for (const char *before : {"drei\r\n", "zwei", "anders"}) {
        box.undo();
        EXPECT_EQ(box.Text(), u(before));
    }
    EXPECT_FALSE(box.isUndoAvailable());
    EXPECT_FALSE(box.isModified());
    // The check is asked for the whole new buffer, not only for the edits.
    memory = Limit{};
    box.replaceAllUtf8(original + original);
    EXPECT_GE(memory.biggest, 2 * original.size());

    // A key that would delete a big selection without room for its undo does
    // nothing (out of memory inside the handling too); caret keys go on.
    const QByteArray big = QByteArray("Zeile\r\n").repeated(200000);
    box.loadUtf8(big);
    QSignalSpy inputRefused(&box, &TextBox::inputRefused);
    memory.limit = 1024 * 1024;
    for (const auto &[key, text] :
         {std::pair{Qt::Key_Delete, QString()}, std::pair{Qt::Key_Backspace, QString()},
          std::pair{Qt::Key_X, u("x")}}) {
        box.SendScintilla(QsciScintillaBase::SCI_SELECTALL);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&box, &press);
        EXPECT_EQ(box.utf8View(), big);
    }
    EXPECT_EQ(inputRefused.count(), 3);
    QTest::keyClick(&box, Qt::Key_Right);
    EXPECT_EQ(box.SelLength(), 0);
    box.SendScintilla(QsciScintillaBase::SCI_SELECTALL);
    box.setRoomCheck([](std::initializer_list<qsizetype>) -> bool { throw std::bad_alloc(); });
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(inputRefused.count(), 4);
    EXPECT_EQ(box.utf8View(), big);
    box.setRoomCheck(memory.check());
    memory.limit = Limit::none;
    QTest::keyClick(&box, Qt::Key_Delete);
    EXPECT_EQ(box.utf8View(), "");
    box.undo();
    EXPECT_EQ(box.utf8View(), big);

    // A translation's step: its undo or redo without room for the text that
    // goes in is refused; with room it shows progress costed as that text.
    const QByteArray german = QByteArray("Hallo Welt ").repeated(2500);
    const QByteArray translated = QByteArray("Hello world ").repeated(1200);
    box.loadUtf8(german);
    ASSERT_TRUE(box.replaceAllUtf8(translated));
    heard.clear();
    refused.clear();
    for (const QByteArray &text : {translated, german}) {
        memory.limit = 10 * 1024;
        text == translated ? box.undo() : box.redo();
        EXPECT_EQ(box.utf8View(), text);
        memory.limit = Limit::none;
        text == translated ? box.undo() : box.redo();
        ASSERT_NE(box.utf8View(), text);
    }
    EXPECT_EQ(refused.count(), 2);
    EXPECT_EQ(box.utf8View(), translated);
    ASSERT_EQ(heard.size(), 2U);
    expectHeard(heard[0], true, german.size(), translated);
    expectHeard(heard[1], false, translated.size(), german);
}

// The one edit between two texts never splits a UTF-8 sequence or a CR LF
// pair; a recovered text becomes an edits step; a whole text of many pieces
// goes back piece by piece.
TEST(TextBox, AWholeNewTextKeepsOnlyTheEditBetweenTheTextsForItsUndo)
{
    const QByteArray filler = QByteArray("Stra\xc3\x9f"
                                         "e\r\n")
                                  .repeated(1500); // > 4 KiB
    struct Case {
        QByteArray before, after;
        qsizetype at, removed;
    };
    const Case cases[] = {
        {"gleich", "gleich", 6, 0},
        {"a\xc3\xa4z", "a\xc3\xb6z", 1, 2}, // ä → ö share the lead byte
        {"a\r\nz", "a\rxz", 1, 2},          // the CR stays with its LF
        {"a\r\nz", "a\r\n\r\nz", 3, 0},     // a line break more
        {"z\xc3\xa4", "\xc3\xa4", 0, 1},    // the shared end starts in a character
        {"xy\r\n", "x\r\n", 1, 1},
        {"", "neu", 0, 0},
        {filler + "mitte" + filler, filler + "MITTE!" + filler, filler.size(), 5},
        {filler, filler + filler, filler.size(), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.before.left(12).toStdString() + " -> " + c.after.left(12).toStdString());
        const TextEdits::Edit edit = TextEdits::between(c.before, c.after);
        TextEdits edits;
        edits.add(edit.at, edit.removed, edit.inserted);
        EXPECT_EQ(edits.appliedTo(c.before), c.after);
        EXPECT_EQ(edits.isEmpty(), c.before == c.after);
        EXPECT_EQ(edit.at, c.at);
        EXPECT_EQ(edit.removed, c.removed);
    }

    QByteArray loaded;
    for (int line = 0; line < 2000; ++line)
        loaded += "Zeile " + QByteArray::number(line) + " mit Gr\xc3\xbc\xc3\x9f" + "en\r\n";
    QByteArray recovered = loaded;
    recovered.insert(loaded.indexOf("Zeile 1000"), "getippt \xe2\x82\xac ");
    TextBox box;
    box.loadUtf8(loaded);
    box.replaceAllUtf8(recovered);
    EXPECT_EQ(box.utf8Text(), recovered);
    EXPECT_EQ(box.editsStepsKept(), 1);
    box.undo();
    EXPECT_EQ(box.utf8Text(), loaded);
    box.redo();
    EXPECT_EQ(box.utf8Text(), recovered);

    // Over 16 MiB, with a line without its line feed running over the first
    // piece's end, lone CRs and a text that ends without a break.
    QByteArray big =
        QByteArray("Zeile mit \xc3\xa4 und\r mehr\r\n").repeated((16 << 20) / 24 - 100);
    big += QByteArray(4096, 'x') + "\r\n" + loaded + "\r";
    std::vector<StepHeard> heard;
    recordSteps(box, heard);
    box.loadUtf8(big);
    box.replaceAllUtf8(QByteArray("kurz"));
    box.undo();
    ASSERT_EQ(box.utf8View(), big);
    EXPECT_EQ(box.crlfLineCount(), big.count("\r\n") + 1);
    EXPECT_EQ(box.lineIndex(box.crlfLineCount() - 1),
              QString::fromUtf8(big.left(big.lastIndexOf("\r\n") + 2)).size());
    ASSERT_EQ(heard.size(), 1U);
    expectHeard(heard[0], true, big.size(), "kurz");
    EXPECT_GT(heard[0].partsShown, 0);
}

void drop(TextBox &box, const QMimeData &mime, Qt::DropActions actions = Qt::CopyAction)
{
    QDragEnterEvent enter(QPoint(2, 2), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDragMoveEvent move(QPoint(2, 2), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &move);
    QDropEvent event(QPointF(2, 2), actions, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &event);
    EXPECT_TRUE(event.isAccepted());
    EXPECT_EQ(event.dropAction(), Qt::CopyAction); // a move would delete a dropped file
}

// Font and caret colour, Enter's handler, LF out and CR LF in through the
// clipboard and drops (a lone CR stays), dropped files reported.
TEST(TextBox, LooksKeysClipboardAndDropsGoThroughTheEditor)
{
    TextBox box;
    box.setTextColor(QColor(0x12, 0x34, 0x56));
    // The caret is drawn in the text colour (Scintilla keeps 0xBBGGRR).
    EXPECT_EQ(box.SendScintilla(QsciScintillaBase::SCI_GETCARETFORE), 0x563412);
    // A font name outside ASCII and a fractional size arrive unchanged.
    QFont font(u("Sch\xc3\xb6ne Schrift"));
    font.setPointSizeF(13.5);
    font.setItalic(true);
    box.setEditorFont(font);
    EXPECT_EQ(box.editorFont().family(), font.family());
    EXPECT_DOUBLE_EQ(box.editorFont().pointSizeF(), 13.5);
    EXPECT_TRUE(box.editorFont().italic());

    box.resize(300, 200);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    box.setText(u("a\r\nb"));
    int calls = 0;
    box.setEnterHandler([&] { ++calls; });
    QTest::keyClick(&box, Qt::Key_Return);
    QTest::keyClick(&box, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(box.Text(), u("a\r\nb"));
    QTest::keyClick(&box, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(calls, 2);

    box.setText(u("eins\r\nzwei\r\ndrei\rvier"));
    box.setSelStart(2);
    box.setSelLength(15);
    box.cut();
    EXPECT_EQ(QApplication::clipboard()->text(), u("ns\nzwei\ndrei\r"));
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data(u("text/plain")), "ns\nzwei\ndrei\r");
    EXPECT_EQ(box.Text(), u("eivier"));
    QApplication::clipboard()->setText(u("ns\nzwei\rdrei\n"));
    box.paste();
    EXPECT_EQ(box.Text(), u("eins\r\nzwei\r\ndrei\r\nvier"));

    box.setText(QString());
    QSignalSpy dropped(&box, &TextBox::filesDropped);
    QMimeData mime;
    mime.setText(u("neu\nzeile"));
    drop(box, mime);
    EXPECT_EQ(box.Text(), u("neu\r\nzeile"));
    EXPECT_EQ(dropped.count(), 0);
    mime.setUrls({QUrl::fromLocalFile(u("/tmp/eins.txt")), QUrl(u("https://example.org/")),
                  QUrl::fromLocalFile(u("/tmp/zw\xc3\xa4i.txt"))});
    drop(box, mime, Qt::CopyAction | Qt::MoveAction);
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toStringList(),
              QStringList({u("/tmp/eins.txt"), u("/tmp/zw\xc3\xa4i.txt")}));
    EXPECT_EQ(box.Text(), u("neu\r\nzeile"));
}

} // namespace
} // namespace kelo
