// Replace all against the plain loop it stands for: replace the leftmost
// occurrence, search the new text again from its start, until none is left.
// On small inputs text, count and outcome must be those of the loop run
// under the same limits; on large ones (the input repeated) the result must
// keep its bounds and hold no occurrence. What the editor is handed (the
// edits, or the whole text) must make exactly replace all's result, with its
// outcome and count.
#include "editsapplied.h"
#include "fuzzcheck.h"

#include "tools/replaceall.h"
#include "tools/textchanges.h"

using namespace kelo;
using kelo::fuzz::literal;

namespace {

ReplaceAllResult referenceReplaceAll(QByteArray text, const QByteArray &search,
                                     const QByteArray &replacement, const ReplaceLimits &limits)
{
    if (search.isEmpty())
        return {ReplaceOutcome::EmptySearch, {}, 0};
    if (text.contains(search) && replacement.contains(search))
        return {ReplaceOutcome::EndlessReplacement, {}, 0};
    qint64 count = 0;
    for (qsizetype at = text.indexOf(search); at >= 0; at = text.indexOf(search)) {
        ++count;
        const qint64 size = text.size() - search.size() + replacement.size();
        if (count > limits.maxReplacements || size > limits.maxBytes)
            return {ReplaceOutcome::TooMuchWork, {}, 0};
        text = text.left(at) + replacement + text.mid(at + search.size());
    }
    return {ReplaceOutcome::Replaced, text, count};
}

std::string shown(const ReplaceAllResult &result)
{
    return "outcome " + std::to_string(int(result.outcome)) + ", count " +
           std::to_string(result.count) + ", text " + literal(result.text);
}

void checkChange(const QByteArray &text, const QByteArray &search, const QByteArray &replacement,
                 const ReplaceLimits &limits, const ReplaceAllResult &result)
{
    const std::string context = "text " + literal(text.left(200)) + ", search " +
                                literal(search) + ", replacement " + literal(replacement) +
                                ": " + shown(result);
    const ReplaceAllChange change = replaceAllChange(text, search, replacement, limits);
    FUZZ_CHECK(change.outcome == result.outcome && change.count == result.count,
               context + "\nchange: outcome " + std::to_string(int(change.outcome)) +
                   ", count " + std::to_string(change.count));
    if (change.outcome != ReplaceOutcome::Replaced || change.count == 0) {
        FUZZ_CHECK(!change.edits && change.text.isEmpty(), context);
        return;
    }
    FUZZ_CHECK(change.edits.has_value() != !change.text.isEmpty() || result.text.isEmpty(),
               context);
    const std::optional<QByteArray> made =
        change.edits ? fuzz::editsApplied(text, *change.edits) : change.text;
    FUZZ_CHECK(made == result.text, context + "\nhanded over " + literal(made.value_or("?")));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const bool large = input.ConsumeBool();
    ReplaceLimits limits;
    limits.maxReplacements = input.ConsumeIntegralInRange<qint64>(0, 3000);
    limits.maxBytes = input.ConsumeIntegralInRange<qint64>(0, 1 << 12);
    const QByteArray search = fuzz::takeBytes(input, 6);
    const QByteArray replacement = fuzz::takeBytes(input, 8);
    QByteArray text = fuzz::takeRest(input);

    if (!large) {
        const ReplaceAllResult result = replaceAll(text, search, replacement, limits);
        const ReplaceAllResult expected = referenceReplaceAll(text, search, replacement, limits);
        FUZZ_CHECK(result.outcome == expected.outcome && result.count == expected.count &&
                       result.text == expected.text,
                   "text " + literal(text) + ", search " + literal(search) + ", replacement " +
                       literal(replacement) + ", limits " +
                       std::to_string(limits.maxReplacements) + "/" +
                       std::to_string(limits.maxBytes) + "\n got " + shown(result) +
                       "\nwant " + shown(expected));
        checkChange(text, search, replacement, limits, result);
        return 0;
    }

    // A large text: the input many times over, with the default limits made
    // small enough to be reached.
    if (text.isEmpty())
        return 0;
    const QByteArray unit = text;
    while (text.size() < 50'000)
        text += unit;
    limits.maxReplacements = limits.maxReplacements * 100;
    limits.maxBytes = limits.maxBytes * 32;
    const ReplaceAllResult result = replaceAll(text, search, replacement, limits);
    const std::string context = "unit " + literal(unit) + " x" +
                                std::to_string(text.size() / unit.size()) + ", search " +
                                literal(search) + ", replacement " + literal(replacement) + ": " +
                                shown(result);
    if (result.outcome != ReplaceOutcome::Replaced) {
        FUZZ_CHECK(result.count == 0 && result.text.isEmpty(), context);
        return 0;
    }
    FUZZ_CHECK(result.count <= limits.maxReplacements, context);
    FUZZ_CHECK(result.text.size() <= std::max<qint64>(limits.maxBytes, text.size()), context);
    FUZZ_CHECK(result.text.size() ==
                   text.size() + result.count * (replacement.size() - search.size()),
               context);
    FUZZ_CHECK(!result.text.contains(search), context);
    checkChange(text, search, replacement, limits, result);
    return 0;
}
