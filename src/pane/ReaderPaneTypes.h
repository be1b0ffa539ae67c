#pragma once

// The values that pass between a reading pane and the workspace above it:
// which pane, a request to open a file in a pane, and what a pane reports
// about itself.

#include "pane/ReaderActions.h"

#include <QUrl>
#include <QUuid>

#include <optional>

namespace folvan::pane {

enum class ReaderPane { primary, reference };

// A request to open a file in one pane. Each request has an identifier of
// its own, so asking twice for the same file gives two different requests.
struct ReaderOpenRequest {
    QUuid id = QUuid::createUuid();
    QUrl url;

    friend bool operator==(const ReaderOpenRequest &, const ReaderOpenRequest &) = default;
};

// What one pane reports upward. Two snapshots are equal when the pane, the
// identity of the pane's model, the document URL and the record's flags are
// equal; a change of closures alone is not a change.
struct ReaderPaneSnapshot {
    ReaderPane pane = ReaderPane::primary;
    const void *model = nullptr;   // identity only, never dereferenced
    std::optional<QUrl> url;
    ReaderActions actions;

    friend bool operator==(const ReaderPaneSnapshot &a, const ReaderPaneSnapshot &b)
    {
        return a.pane == b.pane && a.model == b.model && a.url == b.url
            && a.actions.flags() == b.actions.flags();
    }
};

} // namespace folvan::pane
