#include "engine/RasterMemory.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include <QThreadPool>

#if defined(__linux__) || defined(__APPLE__)
#include <sys/mman.h>
#include <unistd.h>
#define FOLVAN_RASTER_MAPPINGS 1
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FOLVAN_ADDRESS_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define FOLVAN_ADDRESS_SANITIZER 1
#endif
#if defined(__GLIBC__) && !defined(FOLVAN_ADDRESS_SANITIZER)
#include <malloc.h>
#define FOLVAN_MALLOC_TRIM 1
#endif

namespace folvan::engine {

namespace {

// Below this, a tile comes from the ordinary heap.
constexpr size_t kOwnMapping = size_t(128) << 10;

#if defined(FOLVAN_RASTER_MAPPINGS)
// Memory of given-up rasters kept: four full 1024-pixel tiles.
constexpr size_t kSpareBytes = size_t(16) << 20;

struct Mapping {
    void *start;
    size_t length;
};

struct Spares {
    std::mutex mutex;
    std::vector<Mapping> mappings;
    size_t bytes = 0;
};

// Never destroyed: a raster may be let go of after static destruction.
Spares &spares()
{
    static Spares *const kept = new Spares;
    return *kept;
}

size_t wholePages(size_t bytes)
{
    static const size_t page = size_t(std::max(4096l, sysconf(_SC_PAGESIZE)));
    return (bytes + page - 1) / page * page;
}

// The cleanup of a raster's image: its mapping is kept while there is room.
void giveBackMapping(void *info)
{
    auto *mapping = static_cast<Mapping *>(info);
    const Mapping given = *mapping;
    delete mapping;
    {
        Spares &kept = spares();
        std::lock_guard lock(kept.mutex);
        if (kept.bytes + given.length <= kSpareBytes) {
            kept.mappings.push_back(given);
            kept.bytes += given.length;
            return;
        }
    }
    munmap(given.start, given.length);
}

// The kept mapping that best fits `length`: the smallest at least as long,
// else the longest. False when none is kept.
bool takeSpare(size_t length, Mapping *taken)
{
    // Whether `a` fits better than `b`.
    const auto better = [length](const Mapping &a, const Mapping &b) {
        const bool aFits = a.length >= length;
        if (aFits != (b.length >= length))
            return aFits;
        return aFits ? a.length < b.length : a.length > b.length;
    };
    Spares &kept = spares();
    std::lock_guard lock(kept.mutex);
    const auto best = std::min_element(kept.mappings.begin(), kept.mappings.end(), better);
    if (best == kept.mappings.end())
        return false;
    *taken = *best;
    kept.bytes -= best->length;
    kept.mappings.erase(best);
    return true;
}

// `length` bytes of memory for a raster, from a kept mapping when there is
// one; null when the system has none.
void *mapPixels(size_t length)
{
    Mapping spare{};
    if (takeSpare(length, &spare)) {
        if (spare.length >= length) {
            if (spare.length > length)
                munmap(static_cast<char *>(spare.start) + length, spare.length - length);
            return spare.start;
        }
#if defined(__linux__)
        // The pages it has are moved, not copied; only the rest is new.
        void *grown = mremap(spare.start, spare.length, length, MREMAP_MAYMOVE);
        if (grown != MAP_FAILED) {
#if defined(MADV_POPULATE_WRITE)
            madvise(static_cast<char *>(grown) + spare.length, length - spare.length, MADV_POPULATE_WRITE);
#endif
            return grown;
        }
#endif
        munmap(spare.start, spare.length);
    }
    int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#if defined(MAP_POPULATE)
    flags |= MAP_POPULATE;
#endif
    void *pixels = mmap(nullptr, length, PROT_READ | PROT_WRITE, flags, -1, 0);
    return pixels == MAP_FAILED ? nullptr : pixels;
}

QImage mappedRaster(QSize size, qsizetype stride)
{
    const size_t length = wholePages(size_t(stride) * size_t(size.height()));
    void *pixels = mapPixels(length);
    if (!pixels)
        return QImage();
    auto *mapping = new Mapping{pixels, length};
    QImage image(static_cast<uchar *>(pixels), size.width(), size.height(), stride, QImage::Format_RGB32,
                 giveBackMapping, mapping);
    if (image.isNull())
        giveBackMapping(mapping);
    return image;
}
#endif

} // namespace

bool hasMappingOfItsOwn(QSize size)
{
#if defined(FOLVAN_RASTER_MAPPINGS)
    return size.width() > 0 && size.height() > 0 && size_t(size.width()) * 4 * size_t(size.height()) >= kOwnMapping;
#else
    Q_UNUSED(size);
    return false;
#endif
}

QImage newKeptRaster(QSize size)
{
#if defined(FOLVAN_RASTER_MAPPINGS)
    if (hasMappingOfItsOwn(size)) {
        QImage image = mappedRaster(size, qsizetype(size.width()) * 4);
        if (!image.isNull())
            return image;
    }
#endif
    return QImage(size, QImage::Format_RGB32);
}

qint64 spareRasterBytes()
{
#if defined(FOLVAN_RASTER_MAPPINGS)
    Spares &kept = spares();
    std::lock_guard lock(kept.mutex);
    return qint64(kept.bytes);
#else
    return 0;
#endif
}

void releaseSpareRasters()
{
#if defined(FOLVAN_RASTER_MAPPINGS)
    std::vector<Mapping> released;
    {
        Spares &kept = spares();
        std::lock_guard lock(kept.mutex);
        released.swap(kept.mappings);
        kept.bytes = 0;
    }
    for (const Mapping &mapping : released)
        munmap(mapping.start, mapping.length);
#endif
}

void handFreedMemoryBack()
{
#if defined(FOLVAN_MALLOC_TRIM)
    if (QThreadPool *pool = QThreadPool::globalInstance())
        pool->start([] { malloc_trim(0); }, -1);
#endif
}

} // namespace folvan::engine
