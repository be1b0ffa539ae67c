#include "book/PaperBookView.h"

#include "book/BookResourceHandler.h"
#include "book/BookWebPage.h"
#include "book/BookWire.h"
#include "book/DroppableBookWebView.h"
#include "annotationsview/ReferencePreviewController.h"
#include "engine/PdfAnnotation.h"
#include "engine/PdfDocument.h"
#include "localweb/LocalWebPage.h"
#include "platform/Queues.h"

#include <QUndoStack>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>

namespace folvan::book {

PaperBookView::PaperBookView(SharedPDFViewModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_resources(new BookResourceHandler(QStringLiteral(":/book"), this))
    , m_profile(localweb::makePrivateProfile(this))
    , m_page(new BookWebPage(m_profile, this))
    , m_webView(new DroppableBookWebView(this))
    , m_coordinator(new BookCoordinator(model, m_resources, this))
{
    m_profile->installUrlSchemeHandler(QByteArray(wire::scheme), m_resources);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_webView);
    // Opaque: a see-through page would be drawn over every widget above it.
    m_page->setBackgroundColor(palette().color(QPalette::Window));
    m_webView->setPage(m_page);
    setFocusProxy(m_webView);

    m_webView->referencePreview = std::make_unique<annotationsview::ReferencePreviewController>();
    m_coordinator->setHost(this);
    auto *input = new localweb::WebViewInput(m_webView, [this](double m, QPointF) { m_webView->magnify(m); });
    QPointer<SharedPDFViewModel> weakModel(model);
    input->setKeys({
        .copy = [weakModel] { if (weakModel) weakModel->copySelection(); },
        .undo = [weakModel] { if (weakModel) weakModel->annotationUndoManager()->undo(); },
        .redo = [weakModel] { if (weakModel) weakModel->annotationUndoManager()->redo(); },
    });
    connect(m_page->port(), &BookMessagePort::received, m_coordinator, &BookCoordinator::receive);
    connect(m_page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus && info.isErrorPage() == false)
            m_coordinator->pageLoadFailed(info.errorString());
    });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    m_coordinator->contentProcessTerminated();
            });

    // Every change the page may show runs one update in the next turn.
    for (auto signal : {&SharedPDFViewModel::annotationRevisionChanged, &SharedPDFViewModel::jumpToPageChanged,
                        &SharedPDFViewModel::bookTurnRequestChanged, &SharedPDFViewModel::bookTextModeChanged,
                        &SharedPDFViewModel::readingOverlayRevisionChanged, &SharedPDFViewModel::currentPageIndexChanged,
                        &SharedPDFViewModel::searchResultsChanged, &SharedPDFViewModel::currentSearchIndexChanged,
                        &SharedPDFViewModel::showSearchChanged, &SharedPDFViewModel::bookLayoutChanged})
        connect(model, signal, this, &PaperBookView::scheduleUpdate);
    // In the next turn: the pane prepares the new document's annotations
    // right after setting it, and the load takes them at once.
    connect(model, &SharedPDFViewModel::pdfDocumentChanged, this,
            [this] { platform::runOnMain(this, [this] { followDocument(); }); });

    followDocument();
    m_webView->load(QUrl(QLatin1String(wire::entryPage)));
}

PaperBookView::~PaperBookView()
{
    m_coordinator->dispose();
    m_coordinator->setHost(nullptr);
    m_webView->onDropPDF = nullptr;
    m_webView->onZoom = nullptr;
    m_page->disconnect(this);
    m_page->port()->disconnect(m_coordinator);
    m_webView->stop();
    // The page goes before its view, its profile and its handler.
    m_webView->setPage(nullptr);
    delete m_page;
    m_profile->removeAllUrlSchemeHandlers();
    delete m_profile;
}

void PaperBookView::setParameters(const BookViewParameters &parameters)
{
    if (parameters == m_coordinator->parameters())
        return;
    m_webView->bookZoom = parameters.zoom;
    m_coordinator->setParameters(parameters);
    scheduleUpdate();
}

void PaperBookView::setOnZoom(std::function<void(double)> onZoom) { m_webView->onZoom = std::move(onZoom); }

void PaperBookView::setOnDropPDF(std::function<void(const QUrl &)> onDropPDF)
{
    m_webView->onDropPDF = std::move(onDropPDF);
}

void PaperBookView::followDocument()
{
    if (!m_model || !m_model->pdfDocument() || m_model->pdfDocument() == m_coordinator->document())
        return;
    m_coordinator->setDocument(m_model->pdfDocument());
}

void PaperBookView::scheduleUpdate()
{
    if (m_updateScheduled)
        return;
    m_updateScheduled = true;
    platform::runOnMain(this, [this] {
        m_updateScheduled = false;
        m_coordinator->update();
    });
}

void PaperBookView::runScript(const QString &script) { m_page->runJavaScript(script); }

void PaperBookView::reloadPage() { m_webView->reload(); }

QUrl PaperBookView::frameUrl() const { return m_page->url(); }

QSizeF PaperBookView::viewSize() const { return m_webView->size(); }

void PaperBookView::dismissPreview()
{
    if (m_webView->referencePreview)
        m_webView->referencePreview->dismiss();
}

// The link under the point, or none: the preview opens, waits or closes.
void PaperBookView::previewLink(int page, QPointF pagePoint, QPointF anchor)
{
    const PdfDocumentPtr document = m_coordinator->document();
    if (!document || !m_webView->referencePreview)
        return;
    std::optional<engine::PdfAnnotation> link;
    for (engine::PdfAnnotation &annotation : engine::annotations(*document, page))
        if (annotation.subtype.compare(QLatin1String("Link"), Qt::CaseInsensitive) == 0
            && annotation.bounds.contains(pagePoint)) {
            link = std::move(annotation);
            break;
        }
    m_webView->referencePreview->hover(link, document, QRectF(anchor, QSizeF(1, 1)), m_webView);
}

} // namespace folvan::book
