#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QImage>
#include <QRect>
#include <QString>

#include "engine/PdfTypes.h"

namespace folvan::engine {

class PdfDocument;
class PdfSelection;

// One line or word of a page string: its code units and the union of their
// boxes.
struct PdfTextSpan {
    PdfTextRange range;
    QRectF bounds;
};

// The text of one page.
//
// `string` is built from the page's structured text, block by block and line
// by line in MuPDF's reading order. Each character gives one UTF-16 code
// unit, or two for a character outside the BMP; both units share the
// character's box. After every line except the last line of the page, one
// separator is appended: "\n". Separators have an empty box placed at the
// right end of the line they close (zero width, the line's height), so that
// a range that includes them still bounds to its characters.
//
// `boxes` has one entry per code unit of `string`, in PDF user space. A
// ligature counts as its letters ("ﬀ" as "ff"), its box shared evenly
// among them.
// `lines` covers every line (without its separator); `words` are the runs
// of characters between white space within one line; `blocks` are the
// groups of lines the page's layout sets apart (paragraphs, columns), each
// covering its lines and the separators between them.
struct PdfPageText {
    QString string;
    std::vector<QRectF> boxes;
    std::vector<PdfTextSpan> lines;
    std::vector<PdfTextSpan> words;
    std::vector<PdfTextSpan> blocks;

    // The index of the line holding code unit i, or -1.
    int lineOf(int i) const;
};

// A recorded page, rasterized without the document lock on any thread.
class PdfDisplayList {
public:
    virtual ~PdfDisplayList() = default;

    // The page this list belongs to, and whether it holds the annotations.
    virtual int pageIndex() const = 0;
    virtual bool withAnnotations() const = 0;

    // See PdfPage::render for the meaning of the first two arguments.
    // `spare` is a raster given up that the result is drawn into instead of
    // new memory, when it has the result's size and form (RGB32) and no
    // other copy of it is alive; otherwise it is let go.
    virtual QImage render(double scale, const QRect &pixelRegion = {}, QImage spare = {}) const = 0;
};

// A light handle on one page of a document: the document and an index.
// Copying it is cheap, and it is safe to use from any thread (the
// document's calls are serialized by its own lock). A default-made page
// is invalid; every call on it answers with an empty value.
class PdfPage {
public:
    PdfPage() = default;
    PdfPage(std::shared_ptr<PdfDocument> document, int index);

    bool isValid() const;
    int index() const { return m_index; }
    const std::shared_ptr<PdfDocument> &document() const { return m_document; }

    // Boxes in PDF user space. The crop box is clipped to the media box, as
    // viewers show it.
    QRectF mediaBox() const;
    QRectF cropBox() const;
    // /Rotate normalized to 0, 90, 180 or 270 (clockwise).
    int rotation() const;
    // The crop box size, width and height exchanged at 90 and 270.
    QSizeF displaySize() const;

    // Takes PDF user space to the displayed page placed at (0, 0, W, H)
    // with y pointing up: the crop box rotated by /Rotate and moved to the
    // origin.
    QTransform drawingTransform() const;
    // Takes PDF user space to raster pixels at `scale` (pixels per point):
    // top left origin, y pointing down, /Rotate applied.
    QTransform rasterTransform(double scale) const;

    // Grows whenever the page's drawing changes (its annotations change), so
    // that raster caches know to draw it again.
    std::uint64_t revision() const;

    // A raster of the displayed page on white, RGB32, at `scale` pixels per
    // point. `pixelRegion`, when not empty, is a part of the full raster in
    // its own pixel coordinates; only that part is drawn and returned. A
    // page whose content runs past the engine's work limits (a hostile
    // page) is drawn as far as it got; its text likewise.
    QImage render(double scale, bool withAnnotations = true, const QRect &pixelRegion = {}) const;
    // A raster whose longer edge has `edgeLength` pixels.
    QImage renderFitting(int edgeLength, bool withAnnotations = true) const;
    // The page's display list, recorded under the document lock and kept
    // for the recently used pages until the page's annotations change.
    std::shared_ptr<const PdfDisplayList> displayList(bool withAnnotations = true) const;
    // The page with its annotations but its highlights and underlines, which
    // the web pages' rasters burn in from overlay rows; recorded anew on
    // every call (its contents are the kept ones).
    std::shared_ptr<const PdfDisplayList> displayListWithoutHighlights() const;

    // The page text (cached by the document for the recently used pages).
    std::shared_ptr<const PdfPageText> text() const;
    QString string() const;
    int characterCount() const;
    QRectF characterBounds(int index) const;
    // The code unit whose box holds the point, or the nearest one on the
    // nearest line when `nearest` is true; -1 when there is none.
    int characterIndexAt(QPointF point, bool nearest = false) const;

    // Selections on this page; empty when nothing is there.
    PdfSelection selection(PdfTextRange range) const;
    PdfSelection selection(const QRectF &rect) const;
    PdfSelection selectionForWord(QPointF point) const;
    PdfSelection selectionForLine(QPointF point) const;

    friend bool operator==(const PdfPage &a, const PdfPage &b)
    {
        return a.m_document == b.m_document && a.m_index == b.m_index;
    }

private:
    std::shared_ptr<PdfDocument> m_document;
    int m_index = -1;
};

} // namespace folvan::engine
