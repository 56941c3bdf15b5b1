// Typing at the end of a large text and reading the caret's line and column
// there, for texts of 1 MB, 100 MB and 1 GB in one run: a key and the caret
// readout should cost the same at the end of a gigabyte as at the end of a
// megabyte. Each key's time is what passes from the key until the program
// could take the next one (its posted change notices included). The keys
// fit into the room the loading leaves in the editor's buffer; beyond it,
// the editor grows its buffer by copying the whole text once (QScintilla).
#include "germantext.h"
#include "platform/textbox.h"
#include "tools/caret.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

void reportWaits(benchmark::State &state, const char *name, std::vector<double> waits)
{
    std::sort(waits.begin(), waits.end());
    state.counters[std::string(name) + "_median_ms"] = waits[waits.size() / 2];
    state.counters[std::string(name) + "_p99_ms"] = waits[waits.size() * 99 / 100];
    state.counters[std::string(name) + "_max_ms"] = waits.back();
}

void BM_TypingAndCaretAtTheEnd(benchmark::State &state)
{
    const qsizetype bytes = qsizetype(state.range(0)) << 20;
    kelo::TextBox box;
    {
        // As a file comes in: in pieces, into a buffer reserved once.
        const QByteArray text = kelo::bench::germanText(bytes, kelo::Encoding::Utf8);
        if (!box.beginLoad(text.size()) || !box.appendLoad(text)) {
            state.SkipWithError("not enough memory for the text");
            return;
        }
        box.finishLoad();
    }
    box.setSelStart(box.textLength());
    // The first key and readout after loading pay for the editor's offset
    // indexes, built once per text; they are no part of the steady cost.
    QKeyEvent first(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&box, &first);
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(kelo::GetCurrentLine(box) + kelo::GetCurrentCol(box));

    std::vector<double> keys;
    std::vector<double> readouts;
    QString shown;
    for (auto _ : state) {
        for (int key = 0; key < 400; ++key) {
            QElapsedTimer timer;
            timer.start();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
            QApplication::sendEvent(&box, &press);
            QCoreApplication::processEvents();
            keys.push_back(double(timer.nsecsElapsed()) / 1e6);

            timer.restart();
            shown = kelo::caretReadout(kelo::GetCurrentLine(box), kelo::GetCurrentCol(box));
            readouts.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    benchmark::DoNotOptimize(shown);
    reportWaits(state, "key", keys);
    reportWaits(state, "caret", readouts);
}
BENCHMARK(BM_TypingAndCaretAtTheEnd)
    ->ArgName("MB")
    ->Arg(1)
    ->Arg(100)
    ->Arg(1024)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
