#include "historyview/RecentReadingList.h"

#include "history/ReadingHistory.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "platform/ReaderPreferences.h"
#include "platform/ShownText.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace folvan::historyview {

namespace {

enum class TextRole { Body, Caption, Headline };

qreal roleOffset(TextRole role)
{
    switch (role) {
    case TextRole::Caption:
        return -2;
    case TextRole::Headline:
        return 1;
    case TextRole::Body:
        break;
    }
    return 0;
}

// The interface font of a text role: the interface text size plus the
// role's offset, at least 12 points; headlines are semibold.
QFont readerFont(TextRole role)
{
    const double size = platform::ReaderPreferences::interfaceSize();
    // Sizes are in device-independent pixels, the unit of every other length
    // of the interface.
    QFont font;
    font.setPixelSize(int(std::lround(std::max(12.0, size + roleOffset(role)))));
    if (role == TextRole::Headline)
        font.setWeight(QFont::DemiBold);
    return font;
}

// The text colour, dimmed for secondary text and further for the content
// of a row that cannot be opened.
QColor textColor(const QPalette &palette, bool secondary, bool available = true)
{
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(color.alphaF() * (secondary ? 0.6 : 1.0) * (available ? 1.0 : 0.45));
    return color;
}

QLabel *textLabel(const QString &text, TextRole role, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(readerFont(role));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    // Inside a button a label would take the button's text colour.
    label->setForegroundRole(QPalette::WindowText);
    return label;
}

QLabel *symbolLabel(const QString &symbol, int size, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(parent);
    QPixmap pixmap = platform::symbolIcon(symbol).pixmap(size, size);
    // Tint the line icon with the label's colour.
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    label->setPixmap(pixmap);
    label->setFixedSize(size, size);
    return label;
}

constexpr int rowInset = 10;
constexpr qreal rowCornerRadius = 9;

} // namespace

QString RecentReadingList::subtitle(const history::DocumentReadingState &state)
{
    QString text = QStringLiteral("第 %1 页 · ").arg(state.page + 1);
    if (state.isReflow.value_or(false))
        return text + QStringLiteral("重排");
    // A small allowance keeps products such as 0.57 × 100, which lie just
    // below a whole number in double precision, at that whole number.
    const auto percent = qint64(std::floor(state.zoom * 100 + 1e-9));
    return text + (state.isBook ? QStringLiteral("翻书") : QStringLiteral("滚动"))
        + QStringLiteral(" · %1%").arg(percent);
}

QString RecentReadingList::title(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

RecentReadingList::RecentReadingList(history::ReadingHistory *history, OpenAction open, QWidget *parent)
    : QWidget(parent)
    , m_history(history)
    , m_open(std::move(open))
{
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 18, 0, 0);
    auto *column = new QWidget(this);
    column->setMaximumWidth(440);
    column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_stack = new QVBoxLayout(column);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->setSpacing(8);
    outer->addStretch(1);
    outer->addWidget(column, 1000, Qt::AlignTop);
    outer->addStretch(1);

    if (m_history) {
        connect(m_history, &history::ReadingHistory::recordsChanged, this, &RecentReadingList::rebuild);
        connect(m_history, &history::ReadingHistory::errorChanged, this, &RecentReadingList::rebuild);
    }
    platform::onInterfaceTextSizeChange(this, [this] { rebuild(); });
    rebuild();
}

// Files come and go while the list is off screen: every time it is shown,
// each row's file is located anew.
void RecentReadingList::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    rebuild();
}

// ... and whenever the reader comes back to the window (from a file
// manager or a shell, where files may have been moved).
void RecentReadingList::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isVisible())
        rebuild();
}

void RecentReadingList::rebuild()
{
    // A row may be rebuilt away while it is still delivering its click (the
    // open action records the opening at once): old rows leave the list now
    // and are deleted once control is back in the event loop.
    while (QLayoutItem *item = m_stack->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
    if (!m_history)
        return;
    QWidget *column = m_stack->parentWidget();
    const QList<history::RecentReading> &records = m_history->records();
    if (!records.isEmpty()) {
        auto *header = textLabel(QStringLiteral("最近阅读"), TextRole::Headline,
                                 palette().color(QPalette::WindowText), column);
        header->setObjectName(QStringLiteral("recentReadingHeader"));
        m_stack->addWidget(header);
        for (const history::RecentReading &record : records.mid(0, visibleRows)) {
            auto *row = new RecentReadingRow(record, m_history->resolve(record), column);
            connect(row, &QAbstractButton::clicked, this, [this, row, record] {
                if (!m_open || !m_history)
                    return;
                // The file may have gone, moved or come back since the row
                // was built: the row is built anew, and opens only as it
                // was shown.
                const QString location = m_history->resolve(record);
                if (location != row->location()) {
                    rebuild();
                    return;
                }
                if (row->isAvailable())
                    m_open(location);
            });
            auto *remove = new QAction(QStringLiteral("从最近阅读中移除"), row);
            const QUuid id = record.id;
            connect(remove, &QAction::triggered, this, [this, id] {
                if (m_history)
                    m_history->forget(id);
            });
            row->addAction(remove);
            m_stack->addWidget(row);
        }
    }
    if (!m_history->error().isEmpty()) {
        auto *error = textLabel(platform::rowText(m_history->error(), 4), TextRole::Caption, textColor(palette(), true),
                                column);
        error->setObjectName(QStringLiteral("recentReadingError"));
        error->setWordWrap(true);
        error->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_stack->addWidget(error);
    }
}

RecentReadingRow::RecentReadingRow(const history::RecentReading &record, const QString &location, QWidget *parent)
    : QAbstractButton(parent)
    , m_location(location)
    , m_title(platform::rowText(RecentReadingList::title(record.path)))
{
    setObjectName(QStringLiteral("recentReadingRow"));
    setContextMenuPolicy(Qt::ActionsContextMenu);
    setAttribute(Qt::WA_Hover);
    // A stored path may be of any length: only what a row can show is laid out.
    setToolTip(platform::rowText(isAvailable() ? location : record.path, 3));
    setFocusPolicy(isAvailable() ? Qt::StrongFocus : Qt::NoFocus);
    if (isAvailable())
        setCursor(Qt::PointingHandCursor);

    const QPalette pal = palette();
    const QColor primary = textColor(pal, false, isAvailable());
    const QColor secondary = textColor(pal, true, isAvailable());

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(rowInset, rowInset, rowInset, rowInset);
    row->setSpacing(12);
    const int iconSize = QFontMetrics(readerFont(TextRole::Headline)).height();
    row->addWidget(symbolLabel(QStringLiteral("doc.text"), iconSize, secondary, this), 0, Qt::AlignVCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    m_titleLabel = textLabel(m_title, TextRole::Body, primary, this);
    m_titleLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    const QString subtitleText = isAvailable() ? RecentReadingList::subtitle(record.state)
                                               : QStringLiteral("文件已移动或无法访问");
    m_subtitleLabel = textLabel(subtitleText, TextRole::Caption, secondary, this);
    texts->addWidget(m_titleLabel);
    texts->addWidget(m_subtitleLabel);
    row->addLayout(texts, 1);

    const int arrowSize = QFontMetrics(readerFont(TextRole::Caption)).height();
    row->addWidget(symbolLabel(QStringLiteral("arrow.up.right"), arrowSize, primary, this), 0, Qt::AlignVCenter);

    // Every click and the context menu belong to the row itself.
    for (QWidget *child : findChildren<QWidget *>())
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
}

QString RecentReadingRow::titleText() const
{
    return m_title;
}

QString RecentReadingRow::subtitleText() const
{
    return m_subtitleLabel->text();
}

void RecentReadingRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = palette().color(QPalette::WindowText);
    qreal opacity = 0.04;
    if (isAvailable() && isDown())
        opacity = 0.10;
    else if (isAvailable() && underMouse())
        opacity = 0.07;
    fill.setAlphaF(opacity);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), rowCornerRadius, rowCornerRadius);
    painter.fillPath(shape, fill);
    if (hasFocus()) {
        QColor ring = palette().color(QPalette::Highlight);
        painter.setPen(QPen(ring, 1.5));
        painter.drawPath(shape);
    }
}

void RecentReadingRow::resizeEvent(QResizeEvent *event)
{
    QAbstractButton::resizeEvent(event);
    elideTitle();
}

void RecentReadingRow::elideTitle()
{
    // One line: a long title ends in an ellipsis.
    const int width = std::max(0, m_titleLabel->width());
    m_titleLabel->setText(m_titleLabel->fontMetrics().elidedText(m_title, Qt::ElideRight, width));
}

} // namespace folvan::historyview
