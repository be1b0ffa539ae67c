#pragma once

#include <QString>

namespace folvan::platform {

// Texts read from stored files (a path in the reading history, a note, a
// quoted passage, a bookmark's title) may be megabytes long, and a label
// shapes the whole of its text to measure it: one such text freezes the
// window. A view cuts a stored text to what its rows can show before it
// lays the text out.

// More characters than the widest row of interface text holds.
inline constexpr qsizetype kRowCharacters = 2000;

// The start of `text` that `rows` rows can show: at most `rows` lines and
// rows × kRowCharacters characters, ending in "…" where it was cut. A
// surrogate pair is never split.
QString rowText(const QString &text, int rows = 1);

} // namespace folvan::platform
