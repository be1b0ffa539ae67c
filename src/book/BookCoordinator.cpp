// The book view's loads: tokens, the start-up timeout, what each update
// sends, and a new load after the page's process died. The messages
// themselves are in BookBridge.cpp.

#include "book/BookCoordinator.h"

#include "book/BookResourceHandler.h"
#include "book/BookWire.h"
#include "annotations/PaneAnnotations.h"
#include "engine/PdfDocument.h"
#include "localweb/LocalWebPage.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"


namespace folvan::book {

namespace {

// The annotation revision of the model's pane; 0 without annotations.
int annotationRevisionOf(const model::SharedPDFViewModel &model)
{
    const annotations::PaneAnnotations *paneAnnotations = annotations::PaneAnnotations::of(model);
    return paneAnnotations ? paneAnnotations->annotationRevision() : 0;
}

const QString kStartFailed = QStringLiteral("本地书页渲染器未能启动。");
const QString kStopped = QStringLiteral("书页渲染器已停止，请切到滚动阅读后重新打开翻书。");

} // namespace

BookCoordinator::BookCoordinator(model::SharedPDFViewModel *model, BookResourceHandler *resources, QObject *parent)
    : QObject(parent), m_model(model), m_resources(resources), m_timeout(new platform::MainWorkItem(this))
{
}

BookCoordinator::~BookCoordinator() = default;

void BookCoordinator::dismissPreview()
{
    if (m_host)
        m_host->dismissPreview();
}

void BookCoordinator::setWallpaper(const QImage &image, QRectF place, QSize most)
{
    m_wallpaperPlace = place;
    if (image.isNull() == m_wallpaper.isNull() && image.cacheKey() == m_wallpaper.cacheKey())
        return;
    // Each image under a name of its own: the page never shows one it kept
    // from before.
    m_wallpaper = image;
    m_wallpaperRevision = image.isNull() ? 0 : ++m_wallpapersGiven;
    m_resources->setWallpaper(image, m_wallpaperRevision, most);
}

void BookCoordinator::setDocument(const model::PdfDocumentPtr &document)
{
    if (m_disposed || !m_model)
        return;
    dismissPreview();
    m_document = document;
    m_loadedDocument = false;
    m_paperReady = false;
    m_lastSettings.clear();
    m_lastTurn.reset();
    m_token = localweb::newPageToken();
    m_lastReading.clear();
    m_lastAnnotationRevision = annotationRevisionOf(*m_model);

    const annotations::PaneAnnotations *paneAnnotations = annotations::PaneAnnotations::of(*m_model);
    m_resources->setDocument(document, m_token,
                             paneAnnotations ? paneAnnotations->rasterOverlays(false)
                                             : annotations::PaneAnnotations::OverlayRowMap());

    const int count = document ? document->pageCount() : 0;
    const QString path = m_model->pdfDocumentURL().path();
    const int saved =
        path.isEmpty() ? 0 : platform::Preferences::shared().intValue(platform::prefkey::lastPage(path));
    const int initial = m_model->jumpToPage() ? *m_model->jumpToPage()
                        : m_model->pageCount() == count ? m_model->currentPageIndex()
                                                        : saved;
    m_initialPage = std::clamp(initial, 0, std::max(count - 1, 0));
    QPointer<BookCoordinator> self(this);
    platform::runOnMain(this, [self, document, count, initial] {
        if (!self || self->m_disposed || self->m_document != document || !self->m_model)
            return;
        model::SharedPDFViewModel *model = self->m_model;
        model->bookOpened(count, std::clamp(initial, 0, std::max(count - 1, 0)),
                          self->m_engineUnavailable ? std::optional(kStartFailed) : std::nullopt);
        self->update();
    });

    m_timeout->schedule(m_startupDelay, [self] {
        if (!self || self->m_disposed || !self->m_model)
            return;
        if (!self->m_model->bookCanForward() && !self->m_model->bookCanBackward() && !self->m_paperReady)
            self->m_model->bookFailed(kStartFailed);
    });
}

void BookCoordinator::update()
{
    if (!m_ready || m_disposed || !m_document || !m_model)
        return;
    model::SharedPDFViewModel *model = m_model;
    if (m_lastAnnotationRevision != annotationRevisionOf(*model))
        setDocument(m_document);
    if (!m_loadedDocument) {
        m_loadedDocument = true;
        send(QLatin1String(wire::call::open), openPayload());
    }
    const localweb::BridgeJson settings = settingsPayload();
    const QString settingsText = localweb::scriptArgument(settings);
    if (settingsText != m_lastSettings) {
        dismissPreview();
        m_lastSettings = settingsText;
        send(QLatin1String(wire::call::settings), settings);
    }
    if (const std::optional<int> jump = model->jumpToPage()) {
        dismissPreview();
        send(QLatin1String(wire::call::jump), jumpPayload(*jump));
        QPointer<model::SharedPDFViewModel> weakModel(model);
        platform::runOnMain(this, [weakModel, document = m_document, sent = *jump] {
            if (weakModel)
                weakModel->requestCarriedOut(document, sent);
        });
    }
    const localweb::BridgeJson wallpaper = wallpaperPayload();
    const QString wallpaperText = localweb::scriptArgument(wallpaper);
    if (wallpaperText != m_lastWallpaper) {
        m_lastWallpaper = wallpaperText;
        send(QLatin1String(wire::call::wallpaper), wallpaper);
    }
    const localweb::BridgeJson reading = readingPayload();
    const QString readingText = localweb::scriptArgument(reading);
    if (readingText != m_lastReading) {
        m_lastReading = readingText;
        send(QLatin1String(wire::call::reading), reading);
    }
    if (const std::optional<model::BookTurnRequest> turn = model->bookTurnRequest(); turn && turn->id != m_lastTurn) {
        dismissPreview();
        m_lastTurn = turn->id;
        send(QLatin1String(wire::call::turn), {{wire::key::forward, turn->forward}});
        QPointer<model::SharedPDFViewModel> weakModel(model);
        const QUuid id = turn->id;
        platform::runOnMain(this, [weakModel, id] {
            if (weakModel)
                weakModel->bookTurnCarriedOut(id);
        });
    }
}

void BookCoordinator::dispose()
{
    dismissPreview();
    m_disposed = true;
    m_timeout->cancel();
    m_resources->dispose();
    m_document.reset();
}

void BookCoordinator::pageLoadFailed(const QString &message)
{
    // Teardown stops the load itself: that is no failure. A load that ends
    // with its process says nothing new.
    if (m_disposed || !m_model || m_engineUnavailable)
        return;
    m_model->bookFailed(message.isEmpty() ? kStartFailed : message);
}

void BookCoordinator::webEngineUnavailable()
{
    if (m_disposed || !m_model)
        return;
    m_engineUnavailable = true;
    m_timeout->cancel();
    m_model->bookFailed(kStartFailed);
}

void BookCoordinator::pageRestarting()
{
    if (m_disposed || !m_model)
        return;
    m_ready = false;
    m_loadedDocument = false;
    m_lastSettings.clear();
    m_lastReading.clear();
    if (m_document)
        setDocument(m_document);
}

void BookCoordinator::pageEnded()
{
    if (!m_disposed && m_model)
        m_model->bookFailed(kStopped);
}

} // namespace folvan::book
