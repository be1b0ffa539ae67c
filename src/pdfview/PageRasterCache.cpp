#include "pdfview/PageRasterCache.h"

#include <cmath>

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include "engine/PdfDocument.h"
#include "pdfview/PageLinks.h"

namespace folvan::pdfview {

namespace {

constexpr qint64 kDefaultMemoryLimit = 128ll * 1024 * 1024;

int costOf(const QImage &image)
{
    return int(std::max<qint64>(1, image.sizeInBytes() / 1024));
}

} // namespace

size_t qHash(const RasterTileKey &key, size_t seed) noexcept
{
    return qHashMulti(seed, key.page, key.scaleKey, key.column, key.row, key.epoch);
}

PageRasterCache::PageRasterCache(QObject *parent)
    : QObject(parent)
    , m_pool(std::make_unique<QThreadPool>())
{
    // Leave one core to the main thread.
    m_pool->setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
    m_pool->setObjectName(QStringLiteral("Folvan.pageRaster"));
    setMemoryLimit(kDefaultMemoryLimit);
}

PageRasterCache::~PageRasterCache()
{
    for (const auto &flag : std::as_const(m_pending))
        flag->store(true);
    m_pool->clear();
    m_pool->waitForDone();
}

void PageRasterCache::setDocument(std::shared_ptr<engine::PdfDocument> document)
{
    for (const auto &flag : std::as_const(m_pending))
        flag->store(true);
    m_pending.clear();
    m_pendingContents.clear();
    m_pool->clear();
    m_tiles.clear();
    m_document = std::move(document);
    ++m_generation;
}

void PageRasterCache::setMemoryLimit(qint64 bytes)
{
    m_tiles.setMaxCost(int(std::max<qint64>(1, bytes / 1024)));
}

qint64 PageRasterCache::memoryLimit() const
{
    return qint64(m_tiles.maxCost()) * 1024;
}

qint64 PageRasterCache::memoryUsed() const
{
    return qint64(m_tiles.totalCost()) * 1024;
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
    return m_tiles.object(key);
}

std::optional<std::pair<int, int>> PageRasterCache::nearestStandIn(int page, int scaleKey) const
{
    // The cache holds a few hundred tiles at most: a walk is cheap.
    std::optional<std::pair<int, int>> best;
    double bestDistance = 0;
    for (const RasterTileKey &key : m_tiles.keys()) {
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
                        image = list->render(scale, region);
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
        },
        priority);
}

void PageRasterCache::deliver(quint64 generation, RasterTileKey key, const std::atomic_bool *job, QImage image)
{
    if (generation != m_generation)
        return;
    // A request given up and made again has a new job: leave that one pending.
    if (auto it = m_pending.find(key); it != m_pending.end() && it.value().get() == job)
        m_pending.erase(it);
    if (image.isNull())
        return;
    const int cost = costOf(image);
    m_tiles.insert(key, new QImage(std::move(image)), cost);
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

void PageRasterCache::waitForIdle()
{
    while (!m_pending.isEmpty() || !m_pendingContents.isEmpty()) {
        m_pool->waitForDone();
        QCoreApplication::sendPostedEvents(this);
    }
}

} // namespace folvan::pdfview
