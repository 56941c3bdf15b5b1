#include "shell/loadprogress.h"

#include "platform/filenames.h"

#include <QFileInfo>
#include <QProgressDialog>

namespace kelo {

namespace {

constexpr int steps = 1000;

QString labelFor(const QString &name, int percent)
{
    return QStringLiteral("Lade %1 … %2 %").arg(name).arg(percent);
}

} // namespace

LoadProgressDialog::LoadProgressDialog(QWidget &window, const QString &path,
                                       std::chrono::milliseconds delay)
    : m_name(displayFileName(QFileInfo(path).fileName()))
    , m_dialog(std::make_unique<QProgressDialog>(labelFor(m_name, 0),
                                                 QStringLiteral("Abbrechen"), 0, steps, &window))
{
    m_dialog->setWindowTitle(QStringLiteral("Kelo the Scriv"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(int(delay.count()));
    // The box stays until the load is over: a cancel pressed at the last
    // step must still count.
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setValue(0);
}

LoadProgressDialog::~LoadProgressDialog() = default;

bool LoadProgressDialog::step(qint64 done, qint64 total)
{
    const int permille = total <= 0 ? steps : int(double(done) * steps / double(total));
    // The box lets the window repaint only when its value changes: a
    // thousand times per load, however many pieces it has.
    if (permille != m_permille) {
        m_permille = permille;
        const int percent = permille / 10;
        if (percent != m_percent) {
            m_percent = percent;
            m_dialog->setLabelText(labelFor(m_name, percent));
        }
        m_dialog->setValue(permille);
    }
    return !m_dialog->wasCanceled();
}

LoadProgressFactory LoadProgressDialog::factory()
{
    return [](QWidget &window, const QString &path) -> std::unique_ptr<LoadProgress> {
        return std::make_unique<LoadProgressDialog>(window, path);
    };
}

} // namespace kelo
