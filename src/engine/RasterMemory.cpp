#include "engine/RasterMemory.h"

#include <algorithm>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace folvan::engine {

namespace {

#if defined(__linux__) && defined(MAP_POPULATE)
// Below this, a tile comes from the ordinary heap.
constexpr size_t kOwnMapping = size_t(128) << 10;

struct Mapping {
    void *start;
    size_t length;
};

void unmapRaster(void *info)
{
    auto *mapping = static_cast<Mapping *>(info);
    munmap(mapping->start, mapping->length);
    delete mapping;
}

// Pixels on a mapping of their own, handed back whole when the tile goes,
// and filled in by the system in one call rather than one fault per page.
QImage mappedRaster(QSize size, qsizetype stride)
{
    const size_t length = size_t(stride) * size_t(size.height());
    void *pixels = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (pixels == MAP_FAILED)
        return QImage();
    auto *mapping = new Mapping{pixels, length};
    QImage image(static_cast<uchar *>(pixels), size.width(), size.height(), stride, QImage::Format_RGB32,
                 unmapRaster, mapping);
    if (image.isNull())
        unmapRaster(mapping);
    return image;
}
#endif

} // namespace

QImage newKeptRaster(QSize size)
{
#if defined(__linux__) && defined(MAP_POPULATE)
    const qsizetype stride = qsizetype(std::max(0, size.width())) * 4;
    if (size.width() > 0 && size.height() > 0 && size_t(stride) * size_t(size.height()) >= kOwnMapping) {
        QImage image = mappedRaster(size, stride);
        if (!image.isNull())
            return image;
    }
#endif
    return QImage(size, QImage::Format_RGB32);
}

} // namespace folvan::engine
