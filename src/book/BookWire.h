#pragma once

// The names the book page and the native side agree on: scheme, host, entry
// page, the web channel object the page posts its events to, the page
// object the native side calls into, the raster route, and the messages:
// the calls (wire::call), the page's events (wire::event) and their keys
// (wire::key); the phases of a selection are the model's
// (BookSelectionPhase). Both sides read them from web/book/contract.json;
// the build writes this side's copy (namespace folvan::book::wire, one
// `constexpr char[]` a name).

#include "book/BookWireNames.h"
