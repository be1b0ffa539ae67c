#pragma once

// Every name the native reflow view shares with the reflow page
// (web/reflow/service.js keeps the same names; change both together).

#include <QStringList>

namespace folvan::reflow::wire {

inline const QString scheme = QStringLiteral("folvan-reflow");
inline const QString host = QStringLiteral("local");
inline const QString entryURL = QStringLiteral("folvan-reflow://local/index.html");

// The page's files, the only names served from its folder. The two parser
// names hold the parser's WebAssembly build; shared/bridge.js is the
// message bridge the book page uses too. Besides these, channelScript
// serves the web channel script that the page's message bridge needs.
inline const QStringList pageFiles = {
    QStringLiteral("index.html"),   QStringLiteral("reader.js"),       QStringLiteral("reader.css"),
    QStringLiteral("layout.js"),    QStringLiteral("reading.js"),      QStringLiteral("quality.js"),
    QStringLiteral("figures.js"),   QStringLiteral("service.js"),      QStringLiteral("engine.js"),
    QStringLiteral("parse-worker.js"), QStringLiteral("study.js"),     QStringLiteral("study-rules.js"),
    QStringLiteral("compare.js"),   QStringLiteral("place.js"),        QStringLiteral("parser/liteparse_wasm.js"),
    QStringLiteral("parser/liteparse_wasm_bg.wasm"), QStringLiteral("shared/bridge.js"),
};
inline const QString channelScript = QStringLiteral("qwebchannel.js");

// Routes: document/TOKEN.pdf, page/TOKEN/N.png?r=x,y,w,h&q=detail,
// layout/TOKEN/N.json.
inline const QString documentRoute = QStringLiteral("document");
inline const QString pageRoute = QStringLiteral("page");
inline const QString layoutRoute = QStringLiteral("layout");
inline const QString regionItem = QStringLiteral("r");
inline const QString detailItem = QStringLiteral("q");
inline const QString detailValue = QStringLiteral("detail");

// The web channel object the page posts to, and its one method, which takes
// the JSON text of one event.
inline const QString channelObject = QStringLiteral("reflow");
inline const char *const channelMethod = "postMessage";

// Calls of window.folvanReflow, each with one JSON object.
namespace call {
inline const QString open = QStringLiteral("open");
inline const QString settings = QStringLiteral("settings");
inline const QString navigate = QStringLiteral("navigate");
inline const QString state = QStringLiteral("state");
inline const QString feedback = QStringLiteral("feedback");
inline const QString magnify = QStringLiteral("magnify");
// Answers the position event's JSON text for where the reader is now (null
// before the paper is laid out).
inline const QString position = QStringLiteral("position");
} // namespace call

// Events the page posts under the key "event".
namespace event {
inline const QString loaded = QStringLiteral("loaded");
inline const QString visiblePages = QStringLiteral("visiblePages");
inline const QString selection = QStringLiteral("selection");
inline const QString studyAction = QStringLiteral("studyAction");
inline const QString correction = QStringLiteral("correction");
inline const QString position = QStringLiteral("position");
inline const QString page = QStringLiteral("page");
inline const QString original = QStringLiteral("original");
inline const QString typography = QStringLiteral("typography");
// Where a laid-out page shows the paper's own image instead of text.
inline const QString cutouts = QStringLiteral("cutouts");
} // namespace event

// Study actions of "studyAction".
namespace action {
inline const QString note = QStringLiteral("note");
inline const QString copy = QStringLiteral("copy");
inline const QString highlight = QStringLiteral("highlight");
inline const QString underline = QStringLiteral("underline");
inline const QString remove = QStringLiteral("delete");
inline const QString undo = QStringLiteral("undo");
inline const QString redo = QStringLiteral("redo");
} // namespace action

// Keys of the payloads, in and out.
namespace key {
inline constexpr const char *event = "event";
inline constexpr const char *token = "token";
inline constexpr const char *pageCount = "pageCount";
inline constexpr const char *corrections = "corrections";
inline constexpr const char *page = "page";
inline constexpr const char *pages = "pages";
inline constexpr const char *source = "source";
inline constexpr const char *sources = "sources";
inline constexpr const char *block = "block";
inline constexpr const char *offset = "offset";
inline constexpr const char *point = "point";
inline constexpr const char *x = "x";
inline constexpr const char *y = "y";
inline constexpr const char *ordinal = "ordinal";
inline constexpr const char *query = "query";
inline constexpr const char *annotations = "annotations";
inline constexpr const char *selectionMapped = "selectionMapped";
inline constexpr const char *canUndo = "canUndo";
inline constexpr const char *canRedo = "canRedo";
inline constexpr const char *message = "message";
inline constexpr const char *error = "error";
inline constexpr const char *action = "action";
inline constexpr const char *id = "id";
inline constexpr const char *key = "key";
inline constexpr const char *original = "original";
inline constexpr const char *delta = "delta";
inline constexpr const char *regions = "regions";
} // namespace key

} // namespace folvan::reflow::wire
