#include "window/PanePanels.h"

#include "model/ReadingLocation.h"
#include "model/SharedPDFViewModel.h"
#include "pdfview/OutlineView.h"
#include "window/ContentView.h"
#include "window/PanelPlaceholder.h"
#include "window/PaneFont.h"
#include "window/PaneRules.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace folvan::window {

QWidget *makeOutlinePanel(ContentView *pane, QWidget *parent)
{
    SharedPDFViewModel *model = pane->viewModel();
    if (!model->pdfDocument())
        return new QWidget(parent);
    QPointer<SharedPDFViewModel> weakModel(model);
    return new pdfview::OutlineView(
        model->pdfDocument(),
        [weakModel](int pageIndex) {
            if (!weakModel)
                return;
            ReadingLocation location;
            location.page = pageIndex;
            weakModel->navigate(location, true);
        },
        parent);
}

QWidget *makeNotesPanel(ContentView *, QWidget *parent)
{
    return new PanelPlaceholder(QStringLiteral("square.and.pencil"), notYetProvided(QStringLiteral("论文笔记面板")),
                                QStringLiteral("这里将列出本篇论文的笔记，并可跨论文搜索。"), parent);
}

QWidget *makeScholarPanel(ContentView *pane, QWidget *parent)
{
    const QUrl url = scholarPanelURL(pane->viewModel()->pdfDocument() != nullptr, pane->fileName());
    return new PanelPlaceholder(QStringLiteral("g.circle"), notYetProvided(QStringLiteral("Scholar 面板")),
                                QStringLiteral("将打开：") + url.toString(QUrl::FullyEncoded), parent);
}

PanePopover::PanePopover(QSize size, ContentFactory content, std::function<void()> onClosed, QWidget *parent)
    : QFrame(parent, Qt::Popup)
    , m_factory(std::move(content))
    , m_onClosed(std::move(onClosed))
{
    setFixedSize(size);
    // A window of its own: it takes the interface style itself.
    usePaneFont(this, PaneFontRole::body);
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
    if (auto *placeholder = qobject_cast<PanelPlaceholder *>(m_content.data()))
        placeholder->setCard(false);
    layout()->addWidget(m_content);

    QPoint place = anchor->mapToGlobal(QPoint(anchor->width() / 2 - width() / 2, anchor->height() + 4));
    if (QScreen *screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        place.setX(std::clamp(place.x(), area.left(), std::max(area.left(), area.right() - width())));
        place.setY(std::clamp(place.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(place);
    show();
    raise();
    activateWindow();
    setFocus(Qt::PopupFocusReason);
}

void PanePopover::hideEvent(QHideEvent *event)
{
    QFrame::hideEvent(event);
    if (m_onClosed)
        m_onClosed();
}

} // namespace folvan::window
