#include "workspace/ReaderPaneFocusMonitor.h"

#include "localweb/LocalWebView.h"
#include "pdfview/PdfView.h"
#include "pdfview/WatchedWidget.h"

#include <QApplication>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QTimer>
#include <QWheelEvent>

namespace folvan::workspace {

namespace {

// The window position of a pointer event that may activate a pane; nullopt
// for every other event.
std::optional<QPointF> activatingPosition(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton || mouse->button() == Qt::RightButton)
            return mouse->globalPosition();
        return std::nullopt;
    }
    case QEvent::Wheel:
        return static_cast<QWheelEvent *>(event)->globalPosition();
    case QEvent::NativeGesture: {
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture)
            return gesture->globalPosition();
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

QWidget *findReader(QWidget *widget, QWidget *root, const QRect &paneArea)
{
    if (!widget->isVisibleTo(root) && widget != root)
        return nullptr;
    if (isReaderView(widget)) {
        const QRect area(widget->mapTo(root, QPoint(0, 0)), widget->size());
        if (paneArea.contains(area.center()))
            return widget;
    }
    for (QObject *child : widget->children())
        if (auto *childWidget = qobject_cast<QWidget *>(child); childWidget && !childWidget->isWindow())
            if (QWidget *found = findReader(childWidget, root, paneArea))
                return found;
    return nullptr;
}

} // namespace

bool isReaderView(const QWidget *widget)
{
    if (qobject_cast<const pdfview::PdfView *>(widget))
        return true;
    const auto *web = qobject_cast<const localweb::LocalWebView *>(widget);
    return web && web->localPage()->allows(web->url());
}

ReaderPaneFocusMonitor::ReaderPaneFocusMonitor(QWidget *pane, std::function<void()> activate)
    : QObject(pane), m_pane(pane), m_activate(std::move(activate))
{
    qApp->installEventFilter(this);
}

ReaderPaneFocusMonitor::~ReaderPaneFocusMonitor()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void ReaderPaneFocusMonitor::update(bool active, qint64 token, std::function<void()> activate)
{
    m_activate = std::move(activate);
    if (m_token == token)
        return;
    m_token = token;
    if (!active)
        return;
    QPointer<ReaderPaneFocusMonitor> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self)
            self->focusReader();
    });
}

bool ReaderPaneFocusMonitor::eventFilter(QObject *watched, QEvent *event)
{
    const std::optional<QPointF> global = activatingPosition(event);
    if (!global || !m_pane)
        return false;
    const QWidget *target = pdfview::watchedWidget(watched);
    if (!target || target->window() != m_pane->window() || !m_pane->isVisible())
        return false;
    if (m_pane->rect().contains(m_pane->mapFromGlobal(*global).toPoint()) && m_activate)
        m_activate();
    return false;
}

QWidget *ReaderPaneFocusMonitor::readerView() const
{
    if (!m_pane)
        return nullptr;
    QWidget *window = m_pane->window();
    const QRect paneArea(m_pane->mapTo(window, QPoint(0, 0)), m_pane->size());
    return findReader(window, window, paneArea);
}

void ReaderPaneFocusMonitor::focusReader()
{
    if (QWidget *reader = readerView())
        reader->setFocus(Qt::OtherFocusReason);
}

} // namespace folvan::workspace

