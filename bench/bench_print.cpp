// Benchmarks of printing: the whole text to a PDF through the printer code
// (the same pages a real printer gets), on the German sample text, against
// Qt's own way of printing a plain text, QTextDocument::print, on the same
// text and printer settings.
#include "germantext.h"
#include "platform/textprinter.h"

#include <QDir>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>

#include <benchmark/benchmark.h>

namespace {

QString sample(qsizetype megabytes)
{
    return QString::fromUtf8(kelo::bench::germanText(megabytes << 20, kelo::Encoding::Utf8, true));
}

void BM_PrintToPdf(benchmark::State &state)
{
    const QString text = sample(state.range(0));
    QTemporaryDir dir;
    const QString pdf = QDir(dir.path()).filePath(QStringLiteral("out.pdf"));
    for (auto _ : state) {
        if (!kelo::PdfPrinter(pdf).printText(text).ok)
            state.SkipWithError("printing failed");
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_PrintToPdf)->Arg(2)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_PrintComparedTextDocument(benchmark::State &state)
{
    const QString text = sample(state.range(0));
    QTemporaryDir dir;
    const QString pdf = QDir(dir.path()).filePath(QStringLiteral("out.pdf"));
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        QTextDocument document;
        document.setPlainText(text);
        document.print(&printer);
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_PrintComparedTextDocument)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
