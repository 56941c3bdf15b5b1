// The editor's offset indexes: UTF-16 offsets and CR LF lines over
// Scintilla's UTF-8 bytes and lines.
//
// Offsets are counted in blocks of a few kilobytes (Utf16Offsets). The few
// Scintilla lines that end in a lone CR or LF are kept in a sorted list, so
// the CR LF line queries are binary searches. Both indexes are caches: they
// are built on first use and kept up to date by the edits they are told of
// (see scintillacalls.h for the Scintilla facts they rest on).
#pragma once

#include "platform/utf16offsets.h"

#include <Qsci/qsciscintillabase.h>

#include <optional>
#include <vector>

namespace kelo {

class TextIndex {
public:
    explicit TextIndex(const QsciScintillaBase &editor);

    // ---- Queries ----------------------------------------------------------
    // A UTF-16 offset as a byte position and back. An offset is clamped to
    // the text, and one that falls inside a surrogate pair or a CR LF pair
    // gives the position of the pair's start.
    long utf16ToPosition(int offset) const;
    int positionToUtf16(long position) const;
    // The length of the text in UTF-16 code units.
    int textLength() const;
    // Number of CR LF lines (an empty text has one).
    int crlfLineCount() const;
    // The CR LF line of a UTF-16 offset (clamped to the text) and of a byte
    // position.
    int crlfLineOfOffset(int offset) const;
    int crlfLineOfPosition(long position) const;
    // The UTF-16 offset where a CR LF line starts, which must exist.
    int crlfLineStart(int line) const;

    // ---- Keeping up with the text ------------------------------------------
    // An edit is about to insert `length` bytes (`text`) at `position`, or to
    // delete as many from there.
    void beforeEdit(long position, bool insertion, const char *text, long length);
    // A whole text is about to be put in, and has been put in: the indexes
    // are dropped and built afresh on first use (or by build()).
    void beforeWholeReplacement();
    void afterWholeReplacement();
    // Builds what is not built yet, so that the next query costs nothing.
    void build() const;

private:
    void ensureLoneBreakIndex() const;
    void resolvePendingEdit() const;
    void updateLoneBreakIndex(long position, long linesAdded) const;
    bool endsInLoneBreak(long line) const;
    int crlfLineOfScintillaLine(long line) const;

    // The editor's bytes as the offset index reads them: a block at a time,
    // so that a query moves Scintilla's gap by a block at most.
    class EditorBytes final : public Utf16Offsets::Source {
    public:
        explicit EditorBytes(const QsciScintillaBase &editor)
            : m_editor(editor)
        {}
        long size() const override;
        const unsigned char *bytes(long from, long length) const override;

    private:
        const QsciScintillaBase &m_editor;
    };

    const QsciScintillaBase &m_editor;
    EditorBytes m_bytes{m_editor};
    Utf16Offsets m_utf16{m_bytes};
    // Scintilla line numbers whose line end is a lone CR or LF, sorted. Built
    // in one pass after the whole text is replaced and kept up to date by
    // each edit, so that a click after typing Enter does not pay for a pass
    // over the whole text.
    mutable std::vector<long> m_loneBreakLines;
    mutable bool m_loneBreakIndexValid = false;
    // Scintilla tells of an edit before it happens; an edit that may change
    // line ends is noted here and taken into the index once it is done: at
    // the next query or the next edit.
    struct PendingEdit {
        long position = 0;
        long linesBefore = 0; // Scintilla's line count before the edit
    };
    mutable std::optional<PendingEdit> m_pendingEdit;
};

} // namespace kelo
