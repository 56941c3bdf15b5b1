// The editor control: QScintilla dressed as a Windows multi-line text box.
//
// Scintilla counts bytes of UTF-8 and breaks lines at CR LF, lone CR and lone
// LF alike; the text box counts UTF-16 code units and breaks lines at CR LF
// only. Offsets are converted through Scintilla's UTF-16 line index (constant
// per line), and the few Scintilla lines that end in a lone CR or LF are kept
// in a sorted list, so the CR LF line queries are binary searches.
#include "platform/textbox.h"

#include "platform/codepage.h"
#include "platform/filenames.h"
#include "platform/linebreaks.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kelo {

namespace {

using Sci = QsciScintillaBase;
constexpr long kUtf16Index = Sci::SC_LINECHARACTERINDEX_UTF16;
// Every character is drawn in style 0: the document keeps no styles at all.
constexpr unsigned long kTextStyle = 0;

long send(const Sci &editor, unsigned int msg, unsigned long wParam = 0, long lParam = 0)
{
    return editor.SendScintilla(msg, wParam, lParam);
}

// Messages that take a byte count and a buffer: the count is passed, so NUL
// bytes inside the text go through.
long sendBytes(const Sci &editor, unsigned int msg, const char *data, qsizetype length)
{
    return editor.SendScintilla(msg, static_cast<uintptr_t>(length), data);
}

const char *rangePointer(const Sci &editor, long position, long length)
{
    return reinterpret_cast<const char *>(
        send(editor, Sci::SCI_GETRANGEPOINTER, static_cast<unsigned long>(position), length));
}

QColor colorFromScintilla(long value)
{
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}

const char *findByte(const char *from, const char *end, char byte)
{
    if (from >= end)
        return nullptr;
    return static_cast<const char *>(std::memchr(from, byte, size_t(end - from)));
}

QStringList localFiles(const QMimeData *mime)
{
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile())
            paths.append(localFilePath(url)); // by its bytes: the name may not be UTF-8
    }
    return paths;
}

// A file dropped from a file manager must never be taken as a move: the
// manager would delete the file afterwards.
bool acceptAsCopy(QDropEvent *event)
{
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else if (event->possibleActions() & Qt::LinkAction)
        event->setDropAction(Qt::LinkAction);
    else
        return false;
    event->accept();
    return true;
}

// A drag that carries local files is answered here (as a copy, or refused);
// false for any other drag, which the editor handles as text.
bool takeFileDrag(QDragMoveEvent *event)
{
    if (localFiles(event->mimeData()).isEmpty())
        return false;
    if (!acceptAsCopy(event))
        event->ignore();
    return true;
}

// Programmatic changes go through even when the user may not edit, as with
// a Windows text box.
class WritableScope {
public:
    explicit WritableScope(const Sci &editor)
        : m_editor(editor)
        , m_readOnly(send(editor, Sci::SCI_GETREADONLY) != 0)
    {
        if (m_readOnly)
            send(m_editor, Sci::SCI_SETREADONLY, 0);
    }
    ~WritableScope()
    {
        if (m_readOnly)
            send(m_editor, Sci::SCI_SETREADONLY, 1);
    }
    WritableScope(const WritableScope &) = delete;
    WritableScope &operator=(const WritableScope &) = delete;

private:
    const Sci &m_editor;
    bool m_readOnly;
};

} // namespace

TextBox::TextBox(QWidget *parent)
    : QsciScintilla(parent)
{
    // Without a lexer every character has style 0, so the style byte that a
    // default document keeps per text byte is dead weight: on a 20 MB file
    // it is 20 MB. The editor gets a document without styles instead.
    // QsciScintilla still records the document it made; that one is kept
    // alive and shown again before QsciScintilla's destructor looks at it.
    m_qsciDocument = SendScintillaPtrResult(SCI_GETDOCPOINTER);
    SendScintilla(SCI_ADDREFDOCUMENT, 0, m_qsciDocument);
    m_leanDocument =
        reinterpret_cast<void *>(send(*this, SCI_CREATEDOCUMENT, 0, SC_DOCUMENTOPTION_STYLES_NONE));
    SendScintilla(SCI_SETDOCPOINTER, 0, m_leanDocument);
    SendScintilla(SCI_RELEASEDOCUMENT, 0, m_leanDocument); // the editor holds it now

    // Code page, line ends, tabs and the line index belong to the document,
    // so they are set after the switch.
    send(*this, SCI_SETCODEPAGE, SC_CP_UTF8);
    send(*this, SCI_SETEOLMODE, SC_EOL_CRLF);
    send(*this, SCI_SETPASTECONVERTENDINGS, 1);
    send(*this, SCI_SETTABWIDTH, 8);
    send(*this, SCI_SETUSETABS, 1);
    send(*this, SCI_ALLOCATELINECHARACTERINDEX, kUtf16Index);

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

    // QScintilla answers every insertion and deletion it is told of by
    // counting the characters from the start of the text up to the edit, for
    // assistive technologies: on a 20 MB text each key typed near its end
    // took a tenth of a second. So the editor is told of edits only before
    // they happen, which QScintilla passes on without counting, unless an
    // assistive technology is listening.
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int type, const char *text, int length, int, int, int, int, int,
                   int) { noteChange(position, type, text, length); });
    accessibilityActiveChanged(QAccessible::isActive());
    QAccessible::installActivationObserver(this);
}

TextBox::~TextBox()
{
    // Switching documents below must not reach this half-destroyed object.
    QAccessible::removeActivationObserver(this);
    disconnect(this, &QsciScintillaBase::SCN_MODIFIED, this, nullptr);
    if (SendScintillaPtrResult(SCI_GETDOCPOINTER) == m_leanDocument)
        SendScintilla(SCI_SETDOCPOINTER, 0, m_qsciDocument);
    SendScintilla(SCI_RELEASEDOCUMENT, 0, m_qsciDocument);
}

// ---- Offsets ---------------------------------------------------------------

void TextBox::ensureUtf16Index() const
{
    if (!m_utf16IndexStale)
        return;
    // Only this editor holds the index, so releasing it drops it and the
    // allocation builds it afresh in one pass.
    if (m_utf16IndexHeld)
        send(*this, SCI_RELEASELINECHARACTERINDEX, kUtf16Index);
    send(*this, SCI_ALLOCATELINECHARACTERINDEX, kUtf16Index);
    m_utf16IndexHeld = true;
    m_utf16IndexStale = false;
}

void TextBox::postIndexBuild()
{
    // Both indexes take a pass over the text. Building them right after the
    // text is shown keeps loading quick and the first click or search after
    // it as quick as any later one.
    if (m_indexBuildPosted)
        return;
    m_indexBuildPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_indexBuildPosted = false;
            ensureUtf16Index();
            ensureLoneBreakIndex();
        },
        Qt::QueuedConnection);
}

long TextBox::utf16ToPosition(int offset) const
{
    if (offset <= 0)
        return 0; // the start needs no index (a refresh after loading asks for it)
    ensureUtf16Index();
    offset = std::clamp(offset, 0, textLength());
    const long line =
        send(*this, SCI_LINEFROMINDEXPOSITION, static_cast<unsigned long>(offset), kUtf16Index);
    long remaining = offset - send(*this, SCI_INDEXPOSITIONFROMLINE,
                                   static_cast<unsigned long>(line), kUtf16Index);
    const long lineStart = send(*this, SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    if (remaining == 0)
        return lineStart;
    // Scintilla's own SCI_POSITIONRELATIVECODEUNITS runs on to the end of the
    // document when asked for half a surrogate pair; walking the one line
    // here stops before the pair instead.
    const long lineLength = send(*this, SCI_LINELENGTH, static_cast<unsigned long>(line));
    const auto *bytes =
        reinterpret_cast<const unsigned char *>(rangePointer(*this, lineStart, lineLength));
    long i = 0;
    while (remaining > 0 && i < lineLength) {
        // A byte that does not start a well-formed sequence is a character of
        // its own, as Scintilla counts it.
        const int length = std::max(1, utf8SequenceLength(bytes + i, bytes + lineLength));
        const int units = length == 4 ? 2 : 1;
        if (units > remaining)
            break;
        remaining -= units;
        i += length;
    }
    if (i > 0 && i < lineLength && bytes[i - 1] == '\r' && bytes[i] == '\n')
        --i; // a CR LF pair is never split either
    return lineStart + i;
}

int TextBox::positionToUtf16(long position) const
{
    if (position <= 0)
        return 0;
    ensureUtf16Index();
    position = std::min(position, send(*this, SCI_GETLENGTH));
    const long line = send(*this, SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
    const long lineStart = send(*this, SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    // Counted here rather than with SCI_COUNTCODEUNITS, which takes a
    // noncharacter (U+FFFF and the like) for invalid and counts its bytes one
    // by one, while the line index counts it as one unit, as UTF-16 does: a
    // position after one came out two or three units too far.
    const long lineLength = send(*this, SCI_LINELENGTH, static_cast<unsigned long>(line));
    const auto *bytes =
        reinterpret_cast<const unsigned char *>(rangePointer(*this, lineStart, lineLength));
    const long wanted = position - lineStart;
    long units = 0;
    long i = 0;
    while (i < wanted) {
        const int length = std::max(1, utf8SequenceLength(bytes + i, bytes + lineLength));
        if (i + length > wanted)
            break; // a position inside a character counts as its start
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return int(
        send(*this, SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(line), kUtf16Index) +
        units);
}

int TextBox::textLength() const
{
    ensureUtf16Index();
    // The index has an entry for the end of the last line: the whole length.
    const long lines = send(*this, SCI_GETLINECOUNT);
    return int(std::min<long>(
        send(*this, SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(lines), kUtf16Index),
        std::numeric_limits<int>::max()));
}

// ---- Text ------------------------------------------------------------------

QString TextBox::Text() const
{
    return QString::fromUtf8(utf8View());
}

void TextBox::setText(const QString &text)
{
    replaceWhole(text.toUtf8(), true);
}

QByteArray TextBox::utf8Text() const
{
    return utf8View().toByteArray();
}

QByteArrayView TextBox::utf8View() const
{
    const long length = send(*this, SCI_GETLENGTH);
    const auto *text = static_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return QByteArrayView(text, length);
}

void TextBox::replaceAllUtf8(const QByteArray &utf8)
{
    replaceWhole(utf8, true);
}

void TextBox::loadUtf8(const QByteArray &utf8)
{
    replaceWhole(utf8, false);
}

void TextBox::replaceWhole(const QByteArray &utf8, bool undoable)
{
    const WritableScope writable(*this);
    const long linesBefore = send(*this, SCI_GETLINECOUNT);
    // QScintilla copies every inserted and deleted text for its SCN_MODIFIED
    // signal and converts it to a QString for accessibility: for a whole text
    // that triples the memory for a moment. The notifications stay off while
    // the text is swapped, and the signals are sent here afterwards.
    const long eventMask = send(*this, SCI_GETMODEVENTMASK);
    send(*this, SCI_SETMODEVENTMASK, 0);
    // Indexing the new text in one pass is faster than growing the index line
    // by line during the insertion, and the pass waits until an offset is
    // first asked for: building it takes longer than the insertion itself, and
    // a text that is only loaded, shown and saved never needs it.
    if (m_utf16IndexHeld)
        send(*this, SCI_RELEASELINECHARACTERINDEX, kUtf16Index);
    m_utf16IndexHeld = false;
    if (undoable) {
        send(*this, SCI_BEGINUNDOACTION);
        send(*this, SCI_SETTARGETRANGE, 0, send(*this, SCI_GETLENGTH));
        sendBytes(*this, SCI_REPLACETARGET, utf8.constData(), utf8.size());
        send(*this, SCI_ENDUNDOACTION);
    } else {
        send(*this, SCI_SETUNDOCOLLECTION, 0);
        send(*this, SCI_CLEARALL);
        sendBytes(*this, SCI_ADDTEXT, utf8.constData(), utf8.size());
        send(*this, SCI_SETUNDOCOLLECTION, 1);
        send(*this, SCI_EMPTYUNDOBUFFER);
        send(*this, SCI_SETSAVEPOINT);
    }
    send(*this, SCI_SETMODEVENTMASK, eventMask);
    m_pendingEdit.reset();
    m_loneBreakIndexValid = false;
    m_utf16IndexStale = true;
    postIndexBuild();

    send(*this, SCI_SETSCROLLWIDTH, 1);
    send(*this, SCI_GOTOPOS, 0);
    Q_EMIT textChanged();
    if (send(*this, SCI_GETLINECOUNT) != linesBefore)
        Q_EMIT linesChanged();
}

// ---- Selection -------------------------------------------------------------

int TextBox::SelStart() const
{
    return positionToUtf16(send(*this, SCI_GETSELECTIONSTART));
}

void TextBox::setSelStart(int offset)
{
    const long position = utf16ToPosition(std::max(offset, 0));
    selectRange(position, position);
}

int TextBox::SelLength() const
{
    const long start = send(*this, SCI_GETSELECTIONSTART);
    const long end = send(*this, SCI_GETSELECTIONEND);
    return start == end ? 0 : positionToUtf16(end) - positionToUtf16(start);
}

void TextBox::setSelLength(int length)
{
    const long start = send(*this, SCI_GETSELECTIONSTART);
    const qint64 end = qint64(positionToUtf16(start)) + std::max(length, 0);
    selectRange(start, utf16ToPosition(int(std::min<qint64>(end, textLength()))));
}

QString TextBox::SelText() const
{
    const long start = send(*this, SCI_GETSELECTIONSTART);
    const long length = send(*this, SCI_GETSELECTIONEND) - start;
    if (length <= 0)
        return QString();
    return QString::fromUtf8(rangePointer(*this, start, length), length);
}

void TextBox::setSelText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    const long start = send(*this, SCI_GETSELECTIONSTART);
    const long end = send(*this, SCI_GETSELECTIONEND);
    const WritableScope writable(*this);
    send(*this, SCI_BEGINUNDOACTION);
    send(*this, SCI_SETTARGETRANGE, static_cast<unsigned long>(start), end);
    sendBytes(*this, SCI_REPLACETARGET, utf8.constData(), utf8.size());
    send(*this, SCI_ENDUNDOACTION);
    send(*this, SCI_GOTOPOS, static_cast<unsigned long>(start + utf8.size()));
}

void TextBox::selectRange(long anchor, long caret)
{
    send(*this, SCI_SETSEL, static_cast<unsigned long>(anchor), caret);
    send(*this, SCI_CHOOSECARETX);
    send(*this, SCI_SCROLLRANGE, static_cast<unsigned long>(anchor), caret);
}

// ---- CR LF lines -----------------------------------------------------------

void TextBox::accessibilityActiveChanged(bool active)
{
    m_accessible = active;
    unsigned long mask = SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE;
    if (active)
        mask |= SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT;
    send(*this, SCI_SETMODEVENTMASK, mask);
}

void TextBox::noteChange(int position, int type, const char *text, int length)
{
    const bool insertion = (type & SC_MOD_BEFOREINSERT) != 0;
    if (!insertion && (type & SC_MOD_BEFOREDELETE) == 0)
        return;
    // The edit before this one is done by now.
    resolvePendingEdit();
    // Without the notice after the edit QScintilla does not say that the
    // text changed; that is said once the edits are done.
    if (!m_accessible && !m_textChangedPosted) {
        m_textChangedPosted = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_textChangedPosted = false;
                Q_EMIT textChanged();
            },
            Qt::QueuedConnection);
    }
    // The UTF-16 index of this Scintilla goes wrong when an edit joins a CR
    // and an LF into a pair or splits one (found by comparing it with
    // SCI_COUNTCODEUNITS after random edits). Such an edit has a CR just
    // before it or an LF just after it; in a text of CR LF lines that only
    // happens next to a lone CR or LF.
    const long after = insertion ? long(position) : long(position) + length;
    const bool crBefore = position > 0 && send(*this, SCI_GETCHARAT,
                                               static_cast<unsigned long>(position - 1)) == '\r';
    const bool lfAfter = after < send(*this, SCI_GETLENGTH) &&
                         send(*this, SCI_GETCHARAT, static_cast<unsigned long>(after)) == '\n';
    if (crBefore || lfAfter)
        m_utf16IndexStale = true;
    if (!m_loneBreakIndexValid)
        return;
    // Text without CR or LF, away from them, neither moves a line nor joins
    // or splits a CR LF pair: typing inside a line keeps the index.
    bool linesMayChange = crBefore || lfAfter;
    if (!linesMayChange && length > 0) {
        const char *changed = insertion ? text : rangePointer(*this, position, length);
        linesMayChange = changed == nullptr ||
                         std::memchr(changed, '\r', size_t(length)) != nullptr ||
                         std::memchr(changed, '\n', size_t(length)) != nullptr;
    }
    if (linesMayChange)
        m_pendingEdit = PendingEdit{position, send(*this, SCI_GETLINECOUNT)};
}

void TextBox::resolvePendingEdit() const
{
    if (!m_pendingEdit)
        return;
    const PendingEdit edit = *m_pendingEdit;
    m_pendingEdit.reset();
    updateLoneBreakIndex(edit.position, send(*this, SCI_GETLINECOUNT) - edit.linesBefore);
}

bool TextBox::endsInLoneBreak(long line) const
{
    const long end = send(*this, SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    const long length = send(*this, SCI_GETLENGTH);
    if (end >= length)
        return false; // the last line has no break
    if (send(*this, SCI_GETCHARAT, static_cast<unsigned long>(end)) == '\n')
        return true;
    return end + 1 >= length ||
           send(*this, SCI_GETCHARAT, static_cast<unsigned long>(end + 1)) != '\n';
}

void TextBox::updateLoneBreakIndex(long position, long linesAdded) const
{
    if (!m_loneBreakIndexValid)
        return;
    // Looking at every line end of a big insertion costs more than one pass
    // over the text with memchr.
    constexpr long incrementalLimit = 4096;
    if (std::labs(linesAdded) > incrementalLimit) {
        m_loneBreakIndexValid = false;
        return;
    }
    // The edit changed the line ends from the line before the one of its
    // position to the line of its end. The margins allow for a CR before the
    // edit that met an LF after it (or lost it), which moves the position's
    // line by one. Lines beyond that range keep their ends and only move.
    const long line = send(*this, SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
    const long first = std::max(0L, line - 1);
    const long lastBefore = line + 2 + std::max(0L, -linesAdded);
    const long lastAfter =
        std::min(line + 2 + std::max(0L, linesAdded), send(*this, SCI_GETLINECOUNT) - 1);

    std::vector<long> &lines = m_loneBreakLines;
    const auto from = std::lower_bound(lines.begin(), lines.end(), first);
    const auto to = std::upper_bound(from, lines.end(), lastBefore);
    for (auto moved = to; moved != lines.end(); ++moved)
        *moved += linesAdded;
    std::vector<long> found;
    for (long candidate = first; candidate <= lastAfter; ++candidate) {
        if (endsInLoneBreak(candidate))
            found.push_back(candidate);
    }
    const auto at = lines.erase(from, to);
    lines.insert(at, found.begin(), found.end());
}

void TextBox::ensureLoneBreakIndex() const
{
    if (m_loneBreakIndexValid) {
        resolvePendingEdit();
        return;
    }
    m_pendingEdit.reset();
    m_loneBreakLines.clear();
    const long length = send(*this, SCI_GETLENGTH);
    const auto *text = static_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    const char *end = text + length;
    // One pass over the text, counting Scintilla's lines as it goes: a CR LF
    // pair, a lone CR and a lone LF each end one.
    long line = 0;
    const char *cr = findByte(text, end, '\r');
    const char *lf = findByte(text, end, '\n');
    while (cr != nullptr || lf != nullptr) {
        if (cr != nullptr && (lf == nullptr || cr < lf)) {
            if (cr + 1 == lf) {
                lf = findByte(lf + 1, end, '\n');
            } else {
                m_loneBreakLines.push_back(line);
            }
            cr = findByte(cr + 1, end, '\r');
        } else {
            m_loneBreakLines.push_back(line);
            lf = findByte(lf + 1, end, '\n');
        }
        ++line;
    }
    m_loneBreakIndexValid = true;
}

int TextBox::crlfLineCount() const
{
    ensureLoneBreakIndex();
    return int(send(*this, SCI_GETLINECOUNT) - long(m_loneBreakLines.size()));
}

int TextBox::lineFromChar(int offset) const
{
    ensureLoneBreakIndex();
    long line = 0;
    if (offset < 0) {
        line = send(*this, SCI_LINEFROMPOSITION,
                    static_cast<unsigned long>(send(*this, SCI_GETSELECTIONSTART)));
    } else {
        line = send(*this, SCI_LINEFROMINDEXPOSITION,
                    static_cast<unsigned long>(std::min(offset, textLength())), kUtf16Index);
    }
    // Each lone break before this Scintilla line merged two of them into one.
    const auto joined = std::lower_bound(m_loneBreakLines.begin(), m_loneBreakLines.end(), line) -
                        m_loneBreakLines.begin();
    return int(line - joined);
}

int TextBox::lineIndex(int line) const
{
    if (line == -1)
        line = lineFromChar(-1);
    if (line < 0 || line >= crlfLineCount())
        return -1;
    ensureUtf16Index();
    // CR LF line k starts after the k-th Scintilla line that ends in CR LF.
    // The lone break at Scintilla line L[i] has L[i] - i CR LF ends before it
    // (a non-decreasing sequence), so the lone breaks in front of line k are
    // those with L[i] - i < k.
    std::size_t low = 0;
    std::size_t high = m_loneBreakLines.size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (m_loneBreakLines[mid] - long(mid) < line)
            low = mid + 1;
        else
            high = mid;
    }
    const long scintillaLine = line + long(low);
    return int(send(*this, SCI_INDEXPOSITIONFROMLINE, static_cast<unsigned long>(scintillaLine),
                    kUtf16Index));
}

// ---- Looks -----------------------------------------------------------------

void TextBox::setTextColor(const QColor &color)
{
    SendScintilla(SCI_STYLESETFORE, STYLE_DEFAULT, color);
    send(*this, SCI_STYLECLEARALL);
    // QsciScintilla keeps its own copy, which it puts back when the editor is
    // enabled again.
    setColor(color);
    SendScintilla(SCI_SETCARETFORE, color);
}

void TextBox::setBackColor(const QColor &color)
{
    SendScintilla(SCI_STYLESETBACK, STYLE_DEFAULT, color);
    send(*this, SCI_STYLECLEARALL);
    setPaper(color);
}

void TextBox::setEditorFont(const QFont &font)
{
    double points = font.pointSizeF();
    if (points <= 0 && font.pixelSize() > 0)
        points = font.pixelSize() * 72.0 / logicalDpiY();
    if (points <= 0)
        points = QApplication::font().pointSizeF();
    // QScintilla's Qt layer reads the face name as UTF-8 (its own setFont()
    // passes Latin-1, which would garble a name outside ASCII).
    const QByteArray family = font.family().toUtf8();
    SendScintilla(SCI_STYLESETFONT, STYLE_DEFAULT, family.constData());
    send(*this, SCI_STYLESETSIZEFRACTIONAL, STYLE_DEFAULT, std::lround(points * 100));
    // A negative weight is taken by QScintilla as a QFont weight unchanged.
    send(*this, SCI_STYLESETWEIGHT, STYLE_DEFAULT, -long(font.weight()));
    send(*this, SCI_STYLESETITALIC, STYLE_DEFAULT, font.italic() ? 1 : 0);
    send(*this, SCI_STYLESETUNDERLINE, STYLE_DEFAULT, font.underline() ? 1 : 0);
    send(*this, SCI_STYLECLEARALL);
}

QColor TextBox::textColor() const
{
    return colorFromScintilla(send(*this, SCI_STYLEGETFORE, kTextStyle));
}

QColor TextBox::backColor() const
{
    return colorFromScintilla(send(*this, SCI_STYLEGETBACK, kTextStyle));
}

QFont TextBox::editorFont() const
{
    const long nameLength =
        SendScintilla(SCI_STYLEGETFONT, kTextStyle, static_cast<void *>(nullptr));
    // Scintilla writes the name and a terminating NUL, which the QByteArray's
    // own terminator slot takes.
    QByteArray name(std::max(nameLength, 0L), '\0');
    SendScintilla(SCI_STYLEGETFONT, kTextStyle, static_cast<void *>(name.data()));
    QFont font(QString::fromUtf8(name));
    font.setPointSizeF(send(*this, SCI_STYLEGETSIZEFRACTIONAL, kTextStyle) / 100.0);
    const long weight = std::labs(send(*this, SCI_STYLEGETWEIGHT, kTextStyle));
    font.setWeight(QFont::Weight(std::clamp(weight, 1L, 1000L)));
    font.setItalic(send(*this, SCI_STYLEGETITALIC, kTextStyle) != 0);
    font.setUnderline(send(*this, SCI_STYLEGETUNDERLINE, kTextStyle) != 0);
    return font;
}

// ---- Keyboard, mouse, clipboard, drops -------------------------------------

QMimeData *TextBox::toMimeData(const QByteArray &text, bool rectangular) const
{
    return QsciScintilla::toMimeData(crlfToLf(text), rectangular);
}

void TextBox::setEnterHandler(std::function<void()> handler)
{
    m_enterHandler = std::move(handler);
}

void TextBox::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool chord =
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    if (enter && !chord && m_enterHandler && !isReadOnly()) {
        event->accept();
        m_enterHandler();
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

void TextBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (!takeFileDrag(event))
        QsciScintilla::dragEnterEvent(event);
}

void TextBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (!takeFileDrag(event))
        QsciScintilla::dragMoveEvent(event);
}

void TextBox::dropEvent(QDropEvent *event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        QsciScintilla::dropEvent(event);
        return;
    }
    if (!acceptAsCopy(event)) {
        event->ignore();
        return;
    }
    Q_EMIT filesDropped(paths);
}

void TextBox::mouseReleaseEvent(QMouseEvent *event)
{
    QsciScintilla::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton &&
        viewport()->rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

} // namespace kelo

#include "moc_textbox.cpp"
