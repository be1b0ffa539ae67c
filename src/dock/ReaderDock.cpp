#include "dock/ReaderDock.h"

#include "annotationsview/NativeSelectionControls.h"
#include "annotationsview/ViewStyle.h"
#include "book/FloatingOverBook.h"
#include "book/PaperReadingView.h"
#include "dock/DockPopover.h"
#include "dock/DockSurfaces.h"
#include "dock/ReaderAppearancePanel.h"
#include "dock/ReaderControlButtonStyle.h"
#include "dock/ReaderLibraryPanel.h"
#include "dock/ReaderPageJump.h"
#include "engine/PdfDocument.h"
#include "engine/PdfSelection.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/Queues.h"
#include "platform/ReaderPreferences.h"
#include "platform/ReducedMotion.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QToolButton>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace folvan::dock {

namespace {

// The nearest whole number, halves away from zero; 0 for a value that is
// not finite.
long long wholeNumber(double value)
{
    return std::isfinite(value) ? std::llround(std::clamp(value, -1e15, 1e15)) : 0;
}

QToolButton *symbolButton(const QString &symbol, const QString &help, const QString &label, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(platform::symbolIcon(symbol));
    button->setToolTip(help);
    button->setAccessibleName(label);
    styleControlButton(button);
    return button;
}

// A thin upright line 16 pixels high with 3 pixels of room on each side.
class ToolDivider : public QWidget {
public:
    explicit ToolDivider(QWidget *parent) : QWidget(parent) { setFixedSize(7, 16); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(QRect(3, 0, 1, height()), QColor(0, 0, 0, 40));
    }
};

bool typingField(QWidget *widget)
{
    return qobject_cast<QLineEdit *>(widget) || qobject_cast<QTextEdit *>(widget)
           || qobject_cast<QPlainTextEdit *>(widget) || qobject_cast<QAbstractSpinBox *>(widget);
}

// The reader is typing in a field outside `popover`.
bool typingOutside(const QWidget *popover)
{
    QWidget *focus = QApplication::focusWidget();
    return focus && !(popover && popover->isAncestorOf(focus)) && typingField(focus);
}

} // namespace

std::optional<DockPanel> dockPanelFromRaw(const QString &raw)
{
    for (DockPanel panel : {DockPanel::page, DockPanel::appearance, DockPanel::library})
        if (raw == rawValue(panel))
            return panel;
    return std::nullopt;
}

QString rawValue(DockPanel panel)
{
    switch (panel) {
    case DockPanel::page:
        return QStringLiteral("page");
    case DockPanel::appearance:
        return QStringLiteral("appearance");
    case DockPanel::library:
        return QStringLiteral("library");
    }
    return QString();
}

QString readoutText(double angle, double zoom)
{
    return QStringLiteral("%1°  ·  %2%").arg(wholeNumber(angle)).arg(wholeNumber(zoom * 100));
}

QString readoutAccessibleText(double angle, double zoom)
{
    return QStringLiteral("仰角 %1 度，缩放 %2%").arg(wholeNumber(angle)).arg(wholeNumber(zoom * 100));
}

ReaderDock::ReaderDock(model::SharedPDFViewModel *model, DockPane pane, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_pane(std::move(pane))
    , m_reduceMotion(platform::systemReducesMotion())
    , m_collapseWork(new platform::MainWorkItem(this))
    , m_readoutWork(new platform::MainWorkItem(this))
    , m_mainRow(new FloatingSurface(this))
    , m_upperRow(new FloatingSurface(this))
    , m_readout(new ReadoutCapsule(parent ? parent : this))
{
    setObjectName(QStringLiteral("readerDock"));
    setAttribute(Qt::WA_TranslucentBackground);
    // A click where the dock folded up a moment ago does not reach the book.
    book::FloatingOverBook::follow(this);
    m_mainRow->setObjectName(QStringLiteral("dockMainRow"));
    m_upperRow->setObjectName(QStringLiteral("dockUpperRow"));
    buildMainRow();
    buildTools();
    m_readout->hide();
    platform::useInterfaceFont(m_readout, platform::InterfaceTextRole::caption, std::nullopt, true);

    // The dock is shown with the tools as the preference keeps them, at once.
    m_keptExpanded = keepExpanded();
    m_expanded = m_keptExpanded;
    m_presence = m_expanded ? 1 : 0;

    m_shadow = new DockShadow(this, [this] {
        return QList<QWidget *>{m_strip.data(), m_upperRow, m_mainRow};
    });

    for (auto signal : {&model::SharedPDFViewModel::currentPageIndexChanged, &model::SharedPDFViewModel::bookCanBackwardChanged,
                        &model::SharedPDFViewModel::bookCanForwardChanged, &model::SharedPDFViewModel::pdfDocumentChanged,
                        &model::SharedPDFViewModel::bookmarksChanged, &model::SharedPDFViewModel::bookTextModeChanged})
        connect(model, signal, this, &ReaderDock::refreshControls);
    for (auto signal : {&model::SharedPDFViewModel::selectionTextChanged, &model::SharedPDFViewModel::bookTextModeChanged,
                        &model::SharedPDFViewModel::currentPageIndexChanged})
        connect(model, signal, this, &ReaderDock::refreshStrip);
    connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, this, [this](const QString &key) {
        if (key == platform::prefkey::keepReaderToolsExpanded)
            followKeepExpanded();
        else if (key == platform::prefkey::toolsHideDelay)
            scheduleCollapse();
    });
    platform::onInterfaceTextSizeChange(this, [this] { platform::runOnMain(this, [this] { relayout(); }); });
    m_focusConnection =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { followFocus(now); });
    if (parent)
        parent->installEventFilter(this);

    refreshControls();
    refreshStrip();
    relayout();
}

ReaderDock::~ReaderDock()
{
    // The children let go of the focus as they are destroyed, after this
    // body: the dock must not hear of it then.
    disconnect(m_focusConnection);
    // The popover closes with the dock: no panel is left to report on.
    if (m_popover) {
        DockPopover *popover = m_popover;
        m_popover.clear();
        delete popover;
    }
    delete m_shadow.data();
    if (m_readout && m_readout->parentWidget() != this)
        delete m_readout.data();
}

void ReaderDock::buildMainRow()
{
    m_previous = symbolButton(QStringLiteral("chevron.left"), QStringLiteral("上一页（←）"), QStringLiteral("上一页"),
                              m_mainRow);
    m_page = new QToolButton(m_mainRow);
    styleControlButton(m_page);
    platform::useInterfaceFont(m_page, platform::InterfaceTextRole::caption, std::nullopt, true);
    m_page->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_page->setToolTip(QStringLiteral("跳转页码"));
    m_next = symbolButton(QStringLiteral("chevron.right"), QStringLiteral("下一页（→）"), QStringLiteral("下一页"),
                          m_mainRow);
    m_more = symbolButton(QStringLiteral("ellipsis"), QString(), QString(), m_mainRow);
    m_divider = new ToolDivider(m_mainRow);

    connect(m_previous, &QToolButton::clicked, this, [this] { turn(false); });
    connect(m_next, &QToolButton::clicked, this, [this] { turn(true); });
    connect(m_page, &QToolButton::clicked, this, [this] { setPanel(DockPanel::page); });
    connect(m_more, &QToolButton::clicked, this, &ReaderDock::toggleExpanded);
}

void ReaderDock::buildTools()
{
    m_tools = new QWidget(m_mainRow);
    auto *row = new QHBoxLayout(m_tools);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);

    auto *pickerRoom = new QWidget(m_tools);
    auto *pickerRow = new QHBoxLayout(pickerRoom);
    pickerRow->setContentsMargins(3, 0, 3, 0);
    m_modePicker = new book::ReadingModePicker(pickerRoom);
    pickerRow->addWidget(m_modePicker);
    // Choosing a mode with the pointer leaves the keyboard where it was, so
    // that the picker does not hold the tools open. The segments take the
    // dock's text size, also as it changes (being styled, they would not
    // follow their parent's font).
    for (QAbstractButton *segment : m_modePicker->findChildren<QAbstractButton *>()) {
        segment->setFocusPolicy(Qt::TabFocus);
        platform::useInterfaceFont(segment, platform::InterfaceTextRole::caption);
    }
    connect(m_modePicker, &book::ReadingModePicker::bookChosen, this, [this](bool book) {
        if (m_pane.setBook)
            m_pane.setBook(book);
    });
    row->addWidget(pickerRoom);

    m_selectionTool = symbolButton(
        QStringLiteral("text.cursor"),
        QStringLiteral("选字与批注：拖选正文，%1 复制")
            .arg(QKeySequence(Qt::CTRL | Qt::Key_C).toString(QKeySequence::NativeText)),
        QStringLiteral("选字与批注"), m_tools);
    m_libraryTool = symbolButton(QStringLiteral("bookmark"), QStringLiteral("书签、返回与批注"),
                                 QStringLiteral("书签与批注"), m_tools);
    m_appearanceTool = symbolButton(QStringLiteral("slider.horizontal.3"), QStringLiteral("视角、版式与纸张"),
                                    QStringLiteral("阅读外观"), m_tools);
    for (QToolButton *tool : {m_selectionTool, m_libraryTool, m_appearanceTool})
        row->addWidget(tool);
    connect(m_selectionTool, &QToolButton::clicked, this, [this] {
        if (m_model)
            m_model->toggleBookTextMode();
    });
    connect(m_libraryTool, &QToolButton::clicked, this, [this] { setPanel(DockPanel::library); });
    connect(m_appearanceTool, &QToolButton::clicked, this, [this] { setPanel(DockPanel::appearance); });
}

// ---- Page turning ------------------------------------------------------------

int ReaderDock::pageCount() const
{
    return m_model && m_model->pdfDocument() ? m_model->pdfDocument()->pageCount() : 0;
}

bool ReaderDock::canBackward() const
{
    if (!m_model)
        return false;
    if (m_pane.isBook())
        return m_model->bookCanBackward();
    return m_model->currentPageIndex() > 0;
}

bool ReaderDock::canForward() const
{
    if (!m_model)
        return false;
    if (m_pane.isBook())
        return m_model->bookCanForward();
    return m_model->currentPageIndex() < pageCount() - 1;
}

void ReaderDock::turn(bool forward)
{
    if (m_model)
        m_model->turnPage(forward, m_pane.isBook());
}

// ---- Expanding and collapsing --------------------------------------------------

bool ReaderDock::keepExpanded() const
{
    return platform::Preferences::shared().boolValue(platform::prefkey::keepReaderToolsExpanded);
}

bool ReaderDock::collapsePending() const
{
    return m_collapseWork->isPending();
}

void ReaderDock::scheduleCollapse()
{
    m_collapseWork->cancel();
    if (!m_expanded || m_hovering || m_panel || m_focused || keepExpanded())
        return;
    m_collapseWork->schedule(platform::ReaderPreferences::toolsHideDelay(), [this] { collapseIfIdle(); });
}

// The delay has passed: the tools go unless something holds them now, or a
// screen reader is running (it would lose the controls it is reading).
void ReaderDock::collapseIfIdle()
{
    if (m_hovering || m_panel || m_focused || keepExpanded() || QAccessible::isActive())
        return;
    setExpanded(false, true);
}

void ReaderDock::toggleExpanded()
{
    m_collapseWork->cancel();
    // The pointer on its way to "…" brought the tools out already: the
    // click that follows means to open them, not to put them away again.
    if (m_openedByHover && m_expanded) {
        m_openedByHover = false;
        scheduleCollapse();
        return;
    }
    m_openedByHover = false;
    setExpanded(!m_expanded, true);
    if (m_expanded)
        scheduleCollapse();
}

void ReaderDock::setExpanded(bool expanded, bool animated)
{
    m_expanded = expanded;
    refreshControls();
    const double target = expanded ? 1 : 0;
    if (m_motion)
        m_motion->stop();
    if (!animated || m_reduceMotion || m_presence == target) {
        m_presence = target;
        relayout();
        return;
    }
    auto *motion = new QVariantAnimation(this);
    motion->setStartValue(m_presence);
    motion->setEndValue(target);
    motion->setDuration(kMotionMs);
    motion->setEasingCurve(QEasingCurve::InOutQuad);
    connect(motion, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_presence = value.toDouble();
        relayout();
    });
    m_motion = motion;
    motion->start(QAbstractAnimation::DeleteWhenStopped);
}

void ReaderDock::followKeepExpanded()
{
    const bool keep = keepExpanded();
    if (keep == m_keptExpanded)
        return;
    m_keptExpanded = keep;
    m_collapseWork->cancel();
    if (keep)
        setExpanded(true, true);
    else
        scheduleCollapse();
}

void ReaderDock::followFocus(QWidget *now)
{
    std::optional<DockFocus> focus;
    const auto holds = [now](QWidget *control) { return now && (now == control || control->isAncestorOf(now)); };
    const std::pair<QWidget *, DockFocus> controls[] = {
        {m_modePicker, DockFocus::mode},         {m_selectionTool, DockFocus::selection},
        {m_libraryTool, DockFocus::library},     {m_appearanceTool, DockFocus::appearance},
        {m_previous, DockFocus::previous},       {m_page, DockFocus::page},
        {m_next, DockFocus::next},               {m_more, DockFocus::more}};
    for (const auto &[control, value] : controls)
        if (holds(control))
            focus = value;
    if (focus == m_focused)
        return;
    m_focused = focus;
    m_collapseWork->cancel();
    if (!focus)
        scheduleCollapse();
}

// ---- Readout ----------------------------------------------------------------------

void ReaderDock::displayReadout()
{
    m_readoutWork->cancel();
    m_showReadout = true;
    const double angle = m_pane.angle ? m_pane.angle() : 0;
    const double zoom = m_pane.zoom ? m_pane.zoom() : 1;
    m_readout->setText(readoutText(angle, zoom));
    m_readout->setAccessibleName(readoutAccessibleText(angle, zoom));
    m_readoutWork->schedule(kReadoutSeconds, [this] {
        m_showReadout = false;
        relayout();
    });
    relayout();
}

DockPopover *ReaderDock::popover() const
{
    return m_popover;
}

QWidget *ReaderDock::selectionStrip() const
{
    return m_strip;
}

QLabel *ReaderDock::readout() const
{
    return m_readout;
}

// ---- The pane's values ------------------------------------------------------------

void ReaderDock::paneReadingModeChanged()
{
    setPanel(std::nullopt);
    refreshControls();
    refreshStrip();
}

void ReaderDock::paneTiltOrZoomChanged()
{
    displayReadout();
    paneLayoutChanged();
}

void ReaderDock::paneLayoutChanged()
{
    // An open appearance panel shows the pane's values as they are now.
    if (m_appearanceRefresh)
        m_appearanceRefresh();
}

void ReaderDock::paneWidthChanged()
{
    relayout();
}

bool ReaderDock::toolsInline() const
{
    return !m_pane.availableWidth || m_pane.availableWidth() >= kInlineToolsWidth;
}

// ---- Controls ---------------------------------------------------------------------

void ReaderDock::refreshControls()
{
    if (!m_model)
        return;
    const bool book = m_pane.isBook();
    const int count = pageCount();
    const int current = m_model->currentPageIndex() + 1;
    m_page->setText(QStringLiteral("%1 / %2").arg(current).arg(count));
    m_page->setAccessibleName(QStringLiteral("第 %1 页，共 %2 页；跳转页码").arg(current).arg(count));
    m_previous->setEnabled(canBackward());
    m_next->setEnabled(canForward());

    m_more->setIcon(platform::symbolIcon(m_expanded ? QStringLiteral("chevron.right.2") : QStringLiteral("ellipsis")));
    const QString moreLabel = m_expanded ? QStringLiteral("收起阅读工具") : QStringLiteral("展开阅读工具");
    m_more->setToolTip(moreLabel);
    m_more->setAccessibleName(moreLabel);

    if (m_modePicker->isBook() != book)
        m_modePicker->setBook(book);
    m_selectionTool->setVisible(book);
    m_selectionTool->setIcon(m_model->bookTextMode()
                                 ? platform::tintedSymbolIcon(QStringLiteral("text.cursor"),
                                                              QApplication::palette().color(QPalette::Highlight))
                                 : platform::symbolIcon(QStringLiteral("text.cursor")));
    const int page = m_model->currentPageIndex();
    const auto &bookmarks = m_model->bookmarks();
    const bool marked = std::any_of(bookmarks.begin(), bookmarks.end(),
                                    [page](const model::ReadingBookmark &mark) { return mark.location.page == page; });
    m_libraryTool->setIcon(platform::symbolIcon(marked ? QStringLiteral("bookmark.fill") : QStringLiteral("bookmark")));
    relayout();
}

// The toolbar follows the selection: it stands while the selection lies on
// the page the reader is on or on one next to it, and comes back with it.
bool ReaderDock::selectionInView() const
{
    const std::optional<engine::PdfSelection> &selection = m_model->retainedSelection();
    if (!selection)
        return true;
    const int current = m_model->currentPageIndex();
    const std::vector<engine::PdfPage> pages = selection->pages();
    return pages.empty() || std::any_of(pages.begin(), pages.end(), [current](const engine::PdfPage &page) {
               return std::abs(page.index() - current) <= 1;
           });
}

// The strip is made anew (toolbar closed, empty note) each time the pane
// gains selected text in view, and kept while the text changes from one
// selection to another.
void ReaderDock::refreshStrip()
{
    const bool hasText = m_model && !m_model->selectionText().isEmpty() && selectionInView();
    const bool shown = m_model && (hasText || (m_pane.isBook() && m_model->bookTextMode()));
    if (m_strip && (!shown || m_stripHasToolbar != hasText))
        delete m_strip.data();
    if (shown && !m_strip) {
        auto *strip = new FloatingSurface(this);
        strip->setObjectName(QStringLiteral("dockSelectionStrip"));
        auto *row = new QHBoxLayout(strip);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(5);
        if (hasText) {
            row->addWidget(new annotationsview::NativeSelectionControls(m_model, strip));
        } else {
            auto *hint = new QLabel(QStringLiteral("拖选正文 · 双击选词"), strip);
            platform::useInterfaceFont(hint, platform::InterfaceTextRole::caption);
            QPalette palette = hint->palette();
            palette.setColor(QPalette::WindowText, annotationsview::secondaryTextColor());
            hint->setPalette(palette);
            hint->setContentsMargins(8, 0, 8, 0);
            row->addWidget(hint);
        }
        QToolButton *close = symbolButton(QStringLiteral("xmark"), QStringLiteral("结束选字"), QStringLiteral("结束选字"),
                                          strip);
        close->setObjectName(QStringLiteral("endSelectionButton"));
        connect(close, &QToolButton::clicked, this, [this] {
            if (m_model)
                m_model->endSelection();
        });
        row->addWidget(close);
        m_strip = strip;
        m_stripHasToolbar = hasText;
        strip->show();
    }
    relayout();
}

// ---- Panels -----------------------------------------------------------------------

void ReaderDock::setPanel(std::optional<DockPanel> panel)
{
    if (panel == m_panel)
        return;
    m_panel = panel;
    m_collapseWork->cancel();
    if (panel) {
        openPanel();
    } else {
        scheduleCollapse();
        if (m_popover)
            m_popover->close();
    }
    relayout();
}

void ReaderDock::openPanel()
{
    if (!m_panel || !m_model)
        return;
    if (!m_popover) {
        m_popover = new DockPopover(m_mainRow, parentWidget(), [this] { panelClosed(); }, this);
        // Given to the reading view once the closing panel has handed it the keyboard.
        m_popover->setKeyHandOn([this](const QKeyEvent &key) {
            platform::runOnMain(this, [this, key = key.key(), modifiers = key.modifiers(), text = key.text()] {
                QWidget *focus = window()->focusWidget();
                if (!focus || typingField(focus) || (m_popover && m_popover->isAncestorOf(focus)))
                    return;
                for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
                    QKeyEvent event(type, key, modifiers, text);
                    QCoreApplication::sendEvent(focus, &event);
                }
            });
        });
        applyControlButtonStyle(m_popover);
    }
    m_popover->present(makePanel(*m_panel));
}

QWidget *ReaderDock::makePanel(DockPanel panel)
{
    switch (panel) {
    case DockPanel::page: {
        QPointer<model::SharedPDFViewModel> model(m_model);
        return new ReaderPageJump(pageCount(), m_model->currentPageIndex() + 1, [this, model](int number) {
            if (model) {
                model::ReadingLocation location;
                location.page = number - 1;
                model->navigate(location, true);
            }
            setPanel(std::nullopt);
        });
    }
    case DockPanel::appearance: {
        AppearanceBindings bindings;
        bindings.isBook = m_pane.isBook();
        bindings.angle = m_pane.angle;
        bindings.setAngle = m_pane.setAngle;
        bindings.zoom = m_pane.zoom;
        bindings.onZoom = m_pane.onZoom;
        bindings.pageLayout = [layout = m_pane.pageLayout]() -> std::optional<platform::BookLayout> { return layout(); };
        bindings.setPageLayout = m_pane.setPageLayout;
        bindings.onPaneChanged = [this](std::function<void()> refresh) { m_appearanceRefresh = std::move(refresh); };
        return new ReaderAppearancePanel(std::move(bindings));
    }
    case DockPanel::library:
        return new ReaderLibraryPanel(m_model, [this] { setPanel(std::nullopt); });
    }
    return nullptr;
}

// The popover closed (a click outside, Escape, or the dock closed it): no
// panel is open, and the reading view takes the keyboard back unless the
// reader went on to type somewhere.
void ReaderDock::panelClosed()
{
    if (!m_popover)
        return;
    setPanel(std::nullopt);
    platform::runOnMain(this, [this] {
        if (!m_panel && !typingOutside(m_popover) && m_pane.focusReadingView)
            m_pane.focusReadingView();
    });
}

// ---- Layout -----------------------------------------------------------------------

namespace {

// Lays `items` out from the right edge of `row` leftwards, `spacing` apart,
// each at its preferred size, centred in a row `height` high; returns the
// left edge of the leftmost.
int layRightToLeft(const QList<QWidget *> &items, int right, int height, int spacing)
{
    int x = right;
    bool first = true;
    for (QWidget *item : items) {
        if (!item || item->isHidden())
            continue;
        if (!first)
            x -= spacing;
        first = false;
        const QSize size = item->sizeHint();
        x -= size.width();
        item->setGeometry(x, (height - size.height()) / 2, size.width(), size.height());
    }
    return x;
}

int rowHeight(const QList<QWidget *> &items)
{
    int height = 0;
    for (QWidget *item : items)
        if (item && !item->isHidden())
            height = std::max(height, item->sizeHint().height());
    return height + 2 * FloatingSurface::kVerticalPadding;
}

// Brings the layouts inside `widget` up to date, the innermost first, so
// that its size hint counts a change made inside it a moment ago (an
// error line that came or went) rather than what its layout last saw.
void settleLayouts(QWidget *widget)
{
    for (QWidget *child : widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        settleLayouts(child);
    if (QLayout *layout = widget->layout())
        layout->activate();
}

} // namespace

QWidget *ReaderDock::mainRow() const
{
    return m_mainRow;
}

QWidget *ReaderDock::upperRow() const
{
    return m_upperRow;
}

// The rows stand right-aligned, 8 pixels apart. While the tools come in or
// go, the row that holds them grows or shrinks from its right edge, its
// content clipped to it.
void ReaderDock::relayout()
{
    const bool inlineTools = toolsInline();
    const bool toolsIn = m_presence > 0;
    const constexpr int pad = FloatingSurface::kHorizontalPadding;

    // The tools stand in the main row or above it.
    QWidget *toolsHome = inlineTools ? static_cast<QWidget *>(m_mainRow) : m_upperRow;
    if (m_tools->parentWidget() != toolsHome)
        m_tools->setParent(toolsHome);
    m_tools->setVisible(toolsIn);
    m_divider->setVisible(inlineTools && toolsIn);
    const QSize toolsSize = m_tools->sizeHint();

    // Main row.
    const QList<QWidget *> buttons{m_more, m_next, m_page, m_previous};
    int collapsedWidth = 2 * pad;
    for (QWidget *button : buttons)
        collapsedWidth += button->sizeHint().width();
    collapsedWidth += 4 * (buttons.size() - 1);
    const int toolsWidth = toolsSize.width() + 4 + m_divider->width() + 4;
    const int mainWidth = collapsedWidth + (inlineTools ? int(std::lround(m_presence * toolsWidth)) : 0);
    int mainHeight = rowHeight(buttons);
    if (inlineTools && toolsIn)
        mainHeight = std::max(mainHeight, toolsSize.height() + 2 * FloatingSurface::kVerticalPadding);
    m_mainRow->resize(mainWidth, mainHeight);
    const int buttonsLeft = layRightToLeft(buttons, mainWidth - pad, mainHeight, 4);
    if (inlineTools) {
        m_divider->move(buttonsLeft - 4 - m_divider->width(), (mainHeight - m_divider->height()) / 2);
        m_tools->setGeometry(m_divider->x() - 4 - toolsSize.width(), (mainHeight - toolsSize.height()) / 2,
                             toolsSize.width(), toolsSize.height());
    }

    // Upper row.
    const QSize upperFull(toolsSize.width() + 2 * pad, toolsSize.height() + 2 * FloatingSurface::kVerticalPadding);
    const bool upperShown = !inlineTools && toolsIn;
    const QSize upperSize(int(std::lround(m_presence * upperFull.width())),
                          int(std::lround(m_presence * upperFull.height())));
    m_upperRow->setVisible(upperShown);
    if (upperShown) {
        m_upperRow->resize(upperSize);
        m_tools->setGeometry(upperSize.width() - pad - toolsSize.width(),
                             upperSize.height() - FloatingSurface::kVerticalPadding - toolsSize.height(),
                             toolsSize.width(), toolsSize.height());
    }

    // The column, bottom up: main row, upper row, readout, strip.
    const bool readoutShown = m_showReadout && !m_panel;
    m_readout->setVisible(readoutShown && (m_readout->parentWidget() == this || !isHidden()));
    if (readoutShown)
        m_readout->resize(m_readout->sizeHint());
    if (m_strip) {
        settleLayouts(m_strip);
        m_strip->resize(m_strip->sizeHint());
    }

    struct Item {
        QWidget *widget;
        int spacingBelow;
    };
    QList<Item> column{{m_mainRow, 0}};
    if (upperShown)
        column.append({m_upperRow, int(std::lround(m_presence * kRowSpacing))});
    if (readoutShown)
        column.append({m_readout, kRowSpacing});
    if (m_strip)
        column.append({m_strip, kRowSpacing});
    int width = 0;
    int height = 0;
    for (const Item &item : column) {
        width = std::max(width, item.widget->width());
        height += item.widget->height() + item.spacingBelow;
    }
    int bottom = height;
    QRegion hit;
    QPoint readoutPlace;
    for (const Item &item : column) {
        bottom -= item.spacingBelow;
        const QPoint place(width - item.widget->width(), bottom - item.widget->height());
        bottom -= item.widget->height();
        if (item.widget == m_readout) {
            readoutPlace = place;
            continue;
        }
        item.widget->move(place);
        hit += item.widget->geometry();
    }
    if (QWidget *parent = parentWidget())
        setGeometry(parent->width() - width - kMargin, parent->height() - height - kMargin, width, height);
    else
        resize(width, height);
    // The pointer passes between and beside the rows to the view below.
    // The mask clips what is drawn as well, so the readout, which lets the
    // pointer through, stands beside the dock in its parent, in its place
    // in the column.
    setMask(hit.isEmpty() ? QRegion(0, 0, 1, 1) : hit);
    if (readoutShown)
        m_readout->move(m_readout->parentWidget() == this ? readoutPlace : pos() + readoutPlace);
    followStacking();
    update();
    emit placed();
}

// The shadow and the readout stand in the dock's parent just below it.
void ReaderDock::followStacking()
{
    if (m_shadow)
        m_shadow->follow();
    if (m_readout && m_readout->parentWidget() != this)
        m_readout->stackUnder(this);
}

bool ReaderDock::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Enter:
        m_hovering = true;
        m_collapseWork->cancel();
        if (!m_expanded)
            m_openedByHover = true;
        setExpanded(true, true);
        break;
    case QEvent::Leave:
        m_hovering = false;
        m_openedByHover = false;
        m_collapseWork->cancel();
        scheduleCollapse();
        break;
    case QEvent::ZOrderChange:
        followStacking();
        break;
    case QEvent::LayoutRequest:
        // A row's content changed its size (the selection toolbar's error
        // line came or went): the rows fit their content again.
        relayout();
        break;
    case QEvent::Show:
    case QEvent::Hide:
        m_readout->setVisible(m_showReadout && !m_panel && (m_readout->parentWidget() == this || !isHidden()));
        followStacking();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool ReaderDock::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        relayout();
    return QWidget::eventFilter(watched, event);
}

} // namespace folvan::dock
