#include "platform/workprogress.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <utility>

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

std::function<void(qint64, qint64)> WorkMeter::unstoppableRest()
{
    return [this, begun = false](qint64 done, qint64 all) mutable {
        if (!m_progress)
            return;
        if (!std::exchange(begun, true))
            m_progress->beginUnstoppable();
        const qint64 rest = m_total - m_base;
        const qint64 part = all <= 0 ? rest : qint64(double(rest) * double(done) / double(all));
        m_told = std::clamp(m_base + part, m_told, m_total);
        m_progress->show(m_told, m_total);
    };
}

WorkProgressBox::WorkProgressBox(QWidget &window, std::function<QString(int percent)> label,
                                 std::chrono::milliseconds delay)
    : m_label(std::move(label))
    , m_delay(delay)
    , m_dialog(std::make_unique<QProgressDialog>(m_label(0), QString(), 0, steps, &window))
{
    m_dialog->setWindowTitle(QStringLiteral("Kelo the Scriv"));
    m_dialog->setWindowModality(Qt::WindowModal);
    // The box's own button, so that it can be greyed out when the work can
    // no longer be stopped.
    m_cancel = new QPushButton(QStringLiteral("Abbrechen"), m_dialog.get());
    m_dialog->setCancelButton(m_cancel);
    // The label says how far; a second figure in the bar would disagree
    // with it now and then.
    m_bar = new QProgressBar(m_dialog.get());
    m_bar->setTextVisible(false);
    m_dialog->setBar(m_bar);
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
    m_clock.start();
}

WorkProgressBox::~WorkProgressBox()
{
    // A box that came up took the keyboard. Once it is gone, a window
    // manager gives it back to the window; without one (a bare X server)
    // nobody would, and the window's keys (Ctrl+S, Ctrl+Z) would go nowhere
    // until a click. A box that lost the keyboard to another program
    // leaves it there.
    QWidget *window = m_dialog->parentWidget();
    const bool hadKeyboard = m_dialog->isActiveWindow();
    m_dialog.reset();
    if (hadKeyboard && !window->isActiveWindow())
        window->activateWindow();
}

int WorkProgressBox::newPermille(qint64 done, qint64 total)
{
    const int permille = total <= 0 ? steps : int(double(done) * steps / double(total));
    if (permille == m_permille)
        return -1;
    m_permille = permille;
    const int percent = permille / 10;
    if (percent != m_percent) {
        m_percent = percent;
        m_dialog->setLabelText(m_label(percent));
    }
    return permille;
}

void WorkProgressBox::centre()
{
    // Over the middle of the window, not where it first came up.
    QWidget &window = *m_dialog->parentWidget();
    m_dialog->move(window.mapToGlobal(window.rect().center()) - m_dialog->rect().center());
}

bool WorkProgressBox::step(qint64 done, qint64 total)
{
    // The box lets the window repaint only when its value changes: a
    // thousand times per piece of work at most, however many steps it has.
    if (const int permille = newPermille(done, total); permille >= 0) {
        const bool shown = m_dialog->isVisible();
        m_dialog->setValue(permille);
        if (!shown && m_dialog->isVisible())
            centre();
    }
    return !m_dialog->wasCanceled();
}

bool WorkProgressBox::wait()
{
    if (!m_dialog->isVisible() && !m_dialog->wasCanceled() &&
        m_clock.elapsed() >= m_delay.count()) {
        m_dialog->show();
        centre();
    }
    // While the box stands over the window, it holds back the window's
    // input; once stopped it is gone, and the window only repaints until the
    // wait is over. Before the box is due, nothing runs, as with a step.
    if (m_dialog->wasCanceled())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    else if (m_dialog->isVisible())
        QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}

void WorkProgressBox::beginUnstoppable()
{
    m_cancel->setEnabled(false);
    if (!m_dialog->isVisible() && m_clock.elapsed() >= m_delay.count() / 5) {
        m_dialog->show();
        centre();
    }
    // The last time anything but the box runs until the work is over, before
    // the change begins: the box comes up and paints. Input waits, and finds
    // the box gone. A window manager maps the box a moment later; until the
    // window system says it is on the screen, nothing painted on it would
    // show, and the box would stay an empty frame for the whole work.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const QWindow *box = m_dialog->windowHandle();
        if (!m_dialog->isVisible() || !box || box->isExposed() || waited.elapsed() >= 500)
            break;
        QThread::msleep(5);
    }
}

void WorkProgressBox::show(qint64 done, qint64 total)
{
    // Not through the box's setValue(), which lets the whole window run its
    // events: only the box is painted again, at once.
    if (const int permille = newPermille(done, total); permille >= 0) {
        m_bar->setValue(permille);
        m_dialog->repaint();
    }
}

} // namespace kelo
