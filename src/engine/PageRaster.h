#pragma once

#include <QByteArray>
#include <QImage>

#include <vector>

namespace folvan::engine {

class PdfPage;

// One overlay row burned into a page raster: x, y, width, height of a
// rectangle in PDF user space (y up), then red, green, blue, alpha in 0...1,
// then the kind: exactly 1.0 for an underline, anything else a filled
// highlight. A row of any other length, or with a number that is not
// finite, is skipped.
using RasterOverlayRow = std::vector<double>;

// Whole-page rasters for the web pages: the page drawn on white, fitted
// into an edge × edge square, the overlays multiplied over it. With
// `withMarks` the page's annotations are drawn too, but its highlights and
// underlines, which come as overlay rows (the book's pages); without, its
// contents alone.
// Pure and re-entrant: safe on any thread.
class PageRaster {
public:
    static constexpr int minEdge = 600;
    static constexpr int maxEdge = 4096;
    static constexpr int defaultEdge = 2400;

    // The edge clamped to minEdge...maxEdge.
    static int clampEdge(int edge);

    // The raster (RGB, opaque); a null image when the page cannot be drawn
    // (invalid page, empty or degenerate crop box).
    static QImage image(const PdfPage &page, int edge, const std::vector<RasterOverlayRow> &overlays,
                        bool withMarks = false);
    // The same raster as PNG at the fast compression level; empty when
    // there is no raster.
    static QByteArray png(const PdfPage &page, int edge, const std::vector<RasterOverlayRow> &overlays,
                          bool withMarks = false);

    // Height ÷ width of the page as displayed (crop box, /Rotate applied),
    // a width below one point counting as one, clamped to 0.5...2.0; 1.414
    // for no page or an invalid one.
    static double aspect(const PdfPage *page);
};

} // namespace folvan::engine
