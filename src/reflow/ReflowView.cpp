#include "reflow/ReflowView.h"

#include "engine/PdfDocument.h"
#include "localweb/LocalWebView.h"
#include "model/SharedPDFViewModel.h"
#include "platform/WebEngineStart.h"
#include "reflow/ReflowResourceHandler.h"
#include "reflow/ReflowWire.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace folvan::reflow {

ReflowView::ReflowView(model::SharedPDFViewModel *model, std::optional<QUuid> paperID,
                       ReflowCoordinator::Callbacks callbacks, QWidget *parent, const QString &pageRoot)
    : QWidget(parent)
    , m_document(model->pdfDocument())
    , m_handler(new ReflowResourceHandler(this, pageRoot))
{
    QPointer<model::SharedPDFViewModel> weakModel(model);
    auto showOriginal = callbacks.showOriginal;
    m_leave = [weakModel, showOriginal] {
        if (!weakModel || !showOriginal)
            return;
        model::ReadingLocation location;
        location.page = weakModel->currentPageIndex();
        showOriginal(location);
    };
    m_coordinator = new ReflowCoordinator(model, m_document, paperID, std::move(callbacks), this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // Where the web engine would end the process, the view shows its
    // message and the way back to the PDF at once.
    if (!platform::webEngineCanStart()) {
        showFailure();
        return;
    }
    // Links to the web and elsewhere are the page's to handle.
    m_web = new localweb::LocalWebView({.scheme = wire::scheme,
                                        .host = wire::host,
                                        .entryURL = wire::entryURL,
                                        .channelObject = wire::channelObject,
                                        .pageObject = wire::pageObject},
                                       m_handler, this);
    m_web->setZoom([this](double delta, QPointF position) { magnify(delta, position); });
    connect(m_coordinator, &ReflowCoordinator::pageCall, m_web, &localweb::LocalWebView::call);
    connect(m_web, &localweb::LocalWebView::received, m_coordinator, &ReflowCoordinator::receive);
    // The same token: the page opens again.
    connect(m_web, &localweb::LocalWebView::restarting, m_coordinator, &ReflowCoordinator::pageRestarting);
    for (auto signal : {&localweb::LocalWebView::ended, &localweb::LocalWebView::unavailable})
        connect(m_web, signal, this, [this] {
            if (m_failure || m_coordinator->disposed())
                return;
            m_web->hide();
            showFailure();
        });
    layout->addWidget(m_web);
    setFocusProxy(m_web);

    // By file when there is one, else by the bytes the document was read from.
    const QUrl url = model->pdfDocumentURL();
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    m_handler->setDocument(path, path.isEmpty() && m_document ? m_document->data() : QByteArray(),
                           m_coordinator->token());
    m_web->open();
}

ReflowView::~ReflowView()
{
    m_handler->dispose();
    m_coordinator->dispose();
    // The web view goes before the scheme handler it was given.
    delete m_web;
    m_web = nullptr;
}

void ReflowView::magnify(double delta, QPointF position)
{
    if (!m_web || !std::isfinite(delta) || m_coordinator->disposed() || !rect().contains(position.toPoint()))
        return;
    m_web->call(QLatin1String(wire::call::magnify),
                {{wire::key::delta, delta}, {wire::key::x, position.x()}, {wire::key::y, position.y()}});
}

void ReflowView::showFailure()
{
    m_failure = new QWidget(this);
    auto *column = new QVBoxLayout(m_failure);
    column->addStretch();
    auto *label = new QLabel(ReflowCoordinator::failureText(), m_failure);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    column->addWidget(label);
    auto *back = new QPushButton(QStringLiteral("返回原版 PDF"), m_failure);
    connect(back, &QPushButton::clicked, this, [this] { m_leave(); });
    column->addWidget(back, 0, Qt::AlignHCenter);
    column->addStretch();
    layout()->addWidget(m_failure);
    m_failure->show();
}

} // namespace folvan::reflow
