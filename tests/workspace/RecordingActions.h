#pragma once

// A ReaderActions record whose closures write down what they were called
// with, for the tests of everything that dispatches commands.

#include "window/ReaderActions.h"
#include "workspace/ReaderCommandRegistry.h"

#include <QStringList>

#include <memory>

namespace folvan::test {

struct RecordingActions {
    std::shared_ptr<QStringList> calls = std::make_shared<QStringList>();
    window::ReaderActions record;

    // Every flag set as given, every closure recording its own name.
    explicit RecordingActions(bool flags = false);
    // Sets the ten flags that enable commands, and comparisonOpen.
    void setFlags(bool on);
};

// The identifiers of table rows, in their order.
inline QStringList commandIds(const std::vector<workspace::ReaderCommandSpec> &rows)
{
    QStringList names;
    for (const workspace::ReaderCommandSpec &spec : rows)
        names.append(workspace::rawValue(spec.id));
    return names;
}

} // namespace folvan::test
