// Typing at the end of a 100 MB changed text while recovery copies are
// written, against the same typing without copies, in one run. The copies
// come every 500 ms here instead of every 30 s, so that a run of a few
// seconds meets many of them; what a key press waits for is the copy of the
// buffer taken on the interface thread, and the writing thread's work on
// the other core. Each key's wait is what passes from the key until the
// program could take the next one.
#include "files/recoverykeeper.h"
#include "germantext.h"
#include "keywaits.h"
#include "platform/textbox.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

void BM_TypingAtTheEndOf100MB(benchmark::State &state)
{
    const bool withCopies = state.range(0) != 0;
    static const QByteArray text = kelo::bench::germanText(100 << 20, kelo::Encoding::Utf8);
    QTemporaryDir folder;
    kelo::TextBox box;
    box.loadUtf8(text);
    box.setSelStart(box.textLength());
    std::unique_ptr<kelo::RecoveryKeeper> keeper;
    if (withCopies) {
        keeper = std::make_unique<kelo::RecoveryKeeper>(
            QDir(folder.path()).filePath(QStringLiteral("Kelo")), box,
            [] { return kelo::RecoveryCopy{}; });
        keeper->setIntervals(std::chrono::milliseconds(2000), std::chrono::milliseconds(500));
    }
    // The first key after loading pays for the editor's offset index, which
    // is no part of this comparison.
    kelo::bench::timedKeyPress(box);
    std::vector<double> waits;
    for (auto _ : state) {
        for (int key = 0; key < 400; ++key) {
            // What runs before the next key can be taken includes the
            // copy's timers.
            waits.push_back(kelo::bench::timedKeyPress(box));
            QThread::msleep(10); // a fast typist: 100 keys a second
        }
    }
    if (keeper) {
        keeper->waitUntilWritten();
        if (keeper->copyPath().isEmpty())
            state.SkipWithError("no copy was written");
    }
    kelo::bench::reportWaits(state, "", waits);
    // In both runs one early key waits for the editor growing its own buffer
    // (a copy of the whole text, no recovery involved); what the copies add
    // shows in how many keys wait longer than 50 ms and in the 99th percentile.
    state.counters["keys_over_50ms"] =
        double(std::count_if(waits.begin(), waits.end(), [](double ms) { return ms > 50; }));
}
BENCHMARK(BM_TypingAtTheEndOf100MB)
    ->ArgName("copies")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
