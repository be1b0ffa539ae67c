#pragma once

// What the pane model asks of the native page view that shows its document.
// The page view (a widget of another layer) implements this interface next to
// its QObject base and declares Q_INTERFACES(folvan::model::NativePDFViewInterface);
// the model holds it weakly as a QObject and reaches it with qobject_cast, so
// that no model includes a widget header.

#include "engine/PdfDestination.h"
#include "engine/PdfSelection.h"

#include <QObject>

#include <memory>
#include <optional>

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::model {

class NativePDFViewInterface {
public:
    virtual ~NativePDFViewInterface() = default;

    // The document the view shows now (may still be an earlier one).
    virtual std::shared_ptr<engine::PdfDocument> shownDocument() const = 0;
    // The view's current reading position, when it has one.
    virtual std::optional<engine::PdfDestination> currentDestination() const = 0;
    // The view's current text selection, when it has one.
    virtual std::optional<engine::PdfSelection> currentSelection() const = 0;
    // The index of the page the view shows; -1 before it shows one.
    virtual int shownPageIndex() const = 0;
    // The view's scale factor (1 is 100%).
    virtual double shownScaleFactor() const = 0;
    // Clears the view's text selection.
    virtual void clearSelection() = 0;
};

} // namespace folvan::model

#define FolvanNativePDFViewInterface_iid "org.folvan.NativePDFViewInterface"
Q_DECLARE_INTERFACE(folvan::model::NativePDFViewInterface, FolvanNativePDFViewInterface_iid)
