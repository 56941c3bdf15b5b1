// Loading a large file into the editor, as a process of its own so that its
// peak resident set is the load's: the way a file goes into the editor now
// (in pieces, ReadFileInPieces) against reading it whole and decoding it in
// one piece (ReadWholeFile and loadUtf8), as it did before. bigload.sh runs
// both on the same files and prints the ratios.
//
//   kelo_bigload make FILE MIB cp1252|utf8   writes the German sample text
//   kelo_bigload load FILE pieces|whole      loads FILE, prints the costs
#include "files/fileprocs.h"
#include "germantext.h"
#include "platform/textbox.h"

#include <QApplication>
#include <QFile>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int make(const char *file, long mib, bool utf8)
{
    const QByteArray text = kelo::bench::germanText(
        qsizetype(mib) << 20, utf8 ? kelo::Encoding::Utf8 : kelo::Encoding::Windows1252);
    QFile out(QString::fromLocal8Bit(file));
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", file);
        return 1;
    }
    return 0;
}

int load(const char *file, bool pieces)
{
    const QString path = QString::fromLocal8Bit(file);
    kelo::TextBox box;
    QCoreApplication::processEvents();
    kelo::bench::settleMemory();
    const long before = kelo::bench::statusKiB("VmRSS");
    const double start = cpuSeconds();
    bool ok = false;
    if (pieces) {
        const kelo::FileReadResult read = kelo::ReadFileInPieces(
            path, {[&box](qsizetype bytes) { return box.beginLoad(bytes); },
                   [&box](QByteArrayView utf8) { return box.appendLoad(utf8); }});
        ok = read.ok;
        if (ok)
            box.finishLoad();
    } else {
        const kelo::FileReadResult read = kelo::ReadWholeFile(path);
        ok = read.ok;
        if (ok)
            box.loadUtf8(read.text.utf8);
    }
    const double loadCpu = cpuSeconds() - start;
    // The editor builds its offset indexes once the event loop is idle.
    QCoreApplication::processEvents();
    const double cpu = cpuSeconds() - start;
    const long peak = kelo::bench::statusKiB("VmHWM") - before;
    const long length = box.utf8View().size();
    if (!ok || length < QFile(path).size() / 2) {
        std::fprintf(stderr, "%s did not arrive in the editor\n", file);
        return 1;
    }
    // Until the text is in the editor, and until the editor is idle again.
    std::printf("load_cpu_s=%.3f cpu_s=%.3f peak_MiB=%ld text_MiB=%ld\n", loadCpu, cpu, peak / 1024,
                length >> 20);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], std::atol(argv[3]), std::strcmp(argv[4], "utf8") == 0);
    if (argc == 4 && std::strcmp(argv[1], "load") == 0) {
        QApplication app(argc, argv);
        return load(argv[2], std::strcmp(argv[3], "pieces") == 0);
    }
    std::fprintf(stderr, "usage: %s make FILE MIB cp1252|utf8 | load FILE pieces|whole\n", argv[0]);
    return 2;
}
