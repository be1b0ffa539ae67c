#include "dock/ReaderLibraryPanel.h"

#include <QAbstractButton>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>

#include "annotations/PaneAnnotations.h"
#include "annotations/ReadingMarkup.h"
#include "annotationsview/AnnotationListView.h"
#include "annotationsview/ViewStyle.h"
#include "dock/PanelParts.h"
#include "dock/ReaderControlButtonStyle.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Desktop.h"
#include "platform/InterfaceFont.h"
#include "platform/ShownText.h"

namespace folvan::dock {

namespace {

constexpr int kWidth = 310;
constexpr int kPadding = 20;

// The parts of a bookmark row, kept by their object names.
const char *const kRowName = "bookmarkRow";
const char *const kPageName = "bookmarkPage";
const char *const kTitleName = "bookmarkTitle";
const char *const kRemoveName = "bookmarkRemove";

QString shortcutText(QKeyCombination key)
{
    return QKeySequence(key).toString(QKeySequence::NativeText);
}

// A bookmark row's face: no chrome of its own, only the labels it holds,
// with a faint backdrop under the pointer.
class PlainRowButton : public QAbstractButton {
public:
    explicit PlainRowButton(QWidget *parent)
        : QAbstractButton(parent)
    {
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override { return layout() ? layout()->sizeHint() : QSize(); }
    QSize minimumSizeHint() const override { return layout() ? layout()->minimumSize() : QSize(); }
    // The title's second line takes its room.
    bool hasHeightForWidth() const override { return layout() && layout()->hasHeightForWidth(); }
    int heightForWidth(int width) const override { return layout() ? layout()->totalHeightForWidth(width) : -1; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!underMouse() && !isDown())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, isDown() ? 22 : 10));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
};

// Two buttons in a row `room` pixels wide, the first at its start and the
// second at its end; one under the other, both at the start, where the two
// would not fit side by side whole (a large text size).
class FittingPair : public QWidget {
public:
    static constexpr int kGap = 8;

    FittingPair(QWidget *first, QWidget *second, int room, QWidget *parent)
        : QWidget(parent), m_first(first), m_second(second), m_room(room)
    {
        first->setParent(this);
        second->setParent(this);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    bool sideBySide() const
    {
        return m_first->sizeHint().width() + kGap + m_second->sizeHint().width() <= m_room;
    }
    QSize sizeHint() const override
    {
        const QSize first = m_first->sizeHint();
        const QSize second = m_second->sizeHint();
        if (sideBySide())
            return {first.width() + kGap + second.width(), std::max(first.height(), second.height())};
        return {std::min(std::max(first.width(), second.width()), m_room), first.height() + kGap + second.height()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool event(QEvent *event) override
    {
        // A button's size changed (its font, its style).
        if (event->type() == QEvent::LayoutRequest) {
            updateGeometry();
            place();
        }
        return QWidget::event(event);
    }
    void resizeEvent(QResizeEvent *) override { place(); }

private:
    void place()
    {
        const QSize first = m_first->sizeHint();
        const QSize second = m_second->sizeHint();
        if (sideBySide()) {
            const int row = std::max(first.height(), second.height());
            m_first->setGeometry(0, (row - first.height()) / 2, first.width(), first.height());
            m_second->setGeometry(width() - second.width(), (row - second.height()) / 2, second.width(),
                                  second.height());
        } else {
            m_first->setGeometry(0, 0, std::min(first.width(), width()), first.height());
            m_second->setGeometry(0, first.height() + kGap, std::min(second.width(), width()), second.height());
        }
    }

    QWidget *m_first;
    QWidget *m_second;
    int m_room;
};

} // namespace

int ReaderLibraryPanel::listHeight(int contentHeight)
{
    return std::clamp(contentHeight, 44, 260);
}

int ReaderLibraryPanel::listHeight() const
{
    QWidget *content = m_list->widget();
    // The list spans the panel's padded column; its scroll bar, always
    // shown, takes its own width from the content's.
    const int width = kWidth - 2 * kPadding - 2 * m_list->frameWidth() - m_list->verticalScrollBar()->sizeHint().width();
    int height = content->heightForWidth(width);
    if (height < 0)
        height = content->sizeHint().height();
    return listHeight(height);
}

bool ReaderLibraryPanel::eventFilter(QObject *watched, QEvent *event)
{
    // The list's content changed its layout: a row came or went, a row's
    // text or the text size changed. The list follows its height.
    if (event->type() == QEvent::LayoutRequest && m_list && watched == m_list->widget())
        m_list->setFixedHeight(listHeight());
    return QWidget::eventFilter(watched, event);
}

ReaderLibraryPanel::ReaderLibraryPanel(model::SharedPDFViewModel *viewModel, std::function<void()> dismiss, QWidget *parent)
    : QWidget(parent)
    , m_model(viewModel)
    , m_paneAnnotations(viewModel ? annotations::PaneAnnotations::of(*viewModel) : nullptr)
    , m_dismiss(std::move(dismiss))
{
    platform::useInterfaceFont(this, platform::InterfaceTextRole::body);
    setFixedWidth(kWidth);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    column->setSpacing(12);

    buildHeader(column);
    buildList(column, viewModel);
    buildFooter(column);
    buildErrorLine(column);

    connectControls();
    followModel(viewModel);
    applyControlButtonStyle(this);
    rebuildBookmarks();
    refresh();
}

// The title, back and forward; under them the bookmark of the current page.
void ReaderLibraryPanel::buildHeader(QVBoxLayout *column)
{
    auto *header = new QHBoxLayout;
    auto *title = new QLabel(QStringLiteral("阅读位置"), this);
    platform::useInterfaceFont(title, platform::InterfaceTextRole::headline);
    header->addWidget(title);
    header->addStretch(1);
    m_back = controlButton(QStringLiteral("arrow.backward"), QString(),
                           QStringLiteral("返回（%1）").arg(shortcutText(Qt::CTRL | Qt::Key_BracketLeft)),
                           QStringLiteral("返回阅读位置"), this);
    m_forward = controlButton(QStringLiteral("arrow.forward"), QString(),
                              QStringLiteral("前进（%1）").arg(shortcutText(Qt::CTRL | Qt::Key_BracketRight)),
                              QStringLiteral("前进阅读位置"), this);
    header->addWidget(m_back);
    header->addWidget(m_forward);
    column->addLayout(header);

    m_toggle = controlButton(QString(), QString(), shortcutText(Qt::CTRL | Qt::Key_D), QString(), this);
    column->addWidget(m_toggle, 0, Qt::AlignLeft);
}

// The scrolling list: the bookmarks, then the annotations.
void ReaderLibraryPanel::buildList(QVBoxLayout *column, model::SharedPDFViewModel *viewModel)
{
    m_list = new QScrollArea(this);
    m_list->setWidgetResizable(true);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *content = new QWidget(m_list);
    auto *items = new QVBoxLayout(content);
    items->setContentsMargins(0, 0, 0, 0);
    items->setSpacing(8);
    m_empty = new QLabel(QStringLiteral("用书签保存想再看的位置。"), content);
    m_empty->setWordWrap(true);
    m_empty->setContentsMargins(0, 8, 0, 8);
    platform::useInterfaceFont(m_empty, platform::InterfaceTextRole::caption);
    annotationsview::useSecondaryColor(m_empty);
    items->addWidget(m_empty);
    m_bookmarkRows = new QVBoxLayout;
    m_bookmarkRows->setSpacing(8);
    items->addLayout(m_bookmarkRows);
    m_annotations = new annotationsview::AnnotationSection(viewModel, m_dismiss, content);
    items->addWidget(m_annotations);
    items->addStretch(1);
    m_list->setWidget(content);
    content->installEventFilter(this);
    column->addWidget(m_list);
}

// The footer: undo, redo and copy; the two exports.
void ReaderLibraryPanel::buildFooter(QVBoxLayout *column)
{
    m_footer = new QWidget(this);
    auto *footer = new QVBoxLayout(m_footer);
    footer->setContentsMargins(0, 0, 0, 0);
    footer->setSpacing(12);
    footer->addWidget(panelDivider(m_footer));
    auto *edits = new QHBoxLayout;
    m_undo = controlButton(QStringLiteral("arrow.uturn.backward"), QStringLiteral("撤销"), QString(), QString(), m_footer);
    m_redo = controlButton(QStringLiteral("arrow.uturn.forward"), QStringLiteral("重做"), QString(), QString(), m_footer);
    m_copy = controlButton(QStringLiteral("doc.on.doc"), QString(), QStringLiteral("复制全部批注为 Markdown"),
                           QStringLiteral("复制全部批注"), m_footer);
    edits->addWidget(m_undo);
    edits->addWidget(m_redo);
    edits->addStretch(1);
    edits->addWidget(m_copy);
    footer->addLayout(edits);
    m_exportMarkdown = controlButton(QString(), QStringLiteral("导出 Markdown…"), QString(), QString(), m_footer);
    m_exportPDF = controlButton(QString(), QStringLiteral("导出批注 PDF…"), QString(), QString(), m_footer);
    footer->addWidget(new FittingPair(m_exportMarkdown, m_exportPDF, kWidth - 2 * kPadding, m_footer));
    column->addWidget(m_footer);
}

// The pane's bookmark or annotation error, in red under everything.
void ReaderLibraryPanel::buildErrorLine(QVBoxLayout *column)
{
    m_error = new QLabel(this);
    m_error->setWordWrap(true);
    m_error->setTextFormat(Qt::PlainText);
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    platform::useInterfaceFont(m_error, platform::InterfaceTextRole::caption);
    m_error->setStyleSheet(QStringLiteral("color: rgb(220, 40, 40);"));
    column->addWidget(m_error);
}

// Every control acts on the model; going somewhere closes the panel.
void ReaderLibraryPanel::connectControls()
{
    auto act = [this](auto action) {
        return [this, action] {
            if (m_model)
                action(*m_model);
        };
    };
    auto onAnnotations = [this](auto action) {
        return [this, action] {
            if (m_paneAnnotations)
                action(*m_paneAnnotations);
        };
    };
    auto goThen = [this](std::function<void(model::SharedPDFViewModel &)> go) {
        return [this, go] {
            if (!m_model)
                return;
            go(*m_model);
            if (m_dismiss)
                m_dismiss();
        };
    };
    connect(m_back, &QToolButton::clicked, this, goThen([](model::SharedPDFViewModel &m) { m.returnLocation(false); }));
    connect(m_forward, &QToolButton::clicked, this, goThen([](model::SharedPDFViewModel &m) { m.returnLocation(true); }));
    connect(m_toggle, &QToolButton::clicked, this, act([](model::SharedPDFViewModel &m) { m.toggleBookmark(); }));
    connect(m_undo, &QToolButton::clicked, this, onAnnotations([](annotations::PaneAnnotations &a) {
                a.annotationUndoManager()->undo();
                a.updateAnnotationUndoState();
            }));
    connect(m_redo, &QToolButton::clicked, this, onAnnotations([](annotations::PaneAnnotations &a) {
                a.annotationUndoManager()->redo();
                a.updateAnnotationUndoState();
            }));
    connect(m_copy, &QToolButton::clicked, this, &ReaderLibraryPanel::copySummary);
    connect(m_exportMarkdown, &QToolButton::clicked, this, onAnnotations([](annotations::PaneAnnotations &a) { a.exportAnnotationSummary(); }));
    connect(m_exportPDF, &QToolButton::clicked, this, onAnnotations([](annotations::PaneAnnotations &a) { a.exportAnnotatedPDF(); }));
}

// The panel shows what the model and the pane's annotations publish, while
// it is open.
void ReaderLibraryPanel::followModel(model::SharedPDFViewModel *viewModel)
{
    connect(viewModel, &model::SharedPDFViewModel::bookmarksChanged, this, &ReaderLibraryPanel::rebuildBookmarks);
    for (auto signal : {&model::SharedPDFViewModel::bookmarksChanged, &model::SharedPDFViewModel::currentPageIndexChanged,
                        &model::SharedPDFViewModel::backLocationsChanged, &model::SharedPDFViewModel::forwardLocationsChanged,
                        &model::SharedPDFViewModel::navigationErrorChanged, &model::SharedPDFViewModel::pdfDocumentChanged})
        connect(viewModel, signal, this, &ReaderLibraryPanel::refresh);
    if (m_paneAnnotations) {
        for (auto signal : {&annotations::PaneAnnotations::annotationItemsChanged,
                            &annotations::PaneAnnotations::canUndoAnnotationChanged,
                            &annotations::PaneAnnotations::canRedoAnnotationChanged,
                            &annotations::PaneAnnotations::markupErrorChanged})
            connect(m_paneAnnotations, signal, this, &ReaderLibraryPanel::refresh);
    }
}

void ReaderLibraryPanel::rebuildBookmarks()
{
    // Rows go later: this may run inside a row's own click.
    while (QLayoutItem *item = m_bookmarkRows->takeAt(0)) {
        if (QWidget *row = item->widget()) {
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
    if (!m_model)
        return;
    QWidget *content = m_list->widget();
    for (const model::ReadingBookmark &bookmark : m_model->bookmarks()) {
        auto *row = new QWidget(content);
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 4, 0, 4);
        line->setSpacing(8);

        auto *button = new PlainRowButton(row);
        button->setObjectName(QLatin1String(kRowName));
        auto *face = new QHBoxLayout(button);
        face->setContentsMargins(0, 0, 0, 0);
        const QString pageNumber = QString::number(qint64(bookmark.location.page) + 1);
        auto *page = new QLabel(pageNumber, button);
        page->setObjectName(QLatin1String(kPageName));
        page->setFixedWidth(30);
        page->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        platform::useInterfaceFont(page, platform::InterfaceTextRole::body, std::nullopt, true);
        annotationsview::useSecondaryColor(page);
        face->addWidget(page);
        QLabel *title =
            annotationsview::makeLinesLabel(bookmark.title, platform::InterfaceTextRole::body, 2, false, button);
        title->setObjectName(QLatin1String(kTitleName));
        // Its height follows its width, so that a second line shows.
        QSizePolicy policy = title->sizePolicy();
        policy.setHeightForWidth(true);
        title->setSizePolicy(policy);
        face->addWidget(title, 1);
        for (QLabel *label : button->findChildren<QLabel *>())
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
        button->setAccessibleName(QStringLiteral("第 ") + pageNumber + QStringLiteral(" 页：")
                                  + platform::rowText(bookmark.title, 2));
        connect(button, &QAbstractButton::clicked, this, [this, location = bookmark.location] {
            if (!m_model)
                return;
            m_model->navigate(location, true);
            if (m_dismiss)
                m_dismiss();
        });
        line->addWidget(button, 1);

        QToolButton *remove = controlButton(QStringLiteral("minus.circle"), QString(), QStringLiteral("移除此书签"),
                                            QStringLiteral("移除第 ") + pageNumber + QStringLiteral(" 页的书签"), row);
        remove->setObjectName(QLatin1String(kRemoveName));
        connect(remove, &QToolButton::clicked, this, [this, id = bookmark.id] {
            if (m_model)
                m_model->removeBookmark(id);
        });
        line->addWidget(remove);
        m_bookmarkRows->addWidget(row);
    }
}

void ReaderLibraryPanel::refresh()
{
    if (!m_model)
        return;
    const model::SharedPDFViewModel &model = *m_model;
    m_back->setEnabled(!model.backLocations().empty());
    m_forward->setEnabled(!model.forwardLocations().empty());
    const bool marked = std::any_of(model.bookmarks().begin(), model.bookmarks().end(), [&](const model::ReadingBookmark &b) {
        return b.location.page == model.currentPageIndex();
    });
    m_toggle->setText(marked ? QStringLiteral("移除此页书签") : QStringLiteral("添加此页书签"));
    m_empty->setVisible(model.bookmarks().empty());
    m_list->setFixedHeight(listHeight());

    const annotations::PaneAnnotations *paneAnnotations = m_paneAnnotations;
    const bool annotated = paneAnnotations && !paneAnnotations->annotationItems().empty();
    const bool canUndo = paneAnnotations && paneAnnotations->canUndoAnnotation();
    const bool canRedo = paneAnnotations && paneAnnotations->canRedoAnnotation();
    m_footer->setVisible(annotated || canUndo || canRedo);
    m_undo->setEnabled(canUndo);
    m_redo->setEnabled(canRedo);
    m_copy->setEnabled(annotated);
    m_exportMarkdown->setEnabled(annotated);

    const std::optional<QString> markupError = paneAnnotations ? paneAnnotations->markupError() : std::nullopt;
    const std::optional<QString> error = model.navigationError() ? model.navigationError() : markupError;
    m_error->setText(error.value_or(QString()));
    m_error->setVisible(error.has_value());
}

void ReaderLibraryPanel::copySummary()
{
    if (!m_paneAnnotations)
        return;
    if (const std::optional<QString> summary = m_paneAnnotations->annotationSummary())
        platform::setClipboardText(*summary);
}

int ReaderLibraryPanel::bookmarkRowCount() const
{
    return m_bookmarkRows->count();
}

namespace {
template <typename T>
T *rowPart(QVBoxLayout *rows, int row, const char *name)
{
    QLayoutItem *item = row >= 0 && row < rows->count() ? rows->itemAt(row) : nullptr;
    return item && item->widget() ? item->widget()->findChild<T *>(QLatin1String(name)) : nullptr;
}
} // namespace

QAbstractButton *ReaderLibraryPanel::bookmarkRow(int row) const { return rowPart<QAbstractButton>(m_bookmarkRows, row, kRowName); }
QLabel *ReaderLibraryPanel::bookmarkPage(int row) const { return rowPart<QLabel>(m_bookmarkRows, row, kPageName); }
QLabel *ReaderLibraryPanel::bookmarkTitle(int row) const { return rowPart<QLabel>(m_bookmarkRows, row, kTitleName); }
QToolButton *ReaderLibraryPanel::removeButton(int row) const { return rowPart<QToolButton>(m_bookmarkRows, row, kRemoveName); }

} // namespace folvan::dock
