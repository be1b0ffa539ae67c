#pragma once

// The names the book page and the native side agree on: scheme, host, entry
// page, the web channel object the page posts its events to, and the keys
// and names of the messages. Both sides read them from web/book/contract.json;
// the build writes this side's copy (namespace folvan::book::wire, one
// `constexpr char[]` a name).

#include "book/BookWireNames.h"
