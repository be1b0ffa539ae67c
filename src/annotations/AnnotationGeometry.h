#pragma once

// Conversions between the three shapes of marked text: a page annotation
// (type, bounds, quadrilateral points), a list of page-space rectangles (the
// form a markup stores) and a text selection. No state; every operation
// returns a new value and reports failure by returning less.

#include <QDateTime>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

#include "annotations/ReadingMarkup.h"
#include "engine/PdfPage.h"
#include "engine/PdfSelection.h"
#include "engine/PdfTypes.h"

namespace folvan::annotations {

// A page annotation built for one markup, not yet on any page.
struct BuiltAnnotation {
    // "Highlight", "Underline", "StrikeOut", "Squiggly", "Text" or "FreeText".
    QString subtype;
    QRectF bounds;
    // Four points per rectangle (top left, top right, bottom left, bottom
    // right), measured from the origin of `bounds`; empty for notes.
    std::vector<QPointF> quadPoints;
    engine::PdfColor color;
    std::optional<QString> contents;
    // "Folvan:" followed by the markup's id in upper case.
    QString userName;
    QDateTime modificationDate;
};

// The markup kind of an annotation type: "/" trimmed from both ends, lower
// case ("/Highlight" → "highlight", "StrikeOut" → "strikeout").
QString markupKind(const QString &type);

// The page-space rectangles of an annotation with these bounds and
// quadrilateral points. The points may be relative to the bounds' origin or
// in page space. Without at least four points: the bounds.
std::vector<QRectF> annotationRects(const QRectF &bounds, const std::vector<QPointF> &quadPoints);

// Rectangles sorted into reading order (higher top edge first, then
// smaller left edge; stable) and merged into one rectangle per text line.
std::vector<QRectF> normalizedRects(const std::vector<QRectF> &rects);

// Sorts into reading order, stably.
void sortInReadingOrder(std::vector<QRectF> &rects);

// The page text under the rectangles: one line of single-spaced words per
// line rectangle, lines joined by "\n" in the order of the page text (the
// order a selection reads them in, column after column).
QString quoteUnder(const std::vector<QRectF> &rects, const engine::PdfPage &page);

// The bounds of the selection's non-blank lines on `page`, in line order,
// leaving out lines of 0.5 points or less in either direction.
std::vector<QRectF> lineRects(const engine::PdfSelection &selection, const engine::PdfPage &page);

// The page annotation that shows `markup`; nothing for a tombstone or a
// markup without rectangles.
std::optional<BuiltAnnotation> buildAnnotation(const ReadingMarkup &markup);

// The colour of the annotation that shows `markup` (buildAnnotation's colour).
engine::PdfColor annotationColor(const ReadingMarkup &markup);

// The user name of the annotation installed for a markup id.
QString installedName(const QUuid &id);

// A fixed text of a rectangle, "{{x, y}, {width, height}}", with each
// number in its shortest exact decimal form; the same on every run and
// machine.
QString rectText(const QRectF &rect);

} // namespace folvan::annotations
