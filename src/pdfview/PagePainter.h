#pragma once

#include <QSet>

#include "pdfview/PageSelections.h"

class QPainter;
class QRectF;
class QTransform;

namespace folvan::pdfview {

class PageLayout;
class PageRasterCache;
struct RasterTileKey;

// Draws the pages of a page view for one frame, in document space: each
// page from its raster tiles at the view's device scale, asking the raster
// cache for the tiles that are missing, and the text marks over them. Made
// anew for each frame from the view's layout; keeps nothing of its own.
class PagePainter {
public:
    // `deviceScale` is device pixels per point at the view's zoom.
    PagePainter(const PageLayout &layout, PageRasterCache &rasters, double deviceScale);

    // Draws the part of a page inside `visible` (document space). Where no
    // sharp tile is ready it asks for it at `priority`, adds it to `wanted`,
    // and meanwhile shows the blank page under the page at the nearest zoom
    // at hand, scaled.
    void drawPage(QPainter &painter, int pageIndex, const QRectF &visible, QSet<RasterTileKey> &wanted,
                  int priority) const;
    // Draws a page's text marks, multiplied into the page so that the text
    // stays black. `toDisplay` maps the page's PDF user space to the
    // displayed page; `pulse` (1 down to 0) is the glow of a selection that
    // has just been brought into view.
    void drawMarks(QPainter &painter, int pageIndex, const QTransform &toDisplay,
                   const PageSelections::PageMarks &marks, double pulse) const;
    // Asks for the tiles of the pages half a view ahead and behind
    // `visible`, so that scrolling finds them ready.
    void requestAround(const QRectF &visible, QSet<RasterTileKey> &wanted) const;
    // True when every part of every page inside `visible` has its sharp
    // tile at hand.
    bool isSharp(const QRectF &visible) const;

private:
    const PageLayout &m_layout;
    PageRasterCache &m_rasters;
    // The raster cache's scale key for the device scale, and view pixels
    // per raster pixel at it.
    int m_key;
    double m_factor;
};

} // namespace folvan::pdfview
