// Benchmarks of the editor control on a large text: loading, reading the text
// back, the CR LF line queries and typing at the end. Loading against
// QPlainTextEdit, and the memory a load costs, are measured end to end through
// the open panel in bench_load.cpp.
#include "germantext.h"
#include "platform/textbox.h"

#include <QApplication>
#include <QKeyEvent>

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
