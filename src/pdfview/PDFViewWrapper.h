#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <tuple>

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include "engine/PdfDestination.h"
#include "engine/PdfSelection.h"

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::pdfview {

class DroppablePDFView;

// Carries the page view's changes back into the pane's model: the page, the
// selection and the zoom. Each change reaches the model in a later
// main-thread turn, and only while the model still shows the same document
// in the same view.
class PDFViewCoordinator : public QObject {
    Q_OBJECT
public:
    explicit PDFViewCoordinator(model::SharedPDFViewModel *viewModel);

    // The page view, set when it is made.
    QPointer<DroppablePDFView> pdfView;
    QPointer<model::SharedPDFViewModel> viewModel;
    // Search text, current match and whether there were matches, last
    // applied (more matches arriving for the same search move nothing).
    std::tuple<QString, int, bool> lastSearchState{QString(), -1, false};
    // Set only while the wrapper itself writes the view's zoom.
    bool settingScale = false;
    // Set until the first-show restore has run; the handlers do nothing
    // meanwhile.
    bool restoring = true;
    // Reports a new zoom to the pane.
    std::function<void(double)> onZoom;

public slots:
    void selectionChanged();
    void scaleChanged();
    void pageChanged();

private:
    friend class PDFViewWrapper;
    // The first-show restore found the model elsewhere; the next update
    // that finds it showing this view's document runs it.
    bool restoreDeferred = false;
};

// The pane's page view in the widget tree: makes and configures the
// DroppablePDFView, restores the reading position when it is first shown,
// and on every update applies the pane's zoom, page-jump requests and search
// state to it. It updates itself whenever the model's document, jump request
// or search state changes; the owner calls scheduleUpdate() after it
// changes the zoom binding.
class PDFViewWrapper : public QWidget {
    Q_OBJECT
public:
    // The pane's zoom: read and written by the wrapper.
    struct ScaleBinding {
        std::function<double()> get;
        std::function<void(double)> set;
    };
    using DropHandler = std::function<void(const QUrl &file)>;

    PDFViewWrapper(std::shared_ptr<engine::PdfDocument> pdfDocument, ScaleBinding scaleFactor,
                   model::SharedPDFViewModel *viewModel, DropHandler onDropPDF, QWidget *parent = nullptr);
    ~PDFViewWrapper() override;

    DroppablePDFView *pdfView() const { return m_view; }
    PDFViewCoordinator *coordinator() const { return m_coordinator.get(); }

    // Applies the wrapper's and the model's current values to the view, in
    // a later main-thread turn (several requests make one update).
    void scheduleUpdate();
    // The same, now.
    void updateView();

    // The first-show restore (normally queued when the view is made):
    // fits the width when the model asks for it, goes to the page (or the
    // retained destination on it) and selects the retained selection.
    // Returns false, changing nothing, when the model no longer shows this
    // view's document in this view.
    bool restoreFirstShow(int targetPage, const std::optional<engine::PdfDestination> &destination,
                          const std::optional<engine::PdfSelection> &selection);

    // How far above the top edge of the visible area the current match is
    // kept (view points), with the two allowances of the move.
    static constexpr double kSearchMatchOffset = 72.0;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The first-show restore to the model's current reading position.
    void restoreFromModel();
    // The first-show restore queued when the view was made, to the reading
    // position of that moment; once.
    void restoreAsPlanned();
    DroppablePDFView *makeView();
    void dismantleView();
    std::function<void(double)> zoomReporter() const;
    static void configureScrollView(DroppablePDFView *view);
    static void scrollAboveSelection(DroppablePDFView *view, double offset);
    bool modelShowsThisView() const;

    std::shared_ptr<engine::PdfDocument> m_pdfDocument;
    ScaleBinding m_scaleFactor;
    QPointer<model::SharedPDFViewModel> m_viewModel;
    DropHandler m_onDropPDF;
    std::unique_ptr<PDFViewCoordinator> m_coordinator;
    QPointer<DroppablePDFView> m_view;
    // Whether the pages whose annotations changed were told since the
    // annotations' last revision.
    bool m_annotationPagesTold = false;
    bool m_updateScheduled = false;
    // The first-show restore waits for the view to be shown.
    bool m_restoreOnShow = false;
    struct PlannedRestore {
        int target;
        std::optional<engine::PdfDestination> destination;
        std::optional<engine::PdfSelection> selection;
    };
    std::optional<PlannedRestore> m_plannedRestore;
};

} // namespace folvan::pdfview
