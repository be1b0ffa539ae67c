#pragma once

// What a page holds besides running text, measured for the reflow page:
// figures and filled areas, horizontal rules, and on unrotated pages the
// internal links and the text lines as the engine reads them.

#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

namespace folvan::engine {

class PdfPage;

// An internal link of a page.
struct PdfGeometryLink {
    int page = 0;      // target page index
    double x = 0;      // target point, fractions of the target page as displayed,
    double y = 0;      // origin top left
    QString label;     // the text under the link, at most 200 characters, one line
    QRectF rect;       // the link's area on this page, points, origin top left
};

// A text line of a page: its trimmed text and its bounds in points, origin
// top left.
struct PdfGeometryLine {
    QString text;
    QRectF rect;
};

struct PdfPageGeometry {
    // Fractions [x, y, width, height] of the displayed page, origin top left.
    std::vector<QRectF> graphics;
    std::vector<QRectF> rules;
    // Only for unrotated pages with a text layer of at most 100000 units.
    std::optional<std::vector<PdfGeometryLink>> links;
    std::optional<std::vector<PdfGeometryLine>> nativeLines;
};

// Bounds on the work of one page.
struct PdfPageGeometryLimits {
    static constexpr int maxRules = 2000;
    static constexpr int maxRectangles = 6000;
    static constexpr int maxLinks = 1000;
    static constexpr int maxLines = 2500;
    static constexpr int maxTextLength = 100000;
};

// The graphics areas (merged, background boxes left out) and the horizontal
// rules found in the page's content, forms included.
PdfPageGeometry pageGeometry(const PdfPage &page);
// pageGeometry() plus, for qualifying pages, the links and text lines.
PdfPageGeometry verifiedPageGeometry(const PdfPage &page);

} // namespace folvan::engine
