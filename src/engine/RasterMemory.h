#pragma once

#include <QImage>

namespace folvan::engine {

// A 32-bit RGB raster of `size` for a tile that a cache keeps, its pixels
// left as they are (PdfDisplayList::render paints it white first when it is
// handed in as the spare). While the cache fills, every tile is memory the
// process never had: large ones are mapped in 2 MB pages where the system
// offers them, as faulting several MB in 4 KB at a time costs more than
// drawing a text page's tile.
QImage newKeptRaster(QSize size);

} // namespace folvan::engine
