#include "window/PaneLayout.h"

#include "annotationsview/VisualEffect.h"
#include "model/SharedPDFViewModel.h"
#include "pdfview/WatchedWidget.h"
#include "platform/Clock.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/ReducedMotion.h"
#include "window/ContentView.h"
#include "window/PaneControls.h"
#include "window/PaneErrorLine.h"
#include "window/PanePanels.h"
#include "window/PaneRules.h"
#include "window/ReadingArea.h"
#include "window/SearchBar.h"
#include "window/SingleHeader.h"
#include "window/SplitHeader.h"
#include "window/WelcomeView.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollArea>
#include <QVariantAnimation>
#include <QVBoxLayout>

namespace folvan::window {

namespace {

// The fade of the help: the platform's default animation.
constexpr double kOverlayFadeSeconds = 0.35;

// An overlay fades in as it is laid over the pane (`seconds`, `curve`) and
// fades out as it goes, each at once while the desktop asks for less motion.
// Over a web view (the book page, the Scholar panel) an overlay drawn
// through an opacity effect lets the page show through it while it fades:
// there the overlay comes and goes at once.
bool fadesCleanly(QWidget *overlay)
{
    if (platform::systemReducesMotion())
        return false;
    QWidget *pane = overlay->parentWidget();
    if (!pane)
        return true;
    for (QWidget *widget : pane->findChildren<QWidget *>())
        if (widget->inherits("QWebEngineView") && widget->isVisible())
            return false;
    return true;
}

void fadeIn(QWidget *overlay, double seconds, QEasingCurve::Type curve)
{
    if (!fadesCleanly(overlay))
        return;
    auto *effect = new QGraphicsOpacityEffect(overlay);
    effect->setOpacity(0);
    overlay->setGraphicsEffect(effect);
    auto *fade = new QPropertyAnimation(effect, "opacity", overlay);
    fade->setDuration(int(seconds * 1000));
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setEasingCurve(curve);
    QObject::connect(fade, &QAbstractAnimation::finished, overlay, [overlay] { overlay->setGraphicsEffect(nullptr); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

// The overlay lets go of the keyboard and the pointer at once, then fades
// out and is deleted.
void fadeOutAndDelete(QWidget *overlay)
{
    overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (QWidget *focus = QApplication::focusWidget(); focus && overlay->isAncestorOf(focus))
        focus->clearFocus();
    if (!fadesCleanly(overlay)) {
        overlay->hide();
        overlay->deleteLater();
        return;
    }
    // A fade-in still running gives way to the fade-out from where it is.
    for (QPropertyAnimation *running : overlay->findChildren<QPropertyAnimation *>(QString(), Qt::FindDirectChildrenOnly))
        running->stop();
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(overlay->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(overlay);
        effect->setOpacity(1);
        overlay->setGraphicsEffect(effect);
    }
    auto *fade = new QPropertyAnimation(effect, "opacity", overlay);
    fade->setDuration(int(kOverlayFadeSeconds * 1000));
    fade->setStartValue(effect->opacity());
    fade->setEndValue(0.0);
    fade->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(fade, &QAbstractAnimation::finished, overlay, &QObject::deleteLater);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

// The highlight drawn over the pane while a file is dragged over it.
class DropHighlight : public QWidget {
public:
    explicit DropHighlight(QWidget *parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(accentColor(), 3));
        painter.drawRoundedRect(QRectF(rect()).adjusted(4 + 1.5, 4 + 1.5, -4 - 1.5, -4 - 1.5), 14, 14);
    }
};

// A layer that dims what lies under it and takes its clicks.
class DimmedLayer : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(rect(), QColor(0, 0, 0, 50));
    }
};

// Whether the user types in `widget` (a field still on screen).
bool isTypingField(const QWidget *widget)
{
    if (!widget || !widget->isVisible())
        return false;
    return qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QTextEdit *>(widget)
           || qobject_cast<const QPlainTextEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget);
}

// The command palette's layer: it dims the pane below the header and
// closes the palette on a press anywhere in the pane outside the palette
// (the press goes on: a header button still does its work) and on Escape
// wherever the keyboard is in the window, unless it is in another pane.
class PaletteLayer : public DimmedLayer {
public:
    PaletteLayer(QWidget *parent, QWidget *sheet, std::function<void()> dismiss)
        : DimmedLayer(parent), m_sheet(sheet), m_dismiss(std::move(dismiss))
    {
        qApp->installEventFilter(this);
    }
    ~PaletteLayer() override { qApp->removeEventFilter(this); }

protected:
    // Every event of the application comes here, also those of the web
    // engine's scene items: the event is read first, and `watched` is
    // looked at only for a press or an Escape, and then only as one of the
    // application's widgets.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress: {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
                return false;
            const QWidget *target = inThisWindow(watched);
            if (!target || inAnotherPane(target))
                return false;
            event->accept();
            if (event->type() == QEvent::KeyPress)
                m_dismiss();
            return true;
        }
        case QEvent::MouseButtonPress: {
            if (!inThisWindow(watched))
                return false;
            const QPoint global = static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
            const QWidget *pane = parentWidget();
            const bool inSheet = m_sheet && m_sheet->rect().contains(m_sheet->mapFromGlobal(global));
            if (!inSheet && pane->rect().contains(pane->mapFromGlobal(global)))
                m_dismiss();
            return false;
        }
        default:
            return false;
        }
    }

private:
    // `watched` as a widget of this layer's window while the layer shows;
    // nullptr for anything else.
    const QWidget *inThisWindow(const QObject *watched) const
    {
        if (!isVisible())
            return nullptr;
        const QWidget *widget = pdfview::watchedWidget(watched);
        return widget && widget->window() == window() ? widget : nullptr;
    }

    bool inAnotherPane(const QWidget *widget) const
    {
        for (; widget; widget = widget->parentWidget())
            if (auto *pane = qobject_cast<const ContentView *>(widget))
                return !pane->isAncestorOf(this);
        return false;
    }

    QPointer<QWidget> m_sheet;
    std::function<void()> m_dismiss;
};

} // namespace

// ---- The pane's side of the layout ------------------------------------------

void ContentView::buildPaneLayout()
{
    m_paneLayout = new PaneLayout(this, this);
    m_body->addWidget(m_paneLayout);
    // From now on the pane's page view goes into the reading area.
    m_body = m_paneLayout->readingArea()->pageSlotLayout();
}

void ContentView::setRadio(PaneRadio *radio)
{
    if (m_radio == radio)
        return;
    m_radio = radio;
    emit radioChanged();
}

// ---- Layers -------------------------------------------------------------------------

PaneLayout::PaneLayout(ContentView *pane, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane)
    , m_tint(new annotationsview::VisualEffect(this))
    , m_readingArea(new ReadingArea(pane, this))
    , m_welcomeScroll(new QScrollArea(this))
    , m_welcome(new WelcomeView(pane))
    , m_singleHeader(new SingleHeader(pane, this))
    , m_splitHeader(new SplitHeader(pane, this))
    , m_searchBar(new SearchBar(pane, this))
    , m_dropHighlight(new DropHighlight(this))
    , m_errorLine(new PaneErrorLine(pane->viewModel(), &pane->controller()->paperNotes(),
                                      &pane->controller()->history(), this))
{
    connect(m_errorLine, &PaneErrorLine::changed, this, &PaneLayout::scheduleRelayout);
    m_welcomeScroll->setWidget(m_welcome);
    m_welcomeScroll->setWidgetResizable(true);
    m_welcomeScroll->setFrameShape(QFrame::NoFrame);
    m_welcomeScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_welcomeScroll->setStyleSheet(QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    m_welcome->setAutoFillBackground(false);

    model::SharedPDFViewModel *model = pane->viewModel();
    for (auto signal : {&model::SharedPDFViewModel::pdfDocumentChanged, &model::SharedPDFViewModel::showSearchChanged})
        connect(model, signal, this, &PaneLayout::scheduleRelayout);
    for (auto signal : {&pane::PaneController::isSplitChanged, &pane::PaneController::showGGChanged, &pane::PaneController::showOutlineChanged,
                        &pane::PaneController::showNotesChanged, &pane::PaneController::windowWidthChanged,
                        &pane::PaneController::backgroundImageChanged, &pane::PaneController::isDragTargetedChanged,
                        &pane::PaneController::reflowModeChanged})
        connect(pane->controller(), signal, this, &PaneLayout::scheduleRelayout);
    connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, this, [this](const QString &key) {
        if (key == platform::prefkey::ggViewWidth || key == platform::prefkey::pdfViewWidth)
            scheduleRelayout();
    });
    // A new paper gives the outline new content; the Scholar panel follows
    // the paper itself, keeping what the reader browsed. The keyboard goes
    // to the paper once its view is made.
    connect(model, &model::SharedPDFViewModel::pdfDocumentChanged, this, [this] {
        delete m_outline.data();
        platform::runOnMain(this, [this] { returnKeyboard(); });
        scheduleRelayout();
    });
    for (auto signal : {&pane::PaneController::showShortcutsChanged, &pane::PaneController::showOnboardingChanged})
        connect(pane->controller(), signal, this, &PaneLayout::followOverlays);
    connect(pane->controller(), &pane::PaneController::showCommandPaletteChanged, this, &PaneLayout::followCommandPalette);
    connect(pane, &ContentView::radioChanged, this, &PaneLayout::followRadio);
    followRadio();
    relayout();
}

QWidget *PaneLayout::welcomeColumn() const
{
    return m_welcomeScroll;
}

void PaneLayout::scheduleRelayout()
{
    if (m_relayoutScheduled)
        return;
    m_relayoutScheduled = true;
    platform::runOnMain(this, [this] {
        m_relayoutScheduled = false;
        relayout();
    });
}

void PaneLayout::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void PaneLayout::relayout()
{
    if (!m_pane)
        return;
    const bool split = m_pane->controller()->isSplit();
    setMinimumSize(split ? 420 : 900, 620);
    const bool hasDocument = m_pane->viewModel()->pdfDocument() != nullptr;
    const int top = int(readingTopInset(split));

    const ReadingRow row = placeSidePanels(split, hasDocument);
    placeErrorLine(row, top);
    placeReadingArea(row, readingAreaTop(top, split, hasDocument), hasDocument);
    placeWelcomeColumn(row, top, hasDocument);
    QWidget *header = placeHeader(split);
    followSearchBar(row.leading, header);
    stackLayers(header);
    update();
}

// Each side panel stands at its width, moved out by the part of it not yet
// in. The reading row keeps the rooms of the left-hand panels and of the
// notes panel free.
PaneLayout::ReadingRow PaneLayout::placeSidePanels(bool split, bool hasDocument)
{
    SidePanelState sides;
    sides.windowWidth = width();
    sides.isSplit = split;
    sides.showGG = m_pane->controller()->showGG();
    sides.showOutline = m_pane->controller()->showOutline();
    sides.showNotes = m_pane->controller()->showNotes();
    sides.ggViewWidth = m_pane->controller()->ggViewWidth();
    const double scale = sidebarScale(sides);

    const bool shown[3] = {sides.showGG && !split, sides.showOutline && !split && hasDocument,
                           sides.showNotes && !split};
    followPanels(shown);

    const double scholarWidth = ggViewActualWidth(sides.ggViewWidth) * scale;
    const double outlineWidth = kOutlinePanelWidth * scale;
    const double notesWidth = kNotesPanelWidth * scale;
    const double scholarIn = scholarWidth * m_motion[0].presence;
    const double outlineIn = outlineWidth * m_motion[1].presence;
    const double notesIn = notesWidth * m_motion[2].presence;
    if (m_scholar)
        m_scholar->setGeometry(int(scholarIn - scholarWidth), 55, int(scholarWidth), height() - 55);
    if (m_outline)
        m_outline->setGeometry(int(scholarIn + outlineIn - outlineWidth), 55, int(outlineWidth), height() - 55);
    if (m_notes)
        m_notes->setGeometry(width() - int(notesIn), 60, int(notesWidth), height() - 60);

    const double leading = scholarIn + outlineIn + 14;
    return {leading, int(leading - 14), int(notesIn + 10 * m_motion[2].presence)};
}

// The stores' error line, over the top of the reading row.
void PaneLayout::placeErrorLine(const ReadingRow &row, int top)
{
    if (!m_errorLine->isHidden()) {
        const int lineWidth = std::max(0, width() - row.leftRoom - row.rightRoom - 28);
        m_errorLine->setGeometry(row.leftRoom + 14, top + 6, lineWidth, m_errorLine->heightForWidth(lineWidth));
    }
}

// Over the reflow page the search box and the error line would stand on
// the page's own controls at its top: while they are open the page
// starts below them.
int PaneLayout::readingAreaTop(int top, bool split, bool hasDocument) const
{
    int readingTop = top;
    if (hasDocument && m_pane->controller()->reflowMode()) {
        if (m_pane->viewModel()->showSearch()) {
            const int headerHeight = split ? m_splitHeader->sizeHint().height() : SingleHeader::kHeight;
            readingTop = std::max(readingTop, headerHeight + 8 + m_searchBar->sizeHint().height());
        }
        if (!m_errorLine->isHidden())
            readingTop = std::max(readingTop, m_errorLine->geometry().bottom() + 1 + 6);
    }
    return readingTop;
}

void PaneLayout::placeReadingArea(const ReadingRow &row, int readingTop, bool hasDocument)
{
    m_readingArea->setVisible(hasDocument);
    m_readingArea->setGeometry(row.leftRoom, readingTop, std::max(0, width() - row.leftRoom - row.rightRoom),
                               std::max(0, height() - readingTop));
}

// The welcome column stands centred between the side panels, never
// over them: it would hide the Scholar page and take its clicks. An
// error line taller than the room above the date pushes it down.
void PaneLayout::placeWelcomeColumn(const ReadingRow &row, int top, bool hasDocument)
{
    m_welcomeScroll->setVisible(!hasDocument);
    if (!hasDocument) {
        const int room = std::max(0, width() - row.leftRoom - row.rightRoom);
        const int w = std::min(WelcomeView::kMaxWidth + 2 * WelcomeView::kSideMargin + 16, room);
        int welcomeTop = top;
        if (!m_errorLine->isHidden())
            welcomeTop = std::max(top, m_errorLine->geometry().bottom() + 1 + 8 - WelcomeView::kTopInset);
        m_welcomeScroll->setGeometry(row.leftRoom + (room - w) / 2, welcomeTop, w, std::max(0, height() - welcomeTop));
    }
}

// The header of the layout in use, across the top; returns it.
QWidget *PaneLayout::placeHeader(bool split)
{
    QWidget *header = split ? static_cast<QWidget *>(m_splitHeader) : m_singleHeader;
    m_singleHeader->setVisible(!split);
    m_splitHeader->setVisible(split);
    header->setGeometry(0, 0, width(), header->sizeHint().height());
    if (!split)
        header->setFixedHeight(SingleHeader::kHeight);
    return header;
}

// The search bar, under the header from the reading row's leading edge,
// while the search is open.
void PaneLayout::followSearchBar(double leading, const QWidget *header)
{
    const bool searching = m_pane->viewModel()->showSearch();
    // The search closing (the reader closed it, or another paper opened)
    // gives the keyboard it held back to the reading view; hiding the bar
    // alone would move it on to the next control.
    if (!searching && !m_searchBar->isHidden()) {
        handBackKeys(m_searchBar);
        m_searchBar->hide();
    }
    m_searchBar->setVisible(searching);
    if (searching) {
        // The bar's box stands inside a margin that holds its shadow.
        const int barWidth = int(searchBarWidth(width(), leading));
        const QSize hint = m_searchBar->sizeHint();
        m_searchBar->setGeometry(int(leading) - 6, header->height() + 10 - 2, barWidth + 12, hint.height());
    }
}

// Stacking order, back to front; the overlays and the drop highlight cover
// the whole pane.
void PaneLayout::stackLayers(QWidget *header)
{
    m_tint->setGeometry(rect());
    m_tint->setVisible(m_pane->controller()->backgroundImage().isNull());
    m_readingArea->lower();
    m_tint->lower();
    m_welcomeScroll->raise();
    for (QWidget *panel : {m_scholar.data(), m_outline.data(), m_notes.data()})
        if (panel)
            panel->raise();
    header->raise();
    m_searchBar->raise();
    m_errorLine->raise();
    for (QWidget *overlay : {m_help.data(), m_onboarding.data(), m_palette.data()})
        if (overlay) {
            overlay->setGeometry(rect());
            overlay->raise();
        }
    // The header stays in reach while the palette is open.
    if (m_palette)
        m_palette->setMask(QRegion(rect()) - QRegion(header->geometry()));
    m_dropHighlight->setGeometry(rect());
    m_dropHighlight->setVisible(m_pane->controller()->isDragTargeted());
    m_dropHighlight->raise();
}

// Side panels exist while their flag is on in a pane shown alone (the
// outline also needs a paper) and while they slide out; each is made when
// it appears.
void PaneLayout::followPanels(const bool (&shown)[3])
{
    ContentView *pane = m_pane;
    const QPointer<QWidget> *panels[3] = {&m_scholar, &m_outline, &m_notes};
    for (int panel = 0; panel < 3; ++panel) {
        // A panel closing lets go of the keyboard at once, not once it has
        // slid out and is deleted with it.
        if (!shown[panel] && m_motion[panel].target > 0 && *panels[panel])
            handBackKeys(*panels[panel]);
        followMotion(panel, shown[panel]);
    }
    m_animateNext = false;
    auto follow = [this](QPointer<QWidget> &panel, const PanelMotion &motion, auto make) {
        const bool present = motion.target > 0 || motion.presence > 0;
        if (present && !panel) {
            panel = make();
            panel->setParent(this);
            panel->show();
        } else if (!present && panel) {
            delete panel.data();
        }
    };
    follow(m_scholar, m_motion[0], [pane] { return makeScholarPanel(pane); });
    // The outline takes the panel's whole width, on its own background.
    follow(m_outline, m_motion[1], [pane] { return makeOutlinePanel(pane); });
    follow(m_notes, m_motion[2], [pane] { return makeNotesPanel(pane); });
}

// A panel whose flag changed moves at once, or over 0.18 s with an
// ease-in-out curve when the change asked for it.
void PaneLayout::followMotion(int panel, bool shown)
{
    PanelMotion &motion = m_motion[panel];
    const double target = shown ? 1 : 0;
    if (target == motion.target && (motion.animation || motion.presence == target))
        return;
    motion.target = target;
    delete motion.animation.data();
    if (!m_animateNext || motion.presence == target) {
        motion.presence = target;
        return;
    }
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(motion.presence);
    animation->setEndValue(target);
    animation->setDuration(180);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation, &QVariantAnimation::valueChanged, this, [this, panel](const QVariant &value) {
        m_motion[panel].presence = value.toDouble();
        relayout();
    });
    connect(animation, &QVariantAnimation::finished, this, [this, panel] {
        m_motion[panel].presence = m_motion[panel].target;
        relayout();
    });
    motion.animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void PaneLayout::followOverlays()
{
    ContentView *pane = m_pane;
    if (!pane)
        return;
    QPointer<ContentView> weak(pane);
    const PaneServices &services = pane->services();
    if (pane->controller()->showShortcuts() && !m_help) {
        m_help = services.shortcutsHelp(
            [weak] {
                if (weak)
                    weak->controller()->shortcutsHelpDismissed();
            },
            [this] { replayOnboarding(); });
        m_help->setParent(this);
        m_help->show();
        fadeIn(m_help, kOverlayFadeSeconds, QEasingCurve::InOutQuad);
    } else if (!pane->controller()->showShortcuts() && m_help) {
        closeOverlay(m_help);
    }
    if (pane->controller()->showOnboarding() && !m_onboarding) {
        m_onboarding = services.onboarding([weak] {
            if (weak)
                weak->controller()->onboardingDismissed();
        });
        m_onboarding->setParent(this);
        m_onboarding->show();
        fadeIn(m_onboarding, 0.3, QEasingCurve::InQuad);
    } else if (!pane->controller()->showOnboarding() && m_onboarding) {
        closeOverlay(m_onboarding);
    }
    relayout();
}

void PaneLayout::replayOnboarding()
{
    if (!m_pane)
        return;
    m_pane->controller()->onboardingReplayRequested();
}

// The command palette is a sheet over the pane made by the workspace; a
// pane without one has no palette to show and takes the request back.
void PaneLayout::followCommandPalette()
{
    ContentView *pane = m_pane;
    if (!pane)
        return;
    if (pane->controller()->showCommandPalette() && !m_palette) {
        const auto &makePalette = pane->services().commandPalette;
        if (!makePalette) {
            pane->controller()->commandPaletteDismissed();
            return;
        }
        QPointer<ContentView> weak(pane);
        QWidget *sheet = makePalette(pane, pane->controller()->readerActions(), [weak] {
            if (weak)
                weak->controller()->commandPaletteDismissed();
        });
        if (!sheet) {
            pane->controller()->commandPaletteDismissed();
            return;
        }
        // A sheet: the palette near the top of the dimmed pane.
        auto *layer = new PaletteLayer(this, sheet, [weak] {
            if (weak)
                weak->controller()->commandPaletteDismissed();
        });
        auto *column = new QVBoxLayout(layer);
        column->setContentsMargins(0, 80, 0, 0);
        column->addWidget(sheet, 0, Qt::AlignHCenter | Qt::AlignTop);
        column->addStretch(1);
        m_palette = layer;
        m_palette->show();
        sheet->setFocus(Qt::PopupFocusReason);
    } else if (!pane->controller()->showCommandPalette() && m_palette) {
        closeOverlay(m_palette);
    }
    relayout();
}

void PaneLayout::closeOverlay(QPointer<QWidget> &overlay)
{
    QWidget *closing = overlay;
    overlay = nullptr;
    // Hiding moves the keyboard on along the focus chain, maybe into a
    // field: whether the user was typing is decided before.
    QWidget *focus = window()->focusWidget();
    const bool typing = isTypingField(focus) && !closing->isAncestorOf(focus);
    fadeOutAndDelete(closing);
    // The help, when it is still open under the guide, takes the keys
    // again (Escape closes it).
    if (m_help) {
        m_help->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!typing)
        returnKeyboard(true);
}

QWidget *PaneLayout::readerView() const
{
    return m_readingArea->isVisibleTo(this) ? m_readingArea->readingView() : nullptr;
}

void PaneLayout::returnKeyboard(bool evenFromAField)
{
    ContentView *pane = m_pane;
    if (!pane || !pane->controller()->isActive() || m_help || m_onboarding || m_palette)
        return;
    QWidget *focus = window()->focusWidget();
    if (!evenFromAField && isTypingField(focus))
        return;
    if (QWidget *reader = readerView())
        reader->setFocus(Qt::OtherFocusReason);
}

void PaneLayout::handBackKeys(const QWidget *leaving)
{
    QWidget *focus = window()->focusWidget();
    if (!focus || leaving->isAncestorOf(focus))
        returnKeyboard(true);
}

void PaneLayout::followRadio()
{
    if (!m_pane)
        return;
    m_errorLine->setRadio(m_pane->radio());
    if (!m_pane->radio())
        return;
    connect(m_pane->radio(), &PaneRadio::isPlayingChanged, m_singleHeader, &SingleHeader::refresh,
            Qt::UniqueConnection);
    connect(m_pane->radio(), &PaneRadio::isPlayingChanged, m_splitHeader, &SplitHeader::refresh,
            Qt::UniqueConnection);
    m_singleHeader->refresh();
    m_splitHeader->refresh();
}

// The wallpaper fills the pane keeping its proportions; without one the
// tinted background lies behind the pane.
void PaneLayout::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QImage image = m_pane ? m_pane->controller()->backgroundImage() : QImage();
    if (image.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(annotationsview::wallpaperPlace(image.size(), size()), image);
}

} // namespace folvan::window
