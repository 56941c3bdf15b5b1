// Benchmarks of reading and writing text files: code-page detection and
// conversion and the line-end conversion, on 20 MB of German text.
#include "germantext.h"
#include "platform/codepage.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kelo;

constexpr qsizetype fileSize = 20 * 1024 * 1024;

enum class Sample { Windows1252, Utf8, Utf8LfOnly, Windows1252LfOnly };

// The file bytes of each sample, made once per run.
const QByteArray &sampleFile(Sample sample)
{
    static const QByteArray windows1252 = bench::germanText(fileSize, Encoding::Windows1252);
    static const QByteArray utf8 = bench::germanText(fileSize, Encoding::Utf8);
    switch (sample) {
    case Sample::Windows1252:
        return windows1252;
    case Sample::Utf8:
        return utf8;
    case Sample::Utf8LfOnly: {
        static const QByteArray lfOnly = bench::withoutCr(utf8);
        return lfOnly;
    }
    case Sample::Windows1252LfOnly: {
        static const QByteArray lfOnly = bench::withoutCr(windows1252);
        return lfOnly;
    }
    }
    return utf8;
}

void BM_CodepageDecode(benchmark::State &state, Sample sample)
{
    const QByteArray &file = sampleFile(sample);
    for (auto _ : state) {
        DecodedText decoded = decodeText(file);
        benchmark::DoNotOptimize(decoded.utf8.data());
    }
    state.SetBytesProcessed(state.iterations() * file.size());
}

void BM_CodepageEncode(benchmark::State &state, Sample sample)
{
    const DecodedText decoded = decodeText(sampleFile(sample));
    for (auto _ : state) {
        EncodedText encoded = encodeText(decoded.utf8, decoded.format);
        benchmark::DoNotOptimize(encoded.bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * decoded.utf8.size());
}

// The worst case of saving: a Windows-1252 text whose only character outside
// the code page stands at its very end, so the whole text is converted twice.
void BM_CodepageEncodeFallbackAtEnd(benchmark::State &state)
{
    DecodedText decoded = decodeText(sampleFile(Sample::Windows1252));
    decoded.utf8 += "\xCE\xA9"; // Ω
    for (auto _ : state) {
        EncodedText encoded = encodeText(decoded.utf8, decoded.format);
        benchmark::DoNotOptimize(encoded.bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * decoded.utf8.size());
}

void BM_CodepageIsValidUtf8(benchmark::State &state)
{
    const QByteArray &file = sampleFile(Sample::Utf8);
    for (auto _ : state)
        benchmark::DoNotOptimize(isValidUtf8(file));
    state.SetBytesProcessed(state.iterations() * file.size());
}

} // namespace

BENCHMARK_CAPTURE(BM_CodepageDecode, Windows1252, Sample::Windows1252)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CodepageDecode, Windows1252LfOnly, Sample::Windows1252LfOnly)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CodepageDecode, Utf8, Sample::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CodepageDecode, Utf8LfOnly, Sample::Utf8LfOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CodepageEncode, Windows1252, Sample::Windows1252)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CodepageEncode, Windows1252LfOnly, Sample::Windows1252LfOnly)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CodepageEncode, Utf8, Sample::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CodepageEncode, Utf8LfOnly, Sample::Utf8LfOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodepageEncodeFallbackAtEnd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CodepageIsValidUtf8)->Unit(benchmark::kMillisecond);
