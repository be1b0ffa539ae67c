#pragma once

// The names the book page and the native side agree on. The page keeps the
// same names in web/book/wire.js.

namespace folvan::book::wire {

inline constexpr char scheme[] = "folvan-book";
inline constexpr char host[] = "local";
inline constexpr char entryPage[] = "folvan-book://local/index.html";
// The web channel object the page posts its events to.
inline constexpr char messageHandler[] = "book";

// Keys and names of the messages.
inline constexpr char tokenKey[] = "token";
inline constexpr char jumpPointKey[] = "point";
inline constexpr char phaseKey[] = "phase";
inline constexpr char backwardKey[] = "canBackward";
inline constexpr char failureEvent[] = "failure";

} // namespace folvan::book::wire
