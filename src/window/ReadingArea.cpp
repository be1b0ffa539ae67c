#include "window/ReadingArea.h"

#include "dock/ReaderDock.h"
#include "model/SharedPDFViewModel.h"
#include "pdfview/DroppablePDFView.h"
#include "pdfview/PDFViewWrapper.h"
#include "pdfview/PdfView.h"
#include "platform/Icons.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "window/ContentView.h"
#include "window/PaneControls.h"
#include "window/PaneLayout.h"
#include "window/PanePanels.h"
#include "window/PaneRules.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QLabel>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace folvan::window {

ReadingArea::ReadingArea(ContentView *pane, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane)
    , m_holder(new QWidget(this))
    , m_pageSlot(new QWidget(m_holder))
    , m_pageLayout(new QVBoxLayout(m_pageSlot))
    , m_reflow(new QWidget(m_holder))
{
    m_pageLayout->setContentsMargins(0, 0, 0, 0);
    m_pageSlot->installEventFilter(this);
    // Only the chosen view is shown and sized; the others keep still.
    m_reflow->hide();
    auto *reflowLayout = new QVBoxLayout(m_reflow);
    reflowLayout->setContentsMargins(0, 0, 0, 0);

    model::SharedPDFViewModel *model = pane->viewModel();
    for (auto signal : {&pane::PaneController::reflowModeChanged, &pane::PaneController::flipBookModeChanged})
        connect(pane->controller(), signal, this, [this] {
            refresh();
            if (m_dock)
                m_dock->paneReadingModeChanged();
        });
    connect(pane->controller(), &pane::PaneController::pageLayoutChanged, this, [this] {
        if (m_dock)
            m_dock->paneLayoutChanged();
    });
    for (auto signal : {&pane::PaneController::rotationAngleChanged, &pane::PaneController::scaleFactorChanged})
        connect(pane->controller(), signal, this, [this] {
            if (m_dock)
                m_dock->paneTiltOrZoomChanged();
        });
    for (auto signal : {&pane::PaneController::windowWidthChanged, &pane::PaneController::isSplitChanged, &pane::PaneController::showGGChanged,
                        &pane::PaneController::showOutlineChanged, &pane::PaneController::showNotesChanged})
        connect(pane->controller(), signal, this, [this] {
            if (m_dock)
                m_dock->paneWidthChanged();
        });
    connect(model, &model::SharedPDFViewModel::bookErrorChanged, this, &ReadingArea::refresh);
    connect(model, &model::SharedPDFViewModel::pdfDocumentChanged, this, &ReadingArea::refresh);
    connect(model, &model::SharedPDFViewModel::pdfDocumentURLChanged, this, &ReadingArea::refresh);
    connect(pane->controller(), &pane::PaneController::currentPaperIDChanged, this, &ReadingArea::refresh);
    connect(pane->controller(), &pane::PaneController::rotationAngleChanged, this, &ReadingArea::scheduleTilt);
    connect(model, &model::SharedPDFViewModel::textSelectionModeChanged, this, &ReadingArea::scheduleTilt);
    connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, this, [this](const QString &key) {
        if (key == platform::prefkey::pdfViewWidth)
            refresh();
        else if (key == platform::prefkey::ggViewWidth && m_dock)
            m_dock->paneWidthChanged();
    });
    refresh();
}

ReadingArea::View ReadingArea::chosenView() const
{
    if (!m_pane || m_pane->controller()->reflowMode())
        return View::reflow;
    return m_pane->controller()->flipBookMode() ? View::book : View::page;
}

QWidget *ReadingArea::currentView() const
{
    return m_current;
}

bool ReadingArea::dockShown() const
{
    if (!m_pane || m_pane->controller()->reflowMode() || !m_pane->viewModel()->pdfDocument())
        return false;
    return !(m_pane->controller()->flipBookMode() && m_pane->viewModel()->bookError());
}

QWidget *ReadingArea::chosenWidget() const
{
    switch (chosenView()) {
    case View::page:
        return m_pageSlot;
    case View::book:
        return m_bookView.data();
    case View::reflow:
        break;
    }
    return m_reflow;
}

std::optional<double> ReadingArea::viewWidthLimit() const
{
    if (!m_pane || chosenView() == View::reflow)
        return std::nullopt;
    return readingWidthLimit(m_pane->controller()->pdfViewWidth());
}

void ReadingArea::refresh()
{
    // Asked before the view that goes is hidden: hiding hands the keyboard
    // on along the focus chain, to the dock's buttons.
    const bool keysWereHere = keysInArea();
    QWidget *was = m_current;
    // The keys of a view that goes are parked until the new view takes
    // them: hidden with them, it would hand them on along the focus chain,
    // and the dock's "<" would show a focus ring and take the arrows.
    if (QWidget *focus = window()->focusWidget(); was && was != chosenWidget() && focus && was->isAncestorOf(focus))
        focus->clearFocus();
    updateBookView();
    QWidget *chosen = chosenWidget();
    for (QWidget *view : {m_pageSlot, m_bookView.data(), m_reflow})
        if (view)
            view->setVisible(view == chosen);
    m_current = chosen;
    updateReflowView();
    updateDock();
    placeViews();
    scheduleTilt();
    if (chosen != was)
        m_keysFollow = keysWereHere;
    handKeysToNewView();
}

bool ReadingArea::keysInArea() const
{
    const QWidget *focus = window()->focusWidget();
    return !focus || isAncestorOf(focus);
}

void ReadingArea::handKeysToNewView()
{
    if (!m_keysFollow)
        return;
    // The page view comes into its slot a moment after the switch.
    QWidget *view = readingView();
    if (!view || view == m_pageSlot)
        return;
    m_keysFollow = false;
    takeKeys(view);
}

void ReadingArea::updateDock()
{
    const bool wanted = dockShown();
    if (m_dock && !wanted)
        delete m_dock.data();
    if (!wanted || m_dock)
        return;
    m_dock = new dock::ReaderDock(m_pane->viewModel(), dockPane(), this);
    m_dock->show();
    m_dock->raise();
}

dock::DockPane ReadingArea::dockPane() const
{
    QPointer<ContentView> pane(m_pane);
    dock::DockPane values;
    values.isBook = [pane] { return pane && pane->controller()->readingMode(); };
    values.setBook = [pane](bool book) {
        if (pane)
            pane->controller()->readingModeChosen(book);
    };
    values.angle = [pane] { return pane ? pane->controller()->rotationAngle() : 0.0; };
    values.setAngle = [pane](double angle) {
        if (pane)
            pane->controller()->rotationChosen(angle);
    };
    values.zoom = [pane] { return pane ? pane->controller()->scaleFactor() : 1.0; };
    values.onZoom = [pane](double zoom) {
        if (pane)
            pane->controller()->zoomTo(zoom);
    };
    values.pageLayout = [pane] { return pane ? pane->controller()->pageLayout() : platform::BookLayout::Spread; };
    values.setPageLayout = [pane](platform::BookLayout layout) {
        if (pane)
            pane->controller()->choosePageLayout(layout);
    };
    values.availableWidth = [pane] {
        if (!pane)
            return 0.0;
        SidePanelState sides;
        sides.windowWidth = pane->controller()->windowWidth();
        sides.isSplit = pane->controller()->isSplit();
        sides.showGG = pane->controller()->showGG();
        sides.showOutline = pane->controller()->showOutline();
        sides.showNotes = pane->controller()->showNotes();
        sides.ggViewWidth = pane->controller()->ggViewWidth();
        return dockAvailableWidth(sides);
    };
    // A panel of the dock closing hands the keyboard back as an overlay
    // closing does.
    values.focusReadingView = [pane] {
        if (pane && pane->paneLayout())
            pane->paneLayout()->returnKeyboard();
    };
    return values;
}

QWidget *ReadingArea::readingView() const
{
    if (!m_current)
        return nullptr;
    if (auto *page = m_current->findChild<pdfview::PdfView *>())
        return page;
    if (m_current == m_reflow && m_reflowView)
        return m_reflowView;
    return m_current;
}

void ReadingArea::updateReflowView()
{
    model::SharedPDFViewModel *model = m_pane ? m_pane->viewModel() : nullptr;
    const auto document = model ? model->pdfDocument() : nullptr;
    const bool wanted = model && document && chosenView() == View::reflow;
    // One view per document object and file.
    const QString identity = wanted ? QString::number(quintptr(document.get()), 16) + model->pdfDocumentURL().path()
                                          + m_pane->controller()->currentPaperID().value_or(QUuid()).toString()
                                    : QString();
    if (m_reflowView && (!wanted || identity != m_reflowIdentity))
        delete m_reflowView.data();
    if (!wanted || m_reflowView)
        return;
    m_reflowView = m_pane->services().reflowView(m_pane, m_reflow);
    m_reflowIdentity = identity;
    m_reflow->layout()->addWidget(m_reflowView);
    takeKeys(m_reflowView);
}

void ReadingArea::updateBookView()
{
    const bool wanted = m_pane && m_pane->viewModel()->pdfDocument() && chosenView() == View::book;
    if (m_bookView && !wanted) {
        // Later: the view may be the one whose button asked for this.
        QWidget *old = m_bookView;
        m_bookView.clear();
        old->hide();
        old->deleteLater();
    }
    if (wanted && !m_bookView) {
        m_bookView = m_pane->services().bookView(m_pane, m_holder);
        takeKeys(m_bookView);
    }
}

void ReadingArea::takeKeys(QWidget *view)
{
    // The active pane's keys go to the new view at once, unless the reader
    // is typing or works in another window.
    QWidget *focus = QApplication::focusWidget();
    const bool typing = qobject_cast<QLineEdit *>(focus) || qobject_cast<QTextEdit *>(focus)
                        || qobject_cast<QPlainTextEdit *>(focus);
    if (m_pane->controller()->isActive() && !typing && (!focus || focus->window() == window()))
        view->setFocus(Qt::OtherFocusReason);
}

void ReadingArea::placeViews()
{
    const double limit = viewWidthLimit().value_or(width());
    const int viewWidth = int(std::min<double>(limit, width()));
    m_holder->setGeometry((width() - viewWidth) / 2, 0, viewWidth, height());
    if (m_current && m_current->isVisible())
        m_current->setGeometry(m_holder->rect());
    if (m_dock) {
        m_dock->relayout();
        m_dock->raise();
    }
}

void ReadingArea::scheduleTilt()
{
    if (m_tiltScheduled)
        return;
    m_tiltScheduled = true;
    platform::runOnMain(this, [this] {
        m_tiltScheduled = false;
        applyTilt();
    });
}

void ReadingArea::applyTilt()
{
    if (!m_pane || !m_pane->pageView() || !m_pane->pageView()->pdfView())
        return;
    pdfview::DroppablePDFView *view = m_pane->pageView()->pdfView();
    const QWidget *surface = view->viewport();
    view->setViewTransform(readingTiltTransform(surface->width(), surface->height(), m_pane->controller()->rotationAngle(),
                                                m_pane->controller()->pdfViewWidth(),
                                                m_pane->viewModel()->textSelectionMode()));
}

// A page view put into the slot, or the slot's new size, is tilted anew.
bool ReadingArea::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pageSlot && (event->type() == QEvent::ChildAdded || event->type() == QEvent::Resize
                                  || event->type() == QEvent::LayoutRequest))
        scheduleTilt();
    // A page view made anew takes the keyboard of the one it replaces, or
    // that the switch to it left behind; it is whole a turn later.
    if (watched == m_pageSlot && event->type() == QEvent::ChildAdded) {
        if (keysInArea())
            m_keysFollow = true;
        platform::runOnMain(this, [this] { handKeysToNewView(); });
    }
    return QWidget::eventFilter(watched, event);
}

// The chosen view is sized only while it is on screen: a page view kept
// behind the book view is not moved by sizes it never shows.
void ReadingArea::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    placeViews();
}

void ReadingArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeViews();
}

} // namespace folvan::window
