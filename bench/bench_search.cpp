// Benchmarks of the text tools on a generated 20 MB German text
// (bench::toolTextSize: KELO_BENCH_TEXT_MB sets another size): one
// "suchen" or "weitersuchen" of the Search dialog that has to cross the whole
// text, measured against `grep -c -i` for the same term on the same file in
// the same run (grep writes into a file: on /dev/null it takes short cuts),
// and the caret readout after a click on the last line.
#include "germantext.h"
#include "platform/textbox.h"
#include "tools/autoindent.h"
#include "tools/caret.h"
#include "tools/frm_such.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

// The text ends with a word that occurs nowhere else, so that a search for
// it from the start crosses the whole text.
const QByteArray &searchText()
{
    static const QByteArray text =
        kelo::bench::germanText(kelo::bench::toolTextSize(), kelo::Encoding::Utf8) +
        "Das Xylophon am Ende.\r\n";
    return text;
}

// The same text as a file, for grep.
class TextFile {
public:
    TextFile()
    {
        QFile file(m_dir.filePath(QStringLiteral("text.txt")));
        m_ok = file.open(QIODevice::WriteOnly) && file.write(searchText()) == searchText().size() &&
               file.flush();
    }
    bool ok() const { return m_ok && m_dir.isValid(); }
    QString path() const { return m_dir.filePath(QStringLiteral("text.txt")); }
    QString outputPath() const { return m_dir.filePath(QStringLiteral("count.txt")); }

private:
    QTemporaryDir m_dir;
    bool m_ok = false;
};

const TextFile &textFile()
{
    static const TextFile file;
    return file;
}

// The median time of `grep -c -i term file > count.txt` over a few runs, in
// milliseconds, or a negative value when grep cannot be run.
double grepMilliseconds(const QString &term)
{
    const QString grep = QStandardPaths::findExecutable(QStringLiteral("grep"));
    if (grep.isEmpty() || !textFile().ok())
        return -1;
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) {
        QProcess process;
        process.setStandardOutputFile(textFile().outputPath(), QIODevice::Truncate);
        QElapsedTimer timer;
        timer.start();
        process.start(grep, {QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("--"), term,
                             textFile().path()});
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() > 1)
            return -1;
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct LoadedEditor {
    LoadedEditor() { box.loadUtf8(searchText()); }
    kelo::TextBox box;
};

// Reports the mean time of the measured calls and their ratio to grep's.
void reportAgainstGrep(benchmark::State &state, double totalMs, const QString &term)
{
    const double ours = totalMs / double(state.iterations());
    const double grep = grepMilliseconds(term);
    state.counters["ms"] = ours;
    state.counters["grep_ms"] = grep;
    if (grep > 0)
        state.counters["vs_grep"] = ours / grep;
}

// "suchen" in the whole text for a term that is not there.
void BM_SuchenAcrossTheWholeText(benchmark::State &state, const char *termUtf8)
{
    const QString term = QString::fromUtf8(termUtf8);
    LoadedEditor editor;
    QString status;
    kelo::frm_such dialog(&editor.box, [&status](const QString &text) { status = text; });
    dialog.txtSuch->setText(term);
    double totalMs = 0;
    for (auto _ : state) {
        status.clear();
        QElapsedTimer timer;
        timer.start();
        dialog.cmdSuchen_Click();
        totalMs += double(timer.nsecsElapsed()) / 1e6;
        if (status.isEmpty()) {
            state.SkipWithError("the term was found");
            return;
        }
    }
    reportAgainstGrep(state, totalMs, term);
}
BENCHMARK_CAPTURE(BM_SuchenAcrossTheWholeText, Strassenbahn, "STRASSENBAHN")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SuchenAcrossTheWholeText, Aergernis, "\xc3\xa4rgernis")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SuchenAcrossTheWholeText, Einzelstueck,
                  "Einzelst\xc3\xbc"
                  "ck")
    ->Unit(benchmark::kMillisecond);

// "weitersuchen" from the start of the text to its last line.
void BM_WeitersuchenToTheEnd(benchmark::State &state)
{
    const QString term = QStringLiteral("xyloPHON");
    LoadedEditor editor;
    QString status;
    kelo::frm_such dialog(&editor.box, [&status](const QString &text) { status = text; });
    dialog.txtSuch->setText(term);
    const int expected = editor.box.textLength() - 19;
    double totalMs = 0;
    for (auto _ : state) {
        editor.box.setSelStart(0);
        QElapsedTimer timer;
        timer.start();
        dialog.cmdWeitersuchen_Click();
        totalMs += double(timer.nsecsElapsed()) / 1e6;
        if (editor.box.SelStart() != expected || editor.box.SelLength() != 8) {
            state.SkipWithError("the match at the end was not selected");
            return;
        }
    }
    reportAgainstGrep(state, totalMs, term);
}
BENCHMARK(BM_WeitersuchenToTheEnd)->Unit(benchmark::kMillisecond);

// The readout handler with the caret on the last line.
void BM_CaretReadoutOnTheLastLine(benchmark::State &state)
{
    LoadedEditor editor;
    QLineEdit status;
    editor.box.setSelStart(editor.box.textLength() - 5);
    for (auto _ : state) {
        status.setText(
            kelo::caretReadout(kelo::GetCurrentLine(editor.box), kelo::GetCurrentCol(editor.box)));
    }
    if (status.text() != QStringLiteral("Zeile %1, Spalte 19").arg(editor.box.crlfLineCount() - 1))
        state.SkipWithError(qPrintable(QStringLiteral("wrong readout: ") + status.text()));
}
BENCHMARK(BM_CaretReadoutOnTheLastLine)->Unit(benchmark::kMicrosecond);

// A real click (press and release) on the last line and the readout, each
// time right after Enter was pressed there: the line index must follow the
// edit without a pass over the whole text.
void BM_ClickOnTheLastLineAfterEnter(benchmark::State &state)
{
    LoadedEditor editor;
    kelo::TextBox &box = editor.box;
    box.resize(600, 400);
    box.show();
    QLineEdit status;
    QObject::connect(&box, &kelo::TextBox::clicked, &status, [&] {
        status.setText(kelo::caretReadout(kelo::GetCurrentLine(box), kelo::GetCurrentCol(box)));
    });
    for (auto _ : state) {
        state.PauseTiming();
        box.setSelStart(box.textLength());
        kelo::AutoIndent(box);
        box.setSelText(QStringLiteral("Neue Zeile"));
        const long position = box.utf16ToPosition(box.textLength() - 4);
        const QPointF target(
            double(box.SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, position)) + 1,
            double(box.SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, position)) +
                3);
        QMouseEvent press(QEvent::MouseButtonPress, target, box.viewport()->mapToGlobal(target),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, target, box.viewport()->mapToGlobal(target),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        state.ResumeTiming();
        QApplication::sendEvent(box.viewport(), &press);
        QApplication::sendEvent(box.viewport(), &release);
    }
    if (status.text() != QStringLiteral("Zeile %1, Spalte 7").arg(box.crlfLineCount()))
        state.SkipWithError(qPrintable(QStringLiteral("wrong readout: ") + status.text()));
}
BENCHMARK(BM_ClickOnTheLastLineAfterEnter)->Unit(benchmark::kMicrosecond)->Iterations(200);

// Enter at the end of the text: the indentation is read in place.
void BM_AutoIndentAtTheEnd(benchmark::State &state)
{
    LoadedEditor editor;
    for (auto _ : state) {
        editor.box.setSelStart(editor.box.textLength());
        kelo::AutoIndent(editor.box);
    }
}
BENCHMARK(BM_AutoIndentAtTheEnd)->Unit(benchmark::kMicrosecond)->Iterations(200);

} // namespace
