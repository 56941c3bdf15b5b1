#include "platform/editordescription.h"

#include "platform/scintillacalls.h"
#include "platform/textbox.h"

#include <algorithm>
#include <utility>

namespace kelo {

using namespace sci;

namespace {

// Words and sentences are looked for this far on either side of an offset;
// lines are taken whole.
constexpr int boundaryReach = 16 * 1024;

QString textBetween(const TextBox &editor, long start, long end)
{
    if (end <= start)
        return {};
    return textOf(QByteArrayView(rangePointer(editor, start, end - start), end - start));
}

// An offset clamped to the text and moved to the start of the character or
// CR LF pair it falls into, so that text taken from there starts at it.
int aligned(const TextBox &editor, int offset)
{
    return editor.positionToUtf16(editor.utf16ToPosition(offset));
}

// A piece of the text on its own, for Qt's search of word, sentence and line
// boundaries, which reads all the text its interface has.
class TextWindow final : public QAccessibleTextInterface {
public:
    explicit TextWindow(QString text)
        : m_text(std::move(text))
    {}

    QString text(int startOffset, int endOffset) const override
    {
        return m_text.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(m_text.size()); }

    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        return {};
    }

private:
    QString m_text;
};

// Asks Qt's boundary search on the lines around the offset (the line before
// and after included, so that a line's first or last character has its
// neighbour), cut to boundaryReach unless lines are asked for; the whole text
// when no boundary is.
template <typename Ask>
QString askAround(const TextBox &editor, int offset, QAccessible::TextBoundaryType type,
                  int *startOffset, int *endOffset, Ask ask)
{
    const int length = editor.textLength();
    offset = std::clamp(offset, 0, length);
    int start = 0;
    int end = length;
    if (type != QAccessible::NoBoundary) {
        const long line = send(editor, Sci::SCI_LINEFROMPOSITION,
                               static_cast<unsigned long>(editor.utf16ToPosition(offset)));
        const long lines = send(editor, Sci::SCI_GETLINECOUNT);
        start = editor.positionToUtf16(
            send(editor, Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(std::max(line - 1, 0L))));
        if (line + 2 < lines)
            end = editor.positionToUtf16(
                send(editor, Sci::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line + 2)));
        if (type != QAccessible::LineBoundary && type != QAccessible::ParagraphBoundary) {
            start = std::max(start, aligned(editor, offset - boundaryReach));
            end = std::min(end, aligned(editor, offset + boundaryReach));
        }
    }
    const TextWindow window(
        textBetween(editor, editor.utf16ToPosition(start), editor.utf16ToPosition(end)));
    QString found = ask(window, offset - start, startOffset, endOffset);
    if (*startOffset >= 0)
        *startOffset += start;
    if (*endOffset >= 0)
        *endOffset += start;
    return found;
}

AnnouncementListener announcementListener = nullptr;

void announce(QAccessibleEvent *event)
{
    if (announcementListener)
        announcementListener(event);
    else
        QAccessible::updateAccessibility(event);
}

// Text that comes in has the editor's CR LF line breaks, as typed text has.
QByteArray withCrLf(const QString &text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return lines.toUtf8();
}

} // namespace

EditorDescription::EditorDescription(TextBox *editor)
    : QAccessibleWidget(editor, QAccessible::EditableText)
{}

TextBox &EditorDescription::editor() const
{
    return *static_cast<TextBox *>(widget());
}

void *EditorDescription::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State EditorDescription::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    const bool readOnly = editor().isReadOnly();
    state.readOnly = readOnly;
    state.editable = !readOnly;
    state.multiLine = true;
    state.selectableText = true;
    state.focusable = true;
    return state;
}

QString EditorDescription::text(QAccessible::Text which) const
{
    return QAccessibleWidget::text(which);
}

void EditorDescription::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    const TextBox &box = editor();
    if (selectionIndex != 0 || send(box, Sci::SCI_GETSELECTIONEMPTY) != 0)
        return;
    *startOffset = box.positionToUtf16(send(box, Sci::SCI_GETSELECTIONSTART));
    *endOffset = box.positionToUtf16(send(box, Sci::SCI_GETSELECTIONEND));
}

int EditorDescription::selectionCount() const
{
    return send(editor(), Sci::SCI_GETSELECTIONEMPTY) != 0 ? 0 : 1;
}

void EditorDescription::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void EditorDescription::removeSelection(int selectionIndex)
{
    if (selectionIndex != 0)
        return;
    const TextBox &box = editor();
    send(box, Sci::SCI_SETEMPTYSELECTION,
         static_cast<unsigned long>(send(box, Sci::SCI_GETCURRENTPOS)));
}

void EditorDescription::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    const TextBox &box = editor();
    send(box, Sci::SCI_SETSEL, static_cast<unsigned long>(box.utf16ToPosition(startOffset)),
         box.utf16ToPosition(endOffset));
}

int EditorDescription::cursorPosition() const
{
    const TextBox &box = editor();
    return box.positionToUtf16(send(box, Sci::SCI_GETCURRENTPOS));
}

void EditorDescription::setCursorPosition(int position)
{
    const TextBox &box = editor();
    send(box, Sci::SCI_GOTOPOS, static_cast<unsigned long>(box.utf16ToPosition(position)));
}

QString EditorDescription::text(int startOffset, int endOffset) const
{
    const TextBox &box = editor();
    return textBetween(box, box.utf16ToPosition(startOffset), box.utf16ToPosition(endOffset));
}

QString EditorDescription::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int *startOffset, int *endOffset) const
{
    return askAround(editor(), offset, boundaryType, startOffset, endOffset,
                     [boundaryType](const TextWindow &window, int at, int *start, int *end) {
                         return window.textBeforeOffset(at, boundaryType, start, end);
                     });
}

QString EditorDescription::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int *startOffset, int *endOffset) const
{
    return askAround(editor(), offset, boundaryType, startOffset, endOffset,
                     [boundaryType](const TextWindow &window, int at, int *start, int *end) {
                         return window.textAfterOffset(at, boundaryType, start, end);
                     });
}

QString EditorDescription::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int *startOffset, int *endOffset) const
{
    return askAround(editor(), offset, boundaryType, startOffset, endOffset,
                     [boundaryType](const TextWindow &window, int at, int *start, int *end) {
                         return window.textAtOffset(at, boundaryType, start, end);
                     });
}

int EditorDescription::characterCount() const
{
    return editor().textLength();
}

QRect EditorDescription::characterRect(int offset) const
{
    const TextBox &box = editor();
    const long position = box.utf16ToPosition(offset);
    const auto x = [&box](long at) {
        return int(send(box, Sci::SCI_POINTXFROMPOSITION, 0, at));
    };
    const int left = x(position);
    const int top = int(send(box, Sci::SCI_POINTYFROMPOSITION, 0, position));
    const long line = send(box, Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
    const long next = send(box, Sci::SCI_POSITIONAFTER, static_cast<unsigned long>(position));
    const bool sameLine =
        next > position &&
        send(box, Sci::SCI_LINEFROMPOSITION, static_cast<unsigned long>(next)) == line;
    const int width = sameLine ? x(next) - left : 1;
    const int height = int(send(box, Sci::SCI_TEXTHEIGHT, static_cast<unsigned long>(line)));
    return {box.viewport()->mapToGlobal(QPoint(left, top)), QSize(std::max(width, 1), height)};
}

int EditorDescription::offsetAtPoint(const QPoint &point) const
{
    const TextBox &box = editor();
    const QPoint local = box.viewport()->mapFromGlobal(point);
    const long position = send(box, Sci::SCI_POSITIONFROMPOINTCLOSE,
                               static_cast<unsigned long>(local.x()), local.y());
    return position < 0 ? -1 : box.positionToUtf16(position);
}

void EditorDescription::scrollToSubstring(int startIndex, int endIndex)
{
    const TextBox &box = editor();
    send(box, Sci::SCI_SCROLLRANGE, static_cast<unsigned long>(box.utf16ToPosition(endIndex)),
         box.utf16ToPosition(startIndex));
}

QString EditorDescription::attributes(int, int *startOffset, int *endOffset) const
{
    // One font and colour for the whole text.
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void EditorDescription::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void EditorDescription::insertText(int offset, const QString &text)
{
    replaceText(offset, offset, text);
}

void EditorDescription::replaceText(int startOffset, int endOffset, const QString &text)
{
    const TextBox &box = editor();
    if (box.isReadOnly())
        return;
    const long start = box.utf16ToPosition(std::min(startOffset, endOffset));
    const long end = box.utf16ToPosition(std::max(startOffset, endOffset));
    const QByteArray utf8 = withCrLf(text);
    send(box, Sci::SCI_BEGINUNDOACTION);
    send(box, Sci::SCI_SETTARGETRANGE, static_cast<unsigned long>(start), end);
    sendBytes(box, Sci::SCI_REPLACETARGET, utf8.constData(), utf8.size());
    send(box, Sci::SCI_ENDUNDOACTION);
}

AnnouncementListener listenToAnnouncements(AnnouncementListener listener)
{
    return std::exchange(announcementListener, listener);
}

EditorAnnouncements::EditorAnnouncements(TextBox &editor)
    : m_editor(editor)
{}

void EditorAnnouncements::beforeEdit(long position, bool insertion, const char *, long length)
{
    takeInsertedText();
    const int offset = m_editor.positionToUtf16(position);
    if (insertion) {
        // Scintilla does not pass the text before it is inserted; it is read
        // once it is there, before anything else can change it.
        m_edits.push_back({offset, {}, true});
        m_insertion = {position, length};
    } else {
        m_edits.push_back({offset, textBetween(m_editor, position, position + length), false});
    }
}

void EditorAnnouncements::takeInsertedText()
{
    if (m_insertion.length < 0)
        return;
    m_edits.back().text =
        textBetween(m_editor, m_insertion.position, m_insertion.position + m_insertion.length);
    m_insertion = {};
}

void EditorAnnouncements::textReplaced()
{
    m_edits.clear();
    m_insertion = {};
    m_caret = m_selectionStart = m_selectionEnd = -1;
}

void EditorAnnouncements::send()
{
    takeInsertedText();
    for (const Edit &edit : std::exchange(m_edits, {})) {
        if (edit.insertion) {
            QAccessibleTextInsertEvent event(&m_editor, edit.offset, edit.text);
            announce(&event);
        } else {
            QAccessibleTextRemoveEvent event(&m_editor, edit.offset, edit.text);
            announce(&event);
        }
    }
    const int caret = m_editor.positionToUtf16(sci::send(m_editor, Sci::SCI_GETCURRENTPOS));
    int start = caret;
    int end = caret;
    if (sci::send(m_editor, Sci::SCI_GETSELECTIONEMPTY) == 0) {
        start = m_editor.positionToUtf16(sci::send(m_editor, Sci::SCI_GETSELECTIONSTART));
        end = m_editor.positionToUtf16(sci::send(m_editor, Sci::SCI_GETSELECTIONEND));
    }
    // A selection that came, went or changed.
    if ((start != end || m_selectionStart != m_selectionEnd) &&
        (start != m_selectionStart || end != m_selectionEnd)) {
        QAccessibleTextSelectionEvent event(&m_editor, start, end);
        event.setCursorPosition(caret);
        announce(&event);
    }
    m_selectionStart = start;
    m_selectionEnd = end;
    if (caret != m_caret) {
        QAccessibleTextCursorEvent event(&m_editor, caret);
        announce(&event);
        m_caret = caret;
    }
}

} // namespace kelo
