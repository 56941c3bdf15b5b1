// Closing every window of the program.
#pragma once

namespace kelo {

// Closes every open top-level window. A window that is already closing (the
// main window calls this from its own close handler) is not closed twice.
void UnloadAllForms();

} // namespace kelo
