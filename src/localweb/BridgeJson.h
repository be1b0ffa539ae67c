#pragma once

// The JSON of the bridges between the reader and its local pages: one
// library for both (nlohmann's, as the stored files use), with the keys of
// every object sorted.

#include <QString>

#include <nlohmann/json.hpp>

namespace folvan::localweb {

using BridgeJson = nlohmann::json;

// Whether every number in `value` is finite.
bool allFinite(const BridgeJson &value);

// The compact text of a payload as the argument of a call into a page:
// "{}" for one that JSON cannot hold (a number that is not finite); the
// line and paragraph separators escaped, so the text is also a script.
QString scriptArgument(const BridgeJson &payload);

// The most characters of a text handed over by a page that the reader
// shows: a long one would freeze the widget that lays it out.
inline constexpr qsizetype maximumShownText = 1000;

// A text handed over by a page, cut to at most `maximum` characters (the
// last of them "…") before anything lays it out.
QString shownText(const std::string &utf8, qsizetype maximum = maximumShownText);

// A message text from a page; discarded (is_discarded()) when it is not
// JSON or nests deeper than platform::maximumJsonDepth.
BridgeJson parseMessage(const QByteArray &text);

} // namespace folvan::localweb
