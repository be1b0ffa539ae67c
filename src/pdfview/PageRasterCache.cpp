#include "pdfview/PageRasterCache.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include "engine/PdfDocument.h"
#include "engine/RasterMemory.h"
#include "pdfview/PageLinks.h"

namespace folvan::pdfview {

namespace {

// Bytes per raster pixel (32-bit RGB).
constexpr qint64 kPixelBytes = 4;
// Freed raster memory after which the allocator is asked to hand its free
// pages back to the system.
constexpr qint64 kTrimAfter = 32ll << 20;

} // namespace

size_t qHash(const RasterTileKey &key, size_t seed) noexcept
{
    return qHashMulti(seed, key.page, key.scaleKey, key.column, key.row, key.epoch);
}

// ---------------------------------------------------------------- budget

RasterBudget::~RasterBudget() = default;

RasterBudget &RasterBudget::shared()
{
    static RasterBudget budget;
    return budget;
}

qint64 RasterBudget::limit() const
{
    qint64 area = 0;
    for (const PageRasterCache *cache : m_caches)
        area += cache->shownArea();
    return area * kPixelBytes * kScreensKept;
}

void RasterBudget::giveBack(qint64 bytes, qint64 freed)
{
    m_used -= bytes;
    m_freedSinceTrim += freed;
    if (m_freedSinceTrim < kTrimAfter)
        return;
    m_freedSinceTrim = 0;
    // Tiles are made on worker threads, in the allocator's per-thread
    // arenas, which keep freed pages to themselves: without this the
    // process would keep the memory of every raster it ever gave up.
    engine::handFreedMemoryBack();
}

void RasterBudget::releaseSparesIfIdle()
{
    // The memory kept to draw tiles into is the program's: it goes once no
    // view shows a paper.
    if (std::none_of(m_caches.begin(), m_caches.end(), [](const PageRasterCache *cache) { return cache->m_document; }))
        engine::releaseSpareRasters();
}

void RasterBudget::fit()
{
    const qint64 allowed = limit();
    while (m_used > allowed) {
        // The caches hold a few hundred tiles at most: a walk is cheap.
        PageRasterCache *owner = nullptr;
        const RasterTileKey *oldest = nullptr;
        quint64 oldestUse = 0;
        for (PageRasterCache *cache : m_caches) {
            for (const auto &[key, tile] : cache->m_tiles) {
                if (tile.frame == cache->m_frame)
                    continue;
                if (!oldest || tile.lastUse < oldestUse) {
                    owner = cache;
                    oldest = &key;
                    oldestUse = tile.lastUse;
                }
            }
        }
        // What is left is on screen.
        if (!oldest)
            return;
        owner->removeTile(*oldest);
    }
}

// ---------------------------------------------------------------- cache

PageRasterCache::PageRasterCache(QObject *parent)
    : PageRasterCache(RasterBudget::shared(), parent)
{
}

PageRasterCache::PageRasterCache(RasterBudget &budget, QObject *parent)
    : QObject(parent)
    , m_budget(budget)
    , m_pool(std::make_unique<QThreadPool>())
{
    // Leave one core to the main thread.
    m_pool->setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
    m_pool->setObjectName(QStringLiteral("Folvan.pageRaster"));
    m_budget.m_caches.push_back(this);
}

PageRasterCache::~PageRasterCache()
{
    for (const auto &flag : std::as_const(m_pending))
        flag->store(true);
    m_pool->clear();
    m_pool->waitForDone();
    clearTiles();
    std::erase(m_budget.m_caches, this);
    m_budget.releaseSparesIfIdle();
}

void PageRasterCache::insertTile(const RasterTileKey &key, QImage image, bool onScreen)
{
    removeTile(key);
    const qint64 bytes = image.sizeInBytes();
    const bool onHeap = !engine::hasMappingOfItsOwn(image.size());
    m_tiles.emplace(key, Tile{std::move(image), bytes, onHeap, m_budget.tick(), onScreen ? m_frame : 0});
    m_used += bytes;
    m_budget.m_used += bytes;
    m_budget.fit();
}

void PageRasterCache::removeTile(const RasterTileKey &key)
{
    const auto it = m_tiles.find(key);
    if (it == m_tiles.end())
        return;
    m_used -= it->second.bytes;
    m_budget.giveBack(it->second.bytes, it->second.onHeap ? it->second.bytes : 0);
    m_tiles.erase(it);
}

void PageRasterCache::clearTiles()
{
    qint64 heapBytes = 0;
    for (const auto &[key, tile] : m_tiles)
        heapBytes += tile.onHeap ? tile.bytes : 0;
    m_tiles.clear();
    m_budget.giveBack(m_used, heapBytes);
    m_used = 0;
}

void PageRasterCache::setShownArea(QSize devicePixels)
{
    m_shownArea = qint64(std::max(0, devicePixels.width())) * std::max(0, devicePixels.height());
    m_budget.fit();
}

void PageRasterCache::beginFrame()
{
    ++m_frame;
}

void PageRasterCache::setDocument(std::shared_ptr<engine::PdfDocument> document)
{
    for (const auto &flag : std::as_const(m_pending))
        flag->store(true);
    m_pending.clear();
    m_pendingContents.clear();
    m_pool->clear();
    clearTiles();
    m_document = std::move(document);
    ++m_generation;
    // Without a paper the view takes no share of the budget.
    m_budget.fit();
    m_budget.releaseSparesIfIdle();
}

int PageRasterCache::scaleKey(double deviceScale)
{
    return int(std::lround(deviceScale * 1000));
}

double PageRasterCache::deviceScale(int scaleKey)
{
    return scaleKey / 1000.0;
}

const QImage *PageRasterCache::tile(const RasterTileKey &key) const
{
    const auto it = m_tiles.find(key);
    if (it == m_tiles.end())
        return nullptr;
    it->second.lastUse = m_budget.tick();
    it->second.frame = m_frame;
    return &it->second.image;
}

std::optional<std::pair<int, int>> PageRasterCache::nearestStandIn(int page, int scaleKey) const
{
    // The cache holds a few hundred tiles at most: a walk is cheap.
    std::optional<std::pair<int, int>> best;
    double bestDistance = 0;
    for (const auto &[key, kept] : m_tiles) {
        if (key.page != page || (key.scaleKey == scaleKey && key.epoch == epoch(page)))
            continue;
        const double distance = std::abs(std::log(double(key.scaleKey) / scaleKey)) - key.epoch * 1e-6;
        if (!best || distance < bestDistance) {
            best = std::make_pair(key.scaleKey, key.epoch);
            bestDistance = distance;
        }
    }
    return best;
}

void PageRasterCache::invalidate()
{
    for (const auto &flag : std::as_const(m_pending))
        flag->store(true);
    m_pending.clear();
    ++m_epoch;
}

void PageRasterCache::invalidatePage(int page)
{
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it.key().page == page) {
            it.value()->store(true);
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
    ++m_pageEpochs[page];
}

void PageRasterCache::request(const RasterTileKey &key, int priority)
{
    if (!m_document || m_tiles.contains(key) || m_pending.contains(key))
        return;
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    m_pending.insert(key, cancelled);

    const quint64 generation = m_generation;
    std::shared_ptr<engine::PdfDocument> document = m_document;
    m_pool->start(
        [this, document, key, cancelled, generation] {
            QImage image;
            if (!cancelled->load()) {
                const engine::PdfPage page = document->page(key.page);
                const double scale = deviceScale(key.scaleKey);
                const QSizeF size = page.displaySize() * scale;
                const QRect full(0, 0, int(std::ceil(size.width())), int(std::ceil(size.height())));
                const QRect region = QRect(key.column * kTileSize, key.row * kTileSize, kTileSize, kTileSize)
                                         .intersected(full);
                if (!region.isEmpty()) {
                    if (const auto list = page.displayList(true); list && !cancelled->load())
                        image = list->render(scale, region, engine::newKeptRaster(region.size()));
                }
                // Drawn as it is by the main thread, without conversion.
                if (!image.isNull() && image.format() != QImage::Format_RGB32
                    && image.format() != QImage::Format_ARGB32_Premultiplied)
                    image.convertTo(QImage::Format_RGB32);
            }
            // The cache outlives every job: its destructor waits for them.
            QMetaObject::invokeMethod(
                this, [this, generation, key, cancelled, image = std::move(image)]() mutable {
                    deliver(generation, key, cancelled.get(), std::move(image));
                },
                Qt::QueuedConnection);
            noteFinished();
        },
        priority);
}

void PageRasterCache::deliver(quint64 generation, RasterTileKey key, const std::atomic_bool *job, QImage image)
{
    if (generation != m_generation)
        return;
    // A request given up and made again has a new job: leave that one pending.
    bool wanted = false;
    if (auto it = m_pending.find(key); it != m_pending.end() && it.value().get() == job) {
        m_pending.erase(it);
        wanted = !job->load();
    }
    if (image.isNull())
        return;
    // A tile the current frame asked for is kept until the next frame, so
    // that the view finds it there.
    insertTile(key, std::move(image), wanted);
    if (m_tiles.contains(key))
        emit tileReady(key);
}

void PageRasterCache::requestPageContents(int page)
{
    if (!m_document || m_pendingContents.contains(page))
        return;
    m_pendingContents.insert(page);
    const quint64 generation = m_generation;
    m_pool->start(
        [this, document = m_document, page, generation] {
            std::shared_ptr<const engine::PdfPageText> text = document->page(page).text();
            std::vector<engine::PdfAnnotation> links = linkAnnotations(*document, page);
            QMetaObject::invokeMethod(
                this, [this, generation, page, text = std::move(text), links = std::move(links)] {
                    if (generation != m_generation)
                        return;
                    m_pendingContents.remove(page);
                    emit pageContentsReady(page, text, links);
                },
                Qt::QueuedConnection);
            noteFinished();
        },
        // Before the rasters: highlights and the pointer wait for it.
        2);
}

void PageRasterCache::keepOnly(const QSet<RasterTileKey> &wanted)
{
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (!wanted.contains(it.key())) {
            it.value()->store(true);
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
}

void PageRasterCache::noteFinished()
{
    {
        std::lock_guard lock(m_finishedMutex);
        ++m_finished;
    }
    m_finishedChanged.notify_all();
}

void PageRasterCache::waitForIdle()
{
    // Not QThreadPool::waitForDone, which also ends the pool's threads: the
    // next tile would start a thread (and a MuPDF context) again, which the
    // view's tiles never do.
    for (;;) {
        quint64 finished;
        {
            std::lock_guard lock(m_finishedMutex);
            finished = m_finished;
        }
        QCoreApplication::sendPostedEvents(this);
        if (m_pending.isEmpty() && m_pendingContents.isEmpty())
            return;
        std::unique_lock lock(m_finishedMutex);
        m_finishedChanged.wait(lock, [&] { return m_finished != finished; });
    }
}

} // namespace folvan::pdfview
