// A batched translation without the network: lines with their own breaks, which lines go out
// in which request, bodies as long as planned, and a text only when every request came back.
#include "services/translationbatches.h"
#include "services/translationservice.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

using Service = TranslationService;
using enum TranslationDirection;

// Every line keeps its own break; a translation takes the line's indentation and stays one line.
TEST(TextLines, EveryLineKeepsItsBreakAndItsIndentation)
{
    using Lines = QList<TextLine>;
    const std::pair<QString, Lines> cases[] = {
        {"", {}},
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
    // line, translation, placed
    const std::tuple<QString, QString, QString> translated[] = {
        {"Hallo", "Hello", "Hello"},           {"    Hallo", "Hello", "    Hello"},
        {"\tHallo  ", " Hello ", "\tHello  "}, {"Zwei Sätze.", "Two\nsentences.", "Two sentences."},
        {"x", "a\r\nb\rc", "a b c"},
    };
    for (const auto &[line, translation, placed] : translated)
        EXPECT_EQ(placedTranslation(line, translation), placed) << line.toStdString();
}

BatchLimits limitsOf(Service service, qsizetype maxLines = 50)
{
    BatchLimits limits;
    limits.maxLines = maxLines;
    limits.envelopeBytes = envelopeSize(service, GermanToEnglish, "k:fx");
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

// Every line with words goes out exactly once and in order; every request holds at most the
// lines and bytes allowed, its body is exactly as long as the plan reckoned, and the next line
// would not have fitted into it.
void expectTightPlan(const QList<TextLine> &lines, const BatchLimits &limits, Service service)
{
    const BatchPlan plan = planBatches(lines, limits);
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
        qsizetype reckoned = limits.envelopeBytes + batch.size() - 1; // the commas
        for (const qsizetype i : batch) {
            texts.append(sentText(lines[i].text));
            reckoned += limits.textBytes(texts.last());
        }
        const qsizetype size = requestBody(service, texts, GermanToEnglish, "k:fx").size();
        EXPECT_EQ(size, reckoned);
        return size;
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

// Lines with words go out in as few requests as the limits allow, however their JSON differs
// from their UTF-8, and a line too long even alone stops the plan before anything goes out.
TEST(Batches, GoOutInAsFewRequestsAsTheLimitsAllowAndALineTooLongAloneStopsThePlan)
{
    QStringList texts;
    for (int i = 0; i < 1000; ++i) {
        texts << (i % 7 == 3   ? QString()
                  : i % 7 == 5 ? QStringLiteral("tab\tand\x01 \\ </script> € \U0001F600 \x7F")
                               : QStringLiteral("Zeile %1 mit \"Grüßen\" und mehr").arg(i));
    }
    for (const Service service : {Service::LibreTranslate, Service::DeepL}) {
        EXPECT_LE(planBatches(linesOf(texts), limitsOf(service)).batches.size(), 20);
        expectTightPlan(linesOf(texts), limitsOf(service), service);
    }
    // UTF-8 as it stands, not escaped.
    EXPECT_TRUE(requestBody(Service::DeepL, texts, GermanToEnglish, "").contains("Grüßen"));

    // Long lines, whose JSON is longer still, are split by bytes.
    texts.clear();
    for (int i = 0; i < 60; ++i)
        texts << QString(3000 + 37 * i, QChar(i % 2 ? u'ä' : u'"')) << "   "
              << "kurz";
    const BatchLimits limits = limitsOf(Service::DeepL);
    EXPECT_GT(planBatches(linesOf(texts), limits).batches.size(), 3);
    expectTightPlan(linesOf(texts), limits, Service::DeepL);

    // Fits alone exactly, and one byte more does not.
    const qsizetype room = limits.maxBodyBytes - limits.envelopeBytes - 2;
    EXPECT_FALSE(planBatches(linesOf({"a", QString(room, 'x')}), limits).tooLong);
    const BatchPlan tooLong = planBatches(linesOf({"a", "b", QString(room + 1, 'x')}), limits);
    EXPECT_EQ(tooLong.tooLong, 2);
    EXPECT_TRUE(tooLong.batches.isEmpty());
}

// Translates by upper case, or with the answers given in turn, and records what went out.
struct Recorder {
    QList<QStringList> sent;
    QList<BatchTranslation> answers;

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

// Every translation goes back to its own line; a failure, a wrong count or a cancel stops the
// run at that request, without a text, and the message names its lines.
TEST(BatchRuns, GiveATextWithEveryLineInItsPlaceOnlyWhenEveryRequestCameBackWhole)
{
    const QList<TextLine> lines = splitTextLines(u"eins\r\n\r\n  zwei\nDREI\r\n   \r\nvier");
    Recorder recorder;
    QList<std::tuple<qsizetype, qsizetype, qsizetype>> progress;
    const BatchRun run = translateInBatches(
        lines, planBatches(lines, limitsOf(Service::LibreTranslate, 2)), std::ref(recorder),
        [&](qsizetype first, qsizetype last, qsizetype count) {
            progress.append({first, last, count});
            return true;
        });
    EXPECT_EQ(run.state, BatchRun::State::Done);
    EXPECT_EQ(run.text, "EINS\r\n\r\n  ZWEI\nDREI\r\n   \r\nVIER");
    EXPECT_EQ(recorder.sent, (QList<QStringList>{{"eins", "zwei"}, {"DREI", "vier"}}));
    EXPECT_EQ(progress, (QList<std::tuple<qsizetype, qsizetype, qsizetype>>{{1, 3, 6}, {4, 6, 6}}));

    // the answer to the second request, state, error
    const QList<TextLine> five = linesOf({"a", "b", "c", "d", "e"});
    const BatchPlan inThree = planBatches(five, limitsOf(Service::DeepL, 2));
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
    }

    // A cancel in the progress box before the third request.
    Recorder cancelled;
    const auto beforeTheThird = [](qsizetype first, qsizetype, qsizetype) { return first < 5; };
    EXPECT_EQ(translateInBatches(five, inThree, std::ref(cancelled), beforeTheThird).state,
              BatchRun::State::Cancelled);
    EXPECT_EQ(cancelled.sent.size(), 2);

    // A request of one line names that line (the lines of a longer one are named end to end).
    BatchRun one;
    one.firstLine = one.lastLine = one.lineCount = 5;
    one.error = "kaputt";
    EXPECT_EQ(batchFailureMessage(one, "DeepL"),
              "Die Übersetzung über DeepL ist bei Zeile 5 von 5 fehlgeschlagen:\nkaputt\n\n"
              "Der Text im Editor bleibt unverändert.");
}

} // namespace
} // namespace kelo::test
