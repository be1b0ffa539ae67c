#include "book/PaperReadingView.h"

#include "book/PaperBookView.h"
#include "platform/PreferenceKeys.h"
#include "platform/ReducedMotion.h"
#include "platform/Icons.h"
#include "platform/Preferences.h"
#include "platform/ReaderPreferences.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace folvan::book {

namespace {

// The interface font at the interface text size plus `offset` points
// (interface points are logical pixels: 0.75 of Qt's point), at least 12.
QFont interfaceFont(double offset, QFont::Weight weight = QFont::Normal)
{
    QFont font = QApplication::font();
    font.setPointSizeF(std::max(12.0, platform::ReaderPreferences::interfaceSize() + offset) * 0.75);
    font.setWeight(weight);
    return font;
}

} // namespace

BookViewParameters readingParameters(double angle, double zoom, const std::optional<QString> &layout,
                                     bool systemReducedMotion)
{
    const platform::Preferences &preferences = platform::Preferences::shared();
    BookViewParameters p;
    p.angle = angle;
    p.zoom = zoom;
    p.warmth = preferences.doubleValue(platform::prefkey::paperWarmth);
    p.grain = preferences.doubleValue(platform::prefkey::paperGrain);
    p.reducedMotion = preferences.boolValue(platform::prefkey::reducedBookMotion) || systemReducedMotion;
    p.layout = layout.value_or(preferences.stringValue(platform::prefkey::pageLayout));
    p.turnDuration = preferences.doubleValue(platform::prefkey::turnDuration);
    p.wheelMode = preferences.stringValue(platform::prefkey::wheelMode);
    p.wheelReverse = preferences.boolValue(platform::prefkey::wheelReverse);
    p.wheelSensitivity = preferences.doubleValue(platform::prefkey::wheelSensitivity);
    return p;
}

PaperReadingView::PaperReadingView(SharedPDFViewModel *model, QWidget *parent)
    : QWidget(parent), m_model(model), m_book(new PaperBookView(model, this)), m_card(new QFrame(this)),
      m_message(new QLabel(m_card))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_book);
    setFocusProxy(m_book);

    m_card->setObjectName(QStringLiteral("bookErrorCard"));
    m_card->setStyleSheet(QStringLiteral("#bookErrorCard { background: rgba(246, 246, 248, 245);"
                                         " border: 1px solid rgba(0, 0, 0, 28); border-radius: 14px; }"));
    auto *column = new QVBoxLayout(m_card);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(12);
    auto *icon = new QLabel(m_card);
    const int iconSize = QFontMetrics(interfaceFont(7)).height();
    icon->setPixmap(platform::symbolIcon(QStringLiteral("book.closed")).pixmap(iconSize, iconSize));
    auto *title = new QLabel(QStringLiteral("无法打开翻书模式"), m_card);
    title->setFont(interfaceFont(1, QFont::DemiBold));
    m_message->setFont(interfaceFont(-2));
    m_message->setWordWrap(true);
    m_message->setAlignment(Qt::AlignHCenter);
    m_message->setTextFormat(Qt::PlainText);
    auto *button = new QPushButton(QStringLiteral("切换到滚动阅读"), m_card);
    connect(button, &QPushButton::clicked, this, [this] {
        if (m_onMode)
            m_onMode(false);
    });
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addWidget(title, 0, Qt::AlignHCenter);
    // The message spans the card (it centres its own lines): a wrapped line
    // held to its own width would be given one line's height and cut.
    column->addWidget(m_message);
    column->addWidget(button, 0, Qt::AlignHCenter);
    m_card->setMaximumWidth(360);

    connect(model, &SharedPDFViewModel::bookErrorChanged, this, &PaperReadingView::refresh);
    connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, this, &PaperReadingView::refresh);
    connect(&platform::ReducedMotion::shared(), &platform::ReducedMotion::changed, this, &PaperReadingView::refresh);
    refresh();
}

void PaperReadingView::setPaneValues(double angle, double zoom, std::optional<QString> layout)
{
    m_angle = angle;
    m_zoom = zoom;
    m_layout = std::move(layout);
    refresh();
}

void PaperReadingView::setOnZoom(std::function<void(double)> onZoom) { m_book->setOnZoom(std::move(onZoom)); }

void PaperReadingView::setOnDropPDF(std::function<void(const QUrl &)> onDropPDF)
{
    m_book->setOnDropPDF(std::move(onDropPDF));
}

void PaperReadingView::refresh()
{
    m_book->setParameters(readingParameters(m_angle, m_zoom, m_layout, platform::systemReducesMotion()));
    const bool failed = m_model && m_model->bookError();
    if (failed)
        m_message->setText(*m_model->bookError());
    m_card->setVisible(failed);
    placeCard();
}

void PaperReadingView::placeCard()
{
    if (!m_card->isVisible())
        return;
    const int width = std::min(360, std::max(0, this->width() - 32));
    m_card->setFixedWidth(width);
    // As high as its lines need at that width.
    m_card->resize(width, m_card->hasHeightForWidth() ? m_card->heightForWidth(width) : m_card->sizeHint().height());
    m_card->move((this->width() - m_card->width()) / 2, (height() - m_card->height()) / 2);
    m_card->raise();
}

void PaperReadingView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeCard();
}

// ---- Mode picker ----------------------------------------------------------------

ReadingModePicker::ReadingModePicker(QWidget *parent) : QWidget(parent), m_group(new QButtonGroup(this))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const QString style = QStringLiteral(
        "QPushButton { border: 1px solid rgba(0, 0, 0, 40); padding: 3px 0; background: rgba(255, 255, 255, 200); }"
        "QPushButton:checked { background: rgba(0, 0, 0, 30); }");
    for (const auto &[text, book] : {std::pair{QStringLiteral("翻书"), true}, std::pair{QStringLiteral("滚动"), false}}) {
        auto *button = new QPushButton(text, this);
        button->setCheckable(true);
        button->setStyleSheet(style);
        m_group->addButton(button, book ? 1 : 0);
        row->addWidget(button);
    }
    m_group->setExclusive(true);
    setFixedWidth(104);
    setAccessibleName(QStringLiteral("阅读模式：翻书或滚动"));
    setToolTip(QStringLiteral("切换翻书 / 滚动，保留当前页（%1）")
                   .arg(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B).toString(QKeySequence::NativeText)));
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) { emit bookChosen(id == 1); });
    setBook(true);
}

void ReadingModePicker::setBook(bool isBook) { m_group->button(isBook ? 1 : 0)->setChecked(true); }

bool ReadingModePicker::isBook() const { return m_group->checkedId() == 1; }

} // namespace folvan::book
