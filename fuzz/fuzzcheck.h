// What the fuzz targets share: a check that stops the run with a readable
// report when a property does not hold (libFuzzer then keeps the input), and
// the pieces of input that targets draw from the fuzzer's bytes.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kelo::fuzz {

// Bytes as a C string literal: printable ASCII as it is, everything else
// escaped, so that a failing case can be pasted into a test.
inline std::string literal(QByteArrayView bytes, qsizetype limit = 400)
{
    std::string out = "\"";
    const qsizetype shown = std::min(bytes.size(), limit);
    for (qsizetype i = 0; i < shown; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
            // A hex escape would swallow a following hex digit.
            if (i + 1 < shown && std::isxdigit(static_cast<unsigned char>(bytes[i + 1])))
                out += "\"\"";
        }
    }
    out += '"';
    if (shown < bytes.size())
        out += " ... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

inline std::string literal(const QByteArray &bytes, qsizetype limit = 400)
{
    return literal(QByteArrayView(bytes), limit);
}

inline std::string literal(const QString &text, qsizetype limit = 400)
{
    return literal(QByteArrayView(text.toUtf8()), limit);
}

[[noreturn]] inline void fail(const char *file, int line, const char *condition,
                              const std::string &detail)
{
    std::fprintf(stderr, "\n%s:%d: property does not hold: %s\n%s\n", file, line, condition,
                 detail.c_str());
    std::fflush(stderr);
    std::abort();
}

// Draws bytes for a piece of input: mostly short, sometimes long.
inline QByteArray takeBytes(FuzzedDataProvider &input, std::size_t most)
{
    const std::string bytes = input.ConsumeRandomLengthString(most);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

inline QByteArray takeRest(FuzzedDataProvider &input)
{
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

} // namespace kelo::fuzz

// Stops the run when the condition is false; detail is a std::string built
// only then.
#define FUZZ_CHECK(condition, detail)                                                            \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::kelo::fuzz::fail(__FILE__, __LINE__, #condition, (detail));                          \
    } while (false)
