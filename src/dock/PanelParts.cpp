#include "dock/PanelParts.h"

#include <QFrame>
#include <QToolButton>

#include "platform/Icons.h"

namespace folvan::dock {

QToolButton *controlButton(const QString &symbol, const QString &title, const QString &help, const QString &label,
                           QWidget *parent)
{
    auto *button = new QToolButton(parent);
    if (!symbol.isEmpty()) {
        button->setIcon(platform::symbolIcon(symbol));
        button->setIconSize(QSize(16, 16));
    }
    button->setText(title);
    button->setToolButtonStyle(symbol.isEmpty()  ? Qt::ToolButtonTextOnly
                               : title.isEmpty() ? Qt::ToolButtonIconOnly
                                                 : Qt::ToolButtonTextBesideIcon);
    button->setToolTip(help);
    if (!label.isEmpty())
        button->setAccessibleName(label);
    return button;
}

QFrame *panelDivider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace folvan::dock
