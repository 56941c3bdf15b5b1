// The layout rule of the main window: the editor and the status line under it
// follow the window's size; everything else keeps its designed place.
#pragma once

#include <QObject>

namespace kelo {

class Form1;

// What the rule asks for, all lengths in twips.
struct LayoutStep {
    enum class Action {
        Nothing,   // the window is minimised
        Fit,       // give the editor and the status line the sizes below
        SetHeight, // the window is too low: set its height, which comes back here
    };
    Action action = Action::Nothing;
    double editorWidth = 0;
    double editorHeight = 0;
    double statusTop = 0;
    double statusWidth = 0;
    double windowHeight = 0; // for SetHeight
};

// The rule for a window of this outer size. The editor keeps Left 105 and
// Top 720; its width never becomes negative.
LayoutStep layoutFor(double windowWidth, double windowHeight, bool minimised);

inline constexpr double editorLeftTwips = 105;
inline constexpr double editorTopTwips = 720;
inline constexpr double statusHeightTwips = 240;

// Form_Resize: applies the rule on every size change of the main window and
// when it comes back from being minimised.
class WindowLayout : public QObject {
    Q_OBJECT

public:
    explicit WindowLayout(Form1 &form);

    void Form_Resize();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Form1 &m_form;
};

} // namespace kelo
