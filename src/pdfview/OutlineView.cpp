#include "pdfview/OutlineView.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include "engine/PdfDocument.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"

namespace folvan::pdfview {

namespace {

using platform::InterfaceTextRole;

QColor secondaryColor(const QWidget *widget, double opacity = 1.0)
{
    QColor color = widget->palette().color(QPalette::PlaceholderText);
    color.setAlphaF(color.alphaF() * opacity);
    return color;
}

void setTextColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QPixmap faded(const QPixmap &pixmap, double opacity)
{
    QPixmap result(pixmap.size());
    result.setDevicePixelRatio(pixmap.devicePixelRatio());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setOpacity(opacity);
    painter.drawPixmap(0, 0, pixmap);
    return result;
}

QLabel *symbolLabel(const QString &name, int size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(platform::symbolIcon(name).pixmap(size, size));
    return label;
}

// A title of at most two lines, as wide as the room it is given: what does
// not fit ends in an ellipsis, and a word longer than a line is broken.
class TwoLineLabel : public QLabel {
public:
    TwoLineLabel(const QString &text, QWidget *parent)
        : QLabel(parent), m_full(text)
    {
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        QLabel::setText(m_full);
    }

    QSize minimumSizeHint() const override { return QSize(0, fontMetrics().lineSpacing()); }
    QSize sizeHint() const override
    {
        return QSize(fontMetrics().averageCharWidth() * 12, QLabel::heightForWidth(std::max(1, width())));
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        refit();
    }
    void changeEvent(QEvent *event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange)
            refit();
    }

private:
    void refit()
    {
        const QString shown = fitted(contentsRect().width());
        if (shown != text())
            QLabel::setText(shown);
    }

    QString fitted(int width) const
    {
        if (width <= 0)
            return m_full;
        QTextLayout layout(m_full, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine first = layout.createLine();
        if (first.isValid())
            first.setLineWidth(width);
        QTextLine second = layout.createLine();
        if (second.isValid())
            second.setLineWidth(width);
        const bool more = second.isValid() && layout.createLine().isValid();
        layout.endLayout();
        if (!second.isValid())
            return m_full;
        const QString head = m_full.mid(first.textStart(), first.textLength()).trimmed();
        const QString rest = m_full.mid(second.textStart());
        if (!more && fontMetrics().horizontalAdvance(rest) <= width)
            return head + QLatin1Char('\n') + rest;
        return head + QLatin1Char('\n') + fontMetrics().elidedText(rest, Qt::ElideRight, width);
    }

    QString m_full;
};

// The pressable part of an entry: its title and page number.
class TitleButton : public QWidget {
public:
    TitleButton(std::function<void()> onPress, QWidget *parent)
        : QWidget(parent), m_onPress(std::move(onPress))
    {
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_onPress)
            m_onPress();
    }

private:
    std::function<void()> m_onPress;
};

} // namespace

// ---------------------------------------------------------------- one entry

OutlineNodeView::OutlineNodeView(engine::PdfOutlineItem node, int level,
                                 std::shared_ptr<engine::PdfDocument> document, SelectPageHandler onSelectPage,
                                 QWidget *parent)
    : QWidget(parent)
    , m_node(std::move(node))
    , m_level(level)
    , m_document(std::move(document))
    , m_onSelectPage(std::move(onSelectPage))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    if (!m_node.title.isEmpty())
        buildRow();
    m_children = new QWidget(this);
    m_childLayout = new QVBoxLayout(m_children);
    m_childLayout->setContentsMargins(0, 0, 0, 0);
    m_childLayout->setSpacing(0);
    column->addWidget(m_children);
    showChildren();
}

std::optional<int> OutlineNodeView::pageIndex() const
{
    if (!m_document || !m_node.destination || !m_node.destination->hasPage())
        return std::nullopt;
    const int index = m_node.destination->pageIndex;
    if (index >= m_document->pageCount())
        return std::nullopt;
    return index;
}

void OutlineNodeView::buildRow()
{
    m_row = new QWidget(this);
    auto *row = new QHBoxLayout(m_row);
    row->setContentsMargins(m_level * kIndentPerLevel + kIndentBase, 3, 0, 3);
    row->setSpacing(4);
    row->setAlignment(Qt::AlignTop);

    if (!m_node.children.empty()) {
        m_disclosure = new QToolButton(m_row);
        m_disclosure->setAutoRaise(true);
        m_disclosure->setFixedSize(18, 22);
        m_disclosure->setIconSize(QSize(8, 8));
        m_disclosure->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
        connect(m_disclosure, &QToolButton::clicked, this, [this] { setExpanded(!m_expanded); });
        row->addWidget(m_disclosure, 0, Qt::AlignTop);
        updateDisclosure();
    } else {
        auto *placeholder = new QWidget(m_row);
        placeholder->setFixedSize(18, 22);
        row->addWidget(placeholder, 0, Qt::AlignTop);
    }

    auto *button = new TitleButton([this] { activate(); }, m_row);
    auto *label = new QHBoxLayout(button);
    label->setContentsMargins(0, 0, 8, 0);
    label->setSpacing(4);
    m_titleLabel = new TwoLineLabel(m_node.title, button);
    platform::useInterfaceFont(m_titleLabel, InterfaceTextRole::callout, m_level == 0 ? QFont::Medium : QFont::Normal);
    m_titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->addWidget(m_titleLabel, 1);
    if (const auto page = pageIndex()) {
        m_pageLabel = new QLabel(QString::number(*page + 1), button);
        platform::useInterfaceFont(m_pageLabel, InterfaceTextRole::caption, QFont::Normal, true);
        m_pageLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_pageLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        setTextColor(m_pageLabel, secondaryColor(this));
        label->addWidget(m_pageLabel, 0, Qt::AlignVCenter);
    }
    row->addWidget(button, 1);
    layout()->addWidget(m_row);
}

void OutlineNodeView::updateDisclosure()
{
    if (!m_disclosure)
        return;
    m_disclosure->setIcon(platform::symbolIcon(m_expanded ? QStringLiteral("chevron.down")
                                                          : QStringLiteral("chevron.right")));
    m_disclosure->setAccessibleName((m_expanded ? QStringLiteral("收起目录：") : QStringLiteral("展开目录："))
                                    + m_node.title);
}

void OutlineNodeView::setExpanded(bool expanded)
{
    if (expanded == m_expanded)
        return;
    m_expanded = expanded;
    updateDisclosure();
    showChildren();
}

void OutlineNodeView::showChildren()
{
    // Collapsing forgets the subtree; expanding builds it afresh.
    for (OutlineNodeView *child : childViews())
        delete child;
    if (m_expanded) {
        for (const engine::PdfOutlineItem &child : m_node.children)
            m_childLayout->addWidget(new OutlineNodeView(child, m_level + 1, m_document, m_onSelectPage, m_children));
    }
    m_children->setVisible(m_expanded && !m_node.children.empty());
}

QList<OutlineNodeView *> OutlineNodeView::childViews() const
{
    return m_children->findChildren<OutlineNodeView *>(QString(), Qt::FindDirectChildrenOnly);
}

void OutlineNodeView::activate()
{
    if (const auto page = pageIndex(); page && m_onSelectPage)
        m_onSelectPage(*page);
}

// ---------------------------------------------------------------- the panel

OutlineView::OutlineView(std::shared_ptr<engine::PdfDocument> document, SelectPageHandler onSelectPage,
                         QWidget *parent)
    : QWidget(parent)
    , m_document(std::move(document))
{
    // A fixed tint stands in for a translucent material.
    setAutoFillBackground(true);
    QPalette tint = palette();
    tint.setColor(QPalette::Window, QColor(246, 246, 246, 235));
    setPalette(tint);

    auto *panel = new QVBoxLayout(this);
    panel->setContentsMargins(0, 0, 0, 0);
    panel->setSpacing(0);

    auto *header = new QWidget(this);
    auto *headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(10, 10, 10, 6);
    headerRow->setSpacing(6);
    const int captionPixels = QFontMetrics(platform::interfaceFont(InterfaceTextRole::caption)).height();
    headerRow->addWidget(symbolLabel(QStringLiteral("list.bullet.indent"), captionPixels, header));
    auto *heading = new QLabel(QStringLiteral("目录"), header);
    platform::useInterfaceFont(heading, InterfaceTextRole::caption, QFont::Bold);
    setTextColor(heading, secondaryColor(this));
    headerRow->addWidget(heading);
    headerRow->addStretch(1);
    panel->addWidget(header);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    setTextColor(divider, secondaryColor(this, 0.3));
    panel->addWidget(divider);

    const std::vector<engine::PdfOutlineItem> entries =
        m_document ? m_document->outline() : std::vector<engine::PdfOutlineItem>();
    if (!entries.empty()) {
        auto *scroll = new QScrollArea(this);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->viewport()->setAutoFillBackground(false);
        m_tree = new QWidget(scroll);
        m_tree->setAutoFillBackground(false);
        auto *column = new QVBoxLayout(m_tree);
        column->setContentsMargins(0, 0, 0, 16);
        column->setSpacing(0);
        for (const engine::PdfOutlineItem &entry : entries)
            column->addWidget(new OutlineNodeView(entry, 0, m_document, onSelectPage, m_tree));
        column->addStretch(1);
        scroll->setWidget(m_tree);
        panel->addWidget(scroll, 1);
    } else {
        m_emptyState = new QWidget(this);
        auto *column = new QVBoxLayout(m_emptyState);
        column->setSpacing(10);
        column->addStretch(1);
        auto *symbol = new QLabel(m_emptyState);
        symbol->setPixmap(faded(platform::symbolIcon(QStringLiteral("list.bullet.indent")).pixmap(26, 26), 0.3));
        symbol->setAlignment(Qt::AlignCenter);
        column->addWidget(symbol);
        auto *note = new QLabel(QStringLiteral("此 PDF 没有内置目录"), m_emptyState);
        platform::useInterfaceFont(note, InterfaceTextRole::caption);
        note->setAlignment(Qt::AlignCenter);
        note->setWordWrap(true);
        setTextColor(note, secondaryColor(this));
        column->addWidget(note);
        column->addStretch(1);
        panel->addWidget(m_emptyState, 1);
    }
}

QList<OutlineNodeView *> OutlineView::topLevelViews() const
{
    if (!m_tree)
        return {};
    return m_tree->findChildren<OutlineNodeView *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace folvan::pdfview
