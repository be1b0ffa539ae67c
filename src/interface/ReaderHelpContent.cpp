#include "interface/ReaderHelpContent.h"

#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "window/PaneControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

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

// The key column: as wide as the widest key combination of all its rows
// (a row of several keys wraps between them, never inside one), at least
// 106, so that the texts of all rows start in one line at every interface
// text size.
class KeyColumn : public QObject {
public:
    explicit KeyColumn(QObject *parent) : QObject(parent)
    {
        platform::onInterfaceTextSizeChange(this, [this] { fit(); });
    }

    QLabel *addKey(const QString &key, QWidget *parent)
    {
        auto *label = new QLabel(unbrokenShortcuts(key), parent);
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        platform::useInterfaceFont(label, kRole, kWeight);
        label->setWordWrap(true);
        m_keys.push_back(label);
        return label;
    }

    void fit()
    {
        const QFontMetrics metrics(platform::interfaceFont(kRole, kWeight));
        int widest = 0;
        for (const QLabel *key : m_keys)
            for (const QString &combination : key->text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
                widest = std::max(widest, metrics.horizontalAdvance(combination));
        for (QLabel *key : m_keys)
            key->setFixedWidth(std::max(kKeyColumnWidth, widest + 2));
    }

private:
    static constexpr InterfaceTextRole kRole = InterfaceTextRole::caption;
    static constexpr QFont::Weight kWeight = QFont::Medium;
    std::vector<QLabel *> m_keys;
};

// A row: the key in its column, then the text wrapping as it needs.
QWidget *helpRow(KeyColumn &keys, const QString &key, const QString &text, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    layout->addWidget(keys.addKey(key, row), 0, Qt::AlignTop);
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
    auto *keys = new KeyColumn(content);
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(20);
    for (const HelpGroup &group : helpGroups()) {
        column->addWidget(sectionTitle(group.symbol, group.title, content));
        for (const HelpRow &row : group.rows)
            column->addWidget(helpRow(*keys, row.key, row.text, content));
    }
    auto *rule = new QFrame(content);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    column->addWidget(rule);
    column->addWidget(sectionTitle(QStringLiteral("command"), QStringLiteral("菜单与快捷键"), content));
    QLabel *note = helpText(
        platformHelpText(QStringLiteral("{Ctrl+Shift+P} 打开命令面板。以下操作与菜单使用同一份定义；文本编辑时保留正常输入与撤销。")),
        InterfaceTextRole::caption, QFont::Normal, content);
    note->setWordWrap(true);
    QPalette palette = note->palette();
    palette.setColor(QPalette::WindowText, window::secondaryTextColor());
    note->setPalette(palette);
    column->addWidget(note);
    for (const HelpCommand &command : commandsWithShortcut(commands))
        column->addWidget(helpRow(*keys, command.shortcutLabel, command.title, content));
    column->addStretch(1);
    keys->fit();
    setWidget(content);
}

} // namespace folvan::interface
