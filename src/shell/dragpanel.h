// Sideways dragging of the two file panels with the right mouse button.
//
// Every movement without the right button alone over a panel's own surface
// remembers where the pointer was (DragStart); a movement with the right
// button alone moves the panel by the distance from there, so the point
// where the button went down stays under the pointer. The callers pass a
// fixed Y, so the panels move sideways only, and never past the window's left
// edge.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace kelo {

// The mouse position remembered for dragging, in twips.
struct DragStart {
    double X = 0;
    double Y = 0;
};

// Mouse buttons as numbers: 1 left, 2 right, 4 middle, added up.
int classicButton(Qt::MouseButtons buttons);
// Shift 1, Ctrl 2, Alt 4, added up.
int classicShift(Qt::KeyboardModifiers modifiers);

// DragPanel: with the right button alone (Button 2) moves ctl by the pointer's
// distance from DragStart and brings it to the front; with any other Button
// only remembers X and Y. X and Y are twips relative to ctl; Shift is unused.
void DragPanel(QWidget *ctl, DragStart &start, int Button, int Shift, double X, double Y);

// Dateiauswahl_MouseMove and Dateiauswahl2_MouseMove.
void filePanelMouseMove(QWidget *panel, DragStart &start, int Button, int Shift, double X);

// Feeds the mouse movements over the panels' own surfaces (not over the
// lists and boxes inside them) into filePanelMouseMove.
class PanelDragger : public QObject {
    Q_OBJECT

public:
    explicit PanelDragger(QObject *parent = nullptr);
    void addPanel(QWidget *panel);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DragStart m_dragStart;
    // The panel whose own surface took the last button press: while buttons
    // are held, its movements count even when the pointer runs ahead of it.
    QPointer<QWidget> m_pressedPanel;
};

} // namespace kelo
