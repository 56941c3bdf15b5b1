// UTF-16 offsets over a UTF-8 text, counted in blocks of a few kilobytes.
//
// A character is one UTF-16 unit, one of four bytes two; a byte that does not
// start a well-formed sequence is a character of its own. The index keeps the
// byte position and the number of units before the start of every block, so
// a query counts within one block only, and an edit recounts the block or two
// around it and moves the marks after it: a pass over the text happens only
// when the index is built.
#pragma once

#include <optional>
#include <vector>

namespace kelo {

class Utf16Offsets {
public:
    // Where the index reads the text. bytes(from, length) gives the text from
    // `from` on, at least `length` bytes of it (from + length <= size()).
    class Source {
    public:
        virtual long size() const = 0;
        virtual const unsigned char *bytes(long from, long length) const = 0;

    protected:
        ~Source() = default;
    };

    explicit Utf16Offsets(const Source &text, long blockSize = 16 * 1024);

    // The units in front of a byte position (clamped to the text); a position
    // inside a character counts as its start.
    long unitsBefore(long position) const;
    // The byte position after `units` units (clamped to the text); a count
    // that ends inside a surrogate pair gives the start of the pair.
    long positionAfter(long units) const;
    // The whole text's length in units.
    long units() const;

    // Counts the whole text now (queries do it when nothing is counted).
    void build() const;
    // Forgets the count, for a text about to be replaced as a whole.
    void drop();
    bool isBuilt() const { return !m_marks.empty(); }

    // The text is about to get `length` bytes at `position`, or to lose as
    // many from there. The edit is taken in at the next call, when it is done.
    void beforeInsert(long position, long length);
    void beforeDelete(long position, long length);

private:
    struct Mark {
        long byte;
        long units;
    };

    void takeInPendingEdit() const;
    // The block holding a byte position: the last mark at or before it.
    std::size_t blockAt(long position) const;
    // Counts from marks[first] (a character start) until the count lands
    // exactly on a later mark at or after `reach`, cutting new blocks on the
    // way, and sets the marks after it off by the change in units.
    void recount(std::size_t first, long reach) const;

    const Source &m_text;
    const long m_blockSize;
    // The start of every block and, last, the end of the text. Empty while
    // nothing is counted.
    mutable std::vector<Mark> m_marks;
    // An edit told of and not yet counted: the bytes from `position` to
    // `position + length` are new (length 0 after a deletion).
    struct PendingEdit {
        long position;
        long length;
    };
    mutable std::optional<PendingEdit> m_pending;
};

} // namespace kelo
