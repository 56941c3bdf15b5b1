// Loading a 20 MB German text through the open panel (FileLoad) until it is in
// the editor, against QPlainTextEdit::setPlainText with the same text and
// against only reading and decoding the file, all in the same run. Also how
// much the process grows when a file is loaded into a fresh window.
#include "benchwindow.h"
#include "files/fileprocs.h"
#include "files/openpanel.h"
#include "germantext.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "shell/form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using kelo::Encoding;

// A temporary folder holding the sample file in one encoding.
struct Sample {
    QTemporaryDir dir;
    QString file;

    Sample(qsizetype bytes, Encoding encoding)
    {
        file = dir.filePath(QStringLiteral("text.txt"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(kelo::bench::germanText(bytes, encoding)) < 0)
            qFatal("cannot write the sample file");
    }
};

// A main window as the program builds it, on throw-away settings, with its
// open panel pointing at the sample's folder.
struct Window {
    kelo::bench::BenchWindow window;

    explicit Window(const Sample &sample)
        : window(sample.dir.path())
    {
        window.open(sample.dir.path()).Dateiauswahl->Dir1->setPath(sample.dir.path());
    }

    kelo::Form1 *form() const { return window.form.get(); }

    void chooseAndLoad()
    {
        kelo::FileListBox *files = form()->Dateiauswahl->File1;
        files->setListIndex(files->list().indexOf(QStringLiteral("text.txt")));
        form()->FileLoad();
    }
};

Encoding encodingOf(const benchmark::State &state)
{
    return state.range(0) == 0 ? Encoding::Windows1252 : Encoding::Utf8;
}

void BM_LoadFileLoad(benchmark::State &state)
{
    const Sample sample(20 << 20, encodingOf(state));
    Window window(sample);
    for (auto _ : state)
        window.chooseAndLoad();
    if (window.form()->TextBox1->utf8Text().size() < (19 << 20))
        state.SkipWithError("the text did not arrive in the editor");
    state.SetBytesProcessed(state.iterations() * QFileInfo(sample.file).size());
}
BENCHMARK(BM_LoadFileLoad)->Arg(0)->Arg(1)->ArgName("utf8")->Unit(benchmark::kMillisecond);

void BM_LoadReadAndDecodeOnly(benchmark::State &state)
{
    const Sample sample(20 << 20, encodingOf(state));
    for (auto _ : state) {
        kelo::FileReadResult read = kelo::ReadWholeFile(sample.file);
        benchmark::DoNotOptimize(read.text.utf8.data());
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(sample.file).size());
}
BENCHMARK(BM_LoadReadAndDecodeOnly)->Arg(0)->Arg(1)->ArgName("utf8")->Unit(benchmark::kMillisecond);

void BM_LoadPlainTextEditSetPlainText(benchmark::State &state)
{
    const Sample sample(20 << 20, encodingOf(state));
    const QString text = QString::fromUtf8(kelo::ReadWholeFile(sample.file).text.utf8);
    QPlainTextEdit edit;
    for (auto _ : state)
        edit.setPlainText(text);
    state.SetBytesProcessed(state.iterations() * QFileInfo(sample.file).size());
}
BENCHMARK(BM_LoadPlainTextEditSetPlainText)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("utf8")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// Growth of the resident set, and its peak, when a file of the given size in
// MiB is loaded into a freshly opened window, as a multiple of the file size.
void BM_LoadMemoryGrowth(benchmark::State &state)
{
    const qsizetype bytes = state.range(0) << 20;
    const Sample sample(bytes, Encoding::Windows1252);
    for (auto _ : state) {
        state.PauseTiming();
        Window window(sample);
        kelo::bench::settleMemory();
        const long before = kelo::bench::statusKiB("VmRSS");
        state.ResumeTiming();
        window.chooseAndLoad();
        state.PauseTiming();
        // The editor indexes the new text once the event loop is idle again;
        // that memory belongs to the loaded text too.
        QCoreApplication::processEvents();
        kelo::bench::settleMemory();
        const double file = double(QFileInfo(sample.file).size()) / 1024;
        state.counters["growth_x"] = (kelo::bench::statusKiB("VmRSS") - before) / file;
        state.counters["peak_growth_x"] = (kelo::bench::statusKiB("VmHWM") - before) / file;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadMemoryGrowth)
    ->Arg(20)
    ->Arg(100)
    ->ArgName("MiB")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
