#pragma once

// What a pane's model takes from the application it runs in, handed to the
// model when its pane is made. Each may be left empty: then no older name of
// a paper is consulted, links open in the system's default application, and
// the exports have nowhere to write (they do nothing).

#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

namespace folvan::model {

struct PaneModelServices {
    // Older names of a document, from the reading history: given the
    // standardized path of an open document, the stored paths of the
    // history records whose file is that document, in record order.
    std::function<std::vector<QString>(const QString &standardizedPath)> formerPaths;
    // Opens a web or mail link outside the program.
    std::function<void(const QUrl &url)> openExternalURL;
    // Asks the user for the file an export writes, proposing
    // `proposedName`; `suffix` ("pdf" or "md") is the only type offered. An
    // empty result means cancelled.
    std::function<QString(const QString &proposedName, const QString &suffix)> chooseExportPath;
};

} // namespace folvan::model
