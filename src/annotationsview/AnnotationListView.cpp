#include "annotationsview/AnnotationListView.h"

#include <QCursor>
#include <QEvent>
#include <QHash>
#include <QHelpEvent>
#include <QLabel>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollArea>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <QToolTip>
#include <QVBoxLayout>

#include <utility>

#include "annotations/PaneAnnotations.h"
#include "annotations/ReadingAids.h"
#include "annotationsview/AnnotationEditor.h"
#include "annotationsview/PopupPlacement.h"
#include "annotationsview/ViewStyle.h"
#include "model/ReadingLocation.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"

namespace folvan::annotationsview {

namespace {

// The annotations of a model's pane; null without a model or annotations.
annotations::PaneAnnotations *annotationsOf(const SharedPDFViewModel *model)
{
    return model ? annotations::PaneAnnotations::of(*model) : nullptr;
}

// The listed annotations of a model's pane; none without annotations.
const std::vector<ReadingAnnotationItem> &itemsOf(const SharedPDFViewModel *model)
{
    static const std::vector<ReadingAnnotationItem> none;
    const annotations::PaneAnnotations *paneAnnotations = annotationsOf(model);
    return paneAnnotations ? paneAnnotations->annotationItems() : none;
}

// What a row shows, as one number: a row whose print is unchanged needs no
// redrawing.
size_t rowPrint(const ReadingAnnotationItem &item)
{
    return qHashMulti(0, item.page, item.quote, item.note, item.color.red, item.color.green, item.color.blue);
}

} // namespace

// ---------------------------------------------------------------- model

AnnotationListModel::AnnotationListModel(SharedPDFViewModel *model, QObject *parent)
    : QAbstractListModel(parent)
    , m_model(model)
{
    setFollowing(true);
}

void AnnotationListModel::setFollowing(bool following)
{
    if (m_following == following || !m_model)
        return;
    m_following = following;
    if (!following) {
        disconnect(m_model, nullptr, this, nullptr);
        if (annotations::PaneAnnotations *paneAnnotations = annotationsOf(m_model))
            disconnect(paneAnnotations, nullptr, this, nullptr);
        return;
    }
    if (annotations::PaneAnnotations *paneAnnotations = annotationsOf(m_model))
        connect(paneAnnotations, &annotations::PaneAnnotations::annotationItemsChanged, this,
                &AnnotationListModel::synchronize);
    // Page labels come from the document.
    connect(m_model, &SharedPDFViewModel::pdfDocumentChanged, this, [this] {
        if (!m_ids.empty())
            emit dataChanged(index(0), index(int(m_ids.size()) - 1));
    });
    synchronize();
}

// The rows the change touched, and only those: the unchanged ends of the
// list stay, the rows between them are removed and inserted, and a kept row
// whose print changed is redrawn.
void AnnotationListModel::synchronize()
{
    const std::vector<ReadingAnnotationItem> &items = itemsOf(m_model);
    const size_t oldCount = m_ids.size();
    const size_t newCount = items.size();
    size_t head = 0;
    while (head < oldCount && head < newCount && m_ids[head] == items[head].id)
        ++head;
    size_t tail = 0;
    while (tail < oldCount - head && tail < newCount - head
           && m_ids[oldCount - 1 - tail] == items[newCount - 1 - tail].id)
        ++tail;

    // Kept rows whose look changed, by their new row.
    std::vector<int> changed;
    std::vector<size_t> prints(newCount);
    for (size_t row = 0; row < newCount; ++row) {
        const bool kept = row < head || row >= newCount - tail;
        if (!kept)
            continue;
        prints[row] = rowPrint(items[row]);
        const size_t oldRow = row < head ? row : row + oldCount - newCount;
        if (prints[row] != m_prints[oldRow])
            changed.push_back(int(row));
    }

    const size_t removed = oldCount - head - tail;
    const size_t inserted = newCount - head - tail;
    if (removed > 0) {
        beginRemoveRows({}, int(head), int(head + removed - 1));
        m_ids.erase(m_ids.begin() + qsizetype(head), m_ids.begin() + qsizetype(head + removed));
        m_prints.erase(m_prints.begin() + qsizetype(head), m_prints.begin() + qsizetype(head + removed));
        endRemoveRows();
    }
    if (inserted > 0) {
        beginInsertRows({}, int(head), int(head + inserted - 1));
        std::vector<QString> ids;
        for (size_t row = head; row < head + inserted; ++row) {
            ids.push_back(items[row].id);
            prints[row] = rowPrint(items[row]);
        }
        m_ids.insert(m_ids.begin() + qsizetype(head), ids.begin(), ids.end());
        m_prints.insert(m_prints.begin() + qsizetype(head), prints.begin() + qsizetype(head),
                        prints.begin() + qsizetype(head + inserted));
        endInsertRows();
    }
    for (int row : changed) {
        m_prints[size_t(row)] = prints[size_t(row)];
        emit dataChanged(index(row), index(row));
    }
}

int AnnotationListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
}

const ReadingAnnotationItem *AnnotationListModel::item(int row) const
{
    if (!m_model || row < 0 || size_t(row) >= m_ids.size())
        return nullptr;
    const auto &items = itemsOf(m_model);
    if (size_t(row) >= items.size() || items[size_t(row)].id != m_ids[size_t(row)])
        return nullptr;
    return &items[size_t(row)];
}

QString AnnotationListModel::pageText(const ReadingAnnotationItem &item) const
{
    const auto document = m_model ? m_model->pdfDocument() : nullptr;
    const QString label = document ? ReadingAids::pageLabel(*document, int(item.page)) : QString::number(item.page + 1);
    return QStringLiteral("第 ") + label + QStringLiteral(" 页");
}

QVariant AnnotationListModel::data(const QModelIndex &index, int role) const
{
    const ReadingAnnotationItem *entry = item(index.row());
    if (!entry)
        return {};
    const QString pageNumber = QString::number(entry->page + 1);
    switch (role) {
    case PageTextRole: return pageText(*entry);
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        QStringList parts{pageText(*entry)};
        for (const QString &text : {entry->quote, entry->note})
            if (!text.isEmpty())
                parts << text;
        return parts.join(QLatin1Char('\n'));
    }
    case EditLabelRole: return QStringLiteral("编辑第 ") + pageNumber + QStringLiteral(" 页的批注");
    case DeleteLabelRole: return QStringLiteral("删除第 ") + pageNumber + QStringLiteral(" 页的批注");
    default: return {};
    }
}

// ---------------------------------------------------------------- rows

namespace {

constexpr int kRowGap = 8;        // between rows
constexpr int kPartGap = 6;       // between the row button and its two image buttons
constexpr int kButtonSize = 24;   // the image buttons
constexpr int kLinePadding = 5;   // above and below the row button's lines
constexpr int kLineGap = 5;       // between its lines
constexpr int kDot = 7;

// A row laid out for one width and one interface size.
struct RowLayout {
    size_t print = 0;
    int width = 0;
    int fontKey = 0;
    QStringList quote, note;
    int height = 0;
};

class RowDelegate : public QStyledItemDelegate {
public:
    RowDelegate(AnnotationListModel *rows, QListView *view)
        : QStyledItemDelegate(view)
        , m_rows(rows)
        , m_view(view)
    {
    }

    // Rows are as wide as the view shows them.
    int rowWidth() const { return std::max(80, m_view->viewport()->width()); }

    static QFont noteFont() { return platform::interfaceFont(platform::InterfaceTextRole::body); }
    static QFont captionFont() { return platform::interfaceFont(platform::InterfaceTextRole::caption); }

    static int textWidth(int rowWidth) { return std::max(40, rowWidth - 2 * (kButtonSize + kPartGap)); }

    const RowLayout &layout(const QModelIndex &index, int width) const
    {
        const ReadingAnnotationItem *item = m_rows->item(index.row());
        static const RowLayout empty;
        if (!item)
            return empty;
        const QFont caption = captionFont();
        const QFont note = noteFont();
        const int fontKey = caption.pointSize() * 1000 + note.pointSize();
        const size_t print = rowPrint(*item);
        RowLayout &entry = m_cache[item->id];
        if (entry.print == print && entry.width == width && entry.fontKey == fontKey && entry.height > 0)
            return entry;
        entry = RowLayout();
        entry.print = print;
        entry.width = width;
        entry.fontKey = fontKey;
        const int room = textWidth(width);
        if (!item->quote.isEmpty())
            entry.quote = cutToLines(item->quote, caption, room, 2);
        if (!item->note.isEmpty())
            entry.note = cutToLines(item->note, note, room, 3);
        const int captionLine = QFontMetrics(caption).lineSpacing();
        int height = kLinePadding + captionLine;
        if (!entry.quote.isEmpty())
            height += kLineGap + int(entry.quote.size()) * captionLine;
        if (!entry.note.isEmpty())
            height += kLineGap + int(entry.note.size()) * QFontMetrics(note).lineSpacing();
        height += kLinePadding;
        entry.height = std::max(height, kButtonSize) + kRowGap;
        return entry;
    }

    void forget() { m_cache.clear(); }

    // A part's place in a row's rectangle.
    static QRect partRect(const QRect &row, AnnotationListView::Part part)
    {
        const QRect body = row.adjusted(0, kRowGap / 2, 0, -kRowGap / 2);
        const int right = body.right() + 1;
        switch (part) {
        case AnnotationListView::Part::remove:
            return {right - kButtonSize, body.top(), kButtonSize, kButtonSize};
        case AnnotationListView::Part::edit:
            return {right - 2 * kButtonSize - kPartGap, body.top(), kButtonSize, kButtonSize};
        case AnnotationListView::Part::row:
            break;
        }
        return {body.left(), body.top(), textWidth(row.width()), body.height()};
    }

    static std::optional<AnnotationListView::Part> partAt(const QRect &row, const QPoint &point)
    {
        for (auto part : {AnnotationListView::Part::row, AnnotationListView::Part::edit, AnnotationListView::Part::remove})
            if (partRect(row, part).contains(point))
                return part;
        return std::nullopt;
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        Q_UNUSED(option);
        const int width = rowWidth();
        return {width, layout(index, width).height};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const ReadingAnnotationItem *item = m_rows->item(index.row());
        if (!item)
            return;
        const RowLayout &rows = layout(index, rowWidth());
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRect button = partRect(option.rect, AnnotationListView::Part::row);
        if (option.state & QStyle::State_MouseOver) {
            const QPoint pointer = m_view->viewport()->mapFromGlobal(QCursor::pos());
            const auto part = partAt(option.rect, pointer);
            const QRect lit = part ? partRect(option.rect, *part) : QRect();
            if (!lit.isEmpty()) {
                painter->setPen(Qt::NoPen);
                painter->setBrush(QColor(0, 0, 0, 12));
                painter->drawRoundedRect(QRectF(lit), 6, 6);
            }
        }
        const QFont caption = captionFont();
        const QFontMetrics captionMetrics(caption);
        const QColor secondary = secondaryTextColor();
        int y = button.top() + kLinePadding;
        // The header: the colour dot and the page.
        const int line = captionMetrics.lineSpacing();
        painter->setPen(Qt::NoPen);
        painter->setBrush(widgetColor(item->color, true));
        painter->drawEllipse(QRectF(button.left() + 1, y + (line - kDot) / 2.0, kDot, kDot));
        painter->setFont(caption);
        painter->setPen(secondary);
        const int textLeft = button.left() + kDot + 7;
        painter->drawText(QRect(textLeft, y, button.right() - textLeft, line), Qt::AlignLeft | Qt::AlignVCenter,
                          captionMetrics.elidedText(m_rows->pageText(*item), Qt::ElideRight, button.right() - textLeft));
        y += line;
        const auto drawLines = [&](const QStringList &lines, const QFont &font, const QColor &color) {
            if (lines.isEmpty())
                return;
            y += kLineGap;
            const int spacing = QFontMetrics(font).lineSpacing();
            painter->setFont(font);
            painter->setPen(color);
            for (const QString &text : lines) {
                painter->drawText(QRect(button.left(), y, button.width(), spacing), Qt::AlignLeft | Qt::AlignVCenter,
                                  text);
                y += spacing;
            }
        };
        drawLines(rows.quote, caption, secondary);
        drawLines(rows.note, noteFont(), option.palette.color(QPalette::WindowText));
        for (auto [part, symbol] : {std::pair{AnnotationListView::Part::edit, "square.and.pencil"},
                                    std::pair{AnnotationListView::Part::remove, "minus.circle"}}) {
            const QRect place = partRect(option.rect, part);
            platform::symbolIcon(QLatin1String(symbol)).paint(painter, place.adjusted(4, 4, -4, -4));
        }
        painter->restore();
    }

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        const auto part = partAt(option.rect, event->pos());
        if (event->type() != QEvent::ToolTip || !part || *part == AnnotationListView::Part::row)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QToolTip::showText(event->globalPos(),
                           *part == AnnotationListView::Part::edit ? QStringLiteral("编辑批注与颜色")
                                                                   : QStringLiteral("删除批注，可撤销"),
                           view, partRect(option.rect, *part));
        return true;
    }

private:
    AnnotationListModel *m_rows;
    QListView *m_view;
    mutable QHash<QString, RowLayout> m_cache;
};

// The item view: a press and release on the same part of the same row
// acts on it; the pointer lights the part under it. It scrolls its own
// rows and is as tall as they are while they are few, at most as tall as
// the scroll area holding it shows, so that scrolled there it stands
// whole: only the rows that fit that height are laid out to find it.
class RowsView : public QListView {
public:
    RowsView(std::function<void(int, AnnotationListView::Part)> act, QWidget *parent)
        : QListView(parent)
        , m_act(std::move(act))
    {
        setMouseTracking(true);
        setSelectionMode(QAbstractItemView::NoSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
        setResizeMode(QListView::Adjust);
        // Rows beyond the first screens are laid out after the list shows.
        setLayoutMode(QListView::Batched);
        setBatchSize(60);
        setFrameShape(QFrame::NoFrame);
        viewport()->setAutoFillBackground(false);
        setAttribute(Qt::WA_Hover);
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        const int room = std::max(kButtonSize + kRowGap, roomHeight());
        if (width == m_heightWidth && room == m_heightRoom && m_height >= 0)
            return m_height;
        const auto *delegate = static_cast<RowDelegate *>(itemDelegate());
        const QAbstractItemModel *rows = model();
        int height = 2 * frameWidth();
        const int rowWidth = std::max(80, width - 2 * frameWidth());
        if (delegate && rows) {
            for (int row = 0, count = rows->rowCount(); row < count && height < room; ++row)
                height += delegate->layout(rows->index(row, 0), rowWidth).height;
        }
        m_heightWidth = width;
        m_heightRoom = room;
        m_height = std::min(height, room);
        return m_height;
    }
    QSize sizeHint() const override { return {300, heightForWidth(width() > 0 ? width() : 300)}; }
    QSize minimumSizeHint() const override { return {80, 0}; }
    // The rows or their fonts changed.
    void rowsChanged()
    {
        m_height = -1;
        updateGeometry();
    }

    std::optional<AnnotationListView::Part> partAt(const QPoint &point, int *row) const
    {
        const QModelIndex index = indexAt(point);
        if (!index.isValid())
            return std::nullopt;
        *row = index.row();
        return RowDelegate::partAt(visualRect(index), point);
    }

protected:
    // A new height of the holder's view gives the list a new height.
    void showEvent(QShowEvent *event) override
    {
        QListView::showEvent(event);
        QAbstractScrollArea *area = holder();
        QWidget *watched = area ? area->viewport() : window();
        if (watched != m_watched) {
            if (m_watched)
                m_watched->removeEventFilter(this);
            m_watched = watched;
            watched->installEventFilter(this);
            rowsChanged();
        }
    }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (object == m_watched && event->type() == QEvent::Resize
            && static_cast<QResizeEvent *>(event)->size().height() != static_cast<QResizeEvent *>(event)->oldSize().height())
            rowsChanged();
        return QListView::eventFilter(object, event);
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        QListView::mousePressEvent(event);
        m_pressed = event->button() == Qt::LeftButton ? partAt(event->position().toPoint(), &m_pressedRow) : std::nullopt;
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QListView::mouseReleaseEvent(event);
        int row = -1;
        const auto part = event->button() == Qt::LeftButton ? partAt(event->position().toPoint(), &row) : std::nullopt;
        const auto pressed = std::exchange(m_pressed, std::nullopt);
        if (part && part == pressed && row == m_pressedRow)
            m_act(row, *part);
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        QListView::mouseMoveEvent(event);
        int row = -1;
        const auto part = partAt(event->position().toPoint(), &row);
        viewport()->setCursor(part == AnnotationListView::Part::row ? Qt::PointingHandCursor : Qt::ArrowCursor);
        viewport()->update();
    }

private:
    std::function<void(int, AnnotationListView::Part)> m_act;
    std::optional<AnnotationListView::Part> m_pressed;
    int m_pressedRow = -1;
    // The height the list may take: what the scroll area holding it
    // shows, else its window's height.
    QAbstractScrollArea *holder() const
    {
        for (QWidget *widget = parentWidget(); widget; widget = widget->parentWidget())
            if (auto *area = qobject_cast<QAbstractScrollArea *>(widget))
                return area;
        return nullptr;
    }
    int roomHeight() const
    {
        if (QAbstractScrollArea *area = holder())
            return area->viewport()->height();
        return window()->height();
    }

    mutable int m_heightWidth = -1;
    mutable int m_heightRoom = -1;
    mutable int m_height = -1;
    QPointer<QWidget> m_watched;
};

RowDelegate *delegateOf(const QListView *view)
{
    return static_cast<RowDelegate *>(view->itemDelegate());
}

} // namespace

// ---------------------------------------------------------------- list

AnnotationListView::AnnotationListView(SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_dismiss(std::move(dismiss))
    , m_rows(new AnnotationListModel(model, this))
    , m_view(new RowsView([this](int row, Part part) { act(row, part); }, this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_view);
    m_view->setItemDelegate(new RowDelegate(m_rows, m_view));
    m_view->setModel(m_rows);
    platform::useInterfaceFont(m_view, platform::InterfaceTextRole::body);
    auto *rows = static_cast<RowsView *>(m_view);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_rows, signal, this, [rows] { rows->rowsChanged(); });
    connect(m_rows, &QAbstractItemModel::dataChanged, this, [rows] { rows->rowsChanged(); });
    connect(m_rows, &QAbstractItemModel::modelReset, this, [rows] { rows->rowsChanged(); });
    // A new interface size lays every row out again in its new fonts.
    platform::onInterfaceTextSizeChange(this, [this, rows] {
        delegateOf(m_view)->forget();
        rows->rowsChanged();
        m_view->doItemsLayout();
        m_view->viewport()->update();
    });
}

AnnotationListView::~AnnotationListView()
{
    delete m_popover.data();
}

// Off screen, the list follows nothing; back on screen, it catches up.
void AnnotationListView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_rows->setFollowing(true);
}

void AnnotationListView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_rows->setFollowing(false);
}

int AnnotationListView::rowCount() const
{
    return m_rows->rowCount();
}

QRect AnnotationListView::partRect(int row, Part part) const
{
    const QModelIndex index = m_rows->index(row);
    if (!index.isValid())
        return {};
    return RowDelegate::partRect(m_view->visualRect(index), part);
}

QStringList AnnotationListView::rowLines(int row) const
{
    const QModelIndex index = m_rows->index(row);
    const ReadingAnnotationItem *item = m_rows->item(row);
    if (!item)
        return {};
    const RowLayout &layout = delegateOf(m_view)->layout(index, delegateOf(m_view)->rowWidth());
    return QStringList{m_rows->pageText(*item)} + layout.quote + layout.note;
}

void AnnotationListView::act(int row, Part part)
{
    const ReadingAnnotationItem *item = m_rows->item(row);
    if (!item)
        return;
    switch (part) {
    case Part::row: return jump(*item);
    case Part::edit: return edit(*item);
    case Part::remove:
        if (annotations::PaneAnnotations *paneAnnotations = annotationsOf(m_model))
            paneAnnotations->deleteAnnotation(item->id);
        return;
    }
}

void AnnotationListView::jump(const ReadingAnnotationItem &item)
{
    if (!m_model)
        return;
    const QRectF first = item.rectangles.empty() ? QRectF() : item.rectangles.front();
    ReadingLocation location;
    location.page = item.page;
    // The upper left corner in page space (y up).
    location.point = QPointF(std::min(first.left(), first.right()), std::max(first.top(), first.bottom()));
    m_model->navigate(location, true);
    if (m_dismiss)
        m_dismiss();
}

AnnotationEditor *AnnotationListView::editor() const
{
    return m_popover ? m_popover->findChild<AnnotationEditor *>() : nullptr;
}

// The editor opens in a popover on the list, built for a copy of the item:
// what it saves goes to the id it was opened on.
void AnnotationListView::edit(const ReadingAnnotationItem &item)
{
    closeEditor();
    m_editing = item;
    auto *popover = new QFrame(nullptr, Qt::Popup);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(popover);
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<AnnotationListView> self(this);
    const QString id = item.id;
    layout->addWidget(new AnnotationEditor(
        item, item.note,
        [self, id](const QString &note, std::optional<MarkupColor> color) {
            if (!self)
                return;
            if (annotations::PaneAnnotations *paneAnnotations = annotationsOf(self->m_model))
                paneAnnotations->editAnnotation(id, note, color);
            self->closeEditor();
        },
        [self] {
            if (self)
                self->closeEditor();
        },
        popover));
    // Closed by a click outside: nothing changes.
    connect(popover, &QObject::destroyed, this, [self, opened = ++m_editorsOpened] {
        if (self && self->m_editorsOpened == opened)
            self->m_editing.reset();
    });
    m_popover = popover;
    popover->adjustSize();
    placePopup(popover, this, rect(), PopupSide::below);
    popover->show();
    if (AnnotationEditor *form = editor())
        form->noteEditor()->setFocus(Qt::PopupFocusReason);
}

void AnnotationListView::closeEditor()
{
    m_editing.reset();
    if (m_popover)
        m_popover->close();
}

// ---------------------------------------------------------------- section

AnnotationSection::AnnotationSection(SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_header(new QLabel(this))
    , m_list(new AnnotationListView(model, std::move(dismiss), this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setStyleSheet(QStringLiteral("color: rgba(0, 0, 0, 30);"));
    column->addSpacing(6);
    column->addWidget(divider);
    column->addSpacing(6);
    platform::useInterfaceFont(m_header, platform::InterfaceTextRole::headline);
    column->addWidget(m_header);
    column->addSpacing(6);
    // The list takes the height it asks for, or what is left, and
    // scrolls its rows itself.
    column->addWidget(m_list, 1);
    if (annotations::PaneAnnotations *paneAnnotations = annotationsOf(model))
        connect(paneAnnotations, &annotations::PaneAnnotations::annotationItemsChanged, this,
                &AnnotationSection::refresh);
    refresh();
}

void AnnotationSection::refresh()
{
    const size_t count = itemsOf(m_model).size();
    m_header->setText(QStringLiteral("阅读批注 · %1").arg(count));
    setVisible(count > 0);
}

} // namespace folvan::annotationsview
