#include "interface/ReaderHelpContent.h"

#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "window/PaneControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace folvan::interface {

namespace {

using platform::InterfaceTextRole;

constexpr int kKeyColumnWidth = 106;

QLabel *selectableText(const QString &text, InterfaceTextRole role, QFont::Weight weight, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    platform::useInterfaceFont(label, role, weight);
    return label;
}

// A section title: the symbol and the title in the headline role.
QWidget *sectionTitle(const QString &symbol, const QString &title, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto *icon = new QLabel(row);
    icon->setPixmap(platform::symbolIcon(symbol).pixmap(16, 16));
    layout->addWidget(icon);
    layout->addWidget(selectableText(title, InterfaceTextRole::headline, QFont::DemiBold, row));
    layout->addStretch(1);
    return row;
}

// The help's texts as they are shown: a key combination never wraps.
QLabel *helpText(const QString &text, InterfaceTextRole role, QFont::Weight weight, QWidget *parent)
{
    return selectableText(unbrokenShortcuts(text), role, weight, parent);
}

// The key column is as wide as its widest combination, at least 106.
class KeyLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void changeEvent(QEvent *event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange)
            fitColumn();
    }

public:
    void fitColumn()
    {
        int widest = 0;
        for (const QString &token : text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
            widest = std::max(widest, fontMetrics().horizontalAdvance(token));
        setFixedWidth(std::max(kKeyColumnWidth, widest + 2));
    }
};

// A row: the key in its column, then the text wrapping as it needs; a
// row of several keys wraps between them, never inside one.
QWidget *helpRow(const QString &key, const QString &text, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    auto *keyLabel = new KeyLabel(unbrokenShortcuts(key), row);
    keyLabel->setTextFormat(Qt::PlainText);
    keyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    platform::useInterfaceFont(keyLabel, InterfaceTextRole::caption, QFont::Medium);
    keyLabel->setWordWrap(true);
    keyLabel->fitColumn();
    layout->addWidget(keyLabel, 0, Qt::AlignTop);
    QLabel *textLabel = helpText(text, InterfaceTextRole::callout, QFont::Normal, row);
    textLabel->setWordWrap(true);
    layout->addWidget(textLabel, 1, Qt::AlignTop);
    return row;
}

} // namespace

ReaderHelpContent::ReaderHelpContent(const QList<HelpCommand> &commands, QWidget *parent)
    : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(20);
    for (const HelpGroup &group : helpGroups()) {
        column->addWidget(sectionTitle(group.symbol, group.title, content));
        for (const HelpRow &row : group.rows)
            column->addWidget(helpRow(row.key, row.text, content));
    }
    auto *rule = new QFrame(content);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    column->addWidget(rule);
    column->addWidget(sectionTitle(QStringLiteral("command"), QStringLiteral("菜单与快捷键"), content));
    QLabel *note = helpText(
        platformHelpText(QStringLiteral("⌘⇧P 打开命令面板。以下操作与菜单使用同一份定义；文本编辑时保留正常输入与撤销。")),
        InterfaceTextRole::caption, QFont::Normal, content);
    note->setWordWrap(true);
    QPalette palette = note->palette();
    palette.setColor(QPalette::WindowText, window::secondaryTextColor());
    note->setPalette(palette);
    column->addWidget(note);
    for (const HelpCommand &command : commandsWithShortcut(commands))
        column->addWidget(helpRow(command.shortcutLabel, command.title, content));
    column->addStretch(1);
    setWidget(content);
}

} // namespace folvan::interface
