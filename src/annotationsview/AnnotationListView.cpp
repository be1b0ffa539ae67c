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
annotations::PaneAnnotations *annotationsOf(const model::SharedPDFViewModel *model)
{
    return model ? annotations::PaneAnnotations::of(*model) : nullptr;
}

// The listed annotations of a model's pane; none without annotations.
const std::vector<annotations::ReadingAnnotationItem> &itemsOf(const model::SharedPDFViewModel *model)
{
    static const std::vector<annotations::ReadingAnnotationItem> none;
    const annotations::PaneAnnotations *paneAnnotations = annotationsOf(model);
    return paneAnnotations ? paneAnnotations->annotationItems() : none;
}

// What a row shows, as one number: a row whose print is unchanged needs no
// redrawing.
size_t rowPrint(const annotations::ReadingAnnotationItem &item)
{
    return qHashMulti(0, item.page, item.quote, item.note, item.color.red, item.color.green, item.color.blue);
}

} // namespace

// ---------------------------------------------------------------- model

AnnotationListModel::AnnotationListModel(model::SharedPDFViewModel *model, QObject *parent)
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
    connect(m_model, &model::SharedPDFViewModel::pdfDocumentChanged, this, [this] {
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
    const std::vector<annotations::ReadingAnnotationItem> &items = itemsOf(m_model);
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

const annotations::ReadingAnnotationItem *AnnotationListModel::item(int row) const
{
    if (!m_model || row < 0 || size_t(row) >= m_ids.size())
        return nullptr;
    const auto &items = itemsOf(m_model);
    if (size_t(row) >= items.size() || items[size_t(row)].id != m_ids[size_t(row)])
        return nullptr;
    return &items[size_t(row)];
}

size_t AnnotationListModel::print(int row) const
{
    // Kept for each row while following; read afresh otherwise.
    if (m_following && row >= 0 && size_t(row) < m_prints.size())
        return m_prints[size_t(row)];
    const annotations::ReadingAnnotationItem *entry = item(row);
    return entry ? rowPrint(*entry) : 0;
}

QString AnnotationListModel::pageText(const annotations::ReadingAnnotationItem &item) const
{
    const auto document = m_model ? m_model->pdfDocument() : nullptr;
    const QString label =
        document ? annotations::pageLabelOrNumber(*document, int(item.page)) : QString::number(item.page + 1);
    return QStringLiteral("第 ") + label + QStringLiteral(" 页");
}

QVariant AnnotationListModel::data(const QModelIndex &index, int role) const
{
    const annotations::ReadingAnnotationItem *entry = item(index.row());
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

// The widths of one font's characters, each asked of the font once.
class CharacterWidths {
public:
    explicit CharacterWidths(const QFont &font) : m_metrics(font) {}

    // The width of `text` on one line from its characters' own widths:
    // within a few per cent of the text's shaped width (kerning, ligatures)
    // where no character takes its form from its neighbours; none where one
    // may (joining and combining scripts, characters beyond the basic
    // plane).
    std::optional<qreal> of(QStringView text)
    {
        qreal width = 0;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if ((u >= 0x0590 && u < 0x1E00) || (u >= 0xD800 && u < 0xE000) || (u >= 0xFB1D && u < 0xFE00)
                || (u >= 0xFE70 && u < 0xFF00))
                return std::nullopt;
            auto known = m_widths.constFind(u);
            if (known == m_widths.cend())
                known = m_widths.insert(u, m_metrics.horizontalAdvance(c));
            width += *known;
        }
        return width;
    }

private:
    QFontMetricsF m_metrics;
    QHash<char16_t, qreal> m_widths;
};

// A paragraph's width on one line, and how far the true width may lie
// from it either way.
struct ParagraphWidth {
    qreal width = 0;
    qreal slack = 0;
};

// The paragraphs of a text as its lines break them, each with its width on
// one line (spaces at its end hang past the line and are left out); none
// for a text with characters that break or space lines in other ways (a
// tab, another separator) or take their form from their neighbours: that
// text is laid out to count its lines.
std::optional<std::vector<ParagraphWidth>> paragraphWidths(const QString &text, CharacterWidths &characters)
{
    for (const QChar c : text)
        if ((c.unicode() < 0x20 && c != QLatin1Char('\n')) || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return std::nullopt;
    std::vector<ParagraphWidth> widths;
    for (QStringView paragraph : QStringView(text).split(u'\n')) {
        while (paragraph.endsWith(u' '))
            paragraph.chop(1);
        const std::optional<qreal> width = characters.of(paragraph);
        if (!width)
            return std::nullopt;
        widths.push_back({*width, *width * 0.03 + 1});
    }
    return widths;
}

// The lines, at most `maxLines`, that a text takes at `width`, as
// cutToLines cuts it. Told by the widths of its paragraphs where they
// tell it (each fits on its line, or enough of them wrap to reach the
// limit), else by laying the text out.
int lineCount(const QString &text, const std::optional<std::vector<ParagraphWidth>> &widths, const QFont &font,
              int width, int maxLines)
{
    if (text.isEmpty())
        return 0;
    if (widths) {
        int least = 0;
        bool exact = true;
        for (const ParagraphWidth &paragraph : *widths) {
            // A pixel either side of the width is left to the layout.
            if (paragraph.width - paragraph.slack > width + 1) {
                least += 2;
                exact = false;
            } else {
                least += 1;
                exact = exact && paragraph.width + paragraph.slack <= width - 1;
            }
        }
        if (least >= maxLines)
            return maxLines;
        if (exact)
            return least;
    }
    return int(cutToLines(text, font, width, maxLines).size());
}

constexpr int kQuoteLines = 2;
constexpr int kNoteLines = 3;

// What the list knows of a row, at the interface size of the moment: the
// widths of its texts' paragraphs; for one width, how many lines each text
// takes and the row's height; and, for a row that was drawn, its lines as
// drawn.
struct RowLayout {
    size_t print = 0;
    std::optional<std::vector<ParagraphWidth>> quoteWidths, noteWidths;
    int width = 0;
    int quoteLines = 0, noteLines = 0;
    int height = 0;
    int cutWidth = 0;
    QStringList quote, note;
};

class RowDelegate : public QStyledItemDelegate {
public:
    RowDelegate(AnnotationListModel *rows, QListView *view)
        : QStyledItemDelegate(view)
        , m_rows(rows)
        , m_view(view)
    {
        forget();
    }

    // Rows are as wide as the view shows them.
    int rowWidth() const { return rowWidth(m_view->viewport()->width()); }
    static int rowWidth(int viewWidth) { return std::max(80, viewWidth); }

    static QFont noteFont() { return platform::interfaceFont(platform::InterfaceTextRole::body); }
    static QFont captionFont() { return platform::interfaceFont(platform::InterfaceTextRole::caption); }

    static int textWidth(int rowWidth) { return std::max(40, rowWidth - 2 * (kButtonSize + kPartGap)); }

    // The row's height at `width`, its texts measured but not laid out.
    int height(int row, int width) const
    {
        const RowLayout *entry = measured(row, width);
        return entry ? entry->height : 0;
    }

    // The row's lines as drawn at `width`.
    const RowLayout *cut(int row, int width) const
    {
        RowLayout *entry = measured(row, width);
        const annotations::ReadingAnnotationItem *item = m_rows->item(row);
        if (!entry || !item || entry->cutWidth == width)
            return entry;
        const int room = textWidth(width);
        entry->quote = cutToLines(item->quote, m_fonts->caption, room, entry->quoteLines);
        entry->note = cutToLines(item->note, m_fonts->note, room, entry->noteLines);
        entry->cutWidth = width;
        return entry;
    }

    // The interface size changed, or the rows are to be measured afresh.
    void forget()
    {
        m_cache.clear();
        m_fonts.emplace(captionFont(), noteFont());
    }

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
        return {width, height(index.row(), width)};
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const annotations::ReadingAnnotationItem *item = m_rows->item(index.row());
        if (!item)
            return;
        const RowLayout *rows = cut(index.row(), rowWidth());
        if (!rows)
            return;
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
        drawLines(rows->quote, caption, secondary);
        drawLines(rows->note, noteFont(), option.palette.color(QPalette::WindowText));
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
    // The row's entry with its line counts and height at `width`; null for
    // a row out of range.
    RowLayout *measured(int row, int width) const
    {
        const annotations::ReadingAnnotationItem *item = m_rows->item(row);
        if (!item)
            return nullptr;
        const size_t print = m_rows->print(row);
        RowLayout &entry = m_cache[item->id];
        if (entry.print != print || entry.height <= 0) {
            entry = RowLayout();
            entry.print = print;
            if (!item->quote.isEmpty())
                entry.quoteWidths = paragraphWidths(item->quote, m_fonts->captionWidths);
            if (!item->note.isEmpty())
                entry.noteWidths = paragraphWidths(item->note, m_fonts->noteWidths);
        } else if (entry.width == width) {
            return &entry;
        }
        const int room = textWidth(width);
        entry.width = width;
        entry.cutWidth = 0;
        entry.quoteLines = lineCount(item->quote, entry.quoteWidths, m_fonts->caption, room, kQuoteLines);
        entry.noteLines = lineCount(item->note, entry.noteWidths, m_fonts->note, room, kNoteLines);
        const int captionLine = m_fonts->captionLine;
        int height = kLinePadding + captionLine;
        if (entry.quoteLines > 0)
            height += kLineGap + entry.quoteLines * captionLine;
        if (entry.noteLines > 0)
            height += kLineGap + entry.noteLines * m_fonts->noteLine;
        height += kLinePadding;
        entry.height = std::max(height, kButtonSize) + kRowGap;
        return &entry;
    }

    // The fonts of the rows' texts at the interface size of the moment.
    struct Fonts {
        Fonts(const QFont &caption, const QFont &note)
            : caption(caption), note(note), captionWidths(caption), noteWidths(note),
              captionLine(QFontMetrics(caption).lineSpacing()), noteLine(QFontMetrics(note).lineSpacing())
        {
        }
        QFont caption, note;
        CharacterWidths captionWidths, noteWidths;
        int captionLine, noteLine;
    };

    AnnotationListModel *m_rows;
    QListView *m_view;
    mutable std::optional<Fonts> m_fonts;
    mutable QHash<QString, RowLayout> m_cache;
};

// The item view: a press and release on the same part of the same row
// acts on it; the pointer lights the part under it. It has no scroll of its
// own: it is as tall as all its rows, and the scrolling content that holds
// it (the library panel's) scrolls them. Its height comes from the rows'
// measured texts; only the rows drawn are laid out line by line.
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
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // Not fixed: a fixed height is the size hint's, taken at whatever
        // width, where the height for the width given is wanted.
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
        setResizeMode(QListView::Adjust);
        setFrameShape(QFrame::NoFrame);
        viewport()->setAutoFillBackground(false);
        setAttribute(Qt::WA_Hover);
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        // The layouts ask at a few widths in turn: each keeps its answer
        // until the rows change.
        for (const auto &[asked, height] : m_heights)
            if (asked == width)
                return height;
        const auto *delegate = static_cast<RowDelegate *>(itemDelegate());
        const QAbstractItemModel *rows = model();
        int height = 2 * frameWidth();
        const int rowWidth = RowDelegate::rowWidth(width - 2 * frameWidth());
        if (delegate && rows) {
            for (int row = 0, count = rows->rowCount(); row < count; ++row)
                height += delegate->height(row, rowWidth);
        }
        if (m_heights.size() >= 4)
            m_heights.erase(m_heights.begin());
        m_heights.emplace_back(width, height);
        return height;
    }
    // At the width the layout last gave it.
    QSize sizeHint() const override
    {
        const int shown = width() > 0 && testAttribute(Qt::WA_Resized) ? width() : 300;
        return {300, heightForWidth(m_heights.empty() ? shown : m_heights.back().first)};
    }
    QSize minimumSizeHint() const override { return {80, 0}; }
    // The rows or their fonts changed.
    void rowsChanged()
    {
        m_heights.clear();
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
    mutable std::vector<std::pair<int, int>> m_heights;
};

RowDelegate *delegateOf(const QListView *view)
{
    return static_cast<RowDelegate *>(view->itemDelegate());
}

} // namespace

// ---------------------------------------------------------------- list

AnnotationListView::AnnotationListView(model::SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent)
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
    const annotations::ReadingAnnotationItem *item = m_rows->item(row);
    const RowLayout *layout = delegateOf(m_view)->cut(row, delegateOf(m_view)->rowWidth());
    if (!item || !layout)
        return {};
    return QStringList{m_rows->pageText(*item)} + layout->quote + layout->note;
}

void AnnotationListView::act(int row, Part part)
{
    const annotations::ReadingAnnotationItem *item = m_rows->item(row);
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

void AnnotationListView::jump(const annotations::ReadingAnnotationItem &item)
{
    if (!m_model)
        return;
    const QRectF first = item.rectangles.empty() ? QRectF() : item.rectangles.front();
    model::ReadingLocation location;
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
void AnnotationListView::edit(const annotations::ReadingAnnotationItem &item)
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
        [self, id](const QString &note, std::optional<annotations::MarkupColor> color) {
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

AnnotationSection::AnnotationSection(model::SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent)
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
    // The list is as tall as its rows: the host's content scrolls them.
    column->addWidget(m_list);
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
