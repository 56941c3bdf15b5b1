// The editor control: QScintilla dressed as a Windows multi-line text box.
// This room holds the text-box interface, the looks and the input; offsets
// and lines are answered by TextIndex.
#include "platform/textbox.h"

#include "platform/filenames.h"
#include "platform/linebreaks.h"
#include "platform/scintillacalls.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

namespace kelo {

using namespace sci;

namespace {

// Every character is drawn in style 0: the document keeps no styles at all.
constexpr unsigned long kTextStyle = 0;

QColor colorFromScintilla(long value)
{
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
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

} // namespace

// ---- Offsets ----------------------------------------------------------------

long TextBox::utf16ToPosition(int offset) const
{
    return m_index.utf16ToPosition(offset);
}

int TextBox::positionToUtf16(long position) const
{
    return m_index.positionToUtf16(position);
}

int TextBox::textLength() const
{
    return m_index.textLength();
}

// ---- Text ------------------------------------------------------------------

QString TextBox::Text() const
{
    return textOf(utf8View());
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

bool TextBox::replaceAllUtf8(const QByteArray &utf8)
{
    // A new text that is mostly the old one (a recovered text beside the
    // file it was made of) keeps only the stretch that differs for its undo:
    // Scintilla's own step would keep the old and the new text whole. A text
    // that differs throughout (a translation) goes in whole, as that step.
    const QByteArrayView old = utf8View();
    const TextEdits::Edit edit = TextEdits::between(old, utf8);
    const qsizetype differing = edit.removed + edit.inserted.size();
    if (differing == 0 || differing > (old.size() + utf8.size()) / 4)
        return replaceWhole(utf8, true);
    TextEdits edits;
    edits.add(edit.at, edit.removed, edit.inserted);
    return applyEdits(std::move(edits), {});
}

bool TextBox::loadUtf8(const QByteArray &utf8)
{
    return replaceWhole(utf8, false);
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
    return textOf(QByteArrayView(rangePointer(*this, start, length), length));
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

// ---- CR LF lines --------------------------------------------------------------

int TextBox::crlfLineCount() const
{
    return m_index.crlfLineCount();
}

int TextBox::lineFromChar(int offset) const
{
    if (offset < 0)
        return m_index.crlfLineOfPosition(send(*this, SCI_GETSELECTIONSTART));
    return m_index.crlfLineOfOffset(offset);
}

int TextBox::lineIndex(int line) const
{
    if (line == -1)
        line = lineFromChar(-1);
    if (line < 0 || line >= crlfLineCount())
        return -1;
    return m_index.crlfLineStart(line);
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

namespace {

// The text of a selection for the clipboard, the selection other programs
// paste with the middle button, or a drag: it keeps the editor's bytes as
// they are and makes them into the text other programs ask for (LF line
// breaks) only when they ask. A selection of a big text is offered with
// every change of it, and is seldom pasted.
class EditorMimeData : public QMimeData {
public:
    explicit EditorMimeData(const QByteArray &crlfUtf8)
        : m_text(crlfUtf8)
    {}
    bool hasFormat(const QString &mimeType) const override
    {
        return mimeType == plainText() || QMimeData::hasFormat(mimeType);
    }
    QStringList formats() const override
    {
        QStringList all = QMimeData::formats();
        if (!all.contains(plainText()))
            all.prepend(plainText());
        return all;
    }

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override
    {
        if (mimeType != plainText())
            return QMimeData::retrieveData(mimeType, type);
        try {
            const QByteArray lf = crlfToLf(m_text);
            if (type.id() == QMetaType::QByteArray)
                return lf;
            return QString::fromUtf8(lf);
        } catch (const std::bad_alloc &) { // nothing to paste rather than no program
            return {};
        }
    }

private:
    static QString plainText() { return QStringLiteral("text/plain"); }
    QByteArray m_text;
};

// From this size on, a selection that a key deletes or replaces is first
// weighed against the memory free for its undo copy.
constexpr long bigSelection = 1024 * 1024;

// Whether a key may delete or replace the selection: a character typed, the
// keys that delete, cutting and pasting.
bool replacesSelection(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const bool control = (event.modifiers() & Qt::ControlModifier) != 0;
    const bool shift = (event.modifiers() & Qt::ShiftModifier) != 0;
    switch (event.key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        return true;
    case Qt::Key_X:
    case Qt::Key_V:
        if (control)
            return true;
        break;
    case Qt::Key_Insert:
        return shift;
    default:
        break;
    }
    return (event.modifiers() & chords) == 0 && !event.text().isEmpty() &&
           event.text()[0].isPrint();
}

} // namespace

QMimeData *TextBox::toMimeData(const QByteArray &text, bool rectangular) const
{
    // QScintilla's own data for no text carries its other formats, such as
    // the mark of a rectangular selection.
    const std::unique_ptr<QMimeData> formats(QsciScintilla::toMimeData(QByteArray(), rectangular));
    auto *mime = new EditorMimeData(text);
    for (const QString &format : formats->formats()) {
        if (!mime->hasFormat(format))
            mime->setData(format, formats->data(format));
    }
    return mime;
}

std::unique_ptr<QMimeData> TextBox::wholeTextMimeData() const
{
    const QByteArrayView text = utf8View();
    if (text.size() >= bigSelection && !m_roomCheck({text.size()}))
        return nullptr;
    try {
        return std::make_unique<EditorMimeData>(text.toByteArray());
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void TextBox::withRoom(const std::function<void()> &handle, bool mayDeleteSelection)
{
    try {
        if (mayDeleteSelection && !isReadOnly()) {
            const long selection =
                send(*this, SCI_GETSELECTIONEND) - send(*this, SCI_GETSELECTIONSTART);
            if (selection >= bigSelection && !m_roomCheck({selection})) {
                Q_EMIT inputRefused();
                return;
            }
        }
        handle();
    } catch (const std::bad_alloc &) {
        Q_EMIT inputRefused();
    }
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
    // Tab writes a tab into the text, so Ctrl+Tab (and Ctrl+Shift+Tab) is the
    // keyboard's way out of the editor, to the status line and the top bar.
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    if (control && (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)) {
        const bool back =
            event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier) != 0;
        event->accept();
        // Past QScintilla, which keeps the focus while the text is editable.
        QAbstractScrollArea::focusNextPrevChild(!back);
        return;
    }
    // The keys for undo and redo are Scintilla's own.
    withRoom([this, event] { QsciScintilla::keyPressEvent(event); }, replacesSelection(*event));
    makeReportedStep();
}

void TextBox::contextMenuEvent(QContextMenuEvent *event)
{
    withRoom([this, event] { QsciScintilla::contextMenuEvent(event); });
    makeReportedStep();
}

void TextBox::undo()
{
    QsciScintilla::undo();
    makeReportedStep();
}

void TextBox::redo()
{
    QsciScintilla::redo();
    makeReportedStep();
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
        withRoom([this, event] { QsciScintilla::dropEvent(event); });
        return;
    }
    if (!acceptAsCopy(event)) {
        event->ignore();
        return;
    }
    Q_EMIT filesDropped(paths);
}

void TextBox::mousePressEvent(QMouseEvent *event)
{
    withRoom([this, event] { QsciScintilla::mousePressEvent(event); });
}

void TextBox::mouseMoveEvent(QMouseEvent *event)
{
    withRoom([this, event] { QsciScintilla::mouseMoveEvent(event); });
}

void TextBox::mouseReleaseEvent(QMouseEvent *event)
{
    withRoom([this, event] { QsciScintilla::mouseReleaseEvent(event); });
    if (event->button() == Qt::LeftButton &&
        viewport()->rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

} // namespace kelo

#include "moc_textbox.cpp"
