// A German-looking text for the benchmarks, the same on every run.
//
// The text is made of lines of German words (umlauts, ß, „quotes“, dashes and
// the euro sign among them), separated by CR LF and ending with CR LF, about
// 50 bytes per line on average: 20 MB are about 400,000 lines. It is generated
// from a fixed seed by our own random generator, so the same arguments give
// the same bytes on every machine and with every standard library.
//
// Handy for searches: every word of the list occurs many times, "Straße" in
// in about one line out of seventeen; "Xylophon" never occurs.
#pragma once

#include "platform/codepage.h"

#include <QByteArray>

namespace kelo::bench {

// Returns at least approxBytes bytes and at most one line more, in the given
// encoding (Windows-1252 bytes, or UTF-8 without a byte-order mark).
//
// withBlankLinesAndSpaceRuns adds what the line clean-up works on: about one
// line in twelve is empty, one in fifty holds nothing but spaces, one in ten
// is indented with 2 to 8 spaces, one gap between words in ten is a run of 2
// to 5 spaces, and some lines end in spaces. Without it every line holds
// words separated by single spaces, without leading or trailing spaces.
QByteArray germanText(qsizetype approxBytes, Encoding encoding,
                      bool withBlankLinesAndSpaceRuns = true);

// The size of the text the tool benchmarks work on: 20 MB, or as many MB as
// KELO_BENCH_TEXT_MB says (e.g. 1024, to see that a tool scales to 1 GB).
qsizetype toolTextSize();

// The same text with Unix line breaks: every CR taken out.
QByteArray withoutCr(const QByteArray &text);

// A value of /proc/self/status in KiB ("VmRSS", "VmHWM"), or -1.
long statusKiB(const char *key);

// Hands freed heap memory back to the system, so that memory left over from
// earlier benchmarks is not reused unseen, and restarts VmHWM at the current
// size ("5" to clear_refs, Linux 4.0 and later), so it measures the peak from
// here on.
void settleMemory();

// The highest rise of the resident set over several runs, each measured from
// settleMemory() right before it to the peak (VmHWM) right after it.
class PeakGrowth {
public:
    void start();
    void stop();
    long kib() const { return m_peak; }
    double inTexts(qsizetype textBytes) const { return double(m_peak) * 1024 / double(textBytes); }

private:
    long m_before = 0;
    long m_peak = 0;
};

} // namespace kelo::bench
