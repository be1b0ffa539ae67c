#pragma once

// The hover preview of a citation link: resting the pointer on a link to a
// place in the paper shows, after the reference delay, a small picture of
// that place beside the link, captioned with the target page's label. The
// picture is drawn off the main thread; a result that arrives after the
// pointer moved on is dropped by its generation token. Any click, key,
// scroll, movement off the link, or the window losing focus or closing
// takes the preview away.

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>

#include <memory>
#include <optional>

#include "engine/PdfAnnotation.h"
#include "engine/PdfDestination.h"
#include "pdfview/DroppablePDFView.h"

class QLabel;

namespace folvan::annotationsview {

// Where a popup of `size` goes beside `anchor` (both global): above it when
// there is room on the screen area, else below, else to its right or left,
// centred on it across and held inside the area; it never covers the anchor
// while the area leaves room on some side.
QPoint previewPlace(const QRect &anchor, QSize size, const QRect &area);

// The window of the preview: the picture under its caption.
class ReferencePreviewPopup : public QWidget {
    Q_OBJECT
public:
    ReferencePreviewPopup(const QImage &image, const QString &pageLabel, QWidget *parent = nullptr);
    QLabel *caption() const { return m_caption; }
    QLabel *picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_caption;
    QLabel *m_picture;
};

class ReferencePreviewController : public QObject, public pdfview::ReferencePreview {
    Q_OBJECT
public:
    enum class State { idle, pending, shown };

    explicit ReferencePreviewController(QObject *parent = nullptr);
    ~ReferencePreviewController() override;

    // The pointer is on `link` (none: on no link); `anchor` is the link's
    // rectangle in the coordinates of `view` (of its viewport for a
    // scrolling view).
    void hover(const std::optional<engine::PdfAnnotation> &link, const std::shared_ptr<engine::PdfDocument> &document,
               const QRectF &anchor, QWidget *view) override;
    // Removes any preview, shown or pending.
    void dismiss() override;

    State state() const;
    // The link the pointer rests on, while there is one.
    const std::optional<engine::PdfAnnotation> &hovered() const { return m_hovered; }
    ReferencePreviewPopup *popup() const { return m_popup; }
    // Runs the pending show step now, as the end of the delay does.
    void showPendingNow();

    // "folvan.referencePreviews": on unless stored as the Boolean false.
    static bool previewsEnabled();

signals:
    // The preview went on screen, `milliseconds` after its show step began.
    void shown(double milliseconds);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showStep();
    void present(quint64 token, const QImage &image, const QString &label, qint64 startedNs);
    void watch(QWidget *view);

    QTimer m_delay;
    quint64 m_generation = 0;
    bool m_drawing = false;
    std::optional<engine::PdfAnnotation> m_hovered;
    std::weak_ptr<engine::PdfDocument> m_document;
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_window;
    QRectF m_anchor;
    QPointer<ReferencePreviewPopup> m_popup;
};

} // namespace folvan::annotationsview
