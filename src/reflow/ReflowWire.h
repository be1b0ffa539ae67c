#pragma once

// Every name the native reflow view shares with the reflow page: scheme,
// host, entry page, routes, the web channel object and its method, the calls
// of window.folvanReflow, the events the page posts, the study actions and
// the keys of the payloads. Both sides read them from
// web/reflow/contract.json; the build writes this side's copy (one
// `constexpr char[]` a name, in folvan::reflow::wire and its namespaces
// call, event, action and key).

#include "reflow/ReflowWireNames.h"

#include <QStringList>

namespace folvan::reflow::wire {

// The page's files, the only names served from its folder. The two parser
// names hold the parser's WebAssembly build; shared/bridge.js is the
// message bridge the book page uses too, shared/contract.js the reader of
// contract.json. Besides these, channelScript serves the web channel script
// that the page's message bridge needs.
inline const QStringList pageFiles = {
    QStringLiteral("index.html"),      QStringLiteral("contract.json"),   QStringLiteral("reader.js"),
    QStringLiteral("controls.js"),     QStringLiteral("zoom.js"),         QStringLiteral("search.js"),
    QStringLiteral("marks.js"),        QStringLiteral("study-tools.js"),
    QStringLiteral("reader.css"),      QStringLiteral("layout.js"),       QStringLiteral("reading.js"),
    QStringLiteral("quality.js"),      QStringLiteral("figures.js"),      QStringLiteral("service.js"),
    QStringLiteral("engine.js"),       QStringLiteral("parse-worker.js"), QStringLiteral("study.js"),
    QStringLiteral("study-rules.js"),  QStringLiteral("compare.js"),      QStringLiteral("place.js"),
    QStringLiteral("parser/liteparse_wasm.js"), QStringLiteral("parser/liteparse_wasm_bg.wasm"),
    QStringLiteral("shared/bridge.js"), QStringLiteral("shared/contract.js"),
};

} // namespace folvan::reflow::wire
