#include "tools/replaceall.h"

#include <cstring>
#include <string>
#include <vector>

namespace kelo {

namespace {

// Knuth-Morris-Pratt matching of the search text, one character at a time:
// the state is the length of the longest end of what was read that begins
// the search text.
class Matcher {
public:
    explicit Matcher(QByteArrayView search)
        : m_search(search)
        , m_fallback(size_t(search.size()), 0)
    {
        qsizetype k = 0;
        for (qsizetype i = 1; i < search.size(); ++i) {
            while (k > 0 && search[i] != search[k])
                k = m_fallback[size_t(k - 1)];
            if (search[i] == search[k])
                ++k;
            m_fallback[size_t(i)] = k;
        }
    }

    qsizetype step(qsizetype state, char c) const
    {
        while (state > 0 && m_search[state] != c)
            state = m_fallback[size_t(state - 1)];
        return m_search[state] == c ? state + 1 : 0;
    }

    // The state after reading the end of a text that holds no match: only
    // the last length - 1 characters can begin one.
    qsizetype stateAfter(QByteArrayView text) const
    {
        qsizetype state = 0;
        for (const char c : text.last(std::min(text.size(), m_search.size() - 1)))
            state = step(state, c);
        return state;
    }

private:
    QByteArrayView m_search;
    std::vector<qsizetype> m_fallback;
};

// The occurrences that do not overlap, counted from the left.
qsizetype occurrences(QByteArrayView text, QByteArrayView search)
{
    qsizetype count = 0;
    const char *at = text.data();
    const char *const end = at + text.size();
    while (const void *found = memmem(at, size_t(end - at), search.data(), size_t(search.size()))) {
        ++count;
        at = static_cast<const char *>(found) + search.size();
    }
    return count;
}

} // namespace

ReplaceAllResult replaceAll(QByteArrayView text, QByteArrayView search, QByteArrayView replacement,
                            const ReplaceLimits &limits,
                            const std::function<bool(qint64 done)> &report)
{
    ReplaceAllResult result;
    if (search.isEmpty()) {
        result.outcome = ReplaceOutcome::EmptySearch;
        return result;
    }
    if (!text.contains(search))
        return {ReplaceOutcome::Replaced, text.toByteArray(), 0};
    if (replacement.contains(search)) {
        result.outcome = ReplaceOutcome::EndlessReplacement;
        return result;
    }

    const Matcher matcher(search);
    const qsizetype length = search.size();
    QByteArray &out = result.text; // the text read so far, holding no match
    // Room for the text with every occurrence it holds now replaced, which
    // is the result unless replacements make new occurrences: a result that
    // outgrows its room is moved, and for that moment it is there twice.
    qsizetype growth = 0;
    if (replacement.size() > length)
        growth = occurrences(text, search) * (replacement.size() - length);
    out.reserve(text.size() + growth);
    // Replacements still to be read, the next character last.
    std::string pending;
    qsizetype pos = 0; // the next character of the text not yet read
    qsizetype state = 0;
    // The text is searched and told about a stride at a time.
    constexpr qsizetype stride = qsizetype(1) << 20;
    qsizetype nextReport = report ? stride : text.size() + 1;
    const auto goOn = [&] {
        if (pos < nextReport)
            return true;
        nextReport = pos + stride;
        return report(pos);
    };

    // The match ends where the text read so far ends (and was taken off it).
    const auto replace = [&] {
        ++result.count;
        const qint64 size =
            out.size() + qint64(pending.size()) + (text.size() - pos) + replacement.size();
        if (result.count > limits.maxReplacements || size > limits.maxBytes)
            return false;
        state = matcher.stateAfter(out);
        pending.append(replacement.rbegin(), replacement.rend());
        return true;
    };

    for (;;) {
        char c;
        if (!pending.empty()) {
            c = pending.back();
            pending.pop_back();
        } else if (state == 0) {
            if (!goOn())
                return {ReplaceOutcome::Cancelled, {}, 0};
            // Nothing begun: the next match is the next occurrence in the
            // text, found by the fast search, up to the next report (a match
            // starting before it ends at most length - 1 bytes after it).
            const qsizetype limit = std::min(text.size(), nextReport);
            const qsizetype found =
                text.first(std::min(text.size(), limit + length - 1)).indexOf(search, pos);
            if (found < 0) {
                out.append(text.sliced(pos, limit - pos));
                pos = limit;
                if (pos == text.size())
                    break;
                continue;
            }
            out.append(text.sliced(pos, found - pos));
            pos = found + length;
            if (!replace())
                return {ReplaceOutcome::TooMuchWork, {}, 0};
            continue;
        } else if (pos < text.size()) {
            if (!goOn())
                return {ReplaceOutcome::Cancelled, {}, 0};
            c = text[pos++];
        } else {
            break;
        }
        out.append(c);
        state = matcher.step(state, c);
        if (state == length) {
            out.chop(length);
            if (!replace())
                return {ReplaceOutcome::TooMuchWork, {}, 0};
        }
    }
    return result;
}

bool replacementsStayApart(QByteArrayView search, QByteArrayView replacement)
{
    if (search.isEmpty() || replacement.contains(search))
        return false;
    const qsizetype shared = std::min(search.size() - 1, replacement.size());
    for (qsizetype k = 1; k <= shared; ++k) {
        if (search.last(k) == replacement.first(k) || search.first(k) == replacement.last(k))
            return false;
    }
    // Inside, with at least one character before and after it.
    const qsizetype inside = search.sliced(1).indexOf(replacement);
    return inside < 0 || 1 + inside + replacement.size() >= search.size();
}

QString replaceRefusal(ReplaceOutcome outcome)
{
    switch (outcome) {
    case ReplaceOutcome::Replaced:
        break;
    case ReplaceOutcome::EmptySearch:
        return QStringLiteral("Bitte einen Suchbegriff eingeben: Ein leerer Suchbegriff kann "
                              "nicht ersetzt werden. Der Text bleibt unverändert.");
    case ReplaceOutcome::EndlessReplacement:
        return QStringLiteral("Der Ersatzbegriff enthält den Suchbegriff: Das Ersetzen fände nie "
                              "ein Ende. Der Text bleibt unverändert.");
    case ReplaceOutcome::TooMuchWork:
        return QStringLiteral("Das Ersetzen wurde abgebrochen: Es bräuchte zu viele Ersetzungen "
                              "oder ließe den Text über 1 GiB wachsen. Der Text bleibt "
                              "unverändert.");
    case ReplaceOutcome::Cancelled:
        return QStringLiteral("Das Ersetzen wurde abgebrochen. Der Text bleibt unverändert.");
    }
    return {};
}

} // namespace kelo
