#include "window/SearchBar.h"

#include "model/SharedPDFViewModel.h"
#include "platform/InterfaceFont.h"
#include "window/ContentView.h"
#include "window/PaneControls.h"
#include "window/PaneRules.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>

namespace folvan::window {

SearchBar::SearchBar(ContentView *pane, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane)
    , m_field(new QLineEdit(this))
    , m_counter(new QLabel(this))
    , m_progress(new QProgressBar(this))
    , m_previous(new PaneButton(QStringLiteral("chevron.up"), {}, withShortcut(QStringLiteral("上一个结果"), QStringLiteral("Shift+Enter")),
                                QStringLiteral("上一个搜索结果"), this))
    , m_next(new PaneButton(QStringLiteral("chevron.down"), {}, QStringLiteral("下一个结果（Enter）"),
                            QStringLiteral("下一个搜索结果"), this))
    , m_close(new PaneButton(QStringLiteral("xmark"), {}, QStringLiteral("关闭搜索（Esc）"),
                             QStringLiteral("关闭搜索"), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto *row = new QHBoxLayout(this);
    // The shadow below the box takes part of the margin.
    row->setContentsMargins(7 + 6, 7 + 2, 7 + 6, 7 + 8);
    row->setSpacing(5);

    auto *icon = new QLabel(this);
    icon->setPixmap(tintedSymbol(QStringLiteral("magnifyingglass"), secondaryTextColor()).pixmap(16, 16));
    icon->setContentsMargins(5, 0, 0, 0);
    row->addWidget(icon);

    m_field->setPlaceholderText(QStringLiteral("搜索正文…"));
    m_field->setFrame(false);
    m_field->setMinimumWidth(100);
    platform::useInterfaceFont(m_field, platform::InterfaceTextRole::body);
    m_field->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    m_field->installEventFilter(this);
    row->addWidget(m_field, 1);

    auto *progress = static_cast<QProgressBar *>(m_progress);
    progress->setRange(0, 0);
    progress->setTextVisible(false);
    progress->setFixedSize(16, 16);
    row->addWidget(m_progress);

    platform::useInterfaceFont(m_counter, platform::InterfaceTextRole::caption, QFont::Normal, true);
    QPalette palette = m_counter->palette();
    palette.setColor(QPalette::WindowText, secondaryTextColor());
    m_counter->setPalette(palette);
    m_counter->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    row->addWidget(m_counter);

    row->addWidget(m_previous);
    row->addWidget(m_next);
    row->addWidget(m_close);

    connect(m_field, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (livePane())
            livePane()->controller()->searchTextEdited(text);
    });
    connect(m_previous, &QToolButton::clicked, this, [this] {
        if (livePane())
            livePane()->controller()->stepSearch(false);
    });
    connect(m_next, &QToolButton::clicked, this, [this] {
        if (livePane())
            livePane()->controller()->stepSearch(true);
    });
    connect(m_close, &QToolButton::clicked, this, [this] {
        if (livePane())
            livePane()->controller()->closeSearch();
    });

    model::SharedPDFViewModel *model = pane->viewModel();
    for (auto signal : {&model::SharedPDFViewModel::searchTextChanged, &model::SharedPDFViewModel::searchResultsChanged,
                        &model::SharedPDFViewModel::currentSearchIndexChanged, &model::SharedPDFViewModel::searchResultsInImagesChanged})
        connect(model, signal, this, &SearchBar::refresh);
    connect(pane->controller(), &pane::PaneController::searchRunningChanged, this, &SearchBar::refresh);
    connect(pane->controller(), &pane::PaneController::searchFocusedChanged, this, &SearchBar::followFocusState);
    refresh();
}

void SearchBar::refresh()
{
    if (!livePane())
        return;
    model::SharedPDFViewModel *model = livePane()->viewModel();
    if (m_field->text() != model->searchText())
        m_field->setText(model->searchText());
    const int matches = int(model->searchResults().size());
    const SearchStatus status = searchStatus(livePane()->controller()->searchRunning(), matches, model->currentSearchIndex(),
                                             model->searchText(), model->searchResultsInImages());
    m_progress->setVisible(status.kind == SearchStatus::Progress);
    m_counter->setVisible(status.kind == SearchStatus::Counter || status.kind == SearchStatus::NoResults);
    m_counter->setText(status.text);
    platform::useInterfaceFont(m_counter, platform::InterfaceTextRole::caption, QFont::Normal,
                               status.kind == SearchStatus::Counter);
    m_previous->setEnabled(matches > 0);
    m_next->setEnabled(matches > 0);
}

// The pane's focus state and the field's keyboard focus follow each other.
void SearchBar::followFocusState()
{
    if (!livePane())
        return;
    if (livePane()->controller()->searchFocused() && !m_field->hasFocus())
        m_field->setFocus(Qt::OtherFocusReason);
    else if (!livePane()->controller()->searchFocused() && m_field->hasFocus())
        m_field->clearFocus();
}

// The pane while it is one: the field hears of losing the keyboard while the
// pane around it is being taken down, and a pane half destroyed is not asked.
ContentView *SearchBar::livePane() const
{
    return qobject_cast<ContentView *>(m_pane.data());
}

bool SearchBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && livePane()) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                livePane()->controller()->stepSearch(!key->modifiers().testFlag(Qt::ShiftModifier));
                return true;
            }
            if (key->key() == Qt::Key_Escape) {
                livePane()->controller()->closeSearch();
                return true;
            }
            break;
        }
        case QEvent::FocusIn:
            livePane()->controller()->searchFieldFocusChanged(true);
            break;
        case QEvent::FocusOut:
            // A popup (a menu of the bar, a panel) borrows the keys and
            // hands them back as it closes: the field keeps its place.
            if (static_cast<QFocusEvent *>(event)->reason() != Qt::PopupFocusReason)
                livePane()->controller()->searchFieldFocusChanged(false);
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SearchBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(6, 2, -6, -8);
    QPainterPath shape;
    shape.addRoundedRect(box, 12, 12);
    // A soft shadow 4 pixels below the box.
    for (int step = 6; step >= 1; --step) {
        QPainterPath shadow;
        shadow.addRoundedRect(box.translated(0, 4).adjusted(-step, -step, step, step), 12 + step, 12 + step);
        painter.fillPath(shadow, QColor(0, 0, 0, 4));
    }
    painter.fillPath(shape, QColor(246, 246, 248, 242));
    painter.setPen(QPen(QColor(255, 255, 255, 128), 0.6));
    painter.drawPath(shape);
}

} // namespace folvan::window
