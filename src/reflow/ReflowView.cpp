#include "reflow/ReflowView.h"

#include "engine/PdfDocument.h"
#include "localweb/LocalWebPage.h"
#include "model/SharedPDFViewModel.h"
#include "reflow/ReflowResourceHandler.h"
#include "platform/WebEngineStart.h"
#include "reflow/ReflowWire.h"

#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

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
    m_profile = localweb::makePrivateProfile(this);
    m_profile->installUrlSchemeHandler(QByteArray(wire::scheme), m_handler);
    m_web = new QWebEngineView(this);
    // No menu of the engine's own (back, reload, save page); the page has
    // its own.
    m_web->setContextMenuPolicy(Qt::NoContextMenu);
    // Links to the web and elsewhere are the page's to handle.
    m_page = new localweb::LocalWebPage(m_profile, wire::scheme, wire::host, wire::channelObject, m_web);
    // Opaque, in the colour of the window behind it: the web engine composes
    // a see-through page over every widget, so the pane's search bar raised
    // above the view would be drawn under the page's text.
    m_page->setBackgroundColor(palette().color(QPalette::Window));
    connect(m_page->port(), &localweb::MessagePort::received, this,
            [this](const QString &text) { m_coordinator->receive(text, m_page->url(), true); });
    m_web->setPage(m_page);
    m_coordinator->setScriptSink([page = QPointer<QWebEnginePage>(m_page)](const QString &script) {
        if (page)
            page->runJavaScript(script);
    });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](const QWebEnginePage::RenderProcessTerminationStatus &status) {
                // A process that never ran is not started again.
                if (!platform::renderProcessNeverStarted(platform::terminationStatusValue(status)))
                    return pageEnded();
                platform::noteRenderProcessNeverStarted();
                if (!m_failure && !m_coordinator->disposed()) {
                    m_web->hide();
                    showFailure();
                }
            });
    new localweb::WebViewInput(m_web, [this](double delta, QPointF position) { magnify(delta, position); });

    layout->addWidget(m_web);
    setFocusProxy(m_web);

    // By file when there is one, else by the bytes the document was read from.
    const QUrl url = model->pdfDocumentURL();
    const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
    m_handler->setDocument(path, path.isEmpty() && m_document ? m_document->data() : QByteArray(),
                           m_coordinator->token());
    m_page->load(QUrl(wire::entryURL));
    m_model = model;
    model->setReflowView(this);
}

void ReflowView::takeReadingPosition()
{
    if (!m_page || !m_coordinator->loaded() || m_coordinator->disposed())
        return;
    // The answer may come after this returns (or never): it is kept in
    // what the callback holds, not on this stack.
    struct Answer {
        QEventLoop loop;
        std::optional<QString> text;
    };
    auto answer = std::make_shared<Answer>();
    const QString ask = QStringLiteral("window.%1?.%2?.({}) ?? null")
                            .arg(QLatin1String(wire::pageObject), QLatin1String(wire::call::position));
    m_page->runJavaScript(ask,
                          [answer](const QVariant &value) {
                              answer->text = value.typeId() == QMetaType::QString ? value.toString() : QString();
                              answer->loop.quit();
                          });
    if (!answer->text) {
        QTimer::singleShot(readingPositionWait, &answer->loop, &QEventLoop::quit);
        answer->loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (answer->text && !answer->text->isEmpty() && m_page)
        m_coordinator->receive(*answer->text, m_page->url(), true);
}

ReflowView::~ReflowView()
{
    if (m_model && m_model->reflowView() == this)
        m_model->setReflowView(nullptr);
    m_handler->dispose();
    m_coordinator->dispose();
    if (!m_page)
        return;
    disconnect(m_page, nullptr, this, nullptr);
    m_page->triggerAction(QWebEnginePage::Stop);
    // The page goes before its profile.
    delete m_page;
    m_page = nullptr;
    delete m_web;
    m_profile->removeAllUrlSchemeHandlers();
    delete m_profile;
}

QString ReflowView::magnifyScript(double delta, QPointF position)
{
    auto number = [](double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); };
    return QStringLiteral("window.%1?.%2({%3:%4,%5:%6,%7:%8})")
        .arg(QLatin1String(wire::pageObject), QLatin1String(wire::call::magnify), QLatin1String(wire::key::delta),
             number(delta), QLatin1String(wire::key::x), number(position.x()), QLatin1String(wire::key::y),
             number(position.y()));
}

void ReflowView::magnify(double delta, QPointF position)
{
    if (!m_page || !std::isfinite(delta) || m_coordinator->disposed() || !rect().contains(position.toPoint()))
        return;
    m_page->runJavaScript(magnifyScript(delta, position));
}

void ReflowView::pageEnded()
{
    if (m_coordinator->pageProcessEnded()) {
        m_page->load(QUrl(wire::entryURL)); // the same token: the page opens again
        return;
    }
    if (m_failure || m_coordinator->disposed())
        return;
    m_web->hide();
    showFailure();
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
