#pragma once

// Helpers of the workspace and application tests: a command record that
// writes down its calls, the fixture of a test with its own home folder and
// preferences, and a paper to open.

#include "platform/Preferences.h"
#include "support/TestEnv.h"
#include "pane/ReaderActions.h"
#include "workspace/ReaderCommandRegistry.h"

#include <QStringList>

#include <memory>

namespace folvan::test {

struct RecordingActions {
    std::shared_ptr<QStringList> calls = std::make_shared<QStringList>();
    pane::ReaderActions record;

    // Every closure records its own name ("zoom 0.1", "nextMatch false");
    // the ten flags that enable commands and comparisonOpen are `flags`.
    explicit RecordingActions(bool flags = false);
};

// What a record's closures write down when `id` is carried out: the closure
// of the same name unless the command goes through another one; nothing
// for the radio, which needs no record.
QString expectedCall(workspace::ReaderCommandID id);

// The identifiers of table rows, in their order.
QStringList commandIds(const std::vector<workspace::ReaderCommand> &rows);

// Writes a one-page paper at `path` (making its folder) and returns `path`.
QString writePaper(const QString &path);

// A test with its own home folder and fresh preferences (no resuming of the
// last paper); the platform's dialogs are put back afterwards.
class ShellTest : public TempHomeTest {
protected:
    void SetUp() override;
    void TearDown() override;
    static platform::Preferences &defaults();
};

} // namespace folvan::test
