#pragma once

// The command surface of one reading pane as one value: the pane's state
// flags that decide which commands are enabled, and one closure per command
// that acts on the pane that built the record. The menus, their shortcuts
// and the command palette reach a pane only through this record.

#include "platform/ReadingModes.h"

#include <QString>
#include <QUrl>

#include <array>
#include <functional>

namespace folvan::pane {

struct ReaderActions {
    using Action = std::function<void()>;

    bool hasDocument = false;
    bool isBook = false;
    bool searchVisible = false;
    bool hasMatches = false;
    Action open;
    std::function<void(const QUrl &)> openRecent;
    Action pod;
    Action move;
    Action reveal;
    Action external;
    Action trash;
    Action close;
    Action rename;
    Action find;
    std::function<void(bool forward)> nextMatch;
    Action switchMode;
    Action reflow;
    Action newNote;
    Action outline;
    Action notes;
    Action scholar;
    Action help;
    std::function<void(double step)> zoom;
    Action resetView;
    bool canGoBack = false;
    bool canGoForward = false;
    Action goBack;
    Action goForward;
    Action bookmark;
    Action copy;
    bool hasSelection = false;
    bool hasAnnotations = false;
    bool canUndoAnnotation = false;
    bool canRedoAnnotation = false;
    Action highlight;
    Action underline;
    Action undoAnnotation;
    Action redoAnnotation;
    Action copyAnnotations;
    Action exportAnnotations;
    Action exportPDF;
    Action commandPalette;
    bool comparisonOpen = false;
    Action toggleComparison;
    // A pane's own record switches no pane; the workspace puts its own
    // switch into the record it publishes.
    Action focusOtherPane = [] {};
    platform::BookLayout pageLayout = platform::BookLayout::Spread;
    std::function<void(platform::BookLayout)> setPageLayout;

    // The eleven flags by which two records count as different: the ten
    // Booleans that enable commands and whether the layout is the single
    // one. Closures and `comparisonOpen` take no part.
    std::array<bool, 11> flags() const
    {
        return {hasDocument,    isBook,       searchVisible,  hasMatches,
                canGoBack,      canGoForward, hasSelection,   hasAnnotations,
                canUndoAnnotation, canRedoAnnotation, pageLayout == platform::BookLayout::Single};
    }
};

} // namespace folvan::pane
