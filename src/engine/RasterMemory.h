#pragma once

#include <QImage>

namespace folvan::engine {

// A 32-bit RGB raster of `size` for a tile that a cache keeps, its pixels
// left as they are (PdfDisplayList::render paints it white first when it is
// handed in as the spare). While the cache fills, every tile is memory the
// process never had: a large one gets a mapping of its own, filled in at
// once, as faulting several MB in 4 KB at a time costs more than drawing a
// text page's tile. (Not in 2 MB pages: on a virtual machine that hands
// memory back to its host, fresh ones cost several times more.)
QImage newKeptRaster(QSize size);

} // namespace folvan::engine
