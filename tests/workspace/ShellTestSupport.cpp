#include "ShellTestSupport.h"

#include "fixtures/PdfFixtureWriter.h"
#include "platform/Preferences.h"
#include "workspace/ShellDialogs.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

namespace folvan::test {

using A = pane::ReaderActions;
using ID = workspace::ReaderCommandID;

RecordingActions::RecordingActions(bool flags)
{
    auto log = calls;
    const std::pair<A::Action A::*, const char *> closures[] = {
        {&A::open, "open"}, {&A::pod, "pod"}, {&A::move, "move"}, {&A::reveal, "reveal"},
        {&A::external, "external"}, {&A::trash, "trash"}, {&A::close, "close"}, {&A::rename, "rename"},
        {&A::find, "find"}, {&A::switchMode, "switchMode"}, {&A::reflow, "reflow"}, {&A::newNote, "newNote"},
        {&A::outline, "outline"}, {&A::notes, "notes"}, {&A::scholar, "scholar"}, {&A::help, "help"},
        {&A::resetView, "resetView"}, {&A::goBack, "goBack"}, {&A::goForward, "goForward"},
        {&A::bookmark, "bookmark"}, {&A::copy, "copy"}, {&A::highlight, "highlight"}, {&A::underline, "underline"},
        {&A::undoAnnotation, "undoAnnotation"}, {&A::redoAnnotation, "redoAnnotation"},
        {&A::copyAnnotations, "copyAnnotations"}, {&A::exportAnnotations, "exportAnnotations"},
        {&A::exportPDF, "exportPDF"}, {&A::commandPalette, "commandPalette"},
        {&A::toggleComparison, "toggleComparison"}, {&A::focusOtherPane, "focusOtherPane"},
    };
    for (const auto &[field, name] : closures)
        record.*field = [log, name = QString::fromLatin1(name)] { log->append(name); };
    record.openRecent = [log](const QUrl &url) { log->append(QStringLiteral("openRecent ") + url.toLocalFile()); };
    record.nextMatch = [log](bool forward) { log->append(forward ? QStringLiteral("nextMatch true") : QStringLiteral("nextMatch false")); };
    record.zoom = [log](double step) { log->append(QStringLiteral("zoom %1").arg(step)); };
    record.setPageLayout = [log](platform::BookLayout layout) { log->append(QStringLiteral("setPageLayout ") + platform::toText(layout)); };
    for (bool A::*flag : {&A::hasDocument, &A::hasMatches, &A::canGoBack, &A::canGoForward, &A::hasSelection,
                          &A::hasAnnotations, &A::canUndoAnnotation, &A::canRedoAnnotation, &A::comparisonOpen})
        record.*flag = flags;
}

QString expectedCall(ID id)
{
    const std::pair<ID, const char *> others[] = {
        {ID::comparison, "toggleComparison"}, {ID::focusPane, "focusOtherPane"}, {ID::back, "goBack"},
        {ID::forward, "goForward"}, {ID::nextMatch, "nextMatch true"}, {ID::previousMatch, "nextMatch false"},
        {ID::mode, "switchMode"}, {ID::zoomIn, "zoom 0.1"}, {ID::zoomOut, "zoom -0.1"}, {ID::reset, "resetView"},
        {ID::palette, "commandPalette"}, {ID::radio, ""},
    };
    for (const auto &[other, call] : others)
        if (other == id)
            return QString::fromLatin1(call);
    return workspace::rawValue(id);
}

QStringList commandIds(const std::vector<workspace::ReaderCommand> &rows)
{
    QStringList names;
    for (const workspace::ReaderCommand &row : rows)
        names.append(workspace::rawValue(row.id));
    return names;
}

QString writePaper(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    engine::PdfFixtureWriter writer;
    writer.addText(writer.addPage(), QPointF(72, 700), QStringLiteral("Paper"));
    EXPECT_TRUE(writer.save(path)) << path.toStdString();
    return path;
}

void ShellTest::SetUp()
{
    TempHomeTest::SetUp();
    platform::Preferences::resetSharedForTesting();
    defaults().setValue(QStringLiteral("folvan.resumeLastDocument"), false);
}

void ShellTest::TearDown()
{
    workspace::resetShellDialogs();
    platform::Preferences::resetSharedForTesting();
    TempHomeTest::TearDown();
}

platform::Preferences &ShellTest::defaults()
{
    return platform::Preferences::shared();
}

} // namespace folvan::test
