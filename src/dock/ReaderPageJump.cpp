#include "dock/ReaderPageJump.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

#include <algorithm>

#include "annotationsview/ViewStyle.h"
#include "platform/InterfaceFont.h"

namespace folvan::dock {

namespace {

// The panel's width, padding included, unless its row needs more.
constexpr int kWidth = 250;
// Page numbers up to this many digits show whole in the field.
constexpr int kShownDigits = 4;
// The room a line edit keeps between its frame and its text, each side.
constexpr int kLineEditTextInset = 2;

// The narrowest `field` that shows `digits` digits of its font unscrolled,
// the text cursor after them included.
int widthForDigits(const QLineEdit *field, int digits)
{
    const QFontMetrics metrics(field->font());
    int digit = 0;
    for (char16_t c = u'0'; c <= u'9'; ++c)
        digit = std::max(digit, metrics.horizontalAdvance(QChar(c)));
    const QMargins margins = field->textMargins() + field->contentsMargins();
    const int text = digits * digit + 1 + std::max(0, -metrics.minRightBearing()) + 2 * kLineEditTextInset
                     + margins.left() + margins.right();
    QStyleOptionFrame option;
    option.initFrom(field);
    option.lineWidth = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    option.state |= QStyle::State_Sunken;
    return field->style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(text, metrics.height()), field).width();
}

} // namespace

ReaderPageJump::ReaderPageJump(int count, int currentPageNumber, std::function<void(int)> onJump, QWidget *parent)
    : QWidget(parent)
    , m_count(count)
    , m_onJump(std::move(onJump))
    , m_field(new QLineEdit(QString::number(currentPageNumber), this))
    , m_go(new QPushButton(QStringLiteral("前往"), this))
{
    platform::useInterfaceFont(this, platform::InterfaceTextRole::body);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(12);
    auto *title = new QLabel(QStringLiteral("跳转页码"), this);
    platform::useInterfaceFont(title, platform::InterfaceTextRole::headline);
    column->addWidget(title);

    auto *row = new QHBoxLayout;
    m_field->setPlaceholderText(QStringLiteral("1–") + QString::number(count));
    m_field->setAccessibleName(QStringLiteral("目标页码"));
    m_field->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_field->setMinimumWidth(0);
    row->addWidget(m_field, 1);
    auto *total = new QLabel(QStringLiteral("/ ") + QString::number(count), this);
    platform::useInterfaceFont(total, platform::InterfaceTextRole::body, std::nullopt, true);
    annotationsview::useSecondaryColor(total);
    row->addWidget(total);
    m_go->setDefault(true);
    row->addWidget(m_go);
    column->addLayout(row);

    auto followInput = [this] { m_go->setEnabled(validPage().has_value()); };
    connect(m_field, &QLineEdit::textChanged, this, followInput);
    connect(m_go, &QPushButton::clicked, this, &ReaderPageJump::go);
    followInput();
    fitWidth();
    // After the fonts above, which follow the size first.
    platform::onInterfaceTextSizeChange(this, [this] { fitWidth(); });
}

void ReaderPageJump::fitWidth()
{
    m_field->setMinimumWidth(widthForDigits(m_field, kShownDigits));
    layout()->activate();
    setFixedWidth(std::max(kWidth, layout()->minimumSize().width()));
}

std::optional<int> ReaderPageJump::validPage(const QString &input, int count)
{
    const QString text = input.trimmed();
    qsizetype at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        negative = text[at++] == u'-';
    if (at == text.size())
        return std::nullopt;
    // Accumulated only as far as the page count needs: past it, the value
    // is out of range whatever follows, but every character must still be
    // an ASCII digit.
    qint64 value = 0;
    bool beyond = false;
    for (; at < text.size(); ++at) {
        const char16_t c = text[at].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        if (!beyond) {
            value = value * 10 + (c - u'0');
            beyond = value > count;
        }
    }
    if (negative || beyond || value < 1)
        return std::nullopt;
    return int(value);
}

std::optional<int> ReaderPageJump::validPage() const
{
    return validPage(m_field->text(), m_count);
}

void ReaderPageJump::go()
{
    if (const auto page = validPage(); page && m_onJump)
        m_onJump(*page);
}

void ReaderPageJump::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_field->setFocus(Qt::PopupFocusReason);
    m_field->selectAll();
}

void ReaderPageJump::keyPressEvent(QKeyEvent *event)
{
    // Return in the field (which passes it on) goes, as the default button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        go();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace folvan::dock
