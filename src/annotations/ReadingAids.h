#pragma once

// Reading operations on a document's annotations: the printed label of a
// page, the reading order of a page's annotation items, the Markdown
// summary of the annotations, and the links of a page with the region and
// picture of a citation's target.

#include <QImage>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "annotations/ReadingMarkup.h"
#include "engine/PdfAnnotation.h"
#include "engine/PdfDocument.h"
#include "engine/PdfPage.h"

namespace folvan::annotations {

// The page's own label trimmed of white space, or the one-based page number
// when the page has no label or a blank one.
QString pageLabelOrNumber(const engine::PdfDocument &document, int index);

// The items of one page in reading order for papers set in two columns:
// items wider than 0.58 of the page cut it into bands; within a band the
// left column comes before the right, and within a column the higher top
// edge first, then the smaller left edge. Stable.
std::vector<ReadingAnnotationItem> inReadingOrder(const std::vector<ReadingAnnotationItem> &items,
                                                  const engine::PdfPage &page);

// The Markdown summary: a title, a line naming the source, then a heading
// per page and the quotes and notes of its items in reading order.
QString markdownSummary(const engine::PdfDocument &document, const std::vector<ReadingAnnotationItem> &items,
                        const QString &title);

// The first link annotation, in the page's annotation order, whose bounds
// hold the page-space point.
std::optional<engine::PdfAnnotation> linkAt(QPointF point, const engine::PdfPage &page);

// Where a link goes: its own destination, else its go-to action's, and
// only when that names a page.
std::optional<engine::PdfDestination> linkDestination(const engine::PdfAnnotation &annotation);

// The page-space region a citation preview shows of a destination: a band
// at most 150 points high from just above the destination point (from the
// top of the crop box when the point has no usable height), showing the
// text lines it crosses whole. Down, where its top would cut a line it
// starts between the target's first line (the first whose middle lies
// under the point) and the line before, and where its bottom would, it
// ends between the lowest line it shows whole and the next, as the lines
// of its span across lie. Across, it spans the column of the line the
// destination starts (the highest line in the band that holds the point 6
// points right of the destination's, or that starts a little right of it:
// an indent, a hanging label), widened by every line of the band that
// overlaps it, 10 points either side but short of half the way to a line
// beside it. A destination that names no place across, or lies beside the
// page, in no line's column or at the top of the page above all its text
// (a link to the page) spans all the band's text; a band without text, the
// crop box less 12-point margins. Across, down and the lines are those of
// the page as shown, turned by its /Rotate; the region is given in PDF
// user space. None when the page does not exist or the region is 10 points
// or less either way.
std::optional<QRectF> previewRect(const std::shared_ptr<engine::PdfDocument> &document,
                                  const engine::PdfDestination &destination);

// The factor by which a preview of a region shown at `displayed` points is
// drawn: fitting `maxWidth` points across and 240 down, enlarged by at most
// 1.35.
double previewScale(QSizeF displayed, double maxWidth);

// The picture of previewRect's region, at previewScale, on white: an image
// of `pixelRatio` (at least 2) pixels a point, carrying that ratio, so that
// its device-independent size is the preview's size in points. Null when
// there is no region. Safe to call on any thread.
QImage previewImage(const std::shared_ptr<engine::PdfDocument> &document, const engine::PdfDestination &destination,
                    double maxWidth, double pixelRatio = 2);

} // namespace folvan::annotations
