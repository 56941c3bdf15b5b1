// Loading a large file into the editor, as a process of its own so that its
// peak resident set is the load's: the way a file goes into the editor now
// (in pieces, ReadFileInPieces) against reading it whole and decoding it in
// one piece (ReadWholeFile and loadUtf8), as it did before. bigload.sh runs
// both on the same files and prints the ratios.
//
//   kelo_bigload make FILE MIB cp1252|utf8   writes the German sample text
//   kelo_bigload load FILE pieces|whole      loads FILE, prints the costs
//   kelo_bigload longline FILE MB [KIND]     writes a text of one line of MB
//                                            megabytes, German (KIND german),
//                                            Base64 (base64) or Chinese
//                                            (chinese), or of MB million
//                                            empty lines (MB negative), opens
//                                            it in a shown editor, types a key
//                                            at its start and end and saves it,
//                                            against a plain QSaveFile write
//                                            of the same bytes
//   kelo_bigload screenreader MIB            types keys at the end of a text
//                                            of MIB and moves the caret there
//                                            while an assistive technology
//                                            listens (run it on an AT-SPI bus
//                                            with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
#include "files/fileprocs.h"
#include "files/textwriter.h"
#include "germantext.h"
#include "platform/textbox.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QSaveFile>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

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

// CPU seconds of `work`, and its wall-clock milliseconds.
template <typename Work> std::pair<double, double> costOf(Work &&work)
{
    QElapsedTimer wall;
    wall.start();
    const double start = cpuSeconds();
    work();
    return {cpuSeconds() - start, double(wall.nsecsElapsed()) / 1e6};
}

// One line of about `bytes` bytes with no spaces: random data in Base64, or
// random Chinese characters from the 3000 after U+4E00.
QByteArray spacelessLine(qsizetype bytes, bool chinese)
{
    quint32 seed = 1;
    const auto random = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    if (chinese) {
        QString line;
        line.reserve(bytes / 3);
        while (line.size() * 3 < bytes)
            line += QChar(char16_t(0x4E00 + random() % 3000));
        return line.toUtf8();
    }
    QByteArray data(bytes * 3 / 4, Qt::Uninitialized);
    for (char &byte : data)
        byte = char(random());
    return data.toBase64();
}

int longLine(const char *file, double mb, const char *kind)
{
    const QString path = QString::fromLocal8Bit(file);
    const qsizetype bytes = qsizetype(std::abs(mb) * 1e6);
    QByteArray text;
    if (mb > 0) {
        if (std::strcmp(kind, "german") == 0) {
            text = kelo::bench::germanText(bytes, kelo::Encoding::Windows1252, false);
            text.replace("\r\n", "  ");
        } else {
            text = spacelessLine(bytes, std::strcmp(kind, "chinese") == 0);
        }
    } else {
        text = QByteArray("\r\n").repeated(bytes / 2);
    }
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.flush()) {
        std::fprintf(stderr, "cannot write %s\n", file);
        return 1;
    }
    out.close();

    kelo::TextBox box;
    box.resize(800, 600);
    box.show();
    QCoreApplication::processEvents();
    kelo::FileReadResult read;
    const auto [openCpu, openMs] = costOf([&] {
        read = kelo::ReadFileInPieces(
            path, {[&box](qsizetype size) { return box.beginLoad(size); },
                   [&box](QByteArrayView utf8) { return box.appendLoad(utf8); }});
        if (read.ok)
            box.finishLoad();
        QCoreApplication::processEvents(); // the indexes, the first paint
        box.viewport()->repaint();
    });
    if (!read.ok) {
        std::fprintf(stderr, "%s did not arrive in the editor\n", file);
        return 1;
    }
    // A key as the user types it, until it is drawn.
    const auto typeAt = [&box](bool end) {
        box.SendScintilla(end ? QsciScintillaBase::SCI_DOCUMENTEND
                              : QsciScintillaBase::SCI_DOCUMENTSTART);
        QCoreApplication::processEvents();
        box.viewport()->repaint();
        return costOf([&box] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QApplication::sendEvent(&box, &press);
            QApplication::sendEvent(&box, &release);
            QCoreApplication::processEvents();
            box.viewport()->repaint();
        });
    };
    const auto [startCpu, startMs] = typeAt(false);
    const auto [endCpu, endMs] = typeAt(true);

    const QString saved = path + QStringLiteral(".saved");
    const QString plain = path + QStringLiteral(".plain");
    // Saving and the plain write of the same bytes take turns, five times
    // each; the medians are compared, as one write alone says little on a
    // shared disk.
    bool written = true;
    QByteArray savedBytes;
    std::vector<double> saveTimes;
    std::vector<double> plainTimes;
    for (int round = 0; round < 5 && written; ++round) {
        saveTimes.push_back(costOf([&] {
                                written = kelo::writeTextFile(saved, box.utf8View(),
                                                              read.text.format)
                                              .ok;
                            }).second);
        if (savedBytes.isEmpty()) {
            QFile in(saved);
            savedBytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
        }
        plainTimes.push_back(costOf([&] {
                                 QSaveFile save(plain);
                                 written = save.open(QIODevice::WriteOnly) &&
                                           save.write(savedBytes) == savedBytes.size() &&
                                           save.commit() && written;
                             }).second);
    }
    QFile::remove(saved);
    QFile::remove(plain);
    if (!written || savedBytes.size() < text.size() + 2) {
        std::fprintf(stderr, "%s was not saved\n", file);
        return 1;
    }
    const auto median = [](std::vector<double> times) {
        std::nth_element(times.begin(), times.begin() + qsizetype(times.size() / 2), times.end());
        return times[times.size() / 2];
    };
    const double saveMs = median(saveTimes);
    const double plainMs = median(plainTimes);
    std::printf("open_cpu_s=%.3f key_start_ms=%.1f key_end_ms=%.1f save_ms=%.1f plain_ms=%.1f "
                "save_ratio=%.2f\n",
                openCpu, startMs, endMs, saveMs, plainMs, saveMs / plainMs);
    (void)openMs;
    (void)startCpu;
    (void)endCpu;
    return 0;
}

// Keys and caret moves at the end of a text while a screen reader listens:
// the median and the slowest of 20 each, from the event until the editor
// could take the next one.
int screenReader(qsizetype mib)
{
    kelo::TextBox box;
    box.resize(800, 600);
    box.show();
    box.setFocus();
    QElapsedTimer waited;
    waited.start();
    while (!QAccessible::isActive() && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    if (!QAccessible::isActive()) {
        std::fprintf(stderr, "no assistive technology listens\n");
        return 1;
    }
    const QByteArray text = kelo::bench::germanText(mib << 20, kelo::Encoding::Utf8);
    if (!box.beginLoad(text.size()) || !box.appendLoad(text)) {
        std::fprintf(stderr, "not enough memory for the text\n");
        return 1;
    }
    box.finishLoad();
    box.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    QCoreApplication::processEvents();
    // The description is asked for as a screen reader asks when the editor
    // gets the focus.
    QAccessibleInterface *description = QAccessible::queryAccessibleInterface(&box);
    if (QAccessibleTextInterface *textInterface = description ? description->textInterface() : nullptr)
        std::printf("caret_offset=%d characters=%d\n", textInterface->cursorPosition(),
                    textInterface->characterCount());
    const auto timed = [&box](Qt::Key key, const QString &text) {
        std::vector<double> times;
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer timer;
            timer.start();
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
            QApplication::sendEvent(&box, &press);
            QApplication::sendEvent(&box, &release);
            QCoreApplication::processEvents();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        std::sort(times.begin(), times.end());
        return std::pair(times[times.size() / 2], times.back());
    };
    const auto [keyMedian, keyWorst] = timed(Qt::Key_X, QStringLiteral("x"));
    const auto [moveMedian, moveWorst] = timed(Qt::Key_Left, QString());
    std::printf("key_ms=%.2f key_worst_ms=%.2f move_ms=%.2f move_worst_ms=%.2f\n", keyMedian,
                keyWorst, moveMedian, moveWorst);
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
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "longline") == 0) {
        QApplication app(argc, argv);
        return longLine(argv[2], std::atof(argv[3]), argc == 5 ? argv[4] : "german");
    }
    if (argc == 3 && std::strcmp(argv[1], "screenreader") == 0) {
        QApplication app(argc, argv);
        return screenReader(std::atol(argv[2]));
    }
    std::fprintf(stderr,
                 "usage: %s make FILE MIB cp1252|utf8 | load FILE pieces|whole | longline FILE MB "
                 "[german|base64|chinese] | screenreader MIB\n",
                 argv[0]);
    return 2;
}
