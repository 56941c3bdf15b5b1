// Typing at the end of a 100 MB changed text while recovery copies are
// written, against the same typing without copies, in one run. Then one copy
// of a long text: how long the window waits for it and how much memory it
// takes, against copying the text once in memory. The copies
// come every 500 ms here instead of every 30 s, so that a run of a few
// seconds meets many of them; what a key press waits for is the text being
// taken on the interface thread, and the writing thread's work on the other
// core. Each key's wait is what passes from the key until the
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

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstring>
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

// One recovery copy of a changed text of the given size in MiB. take_ms is
// what the window waits for (the time copyNow() takes), written_ms the time
// until the copy is on disk, peak_growth_MiB how far the resident set rises
// above the loaded text meanwhile. The references: the text copied once into
// fresh memory (copy_in_memory_ms), and into memory touched before
// (copy_in_touched_memory_ms), as a copy taken in memory costs.
void BM_RecoveryCopyOfALongText(benchmark::State &state)
{
    const QByteArray text = kelo::bench::germanText(state.range(0) << 20, kelo::Encoding::Utf8);
    QTemporaryDir folder;
    kelo::TextBox box;
    box.loadUtf8(text);
    box.setSelStart(box.textLength());
    box.setSelText(QStringLiteral("x"));
    QCoreApplication::processEvents();
    kelo::RecoveryKeeper keeper(QDir(folder.path()).filePath(QStringLiteral("Kelo")), box,
                                [] { return kelo::RecoveryCopy{}; });
    keeper.copyNow(); // the folder and the lock, made once
    keeper.waitUntilWritten();
    double take = 0;
    double written = 0;
    kelo::bench::PeakGrowth growth;
    for (auto _ : state) {
        growth.start();
        QElapsedTimer clock;
        clock.start();
        keeper.copyNow();
        take += clock.nsecsElapsed() / 1e6;
        keeper.waitUntilWritten();
        written += clock.nsecsElapsed() / 1e6;
        growth.stop();
    }
    QElapsedTimer clock;
    clock.start();
    QByteArray copy(text.size(), Qt::Uninitialized);
    std::memcpy(copy.data(), box.utf8View().data(), std::size_t(copy.size()));
    state.counters["copy_in_memory_ms"] = clock.nsecsElapsed() / 1e6;
    clock.start(); // again, into memory the system has handed out already
    std::memcpy(copy.data(), box.utf8View().data(), std::size_t(copy.size()));
    state.counters["copy_in_touched_memory_ms"] = clock.nsecsElapsed() / 1e6;
    state.counters["take_ms"] = take / double(state.iterations());
    state.counters["written_ms"] = written / double(state.iterations());
    state.counters["peak_growth_MiB"] = double(growth.kib()) / 1024;
}
BENCHMARK(BM_RecoveryCopyOfALongText)
    ->ArgName("MiB")
    ->Arg(100)
    ->Arg(1024)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace
