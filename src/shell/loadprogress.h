// What the window shows while a file loads: how far the load is, and a way
// to stop it.
#pragma once

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace kelo {

// Told after every piece of a load how far it is; answers whether to go on.
class LoadProgress {
public:
    virtual ~LoadProgress() = default;
    // Bytes done of total; false stops the load.
    virtual bool step(qint64 done, qint64 total) = 0;
};

// Makes the progress for loading `path` into `window`.
using LoadProgressFactory =
    std::function<std::unique_ptr<LoadProgress>(QWidget &window, const QString &path)>;

// A progress box over the window, "Lade datei.txt … 40 %" with "Abbrechen",
// which appears only when the load takes longer than `delay`. It is modal to
// the window: while it shows, the window repaints at every step but takes no
// input, so that no command can start in the middle of a load.
class LoadProgressDialog : public LoadProgress {
public:
    LoadProgressDialog(QWidget &window, const QString &path,
                       std::chrono::milliseconds delay = std::chrono::milliseconds(500));
    ~LoadProgressDialog() override;

    bool step(qint64 done, qint64 total) override;

    QProgressDialog &dialog() { return *m_dialog; }

    static LoadProgressFactory factory();

private:
    QString m_name;
    std::unique_ptr<QProgressDialog> m_dialog;
    int m_permille = -1;
    int m_percent = -1;
};

} // namespace kelo
