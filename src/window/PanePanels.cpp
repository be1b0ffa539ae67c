#include "window/PanePanels.h"

#include "annotationsview/PopupPlacement.h"
#include "annotationsview/PopupShortcuts.h"
#include "model/ReadingLocation.h"
#include "model/SharedPDFViewModel.h"
#include "notesview/PaperNotesView.h"
#include "pdfview/OutlineView.h"
#include "platform/InterfaceFont.h"
#include "platform/Queues.h"
#include "platform/WebEngineStart.h"
#include "scholar/GGView.h"
#include "window/ContentView.h"
#include "window/PaneLayout.h"
#include "window/PanelCard.h"
#include "window/PaneRules.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace folvan::window {

QWidget *makeOutlinePanel(ContentView *pane, QWidget *parent)
{
    model::SharedPDFViewModel *model = pane->viewModel();
    if (!model->pdfDocument())
        return new QWidget(parent);
    QPointer<model::SharedPDFViewModel> weakModel(model);
    QPointer<ContentView> weakPane(pane);
    return new pdfview::OutlineView(
        model->pdfDocument(),
        [weakModel, weakPane](int pageIndex) {
            if (!weakModel)
                return;
            model::ReadingLocation location;
            location.page = pageIndex;
            weakModel->navigate(location, true);
            // The press on the entry took the keyboard into the outline:
            // the reader goes on with the keys from the page, as after a
            // link.
            if (weakPane && weakPane->paneLayout())
                weakPane->paneLayout()->returnKeyboard(true);
        },
        parent);
}

QWidget *makeNotesPanel(ContentView *pane, QWidget *parent)
{
    QPointer<ContentView> weak(pane);
    notesview::PaneNoteHooks hooks;
    hooks.selection = [weak]() -> std::optional<QUuid> { return weak ? weak->controller()->selectedNoteID() : std::nullopt; };
    hooks.setSelection = [weak](const std::optional<QUuid> &id) {
        if (weak)
            weak->controller()->noteSelected(id);
    };
    hooks.openSource = [weak](const notes::PaperNote &note) {
        if (!weak)
            return;
        weak->controller()->openNoteSource(note);
        // The keys go on from the passage the page went to.
        if (weak && weak->paneLayout())
            weak->paneLayout()->returnKeyboard(true);
    };
    hooks.takeTitleFocus = [weak] { return weak && weak->controller()->takeNoteTitleFocus(); };
    auto *card = new PanelCard(parent);
    auto *layout = new QVBoxLayout(card);
    layout->setContentsMargins(6, 6, 6, 6);
    model::SharedPDFViewModel *model = pane->viewModel();
    // The panel shares its height between the list and the editor itself,
    // also in a short popover, so that its footer stays in sight.
    auto *view = new notesview::PaperNotesView(pane->controller()->paperNotes(), pane->controller()->currentPaperID(), model->currentPageIndex(),
                                               std::move(hooks), card);
    layout->addWidget(view);
    QObject::connect(pane->controller(), &pane::PaneController::currentPaperIDChanged, view,
                     [view, pane] { view->setPaperID(pane->controller()->currentPaperID()); });
    QObject::connect(pane->controller(), &pane::PaneController::selectedNoteIDChanged, view, &notesview::PaperNotesView::refresh);
    QObject::connect(model, &model::SharedPDFViewModel::currentPageIndexChanged, view,
                     [view, model] { view->setPage(model->currentPageIndex()); });
    return card;
}

QWidget *makeScholarPanel(ContentView *pane, QWidget *parent)
{
    // Where the web engine would end the process, a card says so instead.
    if (!platform::webEngineCanStart())
        return new MessageCard(QStringLiteral("g.circle"), QStringLiteral("无法打开 Scholar"),
                               QStringLiteral("网页引擎未能启动。"), parent);
    model::SharedPDFViewModel *model = pane->viewModel();
    const auto address = [pane] {
        return scholarPanelURL(pane->viewModel()->pdfDocument() != nullptr, pane->controller()->fileName());
    };
    auto *panel = new scholar::GGView(address(), model, parent);
    // A paper is installed field by field: the address is taken once the
    // change has run its course.
    const auto follow = [panel, address] {
        platform::runOnMain(panel, [panel, address] { panel->setSearchURL(address()); });
    };
    QObject::connect(pane->controller(), &pane::PaneController::fileNameChanged, panel, follow);
    QObject::connect(model, &model::SharedPDFViewModel::pdfDocumentChanged, panel, follow);
    return panel;
}

PanePopover::PanePopover(QSize size, ContentFactory content, std::function<void()> onClosed, QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_factory(std::move(content))
    , m_onClosed(std::move(onClosed))
{
    setFixedSize(size);
    m_size = size;
    // A window of its own: it takes the interface style itself.
    platform::useInterfaceFont(this, platform::InterfaceTextRole::body);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
}

void PanePopover::popUp(QWidget *anchor)
{
    if (m_content) {
        layout()->removeWidget(m_content);
        delete m_content.data();
    }
    m_content = m_factory(this);
    if (auto *card = qobject_cast<PanelCard *>(m_content.data()))
        card->setCard(false);
    layout()->addWidget(m_content);

    setFixedSize(m_size);
    annotationsview::placePopup(this, anchor, anchor->rect(), annotationsview::PopupSide::below, true);
    show();
    raise();
    activateWindow();
    setFocus(Qt::PopupFocusReason);
}

// A key the popover's content leaves alone is one of the window's menu
// shortcuts, as it would be with the keyboard in the window: the popover
// makes way and the command runs; its own panel's command only closes it.
void PanePopover::keyPressEvent(QKeyEvent *event)
{
    QWidget *window = parentWidget() ? parentWidget()->window() : nullptr;
    if (QAction *action = annotationsview::windowShortcutAction(window, event)) {
        event->accept();
        const bool own = !m_toggleAction.isEmpty() && action->objectName() == m_toggleAction;
        hide();
        if (!own)
            action->trigger();
        return;
    }
    QFrame::keyPressEvent(event);
}

void PanePopover::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    if (m_onClosed)
        m_onClosed();
    // Once the popup has handed the keyboard back to the window, it goes on
    // to the pane's reading view.
    QPointer<ContentView> pane;
    for (QWidget *widget = parentWidget(); widget && !pane; widget = widget->parentWidget())
        pane = qobject_cast<ContentView *>(widget);
    if (pane)
        platform::runOnMain(pane, [pane] {
            if (pane && pane->paneLayout())
                pane->paneLayout()->returnKeyboard();
        });
}

} // namespace folvan::window
