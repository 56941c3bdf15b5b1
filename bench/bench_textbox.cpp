// Benchmarks of the editor control on a large text: loading (against
// QPlainTextEdit with the same text), reading the text back, the CR LF line
// queries, typing at the end, and how much the process grows per byte loaded.
#include "germantext.h"
#include "platform/textbox.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <benchmark/benchmark.h>

namespace {

const QByteArray &text20MB()
{
    static const QByteArray text = kelo::bench::germanText(20 << 20, kelo::Encoding::Utf8, false);
    return text;
}

void BM_TextBoxLoad20MB(benchmark::State &state)
{
    const QByteArray &text = text20MB();
    kelo::TextBox box;
    for (auto _ : state)
        box.loadUtf8(text);
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_TextBoxLoad20MB)->Unit(benchmark::kMillisecond);

void BM_TextBoxComparedPlainTextEditLoad20MB(benchmark::State &state)
{
    const QString text = QString::fromUtf8(text20MB());
    QPlainTextEdit edit;
    for (auto _ : state)
        edit.setPlainText(text);
    state.SetBytesProcessed(state.iterations() * text20MB().size());
}
BENCHMARK(BM_TextBoxComparedPlainTextEditLoad20MB)->Unit(benchmark::kMillisecond)->Iterations(2);

// Growth of the process through a load into an existing editor (the text
// bytes themselves already being in memory), as a multiple of the text size:
// rss_x after the load, peak_x at the highest point on the way.
void BM_TextBoxMemory(benchmark::State &state)
{
    const QByteArray text =
        kelo::bench::germanText(qsizetype(state.range(0)) << 20, kelo::Encoding::Utf8, false);
    double rssFactor = 0;
    double peakFactor = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto box = std::make_unique<kelo::TextBox>();
        kelo::bench::settleMemory();
        const long before = kelo::bench::statusKiB("VmRSS");
        state.ResumeTiming();
        box->loadUtf8(text);
        state.PauseTiming();
        rssFactor = double(kelo::bench::statusKiB("VmRSS") - before) * 1024 / double(text.size());
        peakFactor = double(kelo::bench::statusKiB("VmHWM") - before) * 1024 / double(text.size());
        box.reset();
        state.ResumeTiming();
    }
    state.counters["rss_x"] = rssFactor;
    state.counters["peak_x"] = peakFactor;
}
BENCHMARK(BM_TextBoxMemory)->Arg(20)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_TextBoxComparedPlainTextEditMemory20MB(benchmark::State &state)
{
    const QByteArray &bytes = text20MB();
    double rssFactor = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto edit = std::make_unique<QPlainTextEdit>();
        kelo::bench::settleMemory();
        const long before = kelo::bench::statusKiB("VmRSS");
        state.ResumeTiming();
        edit->setPlainText(QString::fromUtf8(bytes));
        state.PauseTiming();
        rssFactor = double(kelo::bench::statusKiB("VmRSS") - before) * 1024 / double(bytes.size());
        edit.reset();
        state.ResumeTiming();
    }
    state.counters["rss_x"] = rssFactor;
}
BENCHMARK(BM_TextBoxComparedPlainTextEditMemory20MB)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_TextBoxText20MB(benchmark::State &state)
{
    kelo::TextBox box;
    box.loadUtf8(text20MB());
    for (auto _ : state)
        benchmark::DoNotOptimize(box.Text());
    state.SetBytesProcessed(state.iterations() * text20MB().size());
}
BENCHMARK(BM_TextBoxText20MB)->Unit(benchmark::kMillisecond);

void BM_TextBoxUtf8Text20MB(benchmark::State &state)
{
    kelo::TextBox box;
    box.loadUtf8(text20MB());
    for (auto _ : state)
        benchmark::DoNotOptimize(box.utf8Text());
    state.SetBytesProcessed(state.iterations() * text20MB().size());
}
BENCHMARK(BM_TextBoxUtf8Text20MB)->Unit(benchmark::kMillisecond);

// The first line query after a change pays for one pass over the text.
void BM_TextBoxFirstLineQueryAfterLoad20MB(benchmark::State &state)
{
    kelo::TextBox box;
    for (auto _ : state) {
        state.PauseTiming();
        box.loadUtf8(text20MB());
        state.ResumeTiming();
        benchmark::DoNotOptimize(box.lineFromChar(box.textLength()));
    }
}
BENCHMARK(BM_TextBoxFirstLineQueryAfterLoad20MB)->Unit(benchmark::kMillisecond);

// Every later query: the line of the last offset and the start of the last line.
void BM_TextBoxLineQueriesLastLine20MB(benchmark::State &state)
{
    kelo::TextBox box;
    box.loadUtf8(text20MB());
    const int last = box.textLength();
    for (auto _ : state) {
        const int line = box.lineFromChar(last);
        benchmark::DoNotOptimize(box.lineIndex(line));
    }
}
BENCHMARK(BM_TextBoxLineQueriesLastLine20MB);

// The same after a lone LF near the start: every query now has to take the
// lone break into account.
void BM_TextBoxLineQueriesWithLoneBreaks20MB(benchmark::State &state)
{
    kelo::TextBox box;
    box.loadUtf8("a\nb\rc\r\n" + text20MB());
    const int last = box.textLength();
    for (auto _ : state) {
        const int line = box.lineFromChar(last);
        benchmark::DoNotOptimize(box.lineIndex(line));
    }
}
BENCHMARK(BM_TextBoxLineQueriesWithLoneBreaks20MB);

// A key typed at the end of the text: an edit must not cost a pass over the
// text before it.
void BM_TextBoxTypeAtTheEnd20MB(benchmark::State &state)
{
    kelo::TextBox box;
    box.loadUtf8(text20MB());
    box.setSelStart(box.textLength());
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(&box, &press);
    }
    if (!box.Text().endsWith(QStringLiteral("aaa")))
        state.SkipWithError("nothing was typed");
}
BENCHMARK(BM_TextBoxTypeAtTheEnd20MB)->Unit(benchmark::kMicrosecond)->Iterations(100);

void BM_TextBoxSelectionAtTheEnd20MB(benchmark::State &state)
{
    kelo::TextBox box;
    box.loadUtf8(text20MB());
    const int last = box.textLength();
    for (auto _ : state) {
        box.setSelStart(last - 10);
        box.setSelLength(5);
        benchmark::DoNotOptimize(box.SelStart() + box.SelLength());
    }
}
BENCHMARK(BM_TextBoxSelectionAtTheEnd20MB);

} // namespace
