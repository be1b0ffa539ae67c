#include "window/SplitHeader.h"

#include "model/SharedPDFViewModel.h"
#include "platform/Desktop.h"
#include "platform/InterfaceFont.h"
#include "window/ContentView.h"
#include "window/HeaderButtons.h"
#include "window/PaneControls.h"
#include "window/PanePanels.h"
#include "window/PaneRadio.h"
#include "window/PaneRules.h"
#include "window/RenameField.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace folvan::window {

namespace {

const QString kHelpText = QStringLiteral("使用帮助");

// The pane button's content: a small dot and the pane's word.
class PaneDotButton : public QToolButton {
public:
    PaneDotButton(QWidget *parent)
        : QToolButton(parent)
    {
        setAutoRaise(true);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        platform::useInterfaceFont(this, platform::InterfaceTextRole::caption);
    }
    void setState(const QString &word, bool active)
    {
        m_word = word;
        m_active = active;
        updateGeometry();
        update();
    }
    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        return {6 + 4 + metrics.horizontalAdvance(m_word) + 12, metrics.height() + 6};
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (underMouse()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 0, 18));
            painter.drawRoundedRect(QRectF(rect()), 6, 6);
        }
        QColor dot = active() ? accentColor() : secondaryTextColor();
        if (!active())
            dot.setAlphaF(0.3);
        painter.setPen(Qt::NoPen);
        painter.setBrush(dot);
        painter.drawEllipse(QRectF(6, height() / 2.0 - 3, 6, 6));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(16, 0, width() - 16, height()), Qt::AlignLeft | Qt::AlignVCenter, m_word);
    }

private:
    bool active() const { return m_active; }
    QString m_word;
    bool m_active = false;
};

} // namespace

SplitHeader::SplitHeader(ContentView *pane, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane)
    , m_wasSplit(pane->controller()->isSplit())
{
    platform::useInterfaceFont(this, platform::InterfaceTextRole::body);
    buildPaneButton(pane);
    buildFileName(pane);
    buildFileCommands(pane);
    buildReadingCommands(pane);
    buildPanelPopovers(pane);
    arrangeRows();
    followPane(pane);
    refresh();
}

// The dot that makes this pane the active one.
void SplitHeader::buildPaneButton(ContentView *pane)
{
    auto *dot = new PaneDotButton(this);
    paneButton = dot;
    paneButton->setToolTip(QStringLiteral("快捷键作用于当前阅读区"));
    paneButton->setAccessibleName(pane->controller()->pane() == pane::ReaderPane::primary ? QStringLiteral("切换到左侧阅读区")
                                                                      : QStringLiteral("切换到右侧阅读区"));
    connect(paneButton, &QToolButton::clicked, this, [this] {
        if (m_pane && m_pane->controller()->activate())
            m_pane->controller()->activate()();
    });
}

// The file name, which starts a rename when pressed, and the rename field.
void SplitHeader::buildFileName(ContentView *pane)
{
    fileNameButton = new TitleButton(this);
    platform::useInterfaceFont(fileNameButton, platform::InterfaceTextRole::body, QFont::Medium);
    connect(fileNameButton, &QToolButton::clicked, this, [this] {
        if (m_pane)
            m_pane->controller()->beginRename();
    });
    renameField = new RenameField(pane, this);
}

// Row 1's commands on the paper's file.
void SplitHeader::buildFileCommands(ContentView *pane)
{
    openButton = command(pane, QStringLiteral("folder.badge.plus"), QStringLiteral("在这一侧打开 PDF"), QStringLiteral("打开 PDF"),
                         [](ContentView *p) { p->controller()->selectAndOpenPDF(); });
    renameButton = command(pane, QStringLiteral("pencil"), QStringLiteral("重命名论文"), {},
                           [](ContentView *p) { p->controller()->beginRename(); });
    moveButton = command(pane, QStringLiteral("arrowshape.forward"), QStringLiteral("移动论文"), {},
                         [](ContentView *p) { p->controller()->moveCurrentPDF(); });
    revealButton = command(pane, QStringLiteral("folder"), platform::revealInFileManagerTitle(), {},
                           [](ContentView *p) { p->controller()->showPDFInFinder(); });
    externalButton = command(pane, QStringLiteral("arrow.up.right.square"), QStringLiteral("用默认阅读器打开"), {},
                             [](ContentView *p) { p->controller()->openPDFInDefaultViewer(); });
    trashButton = command(pane, QStringLiteral("trash"), QStringLiteral("移到废纸篓"), {},
                          [](ContentView *p) { p->controller()->confirmTrash(); });
    closeButton = command(pane, QStringLiteral("xmark.circle"), QStringLiteral("关闭本侧论文"), QStringLiteral("关闭论文"),
                          [](ContentView *p) { p->controller()->closePDF(); });
}

// Row 2's commands on the reading, the panels and the comparison.
void SplitHeader::buildReadingCommands(ContentView *pane)
{
    dailyPaperButton = command(pane, QStringLiteral("newspaper"), QStringLiteral("每日论文"), {},
                               [](ContentView *p) { p->controller()->openShortPDF(); });
    reflowButton = command(pane, QStringLiteral("text.alignleft"), QStringLiteral("开启或关闭文字重排"), {},
                           [](ContentView *p) { p->controller()->toggleReflow(); });
    searchButton = command(pane, QStringLiteral("magnifyingglass"), withShortcut(QStringLiteral("搜索本侧正文"), "Ctrl+F"),
                           QStringLiteral("搜索"), [](ContentView *p) { p->controller()->findInPDF(); });
    outlineButton = command(pane, QStringLiteral("list.bullet.indent"), QStringLiteral("目录"), QStringLiteral("显示或隐藏目录"),
                            [](ContentView *p) { p->controller()->panelToggled(pane::PanePanel::outline); });
    notesButton = command(pane, QStringLiteral("square.and.pencil"), QStringLiteral("本侧论文笔记"),
                          QStringLiteral("显示或隐藏论文笔记"),
                          [](ContentView *p) { p->controller()->panelToggled(pane::PanePanel::notes); });
    scholarButton = command(pane, QStringLiteral("g.circle"), QStringLiteral("Scholar"), QStringLiteral("显示或隐藏 Scholar"),
                            [](ContentView *p) { p->controller()->panelToggled(pane::PanePanel::scholar); });
    radioButton = command(pane, QStringLiteral("radio"), QStringLiteral("广播"), QStringLiteral("播放或停止广播"), togglePaneRadio);
    helpButton = command(pane, QStringLiteral("questionmark.circle"), kHelpText, kHelpText,
                         [](ContentView *p) { p->controller()->helpRequested(); });
    closeComparisonButton = makePaneCommand(this, pane, QStringLiteral("rectangle.split.2x1"), QStringLiteral("收起对照"),
                                            QStringLiteral("关闭右侧对照，左侧阅读位置保持不变"),
                                            QStringLiteral("关闭右侧对照"), [](ContentView *p) {
                                                if (p->controller()->toggleComparison())
                                                    p->controller()->toggleComparison()();
                                            });
    platform::useInterfaceFont(closeComparisonButton, platform::InterfaceTextRole::caption);
}

// A command of the header with no title of its own.
PaneButton *SplitHeader::command(ContentView *pane, const QString &symbol, const QString &help, const QString &label,
                                 std::function<void(ContentView *)> action)
{
    return makePaneCommand(this, pane, symbol, {}, help, label, std::move(action));
}

// The panels' popovers, each under its button; closing one turns its
// panel's flag off.
void SplitHeader::buildPanelPopovers(ContentView *pane)
{
    QPointer<ContentView> weak(pane);
    auto closer = [weak](pane::PanePanel panel) {
        return [weak, panel] {
            if (weak)
                weak->controller()->panelClosed(panel);
        };
    };
    outlinePopover = new PanePopover(
        QSize(300, 480), [weak](QWidget *parent) { return weak ? makeOutlinePanel(weak, parent) : new QWidget(parent); },
        closer(pane::PanePanel::outline), this);
    notesPopover = new PanePopover(
        QSize(380, 520), [weak](QWidget *parent) { return weak ? makeNotesPanel(weak, parent) : new QWidget(parent); },
        closer(pane::PanePanel::notes), this);
    scholarPopover = new PanePopover(
        QSize(500, 520), [weak](QWidget *parent) { return weak ? makeScholarPanel(weak, parent) : new QWidget(parent); },
        closer(pane::PanePanel::scholar), this);
    outlinePopover->setToggleAction(QStringLiteral("outline"));
    notesPopover->setToggleAction(QStringLiteral("notes"));
    scholarPopover->setToggleAction(QStringLiteral("scholar"));
}

// The two rows: pane, name and file commands; then the reading commands,
// with closing the comparison at the far end.
void SplitHeader::arrangeRows()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 4, 8, 4 + 1);
    column->setSpacing(2);
    auto *row1 = new QHBoxLayout;
    row1->setSpacing(2);
    row1->addWidget(paneButton);
    auto *nameHolder = new QWidget(this);
    m_nameStack = new QStackedLayout(nameHolder);
    m_nameStack->addWidget(fileNameButton);
    m_nameStack->addWidget(renameField);
    row1->addWidget(nameHolder, 1);
    for (QWidget *item : {openButton, renameButton, moveButton, revealButton, externalButton, trashButton, closeButton})
        row1->addWidget(item);
    auto *row2 = new QHBoxLayout;
    row2->setSpacing(2);
    for (QWidget *item : {dailyPaperButton, reflowButton, searchButton, outlineButton, notesButton, scholarButton,
                          radioButton, helpButton})
        row2->addWidget(item);
    row2->addStretch(1);
    row2->addWidget(closeComparisonButton);
    column->addLayout(row1);
    column->addLayout(row2);
}

// The header redraws from the pane's paper and flags; the popovers follow
// the panels' flags once the change has settled.
void SplitHeader::followPane(ContentView *pane)
{
    model::SharedPDFViewModel *model = pane->viewModel();
    for (auto signal : {&model::SharedPDFViewModel::pdfDocumentChanged, &model::SharedPDFViewModel::pdfDocumentURLChanged,
                        &model::SharedPDFViewModel::showSearchChanged})
        connect(model, signal, this, &SplitHeader::refresh);
    for (auto signal : {&pane::PaneController::fileNameChanged, &pane::PaneController::isEditingChanged, &pane::PaneController::reflowModeChanged,
                        &pane::PaneController::showOutlineChanged, &pane::PaneController::showNotesChanged, &pane::PaneController::showGGChanged,
                        &pane::PaneController::isActiveChanged})
        connect(pane->controller(), signal, this, &SplitHeader::refresh);
    for (auto signal : {&pane::PaneController::showOutlineChanged, &pane::PaneController::showNotesChanged, &pane::PaneController::showGGChanged,
                        &pane::PaneController::isSplitChanged})
        connect(pane->controller(), signal, this, &SplitHeader::followPopovers, Qt::QueuedConnection);
}

QString SplitHeader::paneWord() const
{
    return m_pane && m_pane->controller()->pane() == pane::ReaderPane::reference ? QStringLiteral("右侧") : QStringLiteral("左侧");
}

void SplitHeader::refresh()
{
    if (!m_pane)
        return;
    model::SharedPDFViewModel *model = m_pane->viewModel();
    const bool hasFile = !model->pdfDocumentURL().isEmpty();
    const bool hasDocument = model->pdfDocument() != nullptr;
    const QString &fileName = m_pane->controller()->fileName();

    static_cast<PaneDotButton *>(paneButton)->setState(paneWord(), m_pane->controller()->isActive());
    fileNameButton->setTitle(splitHeaderDisplayName(hasDocument, fileName));
    fileNameButton->setToolTip(fileName);
    fileNameButton->setAccessibleName(QStringLiteral("重命名论文：") + fileName);
    fileNameButton->setEnabled(hasFile);
    if (!m_pane->controller()->isEditing())
        renameField->letGoOfKeys();
    m_nameStack->setCurrentWidget(m_pane->controller()->isEditing() ? static_cast<QWidget *>(renameField) : fileNameButton);

    refreshHeaderControls(m_pane, {renameButton, moveButton, revealButton, externalButton, trashButton, closeButton,
                                   reflowButton, searchButton, outlineButton, notesButton, scholarButton, radioButton});
    const bool reflow = m_pane->controller()->reflowMode();
    reflowButton->setAccessibleName(reflow ? QStringLiteral("关闭重排，返回原版 PDF")
                                           : QStringLiteral("开启 PDF 文字重排"));
    update();
}

// Each panel flag shows or hides its popover while the pane is in the
// comparison layout. Entering that layout opens none: a side panel that
// was open closes, so that the keyboard stays with the reading.
void SplitHeader::followPopovers()
{
    if (!m_pane)
        return;
    const bool entering = m_pane->controller()->isSplit() && !m_wasSplit;
    m_wasSplit = m_pane->controller()->isSplit();
    if (entering)
        for (const pane::PanePanel panel : {pane::PanePanel::outline, pane::PanePanel::notes, pane::PanePanel::scholar})
            m_pane->controller()->panelClosed(panel);
    const bool split = m_pane->controller()->isSplit() && isVisible();
    const std::tuple<PanePopover *, PaneButton *, bool> popovers[] = {
        {outlinePopover, outlineButton, m_pane->controller()->showOutline()},
        {notesPopover, notesButton, m_pane->controller()->showNotes()},
        {scholarPopover, scholarButton, m_pane->controller()->showGG()},
    };
    for (const auto &[popover, button, shown] : popovers) {
        if (shown && split && !popover->isVisible())
            popover->popUp(button);
        else if ((!shown || !split) && popover->isVisible())
            popover->hide();
    }
}

void SplitHeader::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(248, 248, 250, 235));
    QColor rule = m_pane && m_pane->controller()->isActive() ? accentColor() : QColor(0, 0, 0);
    rule.setAlphaF(m_pane && m_pane->controller()->isActive() ? 0.55 : 0.12);
    painter.fillRect(QRect(0, height() - 1, width(), 1), rule);
}

} // namespace folvan::window
