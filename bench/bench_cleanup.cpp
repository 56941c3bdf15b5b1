// Benchmarks of the line tools and of replace all on 20 MB of German text
// (bench::toolTextSize: KELO_BENCH_TEXT_MB sets another size), each
// beside the sed command that does the same kind of work on the same file,
// timed in the same run:
//   Leerzeilen            sed -E 's/ +/ /g;/^ *\r?$/d'
//   ganze Zeile löschen   sed '/abc/s/.*//'  (and with a word that occurs)
//   ersetzen              sed 's/Welt/Weltall/g'  (and 's/Welt/Erdball/g')
// The editor's part is included: text out of the editor, and back in as one
// undo step. sed's times include starting the process (about a millisecond).
// peak_growth_texts is how far the resident set rose while the tool ran, in
// sizes of the text: the new text and the old one kept for undo count one
// each, on top of the text held before.
#include "germantext.h"
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "shell/form1.h"
#include "tools/frm_ersetz.h"
#include "tools/linetools.h"
#include "tools/replaceall.h"
#include "tools/textchanges.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

using namespace kelo;

const qsizetype textSize = bench::toolTextSize();

const QByteArray &cleanupText()
{
    static const QByteArray text = bench::germanText(textSize, Encoding::Utf8, true);
    return text;
}

// The generator knows no "Welt": four of its words become one, about
// 100,000 occurrences in all.
const QByteArray &weltText()
{
    static const QByteArray text = [] {
        QByteArray t = bench::germanText(textSize, Encoding::Utf8, false);
        for (const char *word : {"Haus", "Land", "Stadt", "Zeit"})
            t.replace(word, "Welt");
        return t;
    }();
    return text;
}

// A window with its own throw-away program folder and settings.
struct Window {
    QTemporaryDir folder;
    std::unique_ptr<SettingsStore> settings;
    ScriptedMessageBoxes messages;
    std::unique_ptr<Form1> form;

    Window()
    {
        settings = std::make_unique<SettingsStore>(folder.filePath(QStringLiteral("Kelo.conf")));
        KeloContext context;
        context.programFolder = folder.path();
        context.programFile = folder.filePath(QStringLiteral("kelo"));
        context.settings = settings.get();
        context.messages = &messages;
        form = std::make_unique<Form1>(std::move(context));
    }
};

// The same text as a file for sed, and sed's output beside it.
class SedRun {
public:
    explicit SedRun(const QByteArray &text)
    {
        QFile file(m_dir.filePath(QStringLiteral("in.txt")));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            std::abort();
    }
    void run(const QString &arguments, benchmark::State &state)
    {
        const QByteArray command =
            (QStringLiteral("sed ") + arguments + QStringLiteral(" '") +
             m_dir.filePath(QStringLiteral("in.txt")) + QStringLiteral("' > '") +
             m_dir.filePath(QStringLiteral("out.txt")) + QStringLiteral("'"))
                .toLocal8Bit();
        if (std::system(command.constData()) != 0)
            state.SkipWithError("sed failed");
    }

private:
    QTemporaryDir m_dir;
};

// What the window does right after a text is loaded (building the editor's
// offset indexes) is done before the tool is timed, as it is before a user
// can press a button; a tool whose progress box lets the window work would
// otherwise pay for it.
void settle()
{
    QCoreApplication::processEvents();
}

void BM_Leerzeilen(benchmark::State &state)
{
    Window window;
    bench::PeakGrowth growth;
    TextBox &editor = *window.form->TextBox1;
    for (auto _ : state) {
        state.PauseTiming();
        editor.loadUtf8(cleanupText());
        settle();
        growth.start();
        state.ResumeTiming();
        if (!window.form->lineTools()->Leerz())
            state.SkipWithError("Leerz failed");
        state.PauseTiming();
        growth.stop();
        state.ResumeTiming();
    }
    state.counters["lines_out"] = double(editor.crlfLineCount());
    state.counters["peak_growth_texts"] = growth.inTexts(cleanupText().size());
    state.SetBytesProcessed(state.iterations() * cleanupText().size());
}
BENCHMARK(BM_Leerzeilen)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LeerzeilenComparedSed(benchmark::State &state)
{
    SedRun sed(cleanupText());
    for (auto _ : state)
        sed.run(QStringLiteral("-E 's/ +/ /g;/^ *\\r?$/d'"), state);
    state.SetBytesProcessed(state.iterations() * cleanupText().size());
}
BENCHMARK(BM_LeerzeilenComparedSed)->Unit(benchmark::kMillisecond)->Iterations(5);

const QString searches[] = {QStringLiteral("abc"), QStringLiteral("Straße")};

void BM_GanzeZeileLoeschen(benchmark::State &state)
{
    const QString search = searches[state.range(0)];
    Window window;
    bench::PeakGrowth growth;
    TextBox &editor = *window.form->TextBox1;
    for (auto _ : state) {
        state.PauseTiming();
        editor.loadUtf8(cleanupText());
        settle();
        growth.start();
        state.ResumeTiming();
        if (!window.form->lineTools()->SLoesch(search))
            state.SkipWithError("SLoesch failed");
        state.PauseTiming();
        growth.stop();
        state.ResumeTiming();
    }
    state.counters["peak_growth_texts"] = growth.inTexts(cleanupText().size());
    state.SetLabel(search.toStdString());
    state.SetBytesProcessed(state.iterations() * cleanupText().size());
}
BENCHMARK(BM_GanzeZeileLoeschen)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_GanzeZeileLoeschenComparedSed(benchmark::State &state)
{
    const QString search = searches[state.range(0)];
    SedRun sed(cleanupText());
    for (auto _ : state)
        sed.run(QStringLiteral("'/") + search + QStringLiteral("/s/.*//'"), state);
    state.SetLabel(search.toStdString());
    state.SetBytesProcessed(state.iterations() * cleanupText().size());
}
BENCHMARK(BM_GanzeZeileLoeschenComparedSed)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// Through the dialog: editor text out, replace all, editor text in.
void BM_Ersetzen(benchmark::State &state)
{
    Window window;
    TextBox &editor = *window.form->TextBox1;
    frm_ersetz dialog(&editor, *window.settings, window.messages, window.form.get());
    dialog.txt_finde->setText(QStringLiteral("Welt"));
    dialog.txt_replace->setText(QStringLiteral("Erdball"));
    bench::PeakGrowth growth;
    for (auto _ : state) {
        state.PauseTiming();
        editor.loadUtf8(weltText());
        settle();
        growth.start();
        state.ResumeTiming();
        dialog.cmd_ersetzen_Click();
        state.PauseTiming();
        growth.stop();
        state.ResumeTiming();
    }
    state.counters["peak_growth_texts"] = growth.inTexts(weltText().size());
    state.counters["replacements"] = replaceAll(weltText(), "Welt", "Erdball").count;
    state.SetBytesProcessed(state.iterations() * weltText().size());
}
BENCHMARK(BM_Ersetzen)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same without the editor: how much of it is the replacing itself (the
// occurrences found and made edits, as the dialog does it).
void BM_ErsetzenWithoutEditor(benchmark::State &state)
{
    for (auto _ : state) {
        ReplaceAllChange change = replaceAllChange(weltText(), "Welt", "Erdball");
        benchmark::DoNotOptimize(change.edits->size());
    }
    state.SetBytesProcessed(state.iterations() * weltText().size());
}
BENCHMARK(BM_ErsetzenWithoutEditor)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ErsetzenComparedSed(benchmark::State &state)
{
    SedRun sed(weltText());
    const QString script = state.range(0) == 0 ? QStringLiteral("'s/Welt/Weltall/g'")
                                               : QStringLiteral("'s/Welt/Erdball/g'");
    for (auto _ : state)
        sed.run(script, state);
    state.SetLabel(script.toStdString());
    state.SetBytesProcessed(state.iterations() * weltText().size());
}
BENCHMARK(BM_ErsetzenComparedSed)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// The loop's worst case: a megabyte of 'a' with "aa" -> "a", a million
// replacements each making a new occurrence at the start.
void BM_ErsetzenWorstCase1MB(benchmark::State &state)
{
    const QByteArray text(1 << 20, 'a');
    for (auto _ : state) {
        ReplaceAllResult result = replaceAll(text, "aa", "a");
        benchmark::DoNotOptimize(result.text.data());
        state.counters["replacements"] = double(result.count);
    }
}
BENCHMARK(BM_ErsetzenWorstCase1MB)->Unit(benchmark::kMillisecond);

// "ab" -> "ba" on a...ab...b: stopped at the bound of 100 million
// replacements; how long the user waits for the refusal.
void BM_ErsetzenStoppedAtTheBound(benchmark::State &state)
{
    const QByteArray text = QByteArray(20'000, 'a') + QByteArray(20'000, 'b');
    for (auto _ : state) {
        ReplaceAllResult result = replaceAll(text, "ab", "ba");
        if (result.outcome != ReplaceOutcome::TooMuchWork)
            state.SkipWithError("not stopped");
    }
}
BENCHMARK(BM_ErsetzenStoppedAtTheBound)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
