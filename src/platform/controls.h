// Small controls of the classic form designer that Qt has no exact match for:
// picture buttons, clickable labels, buttons with a wrapped caption, and the
// colour properties that the program reads back as values.
#pragma once

#include "platform/units.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace kelo {

// A picture that acts as a button: flat, no frame, a hand-shaped pointer.
// Tab reaches it (a click leaves the focus where it was, in the editor), a
// dotted frame shows when it has the focus, and Enter triggers it as Space
// does.
class PictureButton : public QToolButton {
    Q_OBJECT

public:
    explicit PictureButton(const QIcon &icon, QWidget *parent = nullptr);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// A label that reports clicks. Given a focus policy, it is reached by Tab,
// shows a dotted frame while it has the focus, and Enter or Space clicks it.
class ClickableLabel : public QLabel {
    Q_OBJECT

public:
    explicit ClickableLabel(const QString &text, QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};

// A push button whose caption wraps onto several lines when it does not fit;
// text() stays the caption as given.
class WrapButton : public QPushButton {
    Q_OBJECT

public:
    explicit WrapButton(const QString &caption, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The classic BackColor and ForeColor of a control, kept as colour values
// (a system colour stays a system colour) and shown through the palette.
void setBackColor(QWidget *widget, OleColor color);
void setForeColor(QWidget *widget, OleColor color);
OleColor backColor(const QWidget *widget);
OleColor foreColor(const QWidget *widget);

// Registers the program's own pictures (":/icons/..."), which live in a
// static library; call before the first use. Calling it again does no harm.
void initResources();

// An icon from the desktop's theme, else our own picture from the resources.
QIcon themedIcon(const QString &themeName, const QString &fallbackResource);

// Gives a control its designer name, which is also its object name (tests
// and the hints find controls by it).
template <typename Widget> Widget *named(Widget *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

// The red "X" in the top right corner of a file panel, which hides the panel;
// Escape anywhere in the panel does the same.
ClickableLabel *makeCloseLabel(QWidget *panel, const QString &name);

} // namespace kelo
