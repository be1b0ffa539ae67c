#pragma once

// The notifications by which panes that show the same paper keep in step
// about its file. Both are posted on the shared notification centre by the
// pane that acted, with its model's readingSessionID as `session` (a null
// one when the poster has none).

#include <QString>
#include <QUrl>
#include <QUuid>

namespace folvan::pane {

// A paper's file got a new name or folder.
struct DocumentRelocated {
    QUuid session;
    QUrl oldURL;
    QUrl newURL;
    static QString name() { return QStringLiteral("Folvan.documentRelocated"); }
};

// A paper's file went to the trash.
struct DocumentTrashed {
    QUuid session;
    QUrl url;
    static QString name() { return QStringLiteral("Folvan.documentTrashed"); }
};

} // namespace folvan::pane
