#pragma once

namespace folvan::app {

// The web engine of the book, reflow and Scholar views keeps memory as a
// browser would (caches sized for many tabs, the script heap grown
// freely). The reader asks it to keep little, through the engine's own
// low-memory mode: the book's pages look and turn the same, and a reading
// takes about 70 MB less. Appended to the engine switches the user set
// (QTWEBENGINE_CHROMIUM_FLAGS), once. Must run before the QApplication
// exists. Returns whether it added the switch.
bool askWebEngineToKeepLittleMemory();

} // namespace folvan::app
