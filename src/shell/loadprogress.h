// What the window shows while a file loads: how far the load is, and a way
// to stop it.
#pragma once

#include "platform/workprogress.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QWidget;

namespace kelo {

// Told after every piece of a load how far it is; answers whether to go on.
using LoadProgress = WorkProgress;

// Makes the progress for loading `path` into `window`.
using LoadProgressFactory =
    std::function<std::unique_ptr<LoadProgress>(QWidget &window, const QString &path)>;

// The progress box of a load: "Lade datei.txt … 40 %" with "Abbrechen".
class LoadProgressDialog : public WorkProgressBox {
public:
    LoadProgressDialog(QWidget &window, const QString &path,
                       std::chrono::milliseconds delay = std::chrono::milliseconds(500));

    static LoadProgressFactory factory();
};

} // namespace kelo
