#pragma once

// The web engine does not report a missing helper program or resource pack
// as an error: at its first web view it looks for them and, when one is
// missing, ends the whole process. The reader looks first, where the engine
// looks, and a web view that could not start shows its own error card
// instead, while the rest of the reader goes on.

#include <QString>

#include <cstring>
#include <optional>

namespace folvan::platform {

// What keeps the web engine from starting, or nothing. The helper program
// is looked for at QTWEBENGINEPROCESS_PATH when that is set, else in Qt's
// program folders and beside the reader; the resource pack in
// QTWEBENGINE_RESOURCES_PATH when that is set, else in Qt's data folders,
// beside the reader and in ~/.<application name>.
std::optional<QString> webEngineStartProblem();

// Whether a web view may be made: the engine's files are there and no
// render process has failed to launch in this run. The first time it may
// not, the reason is said on standard error.
bool webEngineCanStart();

// Whether a render process's end, as the web engine reports it, means that
// it could not be launched at all: the engine then gives a status outside
// its own list (normal, abnormal, crashed, killed).
bool renderProcessNeverStarted(int terminationStatus);

// The status as the integer the engine sent. A status outside the engine's
// list may not be read as its enumeration, so a handler takes the status by
// reference and reads it through this.
template <typename Status> int terminationStatusValue(const Status &status)
{
    static_assert(sizeof(Status) == sizeof(int));
    int value = 0;
    std::memcpy(&value, &status, sizeof value);
    return value;
}

// A render process could not be launched: the engine's helper is there but
// does not run. No web view is made for the rest of the run, since each
// further launch may end the whole process inside the engine.
void noteRenderProcessNeverStarted();
// Only a run that starts its engine over (a test) forgets it.
void forgetRenderProcessNeverStarted();

} // namespace folvan::platform
