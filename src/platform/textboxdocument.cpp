// The editor control's document: how it is set up, how a whole text goes in,
// and how the control learns of edits (see scintillacalls.h for why each is
// done this way).
#include "platform/textbox.h"

#include "platform/editordescription.h"
#include "platform/longlines.h"
#include "platform/memoryroom.h"
#include "platform/scintillacalls.h"
#include "platform/workprogress.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <limits>
#include <system_error>
#include <utility>

namespace kelo {

using namespace sci;

namespace {

// Runs `work` once control is back in the event loop, once for however
// often it was asked for until then; `posted` says whether it is on its way.
template <typename Work>
void postOnce(QObject *editor, bool &posted, Work work)
{
    if (posted)
        return;
    posted = true;
    QMetaObject::invokeMethod(
        editor,
        [&posted, work] {
            posted = false;
            work();
        },
        Qt::QueuedConnection);
}

// Every editor is described by an EditorDescription of its own, which counts
// nothing from the start of the text (QScintilla's description does, on
// every caret move and edit: see editordescription.h).
QAccessibleInterface *describeEditor(const QString &className, QObject *object)
{
    // Asked once per class of the object, the most derived first.
    if (className != QLatin1String(TextBox::staticMetaObject.className()))
        return nullptr;
    auto *editor = qobject_cast<TextBox *>(object);
    return editor ? new EditorDescription(editor) : nullptr;
}

} // namespace

TextBox::TextBox(QWidget *parent)
    : QsciScintilla(parent)
{
    static const bool described = [] {
        QAccessible::installFactory(describeEditor);
        return true;
    }();
    Q_UNUSED(described);
    // Without a lexer every character has style 0, so the style byte that a
    // default document keeps per text byte is dead weight: on a 20 MB file
    // it is 20 MB. The editor gets a document without styles instead, unless
    // a text has very long lines (see styleLongLines()).
    m_qsciDocument = SendScintillaPtrResult(SCI_GETDOCPOINTER);
    SendScintilla(SCI_ADDREFDOCUMENT, 0, m_qsciDocument);
    m_ownDocument =
        reinterpret_cast<void *>(send(*this, SCI_CREATEDOCUMENT, 0, SC_DOCUMENTOPTION_STYLES_NONE));
    SendScintilla(SCI_SETDOCPOINTER, 0, m_ownDocument);
    SendScintilla(SCI_RELEASEDOCUMENT, 0, m_ownDocument); // the editor holds it now

    m_roomCheck = memoryRoomFor;
    setUpDocument();
    send(*this, SCI_SETPASTECONVERTENDINGS, 1);
    // Scintilla keeps the measured widths of short pieces of text; a long
    // line's words and pieces of words (see styleLongLines()), in two
    // styles, outnumber its default 1024 places.
    send(*this, SCI_SETPOSITIONCACHE, 65536);

    setWrapMode(WrapNone);
    setFolding(NoFoldStyle);
    setBraceMatching(NoBraceMatch);
    setAutoCompletionSource(AcsNone);
    setAutoIndent(false);
    setCaretLineVisible(false);
    setIndentationGuides(false);
    const long margins = send(*this, SCI_GETMARGINS);
    for (long margin = 0; margin < margins; ++margin)
        send(*this, SCI_SETMARGINWIDTHN, static_cast<unsigned long>(margin), 0);
    send(*this, SCI_SETHSCROLLBAR, 1);
    send(*this, SCI_SETVSCROLLBAR, 1);
    // The horizontal scroll bar follows the longest line drawn so far instead
    // of Scintilla's fixed 2000 pixels.
    send(*this, SCI_SETSCROLLWIDTH, 1);
    send(*this, SCI_SETSCROLLWIDTHTRACKING, 1);

    const QPalette colors = palette();
    SendScintilla(SCI_SETSELFORE, 1, colors.color(QPalette::Active, QPalette::HighlightedText));
    SendScintilla(SCI_SETSELBACK, 1, colors.color(QPalette::Active, QPalette::Highlight));
    setEditorFont(QApplication::font());
    setBackColor(colors.color(QPalette::Active, QPalette::Base));
    setTextColor(colors.color(QPalette::Active, QPalette::Text));

    // QScintilla answers every insertion and deletion it is told of after
    // the fact by counting the characters from the start of the text up to
    // the edit, for assistive technologies: on a 20 MB text each key typed
    // near its end took a tenth of a second. So the editor is told of edits
    // only before they happen, and tells assistive technologies itself.
    // It also hears of the undo and redo of its own undo steps (EditsStep).
    send(*this, SCI_SETMODEVENTMASK, SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE | SC_MOD_CONTAINER);
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int type, const char *text, int length, int, int, int, int,
                   int token, int) {
                if ((type & SC_MOD_CONTAINER) != 0)
                    stepReported(token, (type & SC_PERFORMED_UNDO) != 0);
                else
                    noteChange(position, type, text, length);
            });
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this] {
        if (m_accessible)
            postAnnouncements();
    });
    accessibilityActiveChanged(QAccessible::isActive());
    QAccessible::installActivationObserver(this);

    // QsciScintilla answers every caret move with the caret's line and
    // column for its cursorPositionChanged(), counting the column character
    // by character from the start of the line: at the end of a line of 10 MB
    // that is a tenth of a second per key. The editor keeps its own caret
    // readout and matches no braces, so that answer is not wanted.
    disconnect(this, SIGNAL(SCN_UPDATEUI(int)), this, SLOT(handleUpdateUI(int)));
    // Scintilla asks for the text to be styled before it draws or scrolls,
    // from the first byte changed since the last styling. Nothing styles the
    // text by what it says here (the word styles of long lines are given once,
    // and typed text keeps its neighbours' look), so all of it counts as
    // styled whenever Scintilla asks (see also paintEvent()).
    connect(this, &QsciScintillaBase::SCN_STYLENEEDED, this, [this] { countAsStyled(); });
}

void TextBox::countAsStyled()
{
    // Only moves Scintilla's mark of how far the text is styled.
    const long length = send(*this, SCI_GETLENGTH);
    if (send(*this, SCI_GETENDSTYLED) < length)
        send(*this, SCI_STARTSTYLING, static_cast<unsigned long>(length));
}

void TextBox::paintEvent(QPaintEvent *event)
{
    // Before drawing, Scintilla styles what changed since it last drew, and
    // each time it has to, it makes the next drawing compare the laid-out
    // copy of every line shown with the text, byte by byte: a tenth of a
    // second per key in a line of 10 MB. Counting the text as styled first
    // spares that.
    countAsStyled();
    QsciScintilla::paintEvent(event);
}

void TextBox::setUpDocument()
{
    // Code page, line ends and tabs belong to the document, so they are set
    // whenever the editor shows a new one.
    send(*this, SCI_SETCODEPAGE, SC_CP_UTF8);
    send(*this, SCI_SETEOLMODE, SC_EOL_CRLF);
    send(*this, SCI_SETTABWIDTH, 8);
    send(*this, SCI_SETUSETABS, 1);
}

TextBox::~TextBox()
{
    abandonLoad();
    // Switching documents below must not reach this half-destroyed object.
    QAccessible::removeActivationObserver(this);
    disconnect(this, &QsciScintillaBase::SCN_MODIFIED, this, nullptr);
    if (SendScintillaPtrResult(SCI_GETDOCPOINTER) == m_ownDocument)
        SendScintilla(SCI_SETDOCPOINTER, 0, m_qsciDocument);
    SendScintilla(SCI_RELEASEDOCUMENT, 0, m_qsciDocument);
}

namespace {
// Room left over for the first edits after a text went in whole: Scintilla
// moves the whole text to a bigger buffer when an insertion would fill its
// room exactly, and on this machine a gigabyte copied into fresh memory
// took 4 s. So the room grows with the text: typing never fills it, and a
// tool that makes the text up to 3 % longer finds it.
constexpr qsizetype editRoom = 64 * 1024;
qsizetype roomFor(qsizetype bytes)
{
    return std::max(editRoom, std::min(bytes / 32, std::numeric_limits<int>::max() - bytes));
}

// What Scintilla keeps for a line: where it starts, and room for the starts
// to grow into, since they are moved to a bigger block as they grow.
constexpr qsizetype bytesPerLine = 2 * qsizetype(sizeof(qptrdiff));
qsizetype lineRoom(qsizetype lines)
{
    return bytesPerLine * (lines + 1);
}
qsizetype linesIn(QByteArrayView utf8)
{
    return std::count(utf8.begin(), utf8.end(), '\n');
}
// Big texts go in a piece of about this size at a time.
constexpr qsizetype textPiece = 16 * 1024 * 1024;
} // namespace

void TextBox::fillEmptied(QByteArrayView utf8, const std::function<void(qint64, qint64)> &told)
{
    // Scintilla frees its buffer when the whole text goes and makes a new one
    // just big enough for the next insertion: the room is reserved in between.
    send(*this, SCI_ALLOCATE, static_cast<unsigned long>(utf8.size() + roomFor(utf8.size())));
    if (!told) {
        sendBytes(*this, SCI_ADDTEXT, utf8.data(), utf8.size());
        return;
    }
    // Whoever is told hears how far the text is, a piece at a time; a piece
    // ends after a line feed, never inside a CR LF pair or a character.
    for (qsizetype done = 0; done < utf8.size();) {
        qsizetype end = utf8.size();
        if (end - done > textPiece) {
            const char *from = utf8.data() + done + textPiece - 1;
            const auto *lf = static_cast<const char *>(
                std::memchr(from, '\n', size_t(utf8.data() + utf8.size() - from)));
            if (lf != nullptr)
                end = lf + 1 - utf8.data();
        }
        sendBytes(*this, SCI_ADDTEXT, utf8.data() + done, end - done);
        done = end;
        told(done, utf8.size());
    }
}

bool TextBox::replaceWhole(const QByteArray &utf8, bool undoable)
{
    const qsizetype length = send(*this, SCI_GETLENGTH);
    // An undoable replacement is a step of the editor's own, which keeps the
    // new text as it is given and a copy of the old one (Scintilla's step
    // would copy both). Undoing or redoing it then asks for its memory
    // first and shows how far it is, as a tool's step does.
    if (undoable)
        return applyEdits(TextEdits::replacingAll(length, utf8), {});
    // The new text's room in Scintilla's buffer and its lines.
    if (!m_roomCheck({utf8.size() + roomFor(utf8.size()), lineRoom(linesIn(utf8))}))
        return false;
    const WritableScope writable(*this);
    const long linesBefore = send(*this, SCI_GETLINECOUNT);
    // QScintilla copies every inserted and deleted text for its SCN_MODIFIED
    // signal and converts it to a QString for accessibility: for a whole text
    // that triples the memory for a moment. The notifications stay off while
    // the text is swapped, and the signals are sent here afterwards.
    const long eventMask = send(*this, SCI_GETMODEVENTMASK);
    send(*this, SCI_SETMODEVENTMASK, 0);
    m_index.beforeWholeReplacement();
    send(*this, SCI_SETUNDOCOLLECTION, 0);
    send(*this, SCI_CLEARALL);
    fillEmptied(utf8);
    send(*this, SCI_SETUNDOCOLLECTION, 1);
    send(*this, SCI_EMPTYUNDOBUFFER);
    forgetEditsSteps();
    send(*this, SCI_SETSAVEPOINT);
    send(*this, SCI_SETMODEVENTMASK, eventMask);
    styleLongLines(true);
    afterWholeReplacement(linesBefore);
    return true;
}

namespace {
// Whether the one edit of a step takes the whole text of `length` bytes away
// (when undoing: what it put in is the whole text).
bool replacesAll(const TextEdits &edits, bool undoing, qsizetype length)
{
    if (edits.size() != 1)
        return false;
    const TextEdits::Edit edit = edits[0];
    return edit.at == 0 && (undoing ? edit.inserted.size() : edit.removed) == length;
}
// Edits are told this many at a time, a few hundredths of a second at 1 GB;
// fewer are not told at all.
constexpr qsizetype editsTold = 16 * 1024;
// Scintilla takes about a microsecond for an edit, as long as copying a few
// hundred bytes of text takes: with more edits than one in this many bytes,
// the whole text goes in instead.
constexpr qsizetype bytesPerEdit = 200;
} // namespace

bool TextBox::replaceAllUtf8(TextEdits edits, const std::function<void(qint64, qint64)> &told)
{
    // Whoever is told hears of many edits before the text changes, while
    // anything may still run.
    const bool telling = told && edits.size() > editsTold;
    // A whole replacement's undo step holds the old and the new text.
    const qsizetype length = send(*this, SCI_GETLENGTH);
    const qsizetype newLength = length + edits.insertedBytes() - edits.removedBytes();
    if (edits.undoCost() >= 2 * length + edits.insertedBytes() - edits.removedBytes()) {
        // The new text is built first, beside the old one.
        if (!m_roomCheck({newLength}))
            return false;
        if (telling)
            told(0, 1);
        const bool replaced = replaceWhole(edits.appliedTo(utf8View()), true);
        if (telling)
            told(1, 1);
        return replaced;
    }
    if (telling)
        told(0, edits.size());
    return applyEdits(std::move(edits), telling ? told : nullptr);
}

bool TextBox::applyEdits(TextEdits edits, const std::function<void(qint64, qint64)> &told)
{
    EditsStep step{std::move(edits), {}, false};
    if (!roomForEdits(step, false, step.edits.removedBytes()))
        return false;
    const WritableScope writable(*this);
    const bool wasModified = send(*this, SCI_GETMODIFY) != 0;
    step.removed = step.edits.removedFrom(utf8View());
    makeEdits(step, false, told);
    const qsizetype edited = step.edits.size();
    if (edited == 0) // no change, no undo step
        return true;
    // Adding the step drops Scintilla's redo steps, and the editor's with them.
    dropUndoneSteps();
    const int token = ++m_lastToken;
    send(*this, SCI_ADDUNDOACTION, static_cast<unsigned long>(token), 0);
    m_editsSteps.emplace(token, std::move(step));
    // Scintilla does not say when a container action leaves the saved state
    // (QsciScintilla keeps its modified flag by what it is told).
    if (!wasModified && send(*this, SCI_GETMODIFY) != 0)
        Q_EMIT SCN_SAVEPOINTLEFT();
    return true;
}

namespace {
// A step's edits one after another as they go on the text the editor holds:
// the text before the change when they are made, the one after it when they
// are undone. Their positions are the held text's.
class HeldEdits {
public:
    HeldEdits(const TextEdits &edits, QByteArrayView removed, bool undoing)
        : m_edits(edits)
        , m_removed(removed)
        , m_undoing(undoing)
    {
        take();
    }
    bool atEnd() const { return m_next > m_edits.size(); }
    const TextEdits::Edit &current() const { return m_current; }
    void advance() { take(); }

private:
    void take()
    {
        if (m_next == m_edits.size()) {
            ++m_next;
            return;
        }
        const TextEdits::Edit edit = m_edits[m_next++];
        if (!m_undoing) {
            m_current = edit;
            return;
        }
        // Undone, an edit takes away what it put in, from where it stands
        // after the edits before it, and puts back what it took away.
        m_current = {edit.at + m_shift, edit.inserted.size(),
                     m_removed.sliced(m_taken, edit.removed)};
        m_shift += edit.inserted.size() - edit.removed;
        m_taken += edit.removed;
    }

    const TextEdits &m_edits;
    QByteArrayView m_removed;
    bool m_undoing;
    qsizetype m_next = 0;
    qsizetype m_shift = 0;
    qsizetype m_taken = 0;
    TextEdits::Edit m_current{};
};

// The most the held text grows by on the way through a step's edits.
qsizetype mostGrowth(const TextEdits &edits, QByteArrayView removed, bool undoing)
{
    qsizetype growth = 0;
    qsizetype most = 0;
    for (HeldEdits held(edits, removed, undoing); !held.atEnd(); held.advance()) {
        growth += held.current().inserted.size() - held.current().removed;
        most = std::max(most, growth);
    }
    return most;
}
} // namespace

bool TextBox::roomForEdits(const EditsStep &step, bool undoing, qsizetype removing)
{
    const TextEdits &edits = step.edits;
    const qsizetype length = send(*this, SCI_GETLENGTH);
    const qsizetype newLength =
        length + (edits.insertedBytes() - edits.removedBytes()) * (undoing ? -1 : 1);
    // The line breaks that go in.
    qsizetype breaks = 0;
    if (undoing) {
        breaks = linesIn(step.removed);
    } else {
        for (qsizetype i = 0; i < edits.size(); ++i)
            breaks += linesIn(edits[i].inserted);
    }
    // As makeEdits() goes: the new text put into a new buffer as it is kept
    // (the old lines go first), or a piece at a time in a buffer grown for
    // the most the text grows by on the way, or the buffer grown for the
    // edits.
    if (replacesAll(edits, undoing, length))
        return m_roomCheck({removing, newLength + roomFor(newLength), lineRoom(breaks)});
    const qsizetype lines = lineRoom(send(*this, SCI_GETLINECOUNT) + breaks);
    if (edits.size() > length / bytesPerEdit) {
        const qsizetype inserting = undoing ? step.removed.size() : edits.insertedBytes();
        const qsizetype growth = mostGrowth(edits, step.removed, undoing);
        return m_roomCheck({removing, std::min(length, textPiece) + inserting,
                            growth > 0 ? length + growth + editRoom : 0, lines});
    }
    return m_roomCheck({removing, newLength > length ? newLength + editRoom : 0, lines});
}

void TextBox::remakeInPieces(const EditsStep &step, bool undoing,
                             const std::function<void(qint64, qint64)> &told)
{
    // The text is remade from its start a piece at a time: the piece's new
    // bytes, made of its old ones and the edits in it, replace it, and the
    // rest of the text stays as it was behind them. Scintilla's buffer has
    // its gap just behind the new bytes, so nothing but the first piece
    // moves the text, and the old and the new text are never held whole side
    // by side. The buffer is first given room for the most the text grows by
    // on the way, since Scintilla would otherwise move it to a bigger one
    // while a piece goes in.
    const qsizetype length = send(*this, SCI_GETLENGTH);
    const qsizetype growth = mostGrowth(step.edits, step.removed, undoing);
    if (growth > 0)
        send(*this, SCI_ALLOCATE, static_cast<unsigned long>(length + growth + editRoom));
    QByteArray piece;
    HeldEdits edits(step.edits, step.removed, undoing);
    qsizetype source = 0; // where the rest of the old text starts in it
    qsizetype target = 0; // and where it stands in the document now
    while (source < length || !edits.atEnd()) {
        const char *rest =
            rangePointer(*this, static_cast<long>(target), static_cast<long>(length - source));
        // A piece ends after the edits that begin in it, and the last one
        // takes those at the very end of the text as well.
        qsizetype end = std::min(length, source + textPiece);
        qsizetype from = source;
        piece.resize(0);
        while (!edits.atEnd() && (edits.current().at < end || end == length)) {
            const TextEdits::Edit &edit = edits.current();
            piece.append(rest + (from - source), edit.at - from);
            piece.append(edit.inserted);
            from = edit.at + edit.removed;
            end = std::max(end, from);
            edits.advance();
        }
        piece.append(rest + (from - source), end - from);
        send(*this, SCI_SETTARGETRANGE, static_cast<unsigned long>(target),
             static_cast<long>(target + end - source));
        sendBytes(*this, SCI_REPLACETARGET, piece.constData(), piece.size());
        target += piece.size();
        source = end;
        if (told && length > 0)
            told(source, length);
    }
}

long TextBox::makeEdits(const EditsStep &step, bool undoing,
                        const std::function<void(qint64, qint64)> &told)
{
    // As replaceWhole() does, for the same reasons: no modification events
    // (each edit would be copied for them), the indexes rebuilt afterwards.
    const WritableScope writable(*this);
    const long linesBefore = send(*this, SCI_GETLINECOUNT);
    const long eventMask = send(*this, SCI_GETMODEVENTMASK);
    send(*this, SCI_SETMODEVENTMASK, 0);
    m_index.beforeWholeReplacement();
    const TextEdits &edits = step.edits;
    const qsizetype length = send(*this, SCI_GETLENGTH);
    send(*this, SCI_SETUNDOCOLLECTION, 0);
    if (replacesAll(edits, undoing, length)) {
        // The whole text replaced: what goes in is kept by the step as it is.
        send(*this, SCI_DELETERANGE, 0, length);
        fillEmptied(undoing ? QByteArrayView(step.removed) : edits[0].inserted, told);
    } else if (edits.size() > length / bytesPerEdit) {
        // Many edits: the text is remade a piece at a time, which costs
        // little more than copying it.
        remakeInPieces(step, undoing, told);
    } else {
        // A text that grows is given its room at once: growing it edit by
        // edit moves it to a bigger buffer again and again.
        const qsizetype growth = (edits.insertedBytes() - edits.removedBytes()) * (undoing ? -1 : 1);
        if (growth > 0)
            send(*this, SCI_ALLOCATE, static_cast<unsigned long>(length + growth + editRoom));
        // Each edit's position in the held text is shifted by what the
        // edits before it took away and put in.
        qsizetype shift = 0;
        qsizetype made = 0;
        for (HeldEdits held(edits, step.removed, undoing); !held.atEnd(); held.advance()) {
            const TextEdits::Edit &edit = held.current();
            const auto at = static_cast<unsigned long>(edit.at + shift);
            if (edit.inserted.isEmpty()) {
                send(*this, SCI_DELETERANGE, at, static_cast<long>(edit.removed));
            } else {
                send(*this, SCI_SETTARGETRANGE, at, static_cast<long>(at + edit.removed));
                sendBytes(*this, SCI_REPLACETARGET, edit.inserted.data(), edit.inserted.size());
            }
            shift += edit.inserted.size() - edit.removed;
            if (told && ++made % editsTold == 0)
                told(made, edits.size());
        }
    }
    send(*this, SCI_SETUNDOCOLLECTION, 1);
    send(*this, SCI_SETMODEVENTMASK, eventMask);
    styleLongLines(false);
    afterWholeReplacement(linesBefore);
    if (told)
        told(edits.size(), edits.size());
    // Where Scintilla leaves the caret after undoing or redoing edits of its
    // own: after the first one undone, after the last one made.
    if (edits.isEmpty())
        return 0;
    if (undoing)
        return static_cast<long>(edits[0].at + edits[0].removed);
    const TextEdits::Edit last = edits[edits.size() - 1];
    return static_cast<long>(last.at + last.removed + edits.insertedBytes() - edits.removedBytes());
}

void TextBox::stepReported(int token, bool undone)
{
    if (m_takingBack)
        return;
    m_reportedToken = token;
    m_reportedUndo = undone;
    // Undo and redo reach the editor by more ways than it hears of.
    postOnce(this, m_reportedStepPosted, [this] { makeReportedStep(); });
}

void TextBox::makeReportedStep()
{
    if (m_reportedToken == 0)
        return;
    const auto found = m_editsSteps.find(std::exchange(m_reportedToken, 0));
    if (found == m_editsSteps.end())
        return;
    EditsStep &step = found->second;
    if (!roomForEdits(step, m_reportedUndo, 0)) {
        // Scintilla has gone past the step already: it goes back, and the
        // report of that is no step to make.
        const WritableScope writable(*this);
        m_takingBack = true;
        send(*this, m_reportedUndo ? SCI_REDO : SCI_UNDO);
        m_takingBack = false;
        Q_EMIT stepRefused(m_reportedUndo);
        return;
    }
    // What the step costs: the whole text copied, or about as much per edit
    // (see bytesPerEdit), whichever way makeEdits() goes; a whole text
    // replaced costs the text that goes in.
    const qsizetype length = send(*this, SCI_GETLENGTH);
    const qsizetype cost = replacesAll(step.edits, m_reportedUndo, length)
                               ? (m_reportedUndo ? step.removed.size() : step.edits.insertedBytes())
                               : std::min<qsizetype>(length, step.edits.size() * bytesPerEdit);
    const std::unique_ptr<WorkProgress> progress =
        m_stepProgress ? m_stepProgress(m_reportedUndo, cost) : nullptr;
    WorkMeter meter(progress.get(), std::max<qsizetype>(cost, 1));
    const auto told = meter.unstoppableRest();
    if (progress)
        told(0, 1); // the box comes up before the text changes
    const long caret = makeEdits(step, m_reportedUndo, progress ? told : nullptr);
    send(*this, SCI_GOTOPOS, static_cast<unsigned long>(caret));
    if (step.undone != m_reportedUndo)
        m_undoneSteps += m_reportedUndo ? 1 : -1;
    step.undone = m_reportedUndo;
}

void TextBox::dropUndoneSteps()
{
    if (m_undoneSteps == 0)
        return;
    std::erase_if(m_editsSteps, [](const auto &entry) { return entry.second.undone; });
    m_undoneSteps = 0;
}

void TextBox::forgetEditsSteps()
{
    m_editsSteps.clear();
    m_undoneSteps = 0;
    m_reportedToken = 0;
}

namespace {
// Lines from this length on get word styles (see longlines.h); a shorter
// line is laid out again within a few hundredths of a second anyway.
constexpr qsizetype longLine = 32 * 1024;
// A bigger text keeps its document without styles, since the style buffer
// costs as much memory as the text itself.
constexpr qsizetype mostStyled = 256 * 1024 * 1024;
// The styles are handed over in pieces of this size.
constexpr qsizetype stylePiece = 1024 * 1024;
} // namespace

void TextBox::styleLongLines(bool mayMoveDocument)
{
    const qsizetype length = send(*this, SCI_GETLENGTH);
    if (length > mostStyled)
        return;
    const auto text = [this] {
        return static_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    };
    const std::vector<LineSpan> lines = longLines(QByteArrayView(text(), length), longLine);
    if (lines.empty())
        return;
    if ((send(*this, SCI_GETDOCUMENTOPTIONS) & SC_DOCUMENTOPTION_STYLES_NONE) != 0 &&
        (!mayMoveDocument || !moveToStyledDocument()))
        return;
    const char *bytes = text();
    QByteArray styles(stylePiece, Qt::Uninitialized);
    for (const LineSpan &line : lines) {
        WordStyles words;
        send(*this, SCI_STARTSTYLING, static_cast<unsigned long>(line.start));
        for (qsizetype done = 0; done < line.length; done += stylePiece) {
            const qsizetype piece = std::min(stylePiece, line.length - done);
            words.next(QByteArrayView(bytes + line.start + done, piece), styles.data());
            sendBytes(*this, SCI_SETSTYLINGEX, styles.constData(), piece);
        }
    }
}

bool TextBox::moveToStyledDocument()
{
    // Called right after a whole text went in, with no undo steps to keep.
    const long length = send(*this, SCI_GETLENGTH);
    // The new document's text and style buffers, and its lines.
    const qsizetype buffer = length + roomFor(length);
    if (!m_roomCheck({buffer, buffer, lineRoom(send(*this, SCI_GETLINECOUNT))}))
        return false;
    void *lean = m_ownDocument;
    SendScintilla(SCI_ADDREFDOCUMENT, 0, lean); // its bytes are copied from below
    const char *text = static_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    void *styled = reinterpret_cast<void *>(send(*this, SCI_CREATEDOCUMENT,
                                                 static_cast<unsigned long>(length + roomFor(length)),
                                                 SC_DOCUMENTOPTION_DEFAULT));
    bool moved = false;
    if (styled) {
        SendScintilla(SCI_SETDOCPOINTER, 0, styled);
        SendScintilla(SCI_RELEASEDOCUMENT, 0, styled); // the editor holds it now
        setUpDocument();
        const long eventMask = send(*this, SCI_GETMODEVENTMASK);
        send(*this, SCI_SETMODEVENTMASK, 0);
        send(*this, SCI_SETUNDOCOLLECTION, 0);
        sendBytes(*this, SCI_ADDTEXT, text, length);
        send(*this, SCI_SETUNDOCOLLECTION, 1);
        send(*this, SCI_EMPTYUNDOBUFFER);
        forgetEditsSteps();
        send(*this, SCI_SETSAVEPOINT);
        send(*this, SCI_SETMODEVENTMASK, eventMask);
        moved = send(*this, SCI_GETLENGTH) == length;
        if (moved) {
            m_ownDocument = styled;
        } else { // short of memory: the text stays where it was
            SendScintilla(SCI_SETDOCPOINTER, 0, lean);
            setUpDocument();
        }
    }
    SendScintilla(SCI_RELEASEDOCUMENT, 0, lean);
    return moved;
}

qsizetype TextBox::longestLoad()
{
    // The editor counts positions and offsets in int; the room left for the
    // first edits must fit too.
    return std::numeric_limits<int>::max() - editRoom;
}

bool TextBox::beginLoad(qsizetype bytes, const std::function<bool()> &meanwhile)
{
    abandonLoad();
    if (bytes < 0 || bytes > longestLoad())
        return false;
    // The room is reserved once. Scintilla grows its buffer, copying the
    // whole text, when an insertion would fill it exactly, and reading the
    // text takes a byte of room too: some room is left over for the first
    // edits.
    const auto room = static_cast<unsigned long>(bytes + roomFor(bytes));
    const auto makeLoader = [this, room] {
        return reinterpret_cast<void *>(
            send(*this, SCI_CREATELOADER, room, SC_DOCUMENTOPTION_STYLES_NONE));
    };
    // Scintilla fills the room with zeros as it reserves it: for a text of a
    // gigabyte the kernel takes seconds to hand out that many fresh pages,
    // and the window would stand frozen meanwhile. The loader is a document
    // of its own, which nothing else knows of or touches until finishLoad()
    // shows it, so it is made on a thread of its own while the window runs.
    // A lack of memory there comes back here, as it would have.
    std::future<void *> made;
    try {
        if (meanwhile)
            made = std::async(std::launch::async, makeLoader);
    } catch (const std::system_error &) { // no thread to be had
    }
    if (!made.valid()) {
        m_loader = makeLoader();
        return m_loader != nullptr;
    }
    bool goOn = true;
    do {
        goOn = meanwhile() && goOn;
    } while (made.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready);
    m_loader = made.get();
    if (!goOn)
        abandonLoad();
    return m_loader != nullptr;
}

bool TextBox::appendLoad(QByteArrayView utf8)
{
    if (!m_loader)
        return false;
    if (utf8.isEmpty())
        return true;
    if (static_cast<Loader *>(m_loader)->AddData(utf8.data(), utf8.size()) == SC_STATUS_OK)
        return true;
    abandonLoad();
    return false;
}

void TextBox::abandonLoad()
{
    if (m_loader)
        static_cast<Loader *>(std::exchange(m_loader, nullptr))->Release();
}

void TextBox::finishLoad()
{
    if (!m_loader)
        return;
    void *document = static_cast<Loader *>(std::exchange(m_loader, nullptr))->ConvertToDocument();
    const long linesBefore = send(*this, SCI_GETLINECOUNT);
    const bool readOnly = send(*this, SCI_GETREADONLY) != 0;
    m_index.beforeWholeReplacement();
    SendScintilla(SCI_SETDOCPOINTER, 0, document);
    SendScintilla(SCI_RELEASEDOCUMENT, 0, document); // the editor holds it now
    m_ownDocument = document;
    setUpDocument();
    styleLongLines(true);
    send(*this, SCI_SETREADONLY, readOnly ? 1 : 0);
    // A loader's document collects no undo steps while it is filled.
    send(*this, SCI_SETUNDOCOLLECTION, 1);
    send(*this, SCI_EMPTYUNDOBUFFER);
    forgetEditsSteps();
    send(*this, SCI_SETSAVEPOINT);
    afterWholeReplacement(linesBefore);
}

void TextBox::afterWholeReplacement(long linesBefore)
{
    m_index.afterWholeReplacement();
    postIndexBuild();
    if (m_accessible) {
        m_announcements.textReplaced();
        postAnnouncements();
    }

    send(*this, SCI_SETSCROLLWIDTH, 1);
    send(*this, SCI_GOTOPOS, 0);
    Q_EMIT textChanged();
    if (send(*this, SCI_GETLINECOUNT) != linesBefore)
        Q_EMIT linesChanged();
}

void TextBox::postIndexBuild()
{
    // Both indexes take a pass over the text, which would make loading slower
    // than the insertion itself if it were done then, and a text that is only
    // loaded, shown and saved never needs them. Building them right after the
    // text is shown keeps loading quick and the first click or search after
    // it as quick as any later one.
    postOnce(this, m_indexBuildPosted, [this] { m_index.build(); });
}

void TextBox::accessibilityActiveChanged(bool active)
{
    m_accessible = active;
    if (active) {
        // Whoever listens now learns the caret anew.
        m_announcements.textReplaced();
        postAnnouncements();
    }
}

void TextBox::postAnnouncements()
{
    postOnce(this, m_announcementsPosted, [this] {
        if (m_accessible)
            m_announcements.send();
    });
}

void TextBox::noteChange(int position, int type, const char *text, int length)
{
    const bool insertion = (type & SC_MOD_BEFOREINSERT) != 0;
    if (!insertion && (type & SC_MOD_BEFOREDELETE) == 0)
        return;
    // An edit of the user's own comes with an undo action, before which
    // Scintilla drops its redo steps.
    if ((type & SC_PERFORMED_USER) != 0)
        dropUndoneSteps();
    if (m_accessible) {
        // Before the index hears of it, while its offsets are those of the
        // text the edit is made to.
        m_announcements.beforeEdit(position, insertion, text, length);
        postAnnouncements();
    }
    m_index.beforeEdit(position, insertion, text, length);
    // Without the notice after the edit QScintilla does not say that the
    // text changed; that is said once the edits are done.
    postOnce(this, m_textChangedPosted, [this] { Q_EMIT textChanged(); });
}

} // namespace kelo
