#include "keywaits.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

namespace kelo::bench {

double timedKeyPress(QWidget &widget)
{
    QElapsedTimer timer;
    timer.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&widget, &press);
    QCoreApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

void reportWaits(benchmark::State &state, const std::string &prefix, std::vector<double> waits)
{
    if (waits.empty())
        return;
    std::sort(waits.begin(), waits.end());
    state.counters[prefix + "median_ms"] = waits[waits.size() / 2];
    state.counters[prefix + "p99_ms"] = waits[waits.size() * 99 / 100];
    state.counters[prefix + "max_ms"] = waits.back();
}

} // namespace kelo::bench
