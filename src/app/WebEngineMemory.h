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

// The engine's page processes draw each page raster of the book into a
// canvas of a few MB and let it go when the book is built again (a zoom
// step, a new paper). The C library's allocator takes such blocks from
// the system and gives them back, until the first one is given back:
// from then on it serves blocks of that size from its heap, which keeps
// them, and each build left the page process larger (40 zoom steps, a
// fifth). The engine's processes are started with a fixed threshold
// instead (glibc.malloc.mmap_threshold in GLIBC_TUNABLES, read by each
// process as it starts), unless the user set one. Must run before the
// first web view. Returns whether it added the setting.
bool askWebEngineToHandBackFreedMemory();

} // namespace folvan::app
