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

// Counts a piece of work of several parts against the total of all parts
// and tells the progress (none: every step goes on). Each part counts its
// own units from 0; what is told only rises. Once the progress said stop,
// the meter stays stopped.
class WorkMeter {
public:
    WorkMeter(WorkProgress *progress, qint64 total);
    // `done` units into the current part; false when the work is to stop.
    bool within(qint64 done);
    // The current part, `size` units long, is over; the next one begins.
    bool partDone(qint64 size);
    bool stopped() const { return m_stopped; }
    // within() as a function, for work that only knows its own part.
    std::function<bool(qint64 done)> partReport();

private:
    WorkProgress *m_progress;
    qint64 m_total;
    qint64 m_base = 0;
    qint64 m_told = 0;
    bool m_stopped = false;
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
