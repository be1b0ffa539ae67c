#pragma once

#include <QByteArray>
#include <QImage>

namespace folvan::engine {

// Encodes a raster as PNG at a zlib level from 0 (none) to 9 (smallest);
// level 1 is the fast one used for rasters served to web pages. An empty
// result for a null image.
QByteArray encodePng(const QImage &image, int zlibLevel = 1);

} // namespace folvan::engine
