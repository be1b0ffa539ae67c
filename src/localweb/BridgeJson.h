#pragma once

// The JSON of the bridges between the reader and its local pages: one
// library for both (nlohmann's, as the stored files use), with the keys of
// every object sorted.

#include <QString>
#include <QTypeInfo>

#include <nlohmann/json.hpp>

class QDataStream;
class QDebug;

namespace folvan::localweb {

using BridgeJson = nlohmann::json;

} // namespace folvan::localweb

// A payload travels in signals (between a page's view and its coordinator).
// It has no QDataStream or QDebug operators, and asking for them through its
// converting constructors reaches into every type Qt can stream, some of them
// incomplete where the signal's meta type is made: they are said to be absent.
template <>
struct QTypeTraits::has_ostream_operator<QDataStream, folvan::localweb::BridgeJson> : std::false_type {};
template <>
struct QTypeTraits::has_istream_operator<QDataStream, folvan::localweb::BridgeJson> : std::false_type {};
template <>
struct QTypeTraits::has_ostream_operator<QDebug, folvan::localweb::BridgeJson> : std::false_type {};

namespace folvan::localweb {

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
