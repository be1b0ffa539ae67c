#pragma once

// The book view of a pane: the book page in its web view, with the page's
// scheme handler and coordinator, following the pane's model (document,
// page, jumps, turns, overlays, annotations) and the values the pane hands
// it. Taken down with the widget: the load is closed for good and pending
// requests go unanswered.

#include "book/BookCoordinator.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class QWebEngineProfile;

namespace folvan::book {

class BookResourceHandler;
class BookWebPage;
class DroppableBookWebView;

class PaperBookView : public QWidget, private BookPageHost {
    Q_OBJECT
public:
    PaperBookView(SharedPDFViewModel *model, QWidget *parent = nullptr);
    ~PaperBookView() override;

    // The values for the page; an update follows when they changed.
    void setParameters(const BookViewParameters &parameters);
    void setOnZoom(std::function<void(double)> onZoom);
    void setOnDropPDF(std::function<void(const QUrl &)> onDropPDF);

    BookCoordinator *coordinator() const { return m_coordinator; }
    DroppableBookWebView *webView() const { return m_webView; }
    BookWebPage *page() const { return m_page; }

private:
    void scheduleUpdate();
    void followDocument();

    // BookPageHost
    void runScript(const QString &script) override;
    void reloadPage() override;
    QUrl frameUrl() const override;
    QSizeF viewSize() const override;
    void dismissPreview() override;
    void previewLink(int page, QPointF pagePoint, QPointF anchor) override;

    QPointer<SharedPDFViewModel> m_model;
    BookResourceHandler *m_resources;
    QWebEngineProfile *m_profile;
    BookWebPage *m_page;
    DroppableBookWebView *m_webView;
    BookCoordinator *m_coordinator;
    bool m_updateScheduled = false;
};

} // namespace folvan::book
