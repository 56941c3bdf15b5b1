#include "shell/dragpanel.h"

#include "platform/units.h"

#include <QMouseEvent>
#include <QWidget>

namespace kelo {

namespace {
// Both panels pass this in place of Y, when remembering and when moving.
constexpr double fixedY = 840;
} // namespace

int classicButton(Qt::MouseButtons buttons)
{
    return (buttons.testFlag(Qt::LeftButton) ? 1 : 0) |
           (buttons.testFlag(Qt::RightButton) ? 2 : 0) |
           (buttons.testFlag(Qt::MiddleButton) ? 4 : 0);
}

int classicShift(Qt::KeyboardModifiers modifiers)
{
    return (modifiers.testFlag(Qt::ShiftModifier) ? 1 : 0) |
           (modifiers.testFlag(Qt::ControlModifier) ? 2 : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? 4 : 0);
}

void DragPanel(QWidget *ctl, DragStart &start, int Button, int Shift, double X, double Y)
{
    Q_UNUSED(Shift)
    if (Button != 2) {
        start.X = X;
        start.Y = Y;
        return;
    }
    const double left = pixelsToTwips(ctl->x()) + (X - start.X);
    const double top = pixelsToTwips(ctl->y()) + (Y - start.Y);
    ctl->move(twipsToPixels(left), twipsToPixels(top));
    ctl->raise();
}

void filePanelMouseMove(QWidget *panel, DragStart &start, int Button, int Shift, double X)
{
    DragPanel(panel, start, Button, Shift, X, fixedY);
    if (panel->x() < 0)
        panel->move(0, panel->y());
}

PanelDragger::PanelDragger(QObject *parent)
    : QObject(parent)
{}

void PanelDragger::addPanel(QWidget *panel)
{
    panel->setMouseTracking(true);
    panel->installEventFilter(this);
}

bool PanelDragger::eventFilter(QObject *watched, QEvent *event)
{
    auto *panel = static_cast<QWidget *>(watched);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (panel->childAt(press->position().toPoint()) == nullptr)
            m_pressedPanel = panel;
        break;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton)
            m_pressedPanel = nullptr;
        break;
    case QEvent::MouseMove: {
        const auto *move = static_cast<QMouseEvent *>(event);
        // Movements over the lists and boxes that those ignore reach the
        // panel too; they are not movements over the panel.
        // With a button held, the movements belong to where it went down.
        const bool counts = move->buttons() == Qt::NoButton
                                ? panel->childAt(move->position().toPoint()) == nullptr
                                : m_pressedPanel == panel;
        if (counts)
            filePanelMouseMove(panel, m_dragStart, classicButton(move->buttons()),
                               classicShift(move->modifiers()),
                               move->position().x() * twipsPerPixel);
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kelo
