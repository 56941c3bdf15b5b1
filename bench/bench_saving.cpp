// Benchmarks of saving a 20 MB text (bench::toolTextSize: KELO_BENCH_TEXT_MB
// sets another size): our writer (encoding, final line break, checks, its
// own atomic replacement with a sync) and the whole Speichern of the main
// window (the text taken from the editor), each against a plain QSaveFile
// write of the same file bytes in the same run. Saving should cost at most
// twice the plain write; compare BM_SavePlainQSaveFile/<sample> with the
// others.
#include "files/saving.h"
#include "files/textwriter.h"
#include "germantext.h"
#include "platform/codepage.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "shell/form1.h"

#include <QDir>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace kelo;

const qsizetype textSize = bench::toolTextSize();

enum class Sample { Windows1252, Utf8, Utf8LfOnly };

// A loaded file: what the editor holds and the form it came in. Each case
// makes its own and holds nothing else, as a window holds only its editor's
// text after opening a file.
DecodedText loaded(Sample sample)
{
    switch (sample) {
    case Sample::Windows1252:
        return decodeText(bench::germanText(textSize, Encoding::Windows1252));
    case Sample::Utf8:
        return decodeText(bench::germanText(textSize, Encoding::Utf8));
    case Sample::Utf8LfOnly:
        return decodeText(bench::withoutCr(bench::germanText(textSize, Encoding::Utf8)));
    }
    return {};
}

// The bytes the file holds after a save, for the plain write.
QByteArray fileBytes(Sample sample)
{
    const DecodedText text = loaded(sample);
    QByteArray bytes = encodeText(text.utf8, text.format).bytes;
    bytes += finalLineBreak(text.utf8, text.format);
    return bytes;
}

void BM_SavePlainQSaveFile(benchmark::State &state, Sample sample)
{
    const QByteArray bytes = fileBytes(sample);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("text.txt"));
    for (auto _ : state) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            state.SkipWithError("plain write failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_SaveWriter(benchmark::State &state, Sample sample)
{
    const DecodedText text = loaded(sample);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("text.txt"));
    for (auto _ : state) {
        const TextWriteResult result = writeTextFile(path, text.utf8, text.format);
        if (!result.ok)
            state.SkipWithError(result.error.toStdString().c_str());
    }
    state.SetBytesProcessed(state.iterations() * text.utf8.size());
}

// Speichern as the button runs it, the message box answered at once.
void BM_SaveSpeichern(benchmark::State &state, Sample sample)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("text.txt"));
    QFile(path).open(QIODevice::WriteOnly);
    SettingsStore settings(dir.filePath(QStringLiteral("Kelo.conf")));
    ScriptedMessageBoxes messages;
    KeloContext context;
    context.programFolder = dir.path();
    context.programFile = dir.filePath(QStringLiteral("kelo"));
    context.settings = &settings;
    context.messages = &messages;
    Form1 form(context);
    qsizetype textBytes = 0;
    {
        // The window keeps only the editor's copy, as after opening a file.
        const DecodedText text = loaded(sample);
        form.TextBox1->loadUtf8(text.utf8);
        form.setTextFormat(text.format);
        textBytes = text.utf8.size();
    }
    form.setCurrentFile(path);
    // What the window does right after a load (building the editor's offset
    // indexes) is over before a user can press the button; the progress box
    // of the save would otherwise pay for it.
    QCoreApplication::processEvents();
    for (auto _ : state) {
        if (!form.saving()->Speichern())
            state.SkipWithError("Speichern did not write");
        messages.clear();
    }
    state.SetBytesProcessed(state.iterations() * textBytes);
}

} // namespace

BENCHMARK_CAPTURE(BM_SavePlainQSaveFile, Windows1252, Sample::Windows1252)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveWriter, Windows1252, Sample::Windows1252)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveSpeichern, Windows1252, Sample::Windows1252)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SavePlainQSaveFile, Utf8, Sample::Utf8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveWriter, Utf8, Sample::Utf8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveSpeichern, Utf8, Sample::Utf8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SavePlainQSaveFile, Utf8LfOnly, Sample::Utf8LfOnly)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveWriter, Utf8LfOnly, Sample::Utf8LfOnly)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveSpeichern, Utf8LfOnly, Sample::Utf8LfOnly)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
