// Wires the main window's layout rule, hints and hover spot, keyboard reach, the dragging of
// the file panels and the status-line console into a built Form1.
#pragma once

namespace kelo {

class Form1;

void installWindowFeatures(Form1 &form);

} // namespace kelo
