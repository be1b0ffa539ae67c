#pragma once

#include <QImage>

namespace folvan::engine {

// A 32-bit RGB raster of `size` for a tile that a cache keeps, its pixels
// left as they are (PdfDisplayList::render paints it white first when it is
// handed in as the spare). A large one gets a mapping of its own: the
// memory of a kept raster given up before when there is some (below), else
// fresh memory, filled in at once, as faulting several MB in 4 KB at a
// time costs more than drawing a text page's tile. (Not in 2 MB pages: on a
// virtual machine that hands memory back to its host, fresh ones cost
// several times more.)
QImage newKeptRaster(QSize size);

// Whether newKeptRaster makes a raster of `size` on a mapping of its own:
// its memory never goes back to the allocator's heap.
bool hasMappingOfItsOwn(QSize size);

// Once the last image of a kept raster with a mapping of its own is gone,
// its memory is kept, up to a few full tiles' worth, for the next kept
// rasters of any size: cut down or grown to the size asked for. A cache
// gives up and makes tiles of mixed sizes in an order of their own (a
// page's tiles drawn side by side finish in any order), so memory kept for
// a raster of the same size only would often sit unused while fresh memory
// is taken. Safe from any thread. The bytes kept, and handing them all
// back to the system (when no paper is open).
qint64 spareRasterBytes();
void releaseSpareRasters();

// Asks the C library, on a pool thread (the walk over its arenas takes a
// few ms), to hand back to the system the pages its per-thread arenas keep
// after they were freed. Does nothing where the C library's allocator is
// not the one in use (the address sanitizer replaces it, and the C
// library's trim then reads arenas that were never set up).
void handFreedMemoryBack();

} // namespace folvan::engine
