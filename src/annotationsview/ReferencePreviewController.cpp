#include "annotationsview/ReferencePreviewController.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include <chrono>

#include "annotations/ReadingAids.h"
#include "annotationsview/PopupPlacement.h"
#include "annotationsview/ViewStyle.h"
#include "engine/PdfDocument.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/ReaderPreferences.h"

namespace folvan::annotationsview {

namespace {

constexpr double kMaxWidth = 540;
constexpr int kGap = 4;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool sameLink(const engine::PdfAnnotation &a, const engine::PdfAnnotation &b)
{
    return a.handle == b.handle && a.bounds == b.bounds;
}

// The widget whose coordinates a view's anchors are given in.
QWidget *anchorSurface(QWidget *view)
{
    if (auto *area = qobject_cast<QAbstractScrollArea *>(view))
        return area->viewport();
    return view;
}

} // namespace

QPoint previewPlace(const QRect &anchor, QSize size, const QRect &area)
{
    const auto clampX = [&](int x) { return std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - size.width())); };
    const auto clampY = [&](int y) { return std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - size.height())); };
    const int centredX = clampX(anchor.center().x() - size.width() / 2);
    const int centredY = clampY(anchor.center().y() - size.height() / 2);
    if (anchor.top() - kGap - size.height() >= area.top())
        return {centredX, anchor.top() - kGap - size.height()};
    if (anchor.bottom() + 1 + kGap + size.height() <= area.bottom() + 1)
        return {centredX, anchor.bottom() + 1 + kGap};
    if (anchor.right() + 1 + kGap + size.width() <= area.right() + 1)
        return {anchor.right() + 1 + kGap, centredY};
    if (anchor.left() - kGap - size.width() >= area.left())
        return {anchor.left() - kGap - size.width(), centredY};
    // No side has room: the roomier of above and below, inside the area.
    const bool above = anchor.top() - area.top() > area.bottom() - anchor.bottom();
    return {centredX, clampY(above ? anchor.top() - kGap - size.height() : anchor.bottom() + 1 + kGap)};
}

// ---------------------------------------------------------------- popup

ReferencePreviewPopup::ReferencePreviewPopup(const QImage &image, const QString &pageLabel, QWidget *parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
    , m_caption(new QLabel(this))
    , m_picture(new QLabel(this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    const double size = platform::ReaderPreferences::interfaceSize();
    const int captionHeight = int(std::ceil(std::max(size + 3, 17.0)));
    const QSize picture = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();

    m_caption->setText(QStringLiteral("引用 · 第 ") + pageLabel + QStringLiteral(" 页 · 点击原链接跳转"));
    QFont font = QApplication::font();
    font.setPixelSize(int(std::max(size - 2, 12.0)));
    m_caption->setFont(font);
    useSecondaryColor(m_caption);
    m_caption->setTextFormat(Qt::PlainText);
    m_picture->setPixmap(QPixmap::fromImage(image));
    m_picture->setAccessibleName(QStringLiteral("引用内容，第 ") + pageLabel + QStringLiteral(" 页"));

    // 8 above the caption, 6 between caption and picture, 12 around the rest.
    // The caption is read whole: a picture narrower than it stands in the
    // middle of the caption's width.
    const int width = std::max(picture.width(), m_caption->fontMetrics().horizontalAdvance(m_caption->text()) + 2);
    m_caption->setGeometry(12, 8, width, captionHeight);
    m_picture->setGeometry(12 + (width - picture.width()) / 2, 8 + captionHeight + 6, picture.width(),
                           picture.height());
    setFixedSize(width + 24, picture.height() + 26 + captionHeight);
}

void ReferencePreviewPopup::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0, 0, 0, 40));
    painter.setBrush(popoverBackground());
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

// ---------------------------------------------------------------- controller

ReferencePreviewController::ReferencePreviewController(QObject *parent)
    : QObject(parent)
{
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, &ReferencePreviewController::showStep);
    connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, this, [this](const QString &key) {
        if (key == platform::prefkey::referencePreviews && !previewsEnabled())
            dismiss();
    });
}

ReferencePreviewController::~ReferencePreviewController()
{
    dismiss();
    watch(nullptr);
}

bool ReferencePreviewController::previewsEnabled()
{
    const QVariant value = platform::Preferences::shared().value(platform::prefkey::referencePreviews);
    return !(value.typeId() == QMetaType::Bool && !value.toBool());
}

ReferencePreviewController::State ReferencePreviewController::state() const
{
    if (m_popup)
        return State::shown;
    return m_delay.isActive() || m_drawing ? State::pending : State::idle;
}

void ReferencePreviewController::hover(const std::optional<engine::PdfAnnotation> &link,
                                       const std::shared_ptr<engine::PdfDocument> &document, const QRectF &anchor,
                                       QWidget *view)
{
    if (!previewsEnabled() || !link)
        return dismiss();
    const auto target = annotations::linkDestination(*link);
    if (!document || !target || target->pageIndex >= document->pageCount() || !view || !view->window()
        || !view->window()->isActiveWindow())
        return dismiss();
    if (m_hovered && sameLink(*m_hovered, *link) && m_document.lock() == document && m_view == view)
        return;
    dismiss();
    m_hovered = link;
    m_document = document;
    m_view = view;
    m_anchor = anchor;
    watch(view);
    m_delay.start(int(platform::ReaderPreferences::referenceDelay() * 1000));
    // While the delay runs, the target page's drawing and text are made
    // ready, so that the picture is quick to draw when it ends.
    platform::runConcurrently([weakDocument = std::weak_ptr(document), page = target->pageIndex] {
        if (const auto document = weakDocument.lock()) {
            const engine::PdfPage target(document, page);
            target.displayList(true);
            target.text();
        }
    });
}

void ReferencePreviewController::dismiss()
{
    ++m_generation;
    m_hovered.reset();
    m_delay.stop();
    m_drawing = false;
    if (m_popup) {
        m_popup->hide();
        delete m_popup.data();
    }
}

void ReferencePreviewController::showPendingNow()
{
    if (m_delay.isActive()) {
        m_delay.stop();
        showStep();
    }
}

// After the delay: checks that everything is still in place, then draws
// the picture on a worker thread.
void ReferencePreviewController::showStep()
{
    const auto document = m_document.lock();
    if (!m_hovered || !document || !m_view || !m_view->window()->isActiveWindow())
        return;
    const auto target = annotations::linkDestination(*m_hovered);
    if (!target || target->pageIndex >= document->pageCount())
        return;
    m_drawing = true;
    const quint64 token = m_generation;
    const double pixelRatio = m_view->devicePixelRatioF();
    const qint64 started = nowNs();
    QPointer<ReferencePreviewController> self(this);
    std::weak_ptr<engine::PdfDocument> weakDocument = document;
    platform::runConcurrently([self, weakDocument, target = *target, pixelRatio, token, started] {
        const auto document = weakDocument.lock();
        if (!document)
            return;
        QImage image = annotations::previewImage(document, target, kMaxWidth, pixelRatio);
        const QString label = annotations::pageLabelOrNumber(*document, target.pageIndex);
        platform::runOnMain([self, image = std::move(image), label, token, started] {
            if (self)
                self->present(token, image, label, started);
        });
    });
}

void ReferencePreviewController::present(quint64 token, const QImage &image, const QString &label, qint64 startedNs)
{
    // A result for a hover that has since ended.
    if (token != m_generation)
        return;
    m_drawing = false;
    if (image.isNull() || !m_view || !m_hovered || !m_view->window()->isActiveWindow())
        return;
    QWidget *surface = anchorSurface(m_view);
    const QRect anchor = m_anchor.toAlignedRect() & surface->rect();
    if (anchor.isEmpty())
        return;
    m_popup = new ReferencePreviewPopup(image, label);
    const QRect global(surface->mapToGlobal(anchor.topLeft()), anchor.size());
    // Inside the view's window, as every popover is.
    m_popup->move(previewPlace(global, m_popup->size(), popupBounds(surface)));
    m_popup->show();
    emit shown((nowNs() - startedNs) / 1e6);
}

// The view's window: its losing focus or closing, and the view's hiding,
// take the preview away.
void ReferencePreviewController::watch(QWidget *view)
{
    QWidget *window = view ? view->window() : nullptr;
    if (m_window == window)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (m_window)
        m_window->installEventFilter(this);
}

bool ReferencePreviewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::WindowDeactivate:
        case QEvent::Close:
        case QEvent::Hide:
            dismiss();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace folvan::annotationsview
