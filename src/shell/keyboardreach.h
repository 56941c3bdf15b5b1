// What the main window offers to keyboard and screen-reader users beyond the
// mouse: names for the editor and the status line, the top bar in one Tab
// round from left to right, and Enter on its text buttons. The picture
// buttons carry their commands' texts and hints themselves (commands.cpp),
// the panels and dialogs name their own controls.
#pragma once

namespace kelo {

class Form1;

void installKeyboardReach(Form1 &form);

} // namespace kelo
