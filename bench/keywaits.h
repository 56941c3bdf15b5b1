// Timing key presses the way a user waits for them.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

class QWidget;

namespace kelo::bench {

// Types an "a" into the widget and returns the milliseconds that pass until
// the program could take the next key: the key itself and what it posted
// (change notices, timers due).
double timedKeyPress(QWidget &widget);

// Puts the median, the 99th percentile and the longest of the waits into the
// state's counters, as <prefix>median_ms, <prefix>p99_ms and <prefix>max_ms.
void reportWaits(benchmark::State &state, const std::string &prefix, std::vector<double> waits);

} // namespace kelo::bench
