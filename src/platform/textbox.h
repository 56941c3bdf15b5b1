// The editor control: a QScintilla editor that offers the interface of a
// classic Windows multi-line text box.
//
// The whole text is one string whose lines are separated by CR LF. Offsets
// (SelStart, SelLength, the line queries) count UTF-16 code units, as a
// Windows text box does: CR LF counts two, a character outside the Basic
// Multilingual Plane counts two. A line, for the line queries, is a CR LF-
// separated line only; a lone CR or LF inside it does not start a new one.
//
// Underneath, QScintilla runs in UTF-8 mode with CR LF as its line end, pasted
// line ends converted to CR LF, no wrapping, no margins, no lexer; offsets and
// lines are converted by TextIndex. The text goes in and out with one call
// each, NUL bytes included. What the editor keeps true of Scintilla is
// written down once, in scintillacalls.h. The control's code is in three
// rooms: textbox.cpp (the text-box interface, looks, input), textindex.cpp
// (the offset indexes) and textboxdocument.cpp (the document set-up, whole-
// text replacement and change notices).
#pragma once

#include "platform/editordescription.h"
#include "platform/textedits.h"
#include "platform/textindex.h"

#include <QAccessible>
#include <QByteArray>
#include <QByteArrayView>
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <Qsci/qsciscintilla.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <unordered_map>

namespace kelo {

class WorkProgress;

class TextBox : public QsciScintilla, private QAccessible::ActivationObserver {
    Q_OBJECT

public:
    explicit TextBox(QWidget *parent = nullptr);
    ~TextBox() override;

    // ---- The text-box interface -------------------------------------------
    // The whole text. Setting it replaces the text as one undo step and puts
    // the caret at the start.
    QString Text() const;
    void setText(const QString &text) override;

    // Selection start (or caret) and length, in UTF-16 code units. Setting
    // SelStart moves the caret there and empties the selection; setting
    // SelLength selects that many code units from SelStart on (the caret ends
    // at the far end). Values are clamped to the text; an offset that falls
    // inside a surrogate pair or a CR LF pair moves to the start of it.
    int SelStart() const;
    void setSelStart(int offset);
    int SelLength() const;
    void setSelLength(int length);

    // The selected text; assigning it replaces the selection (or inserts at
    // the caret) as one undo step and leaves the caret after the new text.
    QString SelText() const;
    void setSelText(const QString &text);

    // The 0-based CR LF line that holds an offset (-1: the selection start),
    // as EM_LINEFROMCHAR answers.
    int lineFromChar(int offset) const;
    // The offset of the first character of a 0-based CR LF line (-1: the line
    // of the selection start), or -1 when there is no such line, as
    // EM_LINEINDEX answers.
    int lineIndex(int line) const;
    // Number of CR LF lines (an empty text has one).
    int crlfLineCount() const;

    // ---- Whole-text access in the editor's own form (UTF-8, CR LF) --------
    QByteArray utf8Text() const;
    // Replaces the text as one undo step (whole-text commands, Ctrl+Z). The
    // step keeps only the stretch that differs where that is much less than
    // both texts. False, with the text and its undo history as they were,
    // when the memory the change needs cannot be had (see setRoomCheck()).
    bool replaceAllUtf8(const QByteArray &utf8);
    // The same with the text that the edits make of the current one. Its
    // undo step keeps only the edits and the bytes they take away (see
    // EditsStep), unless that needs more memory than the old and the new
    // text whole, which the step then keeps. Few edits for the length of the
    // text are made one by one; with many, the text is remade a piece at a
    // time, so that it is never held twice. Either way the result is the
    // same. Many edits take a while: `told`, if set, then hears how far they
    // are (done of all) now and then, and must let nothing else run.
    // Not to be called inside an undo group of Scintilla's (see EditsStep).
    // False, with nothing changed, as above.
    bool replaceAllUtf8(TextEdits edits,
                        const std::function<void(qint64 done, qint64 all)> &told = {});
    // Loads a file's text: not undoable, the undo history is emptied and the
    // text counts as unmodified afterwards. False, as above.
    bool loadUtf8(const QByteArray &utf8);
    // Loads a file's text in pieces, with loadUtf8's result, into a document
    // of its own that is shown only when finishLoad() comes: until then the
    // editor keeps its text, undo history and modified state, and
    // abandonLoad() (or a new beginLoad()) drops what was appended. beginLoad
    // reserves room for `bytes` bytes once; it and appendLoad return false
    // when the memory runs out (the load is then abandoned). A text longer
    // than longestLoad() bytes cannot be held and is refused at once. Given
    // `meanwhile`, beginLoad reserves the room on another thread and calls
    // it every few milliseconds until the room is there (once at least);
    // when it said false, the load is abandoned and beginLoad returns false.
    static qsizetype longestLoad();
    bool beginLoad(qsizetype bytes, const std::function<bool()> &meanwhile = {});
    bool appendLoad(QByteArrayView utf8);
    void finishLoad();
    void abandonLoad();
    // Length of the text in UTF-16 code units, without building the string.
    int textLength() const;
    // The UTF-8 text as the editor holds it, without a copy. Valid until the
    // next change of the text; for searching large texts quickly.
    QByteArrayView utf8View() const;
    // The whole text for the clipboard: a copy of the editor's bytes, made
    // into the plain text other programs ask for (LF line breaks) only when
    // they ask, as a selection copied is. Nothing when there is no memory
    // for the copy.
    std::unique_ptr<QMimeData> wholeTextMimeData() const;
    // Converting between UTF-16 offsets and byte positions in the UTF-8
    // text. An offset is clamped to the text, and one that falls inside a
    // surrogate pair or a CR LF pair gives the position of the pair's start.
    long utf16ToPosition(int offset) const;
    int positionToUtf16(long position) const;

    // ---- Looks ------------------------------------------------------------
    // One font and two colours for the whole text. The caret is drawn in the
    // text colour; the selection stays readable on every background.
    void setTextColor(const QColor &color);
    void setBackColor(const QColor &color);
    void setEditorFont(const QFont &font);
    // What the editor really draws with, read back from QScintilla.
    QColor textColor() const;
    QColor backColor() const;
    QFont editorFont() const;

    // Called instead of inserting a line break when Enter or Return is
    // pressed (not while an input method is composing). Without a handler,
    // Enter inserts CR LF.
    void setEnterHandler(std::function<void()> handler);

    // Undoing and redoing, also of the editor's own undo steps (EditsStep).
    void undo() override;
    void redo() override;
    // How many of the editor's own undo steps it keeps, undone ones too.
    int editsStepsKept() const { return int(m_editsSteps.size()); }
    // Undoing or redoing one of the editor's own steps on a big text takes as
    // long as the change did. Before it begins, `start` is asked for a
    // progress to show (none: nothing is shown), told whether the step is
    // undone and what it costs, in bytes of text copied; the progress then
    // hears how far the step is, and must let nothing else run.
    using StepProgress = std::function<std::unique_ptr<WorkProgress>(bool undoing, qsizetype cost)>;
    void setStepProgress(StepProgress start) { m_stepProgress = std::move(start); }
    // How the editor asks whether the blocks of memory (in bytes) that a
    // change of much of the text needs can be had, before it makes one:
    // memoryRoomFor() unless set otherwise.
    using RoomCheck = std::function<bool(std::initializer_list<qsizetype> blocks)>;
    void setRoomCheck(RoomCheck check) { m_roomCheck = std::move(check); }

    // QsciScintilla's textChanged() comes right after a whole-text
    // replacement, and after other edits once control is back in the event
    // loop, once for all edits made until then (the editor is told of edits
    // only before they happen, see the constructor). linesChanged() comes
    // after a whole-text replacement only.

Q_SIGNALS:
    // Local files dropped onto the editor (text drops are inserted as usual).
    void filesDropped(const QStringList &paths);
    // A mouse click into the text (press and release), after the caret moved.
    void clicked();
    // An undo or redo of one of the editor's own steps could not have the
    // memory it needs: the text and the undo history stay as they were.
    void stepRefused(bool undoing);
    // A key, a click or a drop could not have the memory it needs (a big
    // selection deleted or replaced keeps a copy for its undo, a selection
    // is copied for the other programs): it did nothing, or no more than
    // change the selection.
    void inputRefused();

protected:
    // What leaves the editor (copy, cut, dragging text out) has LF line
    // breaks, as the rest of the desktop expects.
    QMimeData *toMimeData(const QByteArray &text, bool rectangular) const override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The editor runs on a document of its own without a style buffer (see
    // the constructor); QsciScintilla's document sharing knows nothing of it.
    using QsciScintilla::document;
    using QsciScintilla::setDocument;

    void accessibilityActiveChanged(bool active) override;
    void postAnnouncements();
    void postIndexBuild();
    void noteChange(int position, int type, const char *text, int length);
    bool replaceWhole(const QByteArray &utf8, bool undoable);
    // Runs QScintilla's handling of an input event, which copies the
    // selection as it changes and when it is deleted: without the memory for
    // that it ends early, and the editor says so (inputRefused()) instead of
    // the program ending.
    void withRoom(const std::function<void()> &handle, bool mayDeleteSelection = false);
    // Puts a text into the emptied document, with room for edits after it;
    // `told`, if set, hears how many of its bytes are in now and then.
    void fillEmptied(QByteArrayView utf8, const std::function<void(qint64, qint64)> &told = {});

    // A whole-text change made edit by edit is one undo step of the editor's
    // own: Scintilla keeps only a container action whose token names the
    // step, instead of an action with a copy of the bytes for every removal
    // and insertion (on a 1 GB text, millions of them). Scintilla refuses
    // changes to the text while it undoes or redoes, so it only reports the
    // step (SC_MOD_CONTAINER), and the edits are made right after its undo
    // or redo returns: from undo(), redo(), the key and the context menu
    // handlers, or, for any other way in, once control is back in the event
    // loop. Inside an undo group of Scintilla's the step would be undone
    // after the group's other actions, so none is open when one is added.
    struct EditsStep {
        TextEdits edits;    // positions in the text before the change
        QByteArray removed; // the bytes the edits took away, one after another
        bool undone = false;
    };
    // The edits one by one, as an undo step of the editor's own; told, if
    // set, hears how many are made. False when the memory for them cannot be
    // had: nothing is changed then.
    bool applyEdits(TextEdits edits, const std::function<void(qint64, qint64)> &told);
    // Makes a step's edits on the text before it, or undoes them on the text
    // after it, with no undo actions and no modification events; gives the
    // position for the caret after an undo or redo.
    long makeEdits(const EditsStep &step, bool undoing,
                   const std::function<void(qint64, qint64)> &told);
    // makeEdits() for many edits: the text remade a piece at a time; told,
    // if set, hears how many of the old text's bytes are through.
    void remakeInPieces(const EditsStep &step, bool undoing,
                        const std::function<void(qint64, qint64)> &told);
    // Whether the memory for makeEdits() can be had (and for the bytes the
    // edits take away, while the step is not made yet).
    bool roomForEdits(const EditsStep &step, bool undoing, qsizetype removing);
    void stepReported(int token, bool undone);
    void makeReportedStep();
    // Scintilla drops its redo steps when a new action comes; the editor's
    // own undone steps go with them. Emptying the undo history drops all.
    void dropUndoneSteps();
    void forgetEditsSteps();
    void setUpDocument();
    void countAsStyled();
    // Gives the words of very long lines alternating styles so that Scintilla
    // lays them out quickly; a document without styles is first moved to one
    // with styles if it may be.
    void styleLongLines(bool mayMoveDocument);
    bool moveToStyledDocument();
    void afterWholeReplacement(long linesBefore);
    void selectRange(long anchor, long caret);

    std::function<void()> m_enterHandler;
    StepProgress m_stepProgress;
    RoomCheck m_roomCheck;
    TextIndex m_index{*this};
    // Whether an assistive technology listens, what it is told of edits and
    // caret moves, and whether that and a textChanged() are on their way.
    bool m_accessible = false;
    EditorAnnouncements m_announcements{*this};
    bool m_announcementsPosted = false;
    bool m_textChangedPosted = false;
    bool m_indexBuildPosted = false;
    // The document QsciScintilla created and still believes it shows; kept
    // alive and put back on destruction so its bookkeeping stays sound.
    void *m_qsciDocument = nullptr;
    // The document the editor shows: without styles, unless the text has very
    // long lines (see styleLongLines()).
    void *m_ownDocument = nullptr;
    // Scintilla's loader of the document being loaded in pieces, if any.
    void *m_loader = nullptr;
    // The editor's own undo steps by token, and the undo or redo of one that
    // Scintilla has reported and that is still to be made (token 0: none).
    std::unordered_map<int, EditsStep> m_editsSteps;
    int m_lastToken = 0;
    int m_undoneSteps = 0;
    int m_reportedToken = 0;
    bool m_reportedUndo = false;
    bool m_reportedStepPosted = false;
    // Set while a refused undo or redo is taken back (see makeReportedStep()).
    bool m_takingBack = false;
};

} // namespace kelo
