#include "platform/workprogress.h"

#include <QProgressBar>
#include <QProgressDialog>

#include <algorithm>

namespace kelo {

namespace {
constexpr int steps = 1000;
} // namespace

WorkMeter::WorkMeter(WorkProgress *progress, qint64 total)
    : m_progress(progress)
    , m_total(total)
{}

bool WorkMeter::within(qint64 done)
{
    // A part may turn out a little longer than planned (a line break added):
    // what is told only rises, and never beyond the total.
    m_told = std::clamp(m_base + done, m_told, m_total);
    if (!m_stopped && m_progress && !m_progress->step(m_told, m_total))
        m_stopped = true;
    return !m_stopped;
}

bool WorkMeter::partDone(qint64 size)
{
    const bool goOn = within(size);
    m_base += size;
    return goOn;
}

std::function<bool(qint64)> WorkMeter::partReport()
{
    return [this](qint64 done) { return within(done); };
}

WorkProgressBox::WorkProgressBox(QWidget &window, std::function<QString(int percent)> label,
                                 std::chrono::milliseconds delay)
    : m_label(std::move(label))
    , m_dialog(std::make_unique<QProgressDialog>(m_label(0), QStringLiteral("Abbrechen"), 0,
                                                 steps, &window))
{
    m_dialog->setWindowTitle(QStringLiteral("Kelo the Scriv"));
    m_dialog->setWindowModality(Qt::WindowModal);
    // The label says how far; a second figure in the bar would disagree
    // with it now and then.
    auto *bar = new QProgressBar(m_dialog.get());
    bar->setTextVisible(false);
    m_dialog->setBar(bar);
    m_dialog->setRange(0, steps); // the new bar's own range is 0 to 100
    m_dialog->setMinimumDuration(int(delay.count()));
    // The box stays until the work is over: a cancel pressed at the last
    // step must still count.
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    // Escape leaves the box as "Abbrechen" does (the box itself only hides).
    QObject::connect(m_dialog.get(), &QDialog::rejected, m_dialog.get(),
                     &QProgressDialog::cancel);
    m_dialog->setValue(0);
}

WorkProgressBox::~WorkProgressBox() = default;

bool WorkProgressBox::step(qint64 done, qint64 total)
{
    const int permille = total <= 0 ? steps : int(double(done) * steps / double(total));
    // The box lets the window repaint only when its value changes: a
    // thousand times per piece of work at most, however many steps it has.
    if (permille != m_permille) {
        m_permille = permille;
        const int percent = permille / 10;
        if (percent != m_percent) {
            m_percent = percent;
            m_dialog->setLabelText(m_label(percent));
        }
        const bool shown = m_dialog->isVisible();
        m_dialog->setValue(permille);
        if (!shown && m_dialog->isVisible()) {
            // Over the middle of the window, not where it first came up.
            QWidget &window = *m_dialog->parentWidget();
            m_dialog->move(window.mapToGlobal(window.rect().center()) -
                           m_dialog->rect().center());
        }
    }
    return !m_dialog->wasCanceled();
}

} // namespace kelo
