#include "platform/controls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

// Outside the namespace: the resource's own initialiser is a global function.
static void initKeloResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace kelo {

void initResources()
{
    initKeloResources();
}

namespace {
const char backColorProperty[] = "kelo_backColor";
const char foreColorProperty[] = "kelo_foreColor";

// The style's dotted focus frame, just inside the control's edge.
void drawFocusFrame(QWidget *control, const QColor &background)
{
    QStylePainter painter(control);
    QStyleOptionFocusRect option;
    option.initFrom(control);
    option.state |= QStyle::State_KeyboardFocusChange;
    option.rect = control->rect().adjusted(1, 1, -1, -1);
    option.backgroundColor = background;
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}
} // namespace

PictureButton::PictureButton(const QIcon &icon, QWidget *parent)
    : QToolButton(parent)
{
    setIcon(icon);
    setAutoRaise(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setStyleSheet(
        QStringLiteral("QToolButton { border: none; padding: 0; background: transparent; }"));
}

void PictureButton::resizeEvent(QResizeEvent *event)
{
    QToolButton::resizeEvent(event);
    setIconSize(size());
}

void PictureButton::paintEvent(QPaintEvent *event)
{
    QToolButton::paintEvent(event);
    // The style sheet takes the frame away, and with it the style's focus
    // frame: without one, Tab would move through the bar unseen. Only the
    // keyboard (or the program) gives a picture button the focus, so the
    // frame shows whenever it has it.
    if (hasFocus())
        drawFocusFrame(this, palette().color(QPalette::Window));
}

void PictureButton::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        event->accept();
        return;
    }
    QToolButton::keyPressEvent(event);
}

ClickableLabel::ClickableLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void ClickableLabel::keyPressEvent(QKeyEvent *event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
                  event->key() == Qt::Key_Space)) {
        event->accept();
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ClickableLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    // A label draws no focus of its own: without this frame Tab would reach
    // it unseen.
    if (hasFocus())
        drawFocusFrame(this, palette().color(backgroundRole()));
}

WrapButton::WrapButton(const QString &caption, QWidget *parent)
    : QPushButton(caption, parent)
{}

void WrapButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    const QRect area =
        style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(2, 0, -2, 0);
    painter.drawItemText(area, Qt::AlignCenter | Qt::TextWordWrap, option.palette, isEnabled(),
                         caption, QPalette::ButtonText);
}

static void applyColors(QWidget *widget)
{
    QPalette palette = widget->palette();
    const QVariant back = widget->property(backColorProperty);
    const QVariant fore = widget->property(foreColorProperty);
    if (back.isValid()) {
        const QColor color = resolveOleColor(back.toUInt());
        palette.setColor(QPalette::Window, color);
        palette.setColor(QPalette::Base, color);
        palette.setColor(QPalette::Button, color);
        widget->setAutoFillBackground(true);
    }
    if (fore.isValid()) {
        const QColor color = resolveOleColor(fore.toUInt());
        palette.setColor(QPalette::WindowText, color);
        palette.setColor(QPalette::Text, color);
        palette.setColor(QPalette::ButtonText, color);
    }
    widget->setPalette(palette);
}

void setBackColor(QWidget *widget, OleColor color)
{
    widget->setProperty(backColorProperty, color);
    applyColors(widget);
}

void setForeColor(QWidget *widget, OleColor color)
{
    widget->setProperty(foreColorProperty, color);
    applyColors(widget);
}

OleColor backColor(const QWidget *widget)
{
    return widget->property(backColorProperty).toUInt();
}

OleColor foreColor(const QWidget *widget)
{
    return widget->property(foreColorProperty).toUInt();
}

QIcon themedIcon(const QString &themeName, const QString &fallbackResource)
{
    // Our own picture is read only when the theme has none.
    QIcon icon = themeName.isEmpty() ? QIcon() : QIcon::fromTheme(themeName);
    return icon.isNull() ? QIcon(fallbackResource) : icon;
}

ClickableLabel *makeCloseLabel(QWidget *panel, const QString &name)
{
    auto *label = named(new ClickableLabel(QStringLiteral("X"), panel), name);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(classicFont(QStringLiteral("MS Sans Serif"), 8.25, true));
    setBackColor(label, 0x0000FF); // red
    setForeColor(label, 0x00FFFF); // yellow
    placeTwips(label, 2640, 0, 255, 255);
    label->setAccessibleName(QStringLiteral("Schließen"));
    label->setAccessibleDescription(QStringLiteral("schließt die Dateiauswahl (auch mit Escape)"));
    QObject::connect(label, &ClickableLabel::clicked, panel, &QWidget::hide);
    // Escape takes the red X's way, so that a keyboard user leaves the panel
    // exactly as a click on it does.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), panel);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(escape, &QShortcut::activated, label, &ClickableLabel::clicked);
    return label;
}

} // namespace kelo
