// A change of a text as the few places where it changes, so that the editor
// can take a whole-text command's result without keeping both whole texts for
// its undo step: a 20 MB text whose blank lines are dropped would otherwise
// keep 40 MB of undo.
//
// The edits are in order and never overlap: each takes `removed` bytes away
// at `at`, a position in the text before any edit, and puts `inserted` there.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <deque>

namespace kelo {

class TextEdits {
public:
    struct Edit {
        qsizetype at;
        qsizetype removed;
        QByteArrayView inserted;
    };

    // The one edit that makes `after` of `before`: the stretch between the
    // bytes both share at the start and at the end, which splits neither a
    // UTF-8 sequence nor a CR LF pair. It inserts a part of `after`, without
    // a copy; it does nothing when the texts are the same.
    static Edit between(QByteArrayView before, QByteArrayView after);

    // The one edit that takes all `before` bytes of a text away and puts
    // `after` in. It keeps `after` itself, shared rather than copied.
    static TextEdits replacingAll(qsizetype before, const QByteArray &after);

    // Adds an edit at or after the end of the last one; one that starts
    // where the last one's removal ends is joined to it, and one that does
    // nothing is dropped.
    void add(qsizetype at, qsizetype removed, QByteArrayView inserted = {});

    qsizetype size() const { return qsizetype(m_edits.size()); }
    bool isEmpty() const { return m_edits.empty(); }
    Edit operator[](qsizetype index) const;

    // How many bytes all edits take away and put in.
    qsizetype removedBytes() const { return m_removed; }
    qsizetype insertedBytes() const { return qsizetype(m_insertions.size()); }

    // The text the edits make of `before`, the text they were made for.
    QByteArray appliedTo(QByteArrayView before) const;
    // The bytes the edits take away from `before`, one after another.
    QByteArray removedFrom(QByteArrayView before) const;

    // About how much memory an editor keeps for undoing and redoing the
    // edits: the edits themselves and the bytes they take away.
    qint64 undoCost() const;

private:
    // Positions and lengths fit in 32 bits: the editor holds at most 2 GiB.
    // A 20 MB text may need some 400,000 edits, so each is kept small.
    struct Stored {
        std::uint32_t at;
        std::uint32_t removed;
        std::uint32_t insertionStart; // into m_insertions, in the order of the edits
        std::uint32_t inserted;
    };
    // In blocks rather than one array: an array moves to one twice its size
    // as it grows, holding both for a moment, which for the many edits of a
    // big text was a fifth of the text's size more at the tool's peak.
    std::deque<Stored> m_edits;
    QByteArray m_insertions;
    qsizetype m_removed = 0;
};

} // namespace kelo
