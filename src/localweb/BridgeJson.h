#pragma once

// The JSON of the bridges between the reader and its local pages: one
// library for both (nlohmann's, as the stored files use), with the keys of
// every object sorted.

#include <QString>

#include <nlohmann/json.hpp>

class QJsonValue;

namespace folvan::localweb {

using BridgeJson = nlohmann::json;

// Whether every number in `value` is finite.
bool allFinite(const BridgeJson &value);

// The compact text of a payload as the argument of a call into a page:
// "{}" for one that JSON cannot hold (a number that is not finite); the
// line and paragraph separators escaped, so the text is also a script.
QString scriptArgument(const BridgeJson &payload);

// A value the web channel delivered.
BridgeJson fromChannel(const QJsonValue &value);

} // namespace folvan::localweb
