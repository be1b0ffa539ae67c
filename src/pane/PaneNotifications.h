#pragma once

// The notifications by which panes that show the same paper keep in step
// about its file. Both are posted on the shared notification centre by the
// pane that acted, with its model's readingSessionID under "session".

#include <QString>

namespace folvan::pane {

// A paper's file got a new name or folder: "old" and "new" (QUrl).
inline const QString kDocumentRelocatedNotification = QStringLiteral("Folvan.documentRelocated");
// A paper's file went to the trash: "url" (QUrl).
inline const QString kDocumentTrashedNotification = QStringLiteral("Folvan.documentTrashed");

} // namespace folvan::pane
