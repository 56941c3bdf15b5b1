// What assistive technologies (a screen reader, through AT-SPI) learn of the
// editor: its text, caret and selection in UTF-16 offsets, and each edit and
// caret move as it happens.
//
// QScintilla's own description counts the characters from the start of the
// text up to the caret on every caret move and every edit: at the end of a
// text of 100 MB a key took more than a second while a screen reader ran.
// This one asks the editor's offset index, whose answers cost the same at
// the end of a gigabyte as at its start, and it takes only the text it is
// asked for (or a window around an offset, for the words, sentences and
// lines there).
#pragma once

#include <QAccessibleWidget>
#include <QString>

#include <vector>

namespace kelo {

class TextBox;

class EditorDescription final : public QAccessibleWidget,
                                public QAccessibleTextInterface,
                                public QAccessibleEditableTextInterface {
public:
    explicit EditorDescription(TextBox *editor);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text which) const override;

    // ---- Text, caret and selection -----------------------------------------
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int *startOffset, int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int *startOffset, int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    // ---- Editing (refused while the editor is read-only) ----------------------
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    TextBox &editor() const;
};

// Where announcements go: to QAccessible::updateAccessibility(), unless a
// listener takes them instead (a test, on a platform without an accessibility
// bridge, where Qt drops them). Gives the listener before.
using AnnouncementListener = void (*)(QAccessibleEvent *event);
AnnouncementListener listenToAnnouncements(AnnouncementListener listener);

// What one editor tells assistive technologies. Edits are noted before they
// happen, while the editor's offsets still describe the text they are made
// to, and told with the caret and selection (when these changed) at send().
class EditorAnnouncements {
public:
    explicit EditorAnnouncements(TextBox &editor);

    // `length` bytes are about to be inserted at `position`, or as many
    // deleted from there.
    void beforeEdit(long position, bool insertion, const char *text, long length);
    // A whole new text went in: edits noted before are void, and the caret
    // is told again.
    void textReplaced();
    void send();

private:
    struct Edit {
        int offset;
        QString text;
        bool insertion;
    };
    struct Insertion {
        long position = 0;
        long length = -1; // none
    };

    void takeInsertedText();

    TextBox &m_editor;
    std::vector<Edit> m_edits;
    // The last edit noted, when it is an insertion whose text is not read yet.
    Insertion m_insertion;
    int m_caret = -1;
    int m_selectionStart = -1;
    int m_selectionEnd = -1;
};

} // namespace kelo
