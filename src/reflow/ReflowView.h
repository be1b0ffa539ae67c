#pragma once

// The reflow view of one pane: the reflow page for one document in its web
// view, with its own scheme handler and coordinator. A different document
// makes a new view. When the page's process ended once more than it may be
// started again, or at once when the web engine cannot start, the view
// shows a lasting message with the way back to the PDF.

#include "reflow/ReflowCoordinator.h"

#include <QWidget>

namespace folvan::localweb {
class LocalWebView;
}

namespace folvan::reflow {

class ReflowResourceHandler;

class ReflowView : public QWidget {
    Q_OBJECT
public:
    // `pageRoot` is the folder of the page's files (the built-in one unless
    // a test gives another).
    ReflowView(model::SharedPDFViewModel *model, std::optional<QUuid> paperID, ReflowCoordinator::Callbacks callbacks,
               QWidget *parent = nullptr, const QString &pageRoot = QStringLiteral(":/reflow"));
    ~ReflowView() override;

    ReflowCoordinator *coordinator() const { return m_coordinator; }
    localweb::LocalWebView *webView() const { return m_web; }
    // The document this view was made for.
    const std::shared_ptr<engine::PdfDocument> &document() const { return m_document; }
    // Shown after the page's process ended for good, or without a web
    // engine (then there is no web view).
    bool failed() const { return m_failure != nullptr; }

    // Forwards a pinch step at `position` (view coordinates) to the page.
    void magnify(double delta, QPointF position);

private:
    // The lasting message with the way back to the PDF, in place of the
    // page.
    void showFailure();

    std::shared_ptr<engine::PdfDocument> m_document;
    ReflowResourceHandler *m_handler;
    localweb::LocalWebView *m_web = nullptr;
    ReflowCoordinator *m_coordinator;
    QWidget *m_failure = nullptr;
    std::function<void()> m_leave;
};

} // namespace folvan::reflow
