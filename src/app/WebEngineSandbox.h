#pragma once

namespace folvan::app {

// The web engine refuses to start its sandbox for root and then ends the
// whole process at the first web view. Run as root, the reader turns the
// sandbox off through the engine's own switch (QTWEBENGINE_DISABLE_SANDBOX)
// and says so once on standard error; other users keep the sandbox, and a
// switch the user set stays as set. Must run before the QApplication exists.
// Returns whether it turned the sandbox off.
bool turnOffWebEngineSandboxForRoot(bool runningAsRoot);

// Whether this process runs with the effective user id of root.
bool runningAsRoot();

} // namespace folvan::app
