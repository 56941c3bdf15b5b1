// What the window shows while a long piece of work runs (a load, a tool on
// the whole text): how far it is, and a way to stop it.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <functional>
#include <memory>

class QProgressBar;
class QProgressDialog;
class QPushButton;
class QWidget;

namespace kelo {

// Told now and then how far a piece of work is; answers whether to go on.
class WorkProgress {
public:
    virtual ~WorkProgress() = default;
    // Units done of total; false stops the work.
    virtual bool step(qint64 done, qint64 total) = 0;
    // The work is waiting for something that takes a while and is done
    // elsewhere (on another thread); told every few milliseconds until it is
    // over. False asks to stop the work, which ends once the wait does.
    virtual bool wait() { return true; }
    // From here on the work cannot be stopped, and nothing else may run until
    // it is over: the text is in the middle of a change.
    virtual void beginUnstoppable() {}
    // How far an unstoppable rest is; only shown, with nothing else run.
    virtual void show(qint64 done, qint64 total) { Q_UNUSED(done) Q_UNUSED(total) }
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
    // For the last part, which cannot be stopped: the function is told how
    // much of it is done, `done` of `all` in units of its own, and the first
    // time it is told the progress learns that it cannot stop the work.
    std::function<void(qint64 done, qint64 all)> unstoppableRest();

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
    // Lets the window repaint, and the box take "Abbrechen", while the work
    // waits; the box comes up after its delay as it would for a step.
    bool wait() override;
    // Greys out "Abbrechen", and shows the box at once if the work has taken
    // a moment already (a quick one does not flash a box for its rest); from
    // then on the box is only repainted, while nothing else runs.
    void beginUnstoppable() override;
    void show(qint64 done, qint64 total) override;

    QProgressDialog &dialog() { return *m_dialog; }

private:
    // The box's thousandth for done of total, or -1 when it is the one shown.
    int newPermille(qint64 done, qint64 total);
    void centre();

    std::function<QString(int percent)> m_label;
    std::chrono::milliseconds m_delay;
    QElapsedTimer m_clock;
    std::unique_ptr<QProgressDialog> m_dialog;
    QPushButton *m_cancel;
    QProgressBar *m_bar;
    int m_permille = -1;
    int m_percent = -1;
};

} // namespace kelo
