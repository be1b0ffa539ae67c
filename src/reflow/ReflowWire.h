#pragma once

// Every name the native reflow view shares with the reflow page: scheme,
// host, entry page, routes, the web channel object, the page object and its
// calls, the events the page posts, the study actions and the keys of the
// payloads. Both sides read them from
// web/reflow/contract.json; the build writes this side's copy (one
// `constexpr char[]` a name, in folvan::reflow::wire and its namespaces
// call, event, action and key).

#include "reflow/ReflowWireNames.h"
