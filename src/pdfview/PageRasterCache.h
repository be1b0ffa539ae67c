#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>

#include "engine/PdfAnnotation.h"

class QThreadPool;

namespace folvan::engine {
class PdfDocument;
struct PdfPageText;
}

namespace folvan::pdfview {

// One tile of a page raster: the page, the raster's device scale (device
// pixels per point, in thousandths), the tile's column and row, and the
// cache's epoch when it was asked for.
struct RasterTileKey {
    int page = -1;
    int scaleKey = 0;
    int column = 0;
    int row = 0;
    int epoch = 0;

    friend bool operator==(const RasterTileKey &, const RasterTileKey &) = default;
};

size_t qHash(const RasterTileKey &key, size_t seed = 0) noexcept;

// The page rasters of one document, made off the main thread from the
// engine's display lists and kept by page, scale and tile under a memory
// limit. A page at a scale is cut into square tiles, so that at a high zoom
// only the visible part of a page is drawn and kept.
//
// Lives on the main thread: requests come from painting, finished tiles
// come back in a later main-thread turn (tileReady). A tile that nobody
// wants any more when its turn comes is skipped, and a tile made for an
// earlier document is dropped.
class PageRasterCache : public QObject {
    Q_OBJECT
public:
    // Tile edge in device pixels.
    static constexpr int kTileSize = 1024;

    explicit PageRasterCache(QObject *parent = nullptr);
    ~PageRasterCache() override;

    // Forgets every raster and every pending request.
    void setDocument(std::shared_ptr<engine::PdfDocument> document);

    // The memory the kept rasters may take, in bytes.
    void setMemoryLimit(qint64 bytes);
    qint64 memoryLimit() const;
    qint64 memoryUsed() const;

    static int scaleKey(double deviceScale);
    static double deviceScale(int scaleKey);

    // The kept raster of a tile, or nullptr.
    const QImage *tile(const RasterTileKey &key) const;
    // The kept rasters of a page that best stand in for the page at
    // `scaleKey` in the current epoch: the nearest scale, the newest epoch;
    // as (scale key, epoch). None when nothing else of the page is kept.
    std::optional<std::pair<int, int>> nearestStandIn(int page, int scaleKey) const;

    // Page contents changed (annotations): the kept rasters are out of date.
    // They stay available as stand-ins while new ones are made. A page's
    // epoch grows when it or every page is made out of date.
    int epoch(int page) const { return m_epoch + m_pageEpochs.value(page); }
    void invalidate();
    // Only one page's rasters are out of date.
    void invalidatePage(int page);

    // Asks for a tile unless it is kept or already asked for. Requests with
    // a higher priority are made first.
    void request(const RasterTileKey &key, int priority);
    // Gives up the pending requests that are not in `wanted`.
    void keepOnly(const QSet<RasterTileKey> &wanted);
    int pendingCount() const { return int(m_pending.size()); }

    // Fetches a page's text and link annotations off the main thread (the
    // document may be busy recording a page for a raster);
    // pageContentsReady brings them.
    void requestPageContents(int page);

    // Waits until the tiles under way are made and delivered (for tests and
    // the benchmark; never called by the view).
    void waitForIdle();

signals:
    void tileReady(const folvan::pdfview::RasterTileKey &key);
    void pageContentsReady(int page, std::shared_ptr<const folvan::engine::PdfPageText> text,
                           const std::vector<folvan::engine::PdfAnnotation> &links);

private:
    void deliver(quint64 generation, RasterTileKey key, const std::atomic_bool *job, QImage image);

    std::shared_ptr<engine::PdfDocument> m_document;
    quint64 m_generation = 0;
    int m_epoch = 0;
    QHash<int, int> m_pageEpochs;
    std::unique_ptr<QThreadPool> m_pool;
    QCache<RasterTileKey, QImage> m_tiles;
    QHash<RasterTileKey, std::shared_ptr<std::atomic_bool>> m_pending;
    QSet<int> m_pendingContents;
};

} // namespace folvan::pdfview
