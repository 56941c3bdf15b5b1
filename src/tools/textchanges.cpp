#include "tools/textchanges.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace kelo {

namespace {

struct Line {
    qsizetype start;
    qsizetype end;  // of the characters: the CR, or the end of the text
    qsizetype next; // after the line break
};

Line lineAt(QByteArrayView text, qsizetype start)
{
    const char *const data = text.data();
    const auto *cr =
        static_cast<const char *>(std::memchr(data + start, '\r', size_t(text.size() - start)));
    if (!cr)
        return {start, text.size(), text.size()};
    const qsizetype end = cr - data;
    const qsizetype next = end + 1 < text.size() && data[end + 1] == '\n' ? end + 2 : end + 1;
    return {start, end, next};
}

// Removals within a line, relative to its start.
struct Removal {
    qsizetype at;
    qsizetype length;
};

std::uint64_t eightBytes(const char *at)
{
    std::uint64_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return bytes;
}

// Whether `part` is `whole` with bytes taken out, matching each byte of
// `part` to the first fitting byte of `whole` from the left; if so,
// `removals` says which bytes. Most lines that differ lose a space or two
// between long runs of the same bytes.
bool thinsOutTo(QByteArrayView whole, QByteArrayView part, std::vector<Removal> &removals)
{
    removals.clear();
    const char *const begin = whole.data();
    const char *w = begin;
    const char *const wEnd = begin + whole.size();
    const char *p = part.data();
    const char *const pEnd = p + part.size();
    for (;;) {
        if (pEnd - p > wEnd - w)
            return false;
        while (pEnd - p >= 8 && eightBytes(p) == eightBytes(w)) {
            p += 8;
            w += 8;
        }
        while (p < pEnd && *p == *w) {
            ++p;
            ++w;
        }
        if (p == pEnd) {
            if (w < wEnd)
                removals.push_back({w - begin, wEnd - w});
            return true;
        }
        const char *const from = w;
        while (w < wEnd && *w != *p)
            ++w;
        if (w == wEnd)
            return false;
        removals.push_back({from - begin, w - from});
    }
}

} // namespace

namespace {

// How many bytes two texts share at their start, compared a block at a time.
qsizetype sharedStart(QByteArrayView x, QByteArrayView y)
{
    constexpr qsizetype block = 4096;
    const qsizetype shorter = std::min(x.size(), y.size());
    qsizetype same = 0;
    while (same + block <= shorter && std::memcmp(x.data() + same, y.data() + same, block) == 0)
        same += block;
    while (same < shorter && x[same] == y[same])
        ++same;
    return same;
}

} // namespace

LineEditsFinder::LineEditsFinder(QByteArrayView before)
    : m_before(before)
{}

void LineEditsFinder::add(QByteArrayView after)
{
    const QByteArrayView before = m_before;
    std::vector<Removal> removals;
    qsizetype b = m_b;
    qsizetype a = 0;
    while (b < before.size() && a < after.size()) {
        // Lines that stayed as they were are passed over at once, up to the
        // last CR both texts share together with the byte after it: a line
        // starts after that line break in both.
        const qsizetype same = sharedStart(before.sliced(b), after.sliced(a));
        const qsizetype cr = same > 1 ? before.sliced(b, same - 1).lastIndexOf('\r') : -1;
        if (cr >= 0) {
            const qsizetype passed = cr + (before[b + cr + 1] == '\n' ? 2 : 1);
            b += passed;
            a += passed;
            continue;
        }
        const Line old = lineAt(before, b);
        const Line now = lineAt(after, a);
        const QByteArrayView oldLine = before.sliced(old.start, old.end - old.start);
        const QByteArrayView newLine = after.sliced(now.start, now.end - now.start);
        if (oldLine != newLine) {
            if (!thinsOutTo(oldLine, newLine, removals)) {
                m_edits.add(old.start, old.next - old.start);
                b = old.next;
                continue;
            }
            for (const Removal &removal : removals)
                m_edits.add(old.start + removal.at, removal.length);
        }
        const QByteArrayView oldBreak = before.sliced(old.end, old.next - old.end);
        const QByteArrayView newBreak = after.sliced(now.end, now.next - now.end);
        if (oldBreak != newBreak) {
            qsizetype same = 0;
            while (same < oldBreak.size() && same < newBreak.size() &&
                   oldBreak[same] == newBreak[same])
                ++same;
            m_edits.add(old.end + same, oldBreak.size() - same, newBreak.sliced(same));
        }
        b = old.next;
        a = now.next;
    }
    // Lines beyond the end of the old text are added.
    m_edits.add(before.size(), 0, after.sliced(a));
    m_b = b;
}

TextEdits LineEditsFinder::finish()
{
    m_edits.add(m_b, m_before.size() - m_b);
    m_b = m_before.size();
    return std::move(m_edits);
}

TextEdits lineEdits(QByteArrayView before, QByteArrayView after)
{
    LineEditsFinder finder(before);
    finder.add(after);
    return finder.finish();
}

namespace {

bool continuesCharacter(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// How many bytes two texts share at their start, and then at their end,
// in whole UTF-8 characters.
std::pair<qsizetype, qsizetype> sharedEnds(QByteArrayView a, QByteArrayView b)
{
    const qsizetype shorter = std::min(a.size(), b.size());
    qsizetype start = 0;
    while (start < shorter && a[start] == b[start])
        ++start;
    const auto splitsAt = [&a, &b](qsizetype inA, qsizetype inB) {
        return (inA < a.size() && continuesCharacter(a[inA])) ||
               (inB < b.size() && continuesCharacter(b[inB]));
    };
    while (start > 0 && splitsAt(start, start))
        --start;
    qsizetype end = 0;
    while (end < shorter - start && a[a.size() - 1 - end] == b[b.size() - 1 - end])
        ++end;
    while (end > 0 && splitsAt(a.size() - end, b.size() - end))
        --end;
    return {start, end};
}

// The edit that replaces one occurrence: what the search text and the
// replacement share at their start and end stays where it is; only what lies
// between is edited ("Welt" to "Weltall" is an insertion), which halves the
// editor's work for each.
struct OccurrenceEdit {
    qsizetype offset; // from the occurrence's start
    qsizetype removed;
    QByteArrayView inserted;

    OccurrenceEdit(QByteArrayView search, QByteArrayView replacement)
    {
        const auto [keptStart, keptEnd] = sharedEnds(search, replacement);
        offset = keptStart;
        removed = search.size() - keptStart - keptEnd;
        inserted = replacement.sliced(keptStart, replacement.size() - keptStart - keptEnd);
    }
    void addAt(TextEdits &edits, qsizetype found) const
    {
        edits.add(found + offset, removed, inserted);
    }
};

} // namespace

std::optional<TextEdits> replacementEdits(QByteArrayView before, QByteArrayView search,
                                          QByteArrayView replacement, QByteArrayView after)
{
    if (search.isEmpty())
        return std::nullopt;
    const OccurrenceEdit occurrence(search, replacement);
    TextEdits edits;
    qsizetype from = 0; // in before
    qsizetype to = 0;   // in after
    // Whether `after` goes on with `expected`, which is then passed.
    const auto comesNext = [&after, &to](QByteArrayView expected) {
        if (after.size() - to < expected.size() ||
            after.sliced(to, expected.size()) != expected)
            return false;
        to += expected.size();
        return true;
    };
    for (;;) {
        const auto *hit = static_cast<const char *>(memmem(before.data() + from,
                                                           size_t(before.size() - from),
                                                           search.data(), size_t(search.size())));
        if (!hit)
            break;
        const qsizetype found = hit - before.data();
        if (!comesNext(before.sliced(from, found - from)) || !comesNext(replacement))
            return std::nullopt;
        occurrence.addAt(edits, found);
        from = found + search.size();
    }
    if (!comesNext(before.sliced(from)) || to != after.size())
        return std::nullopt;
    return edits;
}

namespace {

// The occurrences of the search text as edits, looked for a stride at a time
// between reports; for replacements that stay apart.
ReplaceAllChange occurrencesReplaced(QByteArrayView text, QByteArrayView search,
                                     QByteArrayView replacement, const ReplaceLimits &limits,
                                     const std::function<bool(qint64 done)> &report)
{
    const OccurrenceEdit occurrence(search, replacement);
    const qsizetype growth = replacement.size() - search.size();
    constexpr qsizetype stride = qsizetype(1) << 20;
    ReplaceAllChange change;
    TextEdits edits;
    qsizetype pos = 0;
    qsizetype nextReport = report ? stride : text.size() + 1;
    for (;;) {
        if (pos >= nextReport) {
            if (!report(pos))
                return {ReplaceOutcome::Cancelled, 0, std::nullopt, {}};
            nextReport = pos + stride;
        }
        // A match starting before the next report ends at most
        // length - 1 bytes after it.
        const qsizetype limit = std::min(text.size(), nextReport);
        const qsizetype end = std::min(text.size(), limit + search.size() - 1);
        // (An empty text may have no bytes at all to point at.)
        const auto *hit = end - pos < search.size()
                              ? nullptr
                              : static_cast<const char *>(memmem(text.data() + pos,
                                                                 size_t(end - pos), search.data(),
                                                                 size_t(search.size())));
        if (!hit) {
            pos = limit;
            if (pos == text.size())
                break;
            continue;
        }
        const qsizetype found = hit - text.data();
        ++change.count;
        if (change.count > limits.maxReplacements ||
            text.size() + change.count * growth > limits.maxBytes)
            return {ReplaceOutcome::TooMuchWork, 0, std::nullopt, {}};
        occurrence.addAt(edits, found);
        pos = found + search.size();
    }
    if (change.count > 0)
        change.edits = std::move(edits);
    return change;
}

} // namespace

ReplaceAllChange replaceAllChange(QByteArrayView text, QByteArrayView search,
                                  QByteArrayView replacement, const ReplaceLimits &limits,
                                  const std::function<bool(qint64 done)> &report)
{
    if (replacementsStayApart(search, replacement))
        return occurrencesReplaced(text, search, replacement, limits, report);
    ReplaceAllResult result = replaceAll(text, search, replacement, limits, report);
    ReplaceAllChange change{result.outcome, result.count, std::nullopt, {}};
    if (result.outcome != ReplaceOutcome::Replaced || result.count == 0)
        return change;
    change.edits = replacementEdits(text, search, replacement, result.text);
    if (!change.edits)
        change.text = std::move(result.text);
    return change;
}

} // namespace kelo
