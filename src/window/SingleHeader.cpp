#include "window/SingleHeader.h"

#include "model/SharedPDFViewModel.h"
#include "platform/Desktop.h"
#include "platform/InterfaceFont.h"
#include "window/ContentView.h"
#include "window/HeaderButtons.h"
#include "window/PaneControls.h"
#include "window/PaneLayout.h"
#include "window/PaneRadio.h"
#include "window/PaneRules.h"
#include "window/RenameField.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStackedLayout>

namespace folvan::window {

namespace {

// The panel buttons of this header slide their panel in or out.
void toggleAnimated(ContentView *pane, pane::PanePanel panel)
{
    if (PaneLayout *layout = pane->paneLayout())
        layout->animateNextPanelChange();
    pane->controller()->panelToggled(panel);
}

const QString kReflowHelpOff = QStringLiteral("本机重排段落、标题与表格");
const QString kReflowHelpOn = QStringLiteral("返回原版 PDF");

} // namespace

SingleHeader::SingleHeader(ContentView *pane, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane)
{
    setFixedHeight(kHeight);
    platform::useInterfaceFont(this, platform::InterfaceTextRole::body);
    auto make = [this, pane](const QString &symbol, const QString &title, const QString &help,
                             const QString &label, std::function<void(ContentView *)> action) {
        return makePaneCommand(this, pane, symbol, title, help, label, std::move(action));
    };
    openButton = make(QStringLiteral("folder"), QStringLiteral("打开"), withShortcut(QStringLiteral("打开 PDF"), "Ctrl+O"),
                      {}, [](ContentView *p) { p->controller()->selectAndOpenPDF(); });
    dailyPaperButton = make({}, QStringLiteral("每日论文"), withShortcut(QStringLiteral("每日论文"), "Ctrl+E"), {},
                            [](ContentView *p) { p->controller()->openShortPDF(); });
    renameButton = make(QStringLiteral("pencil"), {}, withShortcut(QStringLiteral("重命名论文"), "Ctrl+R"),
                        QStringLiteral("重命名论文"), [](ContentView *p) { p->controller()->beginRename(); });
    moveButton = make(QStringLiteral("arrowshape.forward"), {}, withShortcut(QStringLiteral("移动论文"), "Ctrl+1"),
                      QStringLiteral("移动论文"), [](ContentView *p) { p->controller()->moveCurrentPDF(); });
    revealButton = make(QStringLiteral("folder"), {}, withShortcut(platform::revealInFileManagerTitle(), "Ctrl+2"),
                        platform::revealInFileManagerTitle(), [](ContentView *p) { p->controller()->showPDFInFinder(); });
    externalButton = make(QStringLiteral("arrow.up.right.square"), {},
                          withShortcut(QStringLiteral("用默认阅读器打开"), "Ctrl+3"),
                          QStringLiteral("用默认阅读器打开"), [](ContentView *p) { p->controller()->openPDFInDefaultViewer(); });
    trashButton = make(QStringLiteral("trash"), {}, withShortcut(QStringLiteral("移到废纸篓"), "Ctrl+4"),
                       QStringLiteral("移到废纸篓"), [](ContentView *p) { p->controller()->confirmTrash(); });
    closeButton = make(QStringLiteral("xmark.circle"), {}, QStringLiteral("关闭论文"), QStringLiteral("关闭论文"),
                       [](ContentView *p) { p->controller()->closePDF(); });
    comparisonButton = make(QStringLiteral("rectangle.split.2x1"), {},
                            withShortcut(QStringLiteral("左右双 PDF 阅读"), "Ctrl+\\"),
                            QStringLiteral("在右侧打开对照 PDF"), [](ContentView *p) {
                                if (p->controller()->toggleComparison())
                                    p->controller()->toggleComparison()();
                            });
    reflowButton = make(QStringLiteral("text.alignleft"), QStringLiteral("重排"), {}, {},
                        [](ContentView *p) { p->controller()->toggleReflow(); });
    searchButton = make(QStringLiteral("magnifyingglass"), QStringLiteral("搜索"),
                        withShortcut(QStringLiteral("搜索正文"), "Ctrl+F"), {}, [](ContentView *p) { p->controller()->findInPDF(); });
    outlineButton = make(QStringLiteral("list.bullet.indent"), {}, QStringLiteral("目录"),
                         QStringLiteral("显示或隐藏目录"), [](ContentView *p) { toggleAnimated(p, pane::PanePanel::outline); });
    notesButton = make(QStringLiteral("square.and.pencil"), QStringLiteral("论文笔记"),
                       withShortcut(QStringLiteral("论文笔记与跨论文搜索"), "Ctrl+5"),
                       QStringLiteral("显示或隐藏论文笔记"), [](ContentView *p) { toggleAnimated(p, pane::PanePanel::notes); });
    scholarButton = make(QStringLiteral("g.circle"), {}, withShortcut(QStringLiteral("Scholar"), "Ctrl+G"),
                         QStringLiteral("显示或隐藏 Scholar"), [](ContentView *p) { toggleAnimated(p, pane::PanePanel::scholar); });
    radioButton = make(QStringLiteral("radio"), {}, {}, {}, togglePaneRadio);
    helpButton = make(QStringLiteral("questionmark.circle"), {}, withShortcut(QStringLiteral("使用帮助"), "Ctrl+/"),
                      QStringLiteral("打开帮助"), [](ContentView *p) { p->controller()->helpRequested(); });

    titleButton = new TitleButton(this);
    platform::useInterfaceFont(titleButton, platform::InterfaceTextRole::body, QFont::Medium);
    connect(titleButton, &QToolButton::clicked, this, [this] {
        if (m_pane)
            m_pane->controller()->beginRename();
    });
    renameField = new RenameField(pane, this);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 12, 0);
    row->setSpacing(5);
    for (QWidget *item : {static_cast<QWidget *>(openButton), static_cast<QWidget *>(dailyPaperButton),
                          static_cast<QWidget *>(renameButton), static_cast<QWidget *>(moveButton),
                          static_cast<QWidget *>(revealButton), static_cast<QWidget *>(externalButton),
                          static_cast<QWidget *>(trashButton), static_cast<QWidget *>(closeButton)})
        row->addWidget(item);
    row->addSpacing(5);
    row->addWidget(makeVerticalRule(16, this));
    row->addSpacing(5);
    auto *titleHolder = new QWidget(this);
    m_titleStack = new QStackedLayout(titleHolder);
    m_titleStack->addWidget(titleButton);
    m_titleStack->addWidget(renameField);
    titleHolder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row->addWidget(titleHolder, 1);
    for (QWidget *item : {comparisonButton, reflowButton, searchButton, outlineButton, notesButton, scholarButton,
                          radioButton, helpButton})
        row->addWidget(item);

    model::SharedPDFViewModel *model = pane->viewModel();
    for (auto signal : {&model::SharedPDFViewModel::pdfDocumentChanged, &model::SharedPDFViewModel::pdfDocumentURLChanged,
                        &model::SharedPDFViewModel::showSearchChanged, &model::SharedPDFViewModel::pageCountChanged,
                        &model::SharedPDFViewModel::currentPageIndexChanged})
        connect(model, signal, this, &SingleHeader::refresh);
    for (auto signal : {&pane::PaneController::fileNameChanged, &pane::PaneController::isEditingChanged, &pane::PaneController::reflowModeChanged,
                        &pane::PaneController::showOutlineChanged, &pane::PaneController::showNotesChanged, &pane::PaneController::showGGChanged})
        connect(pane->controller(), signal, this, &SingleHeader::refresh);
    if (PaneRadio *radio = pane->radio())
        connect(radio, &PaneRadio::isPlayingChanged, this, &SingleHeader::refresh);
    refresh();
}

void SingleHeader::refresh()
{
    if (!m_pane)
        return;
    model::SharedPDFViewModel *model = m_pane->viewModel();
    const bool hasFile = !model->pdfDocumentURL().isEmpty();
    const bool hasDocument = model->pdfDocument() != nullptr;
    const QString &fileName = m_pane->controller()->fileName();

    titleButton->setTitle(singleHeaderTitle(hasDocument, fileName));
    titleButton->setToolTip(withoutPdfExtension(fileName));
    titleButton->setAccessibleName(singleHeaderTitleLabel(hasDocument, fileName));
    titleButton->setEnabled(hasFile);
    if (!m_pane->controller()->isEditing())
        renameField->letGoOfKeys();
    m_titleStack->setCurrentWidget(m_pane->controller()->isEditing() ? static_cast<QWidget *>(renameField) : titleButton);
    // Not while the header is hidden in the comparison layout: the hidden
    // field would take the keys from the split header's own.
    if (m_pane->controller()->isEditing() && m_pane->controller()->filenameFocused() && renameField->isVisible())
        renameField->setFocus(Qt::OtherFocusReason);

    refreshHeaderControls(m_pane, {renameButton, moveButton, revealButton, externalButton, trashButton, closeButton,
                                   reflowButton, searchButton, outlineButton, notesButton, scholarButton, radioButton});
    const bool reflow = m_pane->controller()->reflowMode();
    reflowButton->setHelpAndLabel(withShortcut(reflow ? kReflowHelpOn : kReflowHelpOff, "Ctrl+Shift+R"),
                                  reflow ? QStringLiteral("关闭重排，返回原版 PDF") : QStringLiteral("开启 PDF 文字重排"));
    const bool playing = paneRadioPlays(m_pane);
    radioButton->setTinted(playing);
    const QString radioText = playing ? QStringLiteral("停止广播") : QStringLiteral("播放广播");
    radioButton->setHelpAndLabel(radioText, radioText);
    update();
}

void SingleHeader::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(248, 248, 250, 235));
    painter.fillRect(QRect(0, height() - 1, width(), 1), QColor(0, 0, 0, 20));
    if (!m_pane)
        return;
    const model::SharedPDFViewModel *model = m_pane->viewModel();
    if (model->pageCount() <= 0)
        return;
    QColor accent = accentColor();
    accent.setAlphaF(0.4);
    const double fraction = readingProgress(model->currentPageIndex(), model->pageCount());
    painter.fillRect(QRectF(0, height() - 1, width() * fraction, 1), accent);
}

} // namespace folvan::window
