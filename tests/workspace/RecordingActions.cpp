#include "RecordingActions.h"

namespace folvan::test {

RecordingActions::RecordingActions(bool flags)
{
    window::ReaderActions &r = record;
    auto log = calls;
    auto action = [log](const char *name) { return [log, name] { log->append(QString::fromLatin1(name)); }; };
    r.open = action("open");
    r.openRecent = [log](const QUrl &url) { log->append(QStringLiteral("openRecent ") + url.toLocalFile()); };
    r.pod = action("pod");
    r.move = action("move");
    r.reveal = action("reveal");
    r.external = action("external");
    r.trash = action("trash");
    r.close = action("close");
    r.rename = action("rename");
    r.find = action("find");
    r.nextMatch = [log](bool forward) { log->append(forward ? QStringLiteral("nextMatch true") : QStringLiteral("nextMatch false")); };
    r.switchMode = action("switchMode");
    r.reflow = action("reflow");
    r.newNote = action("newNote");
    r.outline = action("outline");
    r.notes = action("notes");
    r.scholar = action("scholar");
    r.help = action("help");
    r.zoom = [log](double step) { log->append(QStringLiteral("zoom %1").arg(step)); };
    r.resetView = action("resetView");
    r.goBack = action("goBack");
    r.goForward = action("goForward");
    r.bookmark = action("bookmark");
    r.copy = action("copy");
    r.highlight = action("highlight");
    r.underline = action("underline");
    r.undoAnnotation = action("undoAnnotation");
    r.redoAnnotation = action("redoAnnotation");
    r.copyAnnotations = action("copyAnnotations");
    r.exportAnnotations = action("exportAnnotations");
    r.exportPDF = action("exportPDF");
    r.commandPalette = action("commandPalette");
    r.toggleComparison = action("toggleComparison");
    r.focusOtherPane = action("focusOtherPane");
    r.setPageLayout = [log](const QString &layout) { log->append(QStringLiteral("setPageLayout ") + layout); };
    setFlags(flags);
}

void RecordingActions::setFlags(bool on)
{
    window::ReaderActions &r = record;
    r.hasDocument = r.hasMatches = r.canGoBack = r.canGoForward = r.hasSelection = on;
    r.hasAnnotations = r.canUndoAnnotation = r.canRedoAnnotation = r.comparisonOpen = on;
}

} // namespace folvan::test
