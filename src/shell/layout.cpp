#include "shell/layout.h"

#include "platform/textbox.h"
#include "platform/units.h"
#include "shell/form1.h"

#include <QEvent>
#include <QLineEdit>

#include <algorithm>

namespace kelo {

namespace {
// The designed outer size of the window; the editor's size is measured from it.
constexpr double designWidth = 12285;
constexpr double designHeight = 7920;
constexpr double lowestHeight = 2000;
} // namespace

LayoutStep layoutFor(double windowWidth, double windowHeight, bool minimised)
{
    LayoutStep step;
    if (minimised)
        return step;
    const double w = windowWidth - designWidth;
    const double h = windowHeight - designHeight;
    if (h > -6250) {
        step.action = LayoutStep::Action::Fit;
        step.editorWidth = std::max(0.0, w + 11895);
        step.editorHeight = h + 6255;
        step.statusTop = editorTopTwips + step.editorHeight;
        step.statusWidth = step.editorWidth;
    } else {
        step.action = LayoutStep::Action::SetHeight;
        step.windowHeight = lowestHeight;
    }
    return step;
}

WindowLayout::WindowLayout(Form1 &form)
    : QObject(&form)
    , m_form(form)
{
    form.installEventFilter(this);
}

void WindowLayout::Form_Resize()
{
    const LayoutStep step =
        layoutFor(m_form.windowWidthTwips(), m_form.windowHeightTwips(), m_form.isMinimized());
    switch (step.action) {
    case LayoutStep::Action::Nothing:
        break;
    case LayoutStep::Action::Fit:
        placeTwips(m_form.TextBox1, editorLeftTwips, editorTopTwips, step.editorWidth,
                   step.editorHeight);
        placeTwips(m_form.lblstatus, editorLeftTwips, step.statusTop, step.statusWidth,
                   statusHeightTwips);
        break;
    case LayoutStep::Action::SetHeight:
        m_form.setWindowHeightTwips(step.windowHeight);
        break;
    }
}

bool WindowLayout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_form &&
        (event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange))
        Form_Resize();
    return QObject::eventFilter(watched, event);
}

} // namespace kelo
