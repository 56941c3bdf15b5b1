// How the editor control speaks to Scintilla, and what it keeps true of it.
//
// The editor (TextBox, its document set-up and its offset indexes) relies on
// these facts about the Scintilla underneath; a change to one of them must be
// weighed against all the places that use it.
//
// 1. The document is UTF-8 (SC_CP_UTF8). Positions are byte offsets into it;
//    a byte that does not start a well-formed sequence is a character of its
//    own. NUL bytes are text like any other, so text goes in and out with a
//    byte count, never as a C string.
// 2. Typed and pasted line ends are CR LF (SC_EOL_CRLF, paste conversion on),
//    but a loaded text keeps lone CRs and LFs. Scintilla ends a line at CR
//    LF, lone CR and lone LF alike; the text box's lines end at CR LF only.
// 3. The document is one of our own without a style buffer
//    (SC_DOCUMENTOPTION_STYLES_NONE): there is no lexer, every byte is drawn
//    in style 0. Only a text of at most 256 MiB with a line of 32 KiB or more
//    is moved to a document with styles, where the words of its long lines
//    alternate between styles 0 and 1, which look the same (longlines.h
//    says why). QsciScintilla still holds the document it created itself;
//    that one is kept alive and shown again before QsciScintilla's destructor
//    looks at it, and QsciScintilla's document sharing is hidden.
// 4. Scintilla reports edits only before they happen (SC_MOD_BEFOREINSERT,
//    SC_MOD_BEFOREDELETE): for each edit reported after it QScintilla counts
//    the characters from the start of the text. Without the after-notices
//    QScintilla does not emit textChanged(), so the editor posts it itself,
//    and it tells assistive technologies of the edits itself
//    (editordescription.h).
// 5. UTF-16 offsets are counted by the editor itself (Utf16Offsets), in
//    blocks over the bytes, from the edits Scintilla reports before they
//    happen (4.). Scintilla's own UTF-16 line index is not used: it went
//    wrong when an edit joined a CR and an LF into a pair or split one, and
//    building it for a big text took as long as loading the text.
// 6. Whole-text replacements switch the modification events off, since
//    QScintilla would copy the whole old and new text for them; the editor
//    sends textChanged() and linesChanged() itself afterwards.
// 7. A file's text is loaded into a document of its own through Scintilla's
//    loader (SCI_CREATELOADER), which reserves the room once, collects no
//    undo steps and tells no one of the pieces added; the editor switches to
//    that document only when it is complete, and then sets up what belongs
//    to a document (3.) on it. QScintilla does not install Scintilla's
//    ILoader.h, so the interface is declared below as Scintilla defines it.
// 8. The text counts as styled in full before every drawing and whenever
//    Scintilla asks for styling (3.: nothing styles it by what it says), and
//    QsciScintilla's cursorPositionChanged() is never emitted: both cost a
//    pass over the whole line per key, which is felt in a line of megabytes.
// 9. Scintilla lets std::bad_alloc out of its calls, and its buffers are not
//    sure to be whole when it does. A change of much of the text, its undo
//    and its redo first ask for the memory they will need (memoryroom.h) and
//    are refused, with nothing changed, when it cannot be had; only the
//    loader (7.) catches a lack of memory itself. Undoing or redoing a step
//    of Scintilla's own is not asked for.
#pragma once

#include <Qsci/qsciscintillabase.h>

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// Scintilla's ILoader, the object SCI_CREATELOADER returns, declared exactly
// as Scintilla declares it (same name, same scope, same members), so that it
// is the very class Scintilla's document derives from. Release() drops the
// document unless ConvertToDocument() handed it over.
class ILoader {
public:
    virtual int Release() = 0;
    virtual int AddData(const char *data, std::ptrdiff_t length) = 0;
    virtual void *ConvertToDocument() = 0;
};

namespace kelo::sci {

using Sci = QsciScintillaBase;
using Loader = ::ILoader;

inline long send(const Sci &editor, unsigned int msg, unsigned long wParam = 0, long lParam = 0)
{
    return editor.SendScintilla(msg, wParam, lParam);
}

// Messages that take a byte count and a buffer: the count is passed, so NUL
// bytes inside the text go through.
inline long sendBytes(const Sci &editor, unsigned int msg, const char *data, qsizetype length)
{
    return editor.SendScintilla(msg, static_cast<uintptr_t>(length), data);
}

inline const char *rangePointer(const Sci &editor, long position, long length)
{
    return reinterpret_cast<const char *>(
        send(editor, Sci::SCI_GETRANGEPOINTER, static_cast<unsigned long>(position), length));
}

// The editor's bytes as a string. A U+FEFF at the start is a character of
// the text like any other, where QString::fromUtf8 would drop it as a byte
// order mark.
inline QString textOf(QByteArrayView utf8)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(utf8);
}

inline const char *characterPointer(const Sci &editor)
{
    return static_cast<const char *>(editor.SendScintillaPtrResult(Sci::SCI_GETCHARACTERPOINTER));
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

} // namespace kelo::sci
