#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

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

class PageRasterCache;

// The memory that the page rasters of every page view may take together.
// It follows the screen area the views show: the shown screens and a few
// screens ahead and behind each. When a new raster does not fit, the least
// recently used rasters of any view are given up, never those a view shows
// (or has just asked for). Main thread only.
class RasterBudget {
public:
    // Screens of rasters kept per view: the one shown and three ahead and
    // behind.
    static constexpr int kScreensKept = 7;

    RasterBudget() = default;
    RasterBudget(const RasterBudget &) = delete;
    RasterBudget &operator=(const RasterBudget &) = delete;
    ~RasterBudget();

    // The one budget of the program, shared by its page views.
    static RasterBudget &shared();

    qint64 limit() const;
    qint64 used() const { return m_used; }

private:
    friend class PageRasterCache;
    // Gives up least recently used rasters until the kept ones fit.
    void fit();
    // `bytes` of rasters given up, of which `freed` went back to the
    // allocator's heap (the rest were mappings of their own).
    void giveBack(qint64 bytes, qint64 freed);
    // Hands back the memory kept to draw tiles into when no view has a paper.
    void releaseSparesIfIdle();
    quint64 tick() { return ++m_clock; }

    std::vector<PageRasterCache *> m_caches;
    qint64 m_used = 0;
    qint64 m_freedSinceTrim = 0;
    quint64 m_clock = 0;
};

// The page rasters of one document, made off the main thread from the
// engine's display lists and kept by page, scale and tile within the
// program's raster budget. A page at a scale is cut into square tiles, so that at a high zoom
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

    // Keeps its rasters within `budget` (the program's, unless a test
    // gives its own).
    explicit PageRasterCache(QObject *parent = nullptr);
    explicit PageRasterCache(RasterBudget &budget, QObject *parent = nullptr);
    ~PageRasterCache() override;

    // Forgets every raster (their memory is given back to the budget) and
    // every pending request.
    void setDocument(std::shared_ptr<engine::PdfDocument> document);

    // The area the view shows, in device pixels: the budget grows by a few
    // such screens while the view has a document.
    void setShownArea(QSize devicePixels);
    qint64 shownArea() const { return m_document ? m_shownArea : 0; }
    // The memory this cache's rasters take, in bytes.
    qint64 memoryUsed() const { return m_used; }

    // A new frame is painted: the tiles looked up from now on (tile()) are
    // the ones on screen, kept until the next frame whatever the budget.
    void beginFrame();

    static int scaleKey(double deviceScale);
    static double deviceScale(int scaleKey);

    // The kept raster of a tile, or nullptr. Counts as a use of it in the
    // current frame.
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
    friend class RasterBudget;
    struct Tile {
        QImage image;
        qint64 bytes = 0;
        // From the allocator's heap, not a mapping of its own.
        bool onHeap = false;
        // The budget's clock at the last use, and the frame of that use.
        mutable quint64 lastUse = 0;
        mutable quint64 frame = 0;
    };
    struct TileHash {
        size_t operator()(const RasterTileKey &key) const noexcept { return qHash(key); }
    };

    void deliver(quint64 generation, RasterTileKey key, const std::atomic_bool *job, QImage image);
    void insertTile(const RasterTileKey &key, QImage image, bool onScreen);
    void removeTile(const RasterTileKey &key);
    void clearTiles();
    // Called by every job once its result is on its way (any thread).
    void noteFinished();

    RasterBudget &m_budget;
    std::shared_ptr<engine::PdfDocument> m_document;
    quint64 m_generation = 0;
    int m_epoch = 0;
    QHash<int, int> m_pageEpochs;
    std::unique_ptr<QThreadPool> m_pool;
    // Node-based, so that a kept raster stays where it is while others come
    // and go.
    std::unordered_map<RasterTileKey, Tile, TileHash> m_tiles;
    qint64 m_used = 0;
    qint64 m_shownArea = 0;
    quint64 m_frame = 1;
    QHash<RasterTileKey, std::shared_ptr<std::atomic_bool>> m_pending;
    QSet<int> m_pendingContents;
    // Jobs finished (their results posted to the main thread), for
    // waitForIdle.
    std::mutex m_finishedMutex;
    std::condition_variable m_finishedChanged;
    quint64 m_finished = 0;
};

} // namespace folvan::pdfview
