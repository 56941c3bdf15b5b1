// Wires the main window's layout rule, hints and hover spot, the dragging of
// the file panels, the status-line console, the About window and the
// whole-text commands (print, copy, clear, refresh) into a built Form1.
#pragma once

namespace kelo {

class Form1;

void installWindowFeatures(Form1 &form);

} // namespace kelo
