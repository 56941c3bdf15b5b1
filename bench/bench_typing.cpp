// Typing at the end of a large text and reading the caret's line and column
// there, for texts of 1 MB, 100 MB and 1 GB in one run: a key and the caret
// readout should cost the same at the end of a gigabyte as at the end of a
// megabyte. Each key's time is what passes from the key until the program
// could take the next one (its posted change notices included). The keys
// fit into the room the loading leaves in the editor's buffer; beyond it,
// the editor grows its buffer by copying the whole text once (QScintilla).
#include "germantext.h"
#include "keywaits.h"
#include "platform/textbox.h"
#include "tools/caret.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

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
    kelo::bench::timedKeyPress(box);
    benchmark::DoNotOptimize(kelo::GetCurrentLine(box) + kelo::GetCurrentCol(box));

    std::vector<double> keys;
    std::vector<double> readouts;
    QString shown;
    for (auto _ : state) {
        for (int key = 0; key < 400; ++key) {
            keys.push_back(kelo::bench::timedKeyPress(box));

            QElapsedTimer timer;
            timer.start();
            shown = kelo::caretReadout(kelo::GetCurrentLine(box), kelo::GetCurrentCol(box));
            readouts.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }
    benchmark::DoNotOptimize(shown);
    kelo::bench::reportWaits(state, "key_", keys);
    kelo::bench::reportWaits(state, "caret_", readouts);
}
BENCHMARK(BM_TypingAndCaretAtTheEnd)
    ->ArgName("MB")
    ->Arg(1)
    ->Arg(100)
    ->Arg(1024)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
