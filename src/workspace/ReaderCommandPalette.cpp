#include "workspace/ReaderCommandPalette.h"

#include "platform/Clock.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "window/PaneControls.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>

namespace folvan::workspace {

namespace {

// Secondary text, as a style sheet of its own so that the palette's style
// sheet does not override it, in every state of the row.
void showAsSecondary(QLabel *label)
{
    const QColor color = window::secondaryTextColor();
    label->setStyleSheet(QStringLiteral("color: rgba(%1, %2, %3, %4);")
                             .arg(color.red())
                             .arg(color.green())
                             .arg(color.blue())
                             .arg(color.alpha()));
}

// One result: the title on the left, the printed shortcut on the right.
QPushButton *makeRow(const ReaderCommand &row, bool enabled, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(rawValue(row.id));
    button->setFlat(true);
    button->setEnabled(enabled);
    button->setCursor(Qt::PointingHandCursor);
    auto *layout = new QHBoxLayout(button);
    layout->setContentsMargins(9, 9, 9, 9);
    auto *title = new QLabel(row.title, button);
    title->setTextFormat(Qt::PlainText);
    platform::useInterfaceFont(title, platform::InterfaceTextRole::body);
    title->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(title);
    layout->addStretch(1);
    const QString label = row.shortcutLabel();
    if (!label.isEmpty()) {
        auto *shortcut = new QLabel(label, button);
        shortcut->setAttribute(Qt::WA_TransparentForMouseEvents);
        platform::useInterfaceFont(shortcut, platform::InterfaceTextRole::caption);
        showAsSecondary(shortcut);
        layout->addWidget(shortcut);
    }
    button->setMinimumHeight(title->sizeHint().height() + 18);
    return button;
}

} // namespace

ReaderCommandPalette::ReaderCommandPalette(pane::ReaderActions reader, std::function<void()> dismiss,
                                           QWidget *parent)
    : QFrame(parent), m_reader(std::move(reader)), m_dismiss(std::move(dismiss))
{
    setObjectName(QStringLiteral("ReaderCommandPalette"));
    setFixedWidth(410);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    // Under its own style sheet the palette no longer takes the window's
    // font as that changes: its texts follow the interface size themselves.
    setStyleSheet(QStringLiteral(
        "#ReaderCommandPalette { background: #f6f5f2; border: 1px solid rgba(0,0,0,40); border-radius: 12px; }"
        "#PaletteSearchRow { background: rgba(0,0,0,10); border-radius: 9px; }"
        "#ReaderCommandPalette QPushButton { text-align: left; border: none; border-radius: 7px; }"
        "#ReaderCommandPalette QPushButton:hover:enabled { background: rgba(0,0,0,15); }"));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(12);

    auto *searchRow = new QWidget(this);
    searchRow->setObjectName(QStringLiteral("PaletteSearchRow"));
    searchRow->setAttribute(Qt::WA_StyledBackground);
    auto *searchLayout = new QHBoxLayout(searchRow);
    searchLayout->setContentsMargins(10, 10, 10, 10);
    auto *symbol = new QLabel(searchRow);
    // The command key's symbol where the platform has that key; a search
    // glass elsewhere.
#ifdef Q_OS_MACOS
    const QString symbolName = QStringLiteral("command");
#else
    const QString symbolName = QStringLiteral("magnifyingglass");
#endif
    symbol->setObjectName(QStringLiteral("PaletteSymbol"));
    symbol->setPixmap(platform::symbolIcon(symbolName).pixmap(16, 16, QIcon::Disabled));
    searchLayout->addWidget(symbol);
    m_field = new QLineEdit(searchRow);
    m_field->setPlaceholderText(QStringLiteral("查找操作…"));
    m_field->setFrame(false);
    m_field->setStyleSheet(QStringLiteral("background: transparent;"));
    platform::useInterfaceFont(m_field, platform::InterfaceTextRole::body);
    searchLayout->addWidget(m_field, 1);
    auto *close = new QToolButton(searchRow);
    close->setIcon(platform::symbolIcon(QStringLiteral("xmark")));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("关闭（Esc）"));
    close->setAccessibleName(QStringLiteral("关闭命令面板"));
    searchLayout->addWidget(close);
    column->addWidget(searchRow);

    auto *scroll = new QScrollArea(this);
    scroll->setFixedHeight(310);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rows = new QWidget(scroll);
    m_rows->setObjectName(QStringLiteral("PaletteRows"));
    m_rowsLayout = new QVBoxLayout(m_rows);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(3);
    scroll->setWidget(m_rows);
    scroll->viewport()->setAutoFillBackground(false);
    m_rows->setAutoFillBackground(false);
    column->addWidget(scroll);

    // Focusing the palette focuses its search field: typing goes there.
    setFocusProxy(m_field);
    connect(close, &QToolButton::clicked, this, [this] { m_dismiss(); });
    connect(m_field, &QLineEdit::textChanged, this, &ReaderCommandPalette::rebuildRows);
    connect(m_field, &QLineEdit::returnPressed, this, &ReaderCommandPalette::submit);
    rebuildRows();
}

std::vector<ReaderCommand> ReaderCommandPalette::matches(const QString &query)
{
    const QString q = query.trimmed();
    std::vector<ReaderCommand> rows;
    for (const ReaderCommand &row : ReaderCommandRegistry::all()) {
        if (row.id == ReaderCommandID::palette)
            continue;
        if (q.isEmpty() || (row.title + QLatin1Char(' ') + rawValue(row.id)).contains(q, Qt::CaseInsensitive))
            rows.push_back(row);
    }
    return rows;
}

QString ReaderCommandPalette::query() const
{
    return m_field->text();
}

void ReaderCommandPalette::setQuery(const QString &query)
{
    m_field->setText(query);
}

void ReaderCommandPalette::run(const ReaderCommand &row)
{
    if (!row.isEnabled(m_reader))
        return;
    // The delayed run keeps its own copies: it runs even when the palette
    // is gone by then.
    const pane::ReaderActions reader = m_reader;
    const std::function<void()> dismiss = m_dismiss;
    dismiss();
    platform::runAfter(qApp, kRunDelaySeconds, [row, reader] { row.perform(reader); });
}

void ReaderCommandPalette::submit()
{
    for (const ReaderCommand &row : currentMatches())
        if (row.isEnabled(m_reader)) {
            run(row);
            return;
        }
}

void ReaderCommandPalette::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        m_dismiss();
        return;
    }
    QFrame::keyPressEvent(event);
}

void ReaderCommandPalette::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    m_field->setFocus(Qt::PopupFocusReason);
}

void ReaderCommandPalette::rebuildRows()
{
    while (QLayoutItem *item = m_rowsLayout->takeAt(0)) {
        if (QWidget *widget = item->widget())
            delete widget;
        delete item;
    }
    const std::vector<ReaderCommand> rows = currentMatches();
    if (rows.empty()) {
        auto *empty = new QLabel(QStringLiteral("没有匹配的操作"), m_rows);
        empty->setObjectName(QStringLiteral("PaletteEmpty"));
        empty->setContentsMargins(20, 20, 20, 20);
        platform::useInterfaceFont(empty, platform::InterfaceTextRole::body);
        showAsSecondary(empty);
        m_rowsLayout->addWidget(empty);
    }
    for (const ReaderCommand &row : rows) {
        QPushButton *button = makeRow(row, row.isEnabled(m_reader), m_rows);
        connect(button, &QPushButton::clicked, this, [this, row] { run(row); });
        m_rowsLayout->addWidget(button);
    }
    m_rowsLayout->addStretch(1);
}

} // namespace folvan::workspace
