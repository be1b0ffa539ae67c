#pragma once

// One reading pane on screen. The pane's state and logic live in its
// controller (pane/PaneController.h), which the pane owns: the pane lays out
// the headers, search bar, welcome column, side panels, reading area and
// overlays over that state (PaneLayout.h), makes the page view while a paper
// is shown, and forwards what the reader does (showing the pane, resizing
// it, dropping a file on it) to the controller. Alerts, the trash
// confirmation and the file panels reach the screen through the presenter
// and file chooser it hands the controller.
//
// Everything runs on the main thread.

#include "pane/PaneController.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/PDFViewWrapper.h"
#include "window/PaneDialogs.h"
#include "window/PaneRadio.h"
#include "window/PaneServices.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QVBoxLayout;

namespace folvan::window {

class PaneLayout;

class ContentView : public QWidget {
    Q_OBJECT

public:
    // A pane with what it takes from the application (`services`).
    ContentView(pane::ReaderPane pane, PaneServices services, QWidget *parent = nullptr);
    ~ContentView() override;

    // The pane's state and logic.
    pane::PaneController *controller() const { return m_controller.get(); }
    // The controller's document model.
    model::SharedPDFViewModel *viewModel() const { return m_controller->viewModel(); }
    const PaneServices &services() const { return m_services; }

    // The presenter and file chooser the controller uses; none puts back
    // the default dialogs over this pane.
    void setPresenter(std::unique_ptr<pane::PanePresenter> presenter);
    void setFileChooser(std::unique_ptr<pane::PaneFileChooser> chooser);

    // The page view of the pane while a paper is shown.
    pdfview::PDFViewWrapper *pageView() const { return m_pageView; }

    // The application's radio, shown and switched by the headers.
    void setRadio(PaneRadio *radio);
    PaneRadio *radio() const { return m_radio; }
    PaneLayout *paneLayout() const { return m_paneLayout; }

signals:
    void radioChanged();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void rebuildPageView();
    void buildPaneLayout();

    const PaneServices m_services;
    // Goes before the widgets: its teardown still reads the page view.
    std::unique_ptr<pane::PaneController> m_controller;
    QVBoxLayout *m_body;
    QPointer<pdfview::PDFViewWrapper> m_pageView;
    bool m_pageViewRebuildScheduled = false;
    QPointer<PaneRadio> m_radio;
    PaneLayout *m_paneLayout = nullptr;
};

} // namespace folvan::window
