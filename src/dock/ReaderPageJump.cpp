#include "dock/ReaderPageJump.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "annotationsview/ViewStyle.h"
#include "platform/InterfaceFont.h"

namespace folvan::dock {

ReaderPageJump::ReaderPageJump(int count, int currentPageNumber, std::function<void(int)> onJump, QWidget *parent)
    : QWidget(parent)
    , m_count(count)
    , m_onJump(std::move(onJump))
    , m_field(new QLineEdit(QString::number(currentPageNumber), this))
    , m_go(new QPushButton(QStringLiteral("前往"), this))
{
    platform::useInterfaceFont(this, platform::InterfaceTextRole::body);
    setFixedWidth(250);
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
