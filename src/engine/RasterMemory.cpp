#include "engine/RasterMemory.h"

#include <algorithm>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace folvan::engine {

namespace {

#if defined(__linux__) && defined(MADV_HUGEPAGE)
constexpr size_t kLargePage = size_t(2) << 20;

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

// Pixels on a mapping of their own that starts on a large page, so that
// every whole 2 MB of it can be one.
QImage mappedRaster(QSize size, qsizetype stride)
{
    const size_t bytes = size_t(stride) * size_t(size.height());
    // The system's page: the parts handed back must start and end on one.
    const size_t pageSize = size_t(sysconf(_SC_PAGESIZE));
    if (pageSize == 0 || kLargePage % pageSize != 0)
        return QImage();
    const size_t length = (bytes + pageSize - 1) / pageSize * pageSize;
    void *reserved = mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reserved == MAP_FAILED)
        return QImage();
    const auto base = reinterpret_cast<std::uintptr_t>(reserved);
    const std::uintptr_t start = (base + kLargePage - 1) & ~std::uintptr_t(kLargePage - 1);
    // Hand back what lies before and after the aligned part.
    if (start > base)
        munmap(reserved, start - base);
    const std::uintptr_t end = start + length;
    if (base + length + kLargePage > end)
        munmap(reinterpret_cast<void *>(end), base + length + kLargePage - end);
    void *pixels = reinterpret_cast<void *>(start);
    madvise(pixels, length, MADV_HUGEPAGE);
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
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const qsizetype stride = qsizetype(std::max(0, size.width())) * 4;
    if (size.width() > 0 && size.height() > 0 && size_t(stride) * size_t(size.height()) >= kLargePage) {
        QImage image = mappedRaster(size, stride);
        if (!image.isNull())
            return image;
    }
#endif
    return QImage(size, QImage::Format_RGB32);
}

} // namespace folvan::engine
