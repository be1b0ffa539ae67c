#include "book/PaperReadingView.h"

#include "book/PaperBookView.h"
#include "platform/PreferenceKeys.h"
#include "platform/ReducedMotion.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "platform/Preferences.h"

#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace folvan::book {

namespace {

// Lays `layout` out in lines no wider than `width`, each centred in
// `centreIn`; returns the height.
double layOutLines(QTextLayout &layout, double width, double centreIn)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    double y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max(1.0, width));
        line.setPosition(QPointF((centreIn - line.naturalTextWidth()) / 2, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

// The narrowest width up to `width` at which `text` takes no more lines
// than at `width`: its lines then come out of even lengths.
double balancedWidth(const QString &text, const QFont &font, double width)
{
    const auto linesAt = [&](double w) {
        QTextLayout layout(text, font);
        layOutLines(layout, w, w);
        return layout.lineCount();
    };
    const int lines = linesAt(width);
    if (lines <= 1)
        return width;
    double low = 1;
    double high = width;
    while (high - low > 1) {
        const double middle = std::floor((low + high) / 2);
        (linesAt(middle) <= lines ? high : low) = middle;
    }
    return high;
}

} // namespace

int CardMessage::heightForWidth(int width) const
{
    QTextLayout layout(text(), font());
    return int(std::ceil(layOutLines(layout, balancedWidth(text(), font(), width), width)));
}

QSize CardMessage::sizeHint() const
{
    const int width = int(std::ceil(QFontMetricsF(font()).horizontalAdvance(text())));
    return QSize(width, heightForWidth(width));
}

// Any width will do: a word longer than the line is broken.
QSize CardMessage::minimumSizeHint() const
{
    const int width = fontMetrics().averageCharWidth() * 4;
    return QSize(width, heightForWidth(width));
}

QStringList CardMessage::lines() const
{
    QTextLayout layout(text(), font());
    layOutLines(layout, balancedWidth(text(), font(), width()), width());
    QStringList lines;
    for (int i = 0; i < layout.lineCount(); ++i)
        lines.append(text().mid(layout.lineAt(i).textStart(), layout.lineAt(i).textLength()));
    return lines;
}

void CardMessage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    QTextLayout layout(text(), font());
    layOutLines(layout, balancedWidth(text(), font(), width()), width());
    layout.draw(&painter, QPointF(0, 0));
}

BookViewParameters readingParameters(double angle, double zoom, std::optional<platform::BookLayout> layout,
                                     bool systemReducedMotion)
{
    const platform::Preferences &preferences = platform::Preferences::shared();
    BookViewParameters p;
    p.angle = angle;
    p.zoom = zoom;
    p.warmth = preferences.doubleValue(platform::prefkey::paperWarmth);
    p.grain = preferences.doubleValue(platform::prefkey::paperGrain);
    p.reducedMotion = preferences.boolValue(platform::prefkey::reducedBookMotion) || systemReducedMotion;
    p.layout = layout.value_or(preferences.enumValue<platform::BookLayout>(platform::prefkey::pageLayout));
    p.turnDuration = preferences.doubleValue(platform::prefkey::turnDuration);
    p.wheelMode = preferences.enumValue<platform::WheelMode>(platform::prefkey::wheelMode);
    p.wheelReverse = preferences.boolValue(platform::prefkey::wheelReverse);
    p.wheelSensitivity = preferences.doubleValue(platform::prefkey::wheelSensitivity);
    return p;
}

PaperReadingView::PaperReadingView(model::SharedPDFViewModel *model, QWidget *parent)
    : QWidget(parent), m_model(model), m_book(new PaperBookView(model, this)), m_card(new QFrame(this)),
      m_icon(new QLabel(m_card)), m_message(new CardMessage(m_card))
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
    auto *title = new QLabel(QStringLiteral("无法打开翻书模式"), m_card);
    // In the interface text size, following it while the reader runs.
    platform::useInterfaceFont(title, platform::InterfaceTextRole::headline);
    platform::useInterfaceFont(m_message, platform::InterfaceTextRole::caption);
    drawIcon();
    platform::onInterfaceTextSizeChange(this, [this] {
        drawIcon();
        placeCard();
    });
    auto *button = new QPushButton(QStringLiteral("切换到滚动阅读"), m_card);
    connect(button, &QPushButton::clicked, this, [this] {
        if (m_onMode)
            m_onMode(false);
    });
    column->addWidget(m_icon, 0, Qt::AlignHCenter);
    column->addWidget(title, 0, Qt::AlignHCenter);
    // The message spans the card (it centres its own lines): a wrapped line
    // held to its own width would be given one line's height and cut.
    column->addWidget(m_message);
    column->addWidget(button, 0, Qt::AlignHCenter);
    m_card->setMaximumWidth(360);

    connect(model, &model::SharedPDFViewModel::bookErrorChanged, this, &PaperReadingView::refresh);
    connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, this, &PaperReadingView::refresh);
    connect(&platform::ReducedMotion::shared(), &platform::ReducedMotion::changed, this, &PaperReadingView::refresh);
    refresh();
}

void PaperReadingView::setPaneValues(double angle, double zoom, std::optional<platform::BookLayout> layout)
{
    m_angle = angle;
    m_zoom = zoom;
    m_layout = layout;
    refresh();
}

void PaperReadingView::setOnZoom(std::function<void(double)> onZoom) { m_book->setOnZoom(std::move(onZoom)); }

void PaperReadingView::setWallpaper(const QImage &image, QWidget *backdrop) { m_book->setWallpaper(image, backdrop); }

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

// The closed book, as high as a line of the title role.
void PaperReadingView::drawIcon()
{
    const int size = QFontMetrics(platform::interfaceFont(platform::InterfaceTextRole::title)).height();
    m_icon->setPixmap(platform::symbolIcon(QStringLiteral("book.closed")).pixmap(size, size));
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
