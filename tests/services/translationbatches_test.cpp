// A batched translation without the network: lines with their own breaks, which lines go
// out in which request, and a text only when every request came back whole.
#include "services/translationbatches.h"
#include "services/translationservice.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

TEST(TextLines, EveryLineKeepsItsBreakAndItsIndentation)
{
    using Lines = QList<TextLine>;
    const std::pair<QString, Lines> cases[] = {
        {"", {}},
        {"a", {{"a", ""}}},
        {"a\r\n", {{"a", "\r\n"}}},
        {"a\r\n\r\nb", {{"a", "\r\n"}, {"", "\r\n"}, {"b", ""}}},
        {"a\nb\n", {{"a", "\n"}, {"b", "\n"}}},
        {"a\rb", {{"a", "\r"}, {"b", ""}}},
        {"a\n\r\nb\r", {{"a", "\n"}, {"", "\r\n"}, {"b", "\r"}}},
        {"\n\n", {{"", "\n"}, {"", "\n"}}},
    };
    for (const auto &[text, lines] : cases) {
        EXPECT_EQ(splitTextLines(text), lines) << text.toStdString();
        EXPECT_EQ(joinTextLines(splitTextLines(text)), text);
    }
    // A translation takes the line's indentation and stays one line: line, translation, placed.
    const std::tuple<QString, QString, QString> translated[] = {
        {"Hallo", "Hello", "Hello"},           {"    Hallo", "Hello", "    Hello"},
        {"\tHallo  ", " Hello ", "\tHello  "}, {"Zwei Sätze.", "Two\nsentences.", "Two sentences."},
        {"x", "a\r\nb\rc", "a b c"},
    };
    for (const auto &[line, translation, placed] : translated)
        EXPECT_EQ(placedTranslation(line, translation), placed) << line.toStdString();
}

BatchLimits limitsOf(TranslationService service, qsizetype maxLines = 50,
                     qsizetype maxBytes = 100 * 1024)
{
    BatchLimits limits;
    limits.maxLines = maxLines;
    limits.maxBodyBytes = maxBytes;
    limits.envelopeBytes = envelopeSize(service, TranslationDirection::GermanToEnglish, "k:fx");
    limits.textBytes = encodedTextSize;
    return limits;
}

QList<TextLine> linesOf(const QStringList &texts)
{
    QList<TextLine> lines;
    for (const QString &text : texts)
        lines.append({text, "\r\n"});
    return lines;
}

// Every line with words goes out exactly once and in order, every request
// holds at most the lines and the bytes allowed, and the next line would
// not have fitted into the request before it.
void expectTightPlan(const QList<TextLine> &lines, const BatchPlan &plan, const BatchLimits &limits,
                     TranslationService service)
{
    ASSERT_FALSE(plan.tooLong);
    QList<qsizetype> sent;
    for (const QList<qsizetype> &batch : plan.batches)
        sent += batch;
    QList<qsizetype> withWords;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!sentText(lines[i].text).isEmpty())
            withWords.append(i);
    }
    EXPECT_EQ(sent, withWords);
    const auto bodyOf = [&](const QList<qsizetype> &batch) {
        QStringList texts;
        for (const qsizetype i : batch)
            texts.append(sentText(lines[i].text));
        return requestBody(service, texts, TranslationDirection::GermanToEnglish, "k:fx").size();
    };
    for (qsizetype b = 0; b < plan.batches.size(); ++b) {
        const QList<qsizetype> &batch = plan.batches[b];
        EXPECT_LE(batch.size(), limits.maxLines);
        EXPECT_LE(bodyOf(batch), limits.maxBodyBytes);
        if (b + 1 < plan.batches.size() && batch.size() < limits.maxLines) {
            EXPECT_GT(bodyOf(batch + QList<qsizetype>{plan.batches[b + 1].first()}),
                      limits.maxBodyBytes);
        }
    }
}

TEST(Batches, GoOutInAsFewRequestsAsTheLimitsAllowAndALineTooLongAloneStopsThePlan)
{
    QStringList texts;
    for (int i = 0; i < 1000; ++i)
        texts << (i % 7 == 3 ? QString()
                             : QStringLiteral("Zeile %1 mit \"Grüßen\" und mehr").arg(i));
    const QList<TextLine> lines = linesOf(texts);
    for (const TranslationService service :
         {TranslationService::LibreTranslate, TranslationService::DeepL}) {
        const BatchLimits limits = limitsOf(service);
        const BatchPlan plan = planBatches(lines, limits);
        EXPECT_LE(plan.batches.size(), 20);
        expectTightPlan(lines, plan, limits, service);
    }
    // Blank lines go out not at all, not even in an empty request.
    const BatchPlan blank =
        planBatches(linesOf({"", "  ", "\t"}), limitsOf(TranslationService::LibreTranslate));
    EXPECT_TRUE(blank.batches.isEmpty());
    EXPECT_FALSE(blank.tooLong);

    // Long lines, whose JSON is longer still, are split by bytes.
    texts.clear();
    for (int i = 0; i < 60; ++i)
        texts << QString(3000 + 37 * i, QChar(i % 2 ? u'ä' : u'"')) << "   " << "kurz";
    const QList<TextLine> longLines = linesOf(texts);
    const BatchLimits limits = limitsOf(TranslationService::DeepL);
    const BatchPlan plan = planBatches(longLines, limits);
    EXPECT_GT(plan.batches.size(), 3);
    expectTightPlan(longLines, plan, limits, TranslationService::DeepL);

    // Fits alone exactly, and one byte more does not.
    const qsizetype room = limits.maxBodyBytes - limits.envelopeBytes - 2;
    EXPECT_FALSE(planBatches(linesOf({"a", QString(room, 'x')}), limits).tooLong);
    const BatchPlan tooLong = planBatches(linesOf({"a", "b", QString(room + 1, 'x')}), limits);
    EXPECT_EQ(tooLong.tooLong, 2);
    EXPECT_TRUE(tooLong.batches.isEmpty());
}

// Translates by upper case and records what went out.
struct Recorder {
    QList<QStringList> sent;
    QList<BatchTranslation> answers; // the answers in turn; upper case after them

    BatchTranslation operator()(const QStringList &texts)
    {
        sent.append(texts);
        if (sent.size() <= answers.size())
            return answers[sent.size() - 1];
        QStringList upper;
        for (const QString &text : texts)
            upper.append(text.toUpper());
        return BatchTranslation::done(upper);
    }
};

TEST(BatchRuns, GiveATextWithEveryLineInItsPlaceOnlyWhenEveryRequestCameBackWhole)
{
    const QList<TextLine> lines = splitTextLines(u"eins\r\n\r\n  zwei\nDREI\r\n   \r\nvier");
    const BatchPlan plan = planBatches(lines, limitsOf(TranslationService::LibreTranslate, 2));
    Recorder recorder;
    QList<std::tuple<qsizetype, qsizetype, qsizetype>> progress;
    const BatchRun run = translateInBatches(lines, plan, std::ref(recorder),
                                            [&](qsizetype first, qsizetype last, qsizetype count) {
                                                progress.append({first, last, count});
                                                return true;
                                            });
    EXPECT_EQ(run.state, BatchRun::State::Done);
    EXPECT_EQ(run.text, "EINS\r\n\r\n  ZWEI\nDREI\r\n   \r\nVIER");
    EXPECT_EQ(recorder.sent, (QList<QStringList>{{"eins", "zwei"}, {"DREI", "vier"}}));
    EXPECT_EQ(progress, (QList<std::tuple<qsizetype, qsizetype, qsizetype>>{{1, 3, 6}, {4, 6, 6}}));

    // A failure, a wrong count or a cancel stops the run without a text:
    // the answer to the second request, state, error.
    const QList<TextLine> five = linesOf({"a", "b", "c", "d", "e"});
    const BatchPlan inThree = planBatches(five, limitsOf(TranslationService::DeepL, 2));
    ASSERT_EQ(inThree.batches.size(), 3);
    const std::tuple<BatchTranslation, BatchRun::State, QString> cases[] = {
        {BatchTranslation::failed("kaputt"), BatchRun::State::Failed, "kaputt"},
        {BatchTranslation::done({"C"}), BatchRun::State::Failed, "1 Übersetzungen für 2"},
        {BatchTranslation::done({"C", "D", "E"}), BatchRun::State::Failed, "3 Übersetzungen für 2"},
        {BatchTranslation::stopped(), BatchRun::State::Cancelled, ""},
    };
    for (const auto &[answer, state, error] : cases) {
        Recorder failing;
        failing.answers = {BatchTranslation::done({"A", "B"}), answer};
        const BatchRun broken = translateInBatches(five, inThree, std::ref(failing));
        EXPECT_EQ(broken.state, state);
        EXPECT_TRUE(broken.text.isEmpty());
        EXPECT_TRUE(broken.error.contains(error)) << broken.error.toStdString();
        EXPECT_EQ(failing.sent.size(), 2); // nothing after the stop
        EXPECT_EQ(broken.firstLine, 3);
        EXPECT_EQ(broken.lastLine, 4);
        if (state == BatchRun::State::Failed) {
            EXPECT_EQ(batchFailureMessage(broken, "DeepL"),
                      "Die Übersetzung über DeepL ist bei den Zeilen 3 bis 4 von 5 "
                      "fehlgeschlagen:\n" +
                          broken.error + "\n\nDer Text im Editor bleibt unverändert.");
        }
    }

    // A cancel in the progress box before the third request.
    Recorder cancelled;
    const BatchRun stopped =
        translateInBatches(five, inThree, std::ref(cancelled),
                           [](qsizetype first, qsizetype, qsizetype) { return first < 5; });
    EXPECT_EQ(stopped.state, BatchRun::State::Cancelled);
    EXPECT_EQ(cancelled.sent.size(), 2);
}

} // namespace
} // namespace kelo::test
