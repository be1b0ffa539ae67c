#pragma once

// The native half of one book web view: each document load under a token
// of its own, the hand-over of the document and its highlight rows to the
// scheme handler, the start-up timeout, what to send to the page on every
// update and what not to send again, the page's events, and what a restart
// of the page's process means for the load.
//
// The messages: the coordinator calls the page through pageCall (the calls
// of BookWire.h, which the web view makes to the page object); the page
// posts objects with an event key, which the web view hands to receive()
// (all names in BookWire.h).

#include "localweb/BridgeJson.h"
#include "model/SharedPDFViewModel.h"
#include "platform/BookSettings.h"
#include "platform/ReadingModes.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

namespace folvan::platform {
class MainWorkItem;
}

namespace folvan::book {

class BookResourceHandler;

// What the coordinator needs of its view besides the page.
class BookPageHost {
public:
    virtual ~BookPageHost() = default;
    // The view's size in points.
    virtual QSizeF viewSize() const = 0;
    // Closes an open citation preview.
    virtual void dismissPreview() = 0;
    // The pointer rests at `anchor` (view points, y down) over the point
    // `pagePoint` (page space) of page `page`: the view may preview the
    // citation link there.
    virtual void previewLink(int page, QPointF pagePoint, QPointF anchor) = 0;
    // A selection was made: its text becomes the primary selection (the
    // middle-click paste) where the system has one.
    virtual void offerPrimarySelection(const QString &text) = 0;
};

// The values the book view hands to its page: the pane's rotation and
// zoom, the paper look and layout, and the stored page-turning preferences.
struct BookViewParameters {
    double angle = platform::booksetting::angle.fallback;
    double zoom = 1;
    platform::BookLayout layout = platform::BookLayout::Spread;
    double warmth = platform::booksetting::warmth.fallback;
    double grain = platform::booksetting::grain.fallback;
    bool reducedMotion = false;
    double turnDuration = platform::booksetting::turnDuration.fallback;
    platform::WheelMode wheelMode = platform::WheelMode::Turn;
    bool wheelReverse = false;
    double wheelSensitivity = platform::booksetting::wheelSensitivity.fallback;

    friend bool operator==(const BookViewParameters &, const BookViewParameters &) = default;
};

class BookCoordinator : public QObject {
    Q_OBJECT
public:
    // Seconds after a load began until a page that drew nothing is taken as
    // failed.
    static constexpr double startupTimeout = 20.0;

    BookCoordinator(model::SharedPDFViewModel *model, BookResourceHandler *resources, QObject *parent = nullptr);
    ~BookCoordinator() override;

    // The web view, or none once it is gone (held weakly by its owner).
    void setHost(BookPageHost *host) { m_host = host; }
    void setParameters(const BookViewParameters &parameters) { m_parameters = parameters; }
    const BookViewParameters &parameters() const { return m_parameters; }

    // The wallpaper the page shows behind the book: `image` over `place`
    // (view points), served at most `most` pixels large; none for a null
    // image. Sent with the next update.
    void setWallpaper(const QImage &image, QRectF place, QSize most);
    const QImage &wallpaper() const { return m_wallpaper; }

    // Starts a new load: `document` shown under a new token.
    void setDocument(const model::PdfDocumentPtr &document);
    // Sends what the page lacks.
    void update();
    // Closes the load for good: later calls, events and timers do nothing.
    void dispose();

    // The page's event (the body posted to the message port).
    void receive(const localweb::BridgeJson &body);
    // The entry page failed to load (also after disposal).
    void pageLoadFailed(const QString &message);
    // The page's process ended and the page is loaded again: it gets the
    // paper anew once it is ready.
    void pageRestarting();
    // The page's process ended for good.
    void pageEnded();
    // The web engine cannot start in this process: the book reports that
    // it did not start, for this paper and every later one.
    void webEngineUnavailable();

    // The page-turning preferences as the page takes them: the duration and
    // the sensitivity held to their ranges (their defaults when not finite,
    // platform::booksetting), the wheel mode, the reversal.
    static localweb::BridgeJson interactionSettings(const BookViewParameters &parameters);

    localweb::BridgeJson settingsPayload() const;
    localweb::BridgeJson openPayload() const;
    localweb::BridgeJson readingPayload() const;
    localweb::BridgeJson jumpPayload(int page) const;
    // The wallpaper's revision (0: none) and its place.
    localweb::BridgeJson wallpaperPayload() const;
    // Height ÷ width of the document's first page: the one sheet aspect of
    // every paper coordinate.
    double aspect() const;

    const QString &token() const { return m_token; }
    // The page the current load shows first.
    int initialPage() const { return m_initialPage; }
    bool isReady() const { return m_ready; }
    bool paperReady() const { return m_paperReady; }
    bool isDisposed() const { return m_disposed; }
    const model::PdfDocumentPtr &document() const { return m_document; }
    // Tests drive the start-up timeout with a shorter delay.
    void setStartupDelay(double seconds) { m_startupDelay = seconds; }

signals:
    // Calls `function` of the page with `payload`.
    void pageCall(const QString &function, const localweb::BridgeJson &payload);
    // The page's state said that it has drawn the paper of the current load
    // (paperReady() is true from now on).
    void paperDrawn();

private:
    void send(const QString &function, const localweb::BridgeJson &payload);
    void dismissPreview();
    void handleHover(const localweb::BridgeJson &body);
    void handleSelectOrLink(const QString &event, const localweb::BridgeJson &body);
    void handleState(const localweb::BridgeJson &body);

    QPointer<model::SharedPDFViewModel> m_model;
    BookResourceHandler *m_resources;
    BookPageHost *m_host = nullptr;
    BookViewParameters m_parameters;

    model::PdfDocumentPtr m_document;
    QString m_token;
    bool m_ready = false;
    QString m_lastSettings;
    QString m_lastReading;
    QImage m_wallpaper;
    int m_wallpaperRevision = 0;
    int m_wallpapersGiven = 0;
    QRectF m_wallpaperPlace;
    QString m_lastWallpaper;
    int m_lastAnnotationRevision = 0;
    std::optional<QUuid> m_lastTurn;
    bool m_loadedDocument = false;
    bool m_paperReady = false;
    bool m_disposed = false;
    bool m_engineUnavailable = false;
    platform::MainWorkItem *m_timeout;
    double m_startupDelay = startupTimeout;
    int m_initialPage = 0;
};

} // namespace folvan::book
