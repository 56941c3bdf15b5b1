// What the window shows while a long piece of work runs (a load, a tool on
// the whole text): how far it is, and a way to stop it.
#pragma once

#include <QString>
#include <QtGlobal>

#include <chrono>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace kelo {

// Told now and then how far a piece of work is; answers whether to go on.
class WorkProgress {
public:
    virtual ~WorkProgress() = default;
    // Units done of total; false stops the work.
    virtual bool step(qint64 done, qint64 total) = 0;
};

// A progress box over the window, e.g. "Lade datei.txt … 40 %", with
// "Abbrechen", which appears only when the work takes longer than `delay`.
// It is modal to the window: while it shows, the window repaints at every
// step but takes no input, so that no command starts in the middle of the
// work, and the text cannot change under it.
class WorkProgressBox : public WorkProgress {
public:
    // label gives the box's text for a percentage.
    WorkProgressBox(QWidget &window, std::function<QString(int percent)> label,
                    std::chrono::milliseconds delay = std::chrono::milliseconds(500));
    ~WorkProgressBox() override;

    bool step(qint64 done, qint64 total) override;

    QProgressDialog &dialog() { return *m_dialog; }

private:
    std::function<QString(int percent)> m_label;
    std::unique_ptr<QProgressDialog> m_dialog;
    int m_permille = -1;
    int m_percent = -1;
};

} // namespace kelo
