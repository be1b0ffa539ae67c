#include "workspace/ReaderWorkspace.h"

#include "window/ContentView.h"
#include "window/PaneDialogs.h"
#include "window/PaneRadio.h"
#include "workspace/RadioPlayer.h"
#include "workspace/ReaderCommandPalette.h"
#include "workspace/ReaderPaneFocusMonitor.h"
#include "workspace/ShellDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QSplitter>

namespace folvan::workspace {

using window::ContentView;
using pane::PaneController;
using pane::ReaderPane;

namespace {

// The shared radio as the panes' headers see it.
class SharedRadio : public window::PaneRadio {
public:
    SharedRadio()
    {
        connect(&RadioPlayer::shared(), &RadioPlayer::isPlayingChanged, this, &PaneRadio::isPlayingChanged);
        connect(&RadioPlayer::shared(), &RadioPlayer::streamErrorChanged, this, &PaneRadio::streamErrorChanged);
    }
    bool isPlaying() const override { return RadioPlayer::shared().isPlaying(); }
    QString streamError() const override { return RadioPlayer::shared().streamError(); }
    void toggle() override { RadioPlayer::shared().toggle(); }
};

window::PaneRadio *sharedRadio()
{
    static SharedRadio *radio = new SharedRadio;
    return radio;
}

ReaderWorkspace *workspaceOf(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget())
        if (auto *workspace = qobject_cast<ReaderWorkspace *>(w))
            return workspace;
    return nullptr;
}

// The palette of a pane acts on the pane's record as the workspace
// completes it, so that the comparison commands behave as from the menus.
QWidget *makeCommandPalette(ContentView *pane, pane::ReaderActions actions, std::function<void()> dismiss)
{
    if (ReaderWorkspace *workspace = workspaceOf(pane))
        actions = workspace->completed(std::move(actions));
    // The pane shows it as a sheet over its dimmed content.
    return new ReaderCommandPalette(std::move(actions), std::move(dismiss), pane);
}

QUrl urlOf(const std::optional<pane::ReaderPaneSnapshot> &snapshot)
{
    return snapshot && snapshot->url ? *snapshot->url : QUrl();
}

std::optional<pane::ReaderPaneSnapshot> firstOf(ReaderPane pane, const QList<pane::ReaderPaneSnapshot> &panes)
{
    for (const pane::ReaderPaneSnapshot &snapshot : panes)
        if (snapshot.pane == pane)
            return snapshot;
    return std::nullopt;
}

} // namespace

std::optional<pane::ReaderPaneSnapshot> selectedSnapshot(ReaderPane pane,
                                                           const QList<pane::ReaderPaneSnapshot> &panes)
{
    if (auto snapshot = firstOf(pane, panes))
        return snapshot;
    return firstOf(ReaderPane::primary, panes);
}

ReaderWorkspace::ReaderWorkspace(window::PaneServices services, QWidget *parent)
    : QWidget(parent)
    , m_services(std::move(services))
{
    m_services.commandPalette = makeCommandPalette;
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setChildrenCollapsible(false);
    layout->addWidget(m_splitter);
    m_primary = makePane(ReaderPane::primary);
    layoutPanes();
    collectSnapshots();
}

ReaderWorkspace::~ReaderWorkspace()
{
    // A pane writes its reading state into the shared history as it goes,
    // and the other pane's recent-reading list rebuilds its widgets from
    // that change at once. So each pane goes here, while the splitter and
    // the other pane are whole: left to Qt's deletion of the splitter's
    // children, that rebuild would make widgets in a half-deleted tree. A
    // closed pane still waiting for its deferred deletion goes too.
    const QList<ContentView *> panes = m_splitter->findChildren<ContentView *>(Qt::FindDirectChildrenOnly);
    for (ContentView *pane : panes) {
        disconnect(pane, nullptr, this, nullptr);
        delete pane;
    }
}

ContentView *ReaderWorkspace::primaryView() const
{
    return m_primary;
}

ContentView *ReaderWorkspace::referenceView() const
{
    return m_reference;
}

ContentView *ReaderWorkspace::makePane(ReaderPane pane)
{
    auto *view = new ContentView(pane, m_services);
    view->setRadio(sharedRadio());
    m_splitter->addWidget(view);
    auto *monitor = new ReaderPaneFocusMonitor(view, [] {});
    (pane == ReaderPane::primary ? m_primaryMonitor : m_referenceMonitor) = monitor;
    connect(view->controller(), &PaneController::snapshotChanged, this, &ReaderWorkspace::collectSnapshots);
    return view;
}

void ReaderWorkspace::layoutPanes()
{
    const QUrl referenceURL = urlOf(firstOf(ReaderPane::reference, m_panes));
    const QUrl primaryURL = urlOf(firstOf(ReaderPane::primary, m_panes));

    auto give = [this](ContentView *view, ReaderPaneFocusMonitor *monitor, ReaderPane pane, const QUrl &peer,
                       const std::optional<pane::ReaderOpenRequest> &request) {
        QPointer<ReaderWorkspace> self(this);
        auto activate = [self, pane] {
            if (self)
                self->activate(pane);
        };
        view->controller()->setIsSplit(m_split);
        view->controller()->setIsActive(m_active == pane);
        view->controller()->setPeerURL(peer);
        view->controller()->setFocusToken(m_focusToken);
        view->controller()->setActivate(activate);
        if (pane == ReaderPane::primary)
            view->controller()->setToggleComparison([self] { if (self) self->toggleComparison(); });
        else
            view->controller()->setToggleComparison([self] { if (self) self->closeComparison(); });
        view->controller()->setOpenRequest(request);
        if (monitor)
            monitor->update(m_active == pane, m_focusToken, activate);
    };

    m_primary->setMinimumWidth(m_split ? 420 : 900);
    give(m_primary, m_primaryMonitor, ReaderPane::primary, referenceURL, m_primaryRequest);
    if (m_reference) {
        m_reference->setMinimumWidth(420);
        give(m_reference, m_referenceMonitor, ReaderPane::reference, primaryURL, m_referenceRequest);
    }
    setMinimumSize(m_split ? 1000 : 900, 620);
}

void ReaderWorkspace::collectSnapshots()
{
    QList<pane::ReaderPaneSnapshot> panes;
    if (m_primary)
        panes.append(m_primary->controller()->snapshot());
    if (m_reference)
        panes.append(m_reference->controller()->snapshot());
    if (panes == m_panes)
        return;
    m_panes = panes;
    layoutPanes();
    emit actionsChanged();
}

pane::ReaderActions ReaderWorkspace::completed(pane::ReaderActions actions) const
{
    QPointer<ReaderWorkspace> self(const_cast<ReaderWorkspace *>(this));
    actions.comparisonOpen = m_split;
    actions.toggleComparison = [self] {
        if (self)
            self->toggleComparison();
    };
    actions.focusOtherPane = [self] {
        if (self)
            self->focusOther();
    };
    return actions;
}

std::optional<pane::ReaderActions> ReaderWorkspace::actions() const
{
    const std::optional<pane::ReaderPaneSnapshot> snapshot = selectedSnapshot(m_active, m_panes);
    if (!snapshot)
        return std::nullopt;
    return completed(snapshot->actions);
}

void ReaderWorkspace::setActive(ReaderPane pane)
{
    if (m_active == pane)
        return;
    m_active = pane;
    layoutPanes();
    emit actionsChanged();
}

void ReaderWorkspace::activate(ReaderPane pane)
{
    if (pane == ReaderPane::reference && !m_reference)
        return;
    setActive(pane);
}

void ReaderWorkspace::toggleComparison()
{
    if (m_split) {
        closeComparison();
        return;
    }
    FileChoice choice;
    choice.title = QStringLiteral("在右侧打开 PDF");
    choice.prompt = QStringLiteral("打开到右侧");
    choice.nameFilters = {window::pdfNameFilter()};
    const QUrl primaryURL = urlOf(firstOf(ReaderPane::primary, m_panes));
    if (primaryURL.isLocalFile())
        choice.startFolder = QFileInfo(primaryURL.toLocalFile()).absolutePath();
    const QString chosen = shellDialogs().chooseFile(this, choice);
    if (chosen.isEmpty())
        return;

    m_referenceRequest = pane::ReaderOpenRequest{QUuid::createUuid(), QUrl::fromLocalFile(chosen)};
    m_active = ReaderPane::reference;
    m_split = true;
    m_reference = makePane(ReaderPane::reference);
    layoutPanes();
    m_splitter->setSizes({1, 1});
    collectSnapshots();
    emit actionsChanged();
}

void ReaderWorkspace::closeComparison()
{
    m_active = ReaderPane::primary;
    m_split = false;
    m_referenceRequest.reset();
    ++m_focusToken;
    if (m_reference) {
        ContentView *reference = m_reference;
        m_reference = nullptr;
        handOverKeys(reference);
        reference->hide();
        reference->deleteLater();
    }
    layoutPanes();
    collectSnapshots();
    emit actionsChanged();
}

// The keys the closing pane holds go straight to the primary pane's reader.
// Hidden with them, the pane would hand them on along the focus chain: to a
// control of the primary pane (a dock button), or into its web page as by
// Tab, which focuses the page's first control.
void ReaderWorkspace::handOverKeys(QWidget *closing)
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus || !closing->isAncestorOf(focus))
        return;
    if (QWidget *reader = m_primaryMonitor ? m_primaryMonitor->readerView() : nullptr)
        reader->setFocus(Qt::OtherFocusReason);
    else
        focus->clearFocus();
}

void ReaderWorkspace::focusOther()
{
    if (!m_split)
        return;
    m_active = m_active == ReaderPane::primary ? ReaderPane::reference : ReaderPane::primary;
    ++m_focusToken;
    layoutPanes();
    emit actionsChanged();
}

void ReaderWorkspace::openExternalURL(const QUrl &url)
{
    if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).suffix().toLower() != QLatin1String("pdf"))
        return;
    const pane::ReaderOpenRequest request{QUuid::createUuid(), url};
    if (m_active == ReaderPane::reference && m_split)
        m_referenceRequest = request;
    else
        m_primaryRequest = request;
    layoutPanes();
}

void ReaderWorkspace::openCommandLinePaper(const QString &path)
{
    m_primaryRequest = pane::ReaderOpenRequest{QUuid::createUuid(), QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())};
    layoutPanes();
}

} // namespace folvan::workspace
