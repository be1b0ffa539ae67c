#include "window/PaneFont.h"

#include "platform/Preferences.h"

#include <QWidget>

namespace folvan::window {

namespace {

const char *const kRoleProperty = "paneFontRole";
const char *const kWeightProperty = "paneFontWeight";
const char *const kTabularProperty = "paneFontTabular";

void applyPaneFont(QWidget *widget)
{
    widget->setFont(paneFont(PaneFontRole(widget->property(kRoleProperty).toInt()),
                             QFont::Weight(widget->property(kWeightProperty).toInt()),
                             widget->property(kTabularProperty).toBool()));
}

} // namespace

QFont paneFont(PaneFontRole role, QFont::Weight weight, bool tabularDigits)
{
    return platform::interfaceFont(role, weight, tabularDigits);
}

void usePaneFont(QWidget *widget, PaneFontRole role, QFont::Weight weight, bool tabularDigits)
{
    const bool following = widget->property(kRoleProperty).isValid();
    widget->setProperty(kRoleProperty, int(role));
    widget->setProperty(kWeightProperty, int(weight));
    widget->setProperty(kTabularProperty, tabularDigits);
    applyPaneFont(widget);
    if (following)
        return;
    QObject::connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, widget,
                     [widget](const QString &key) {
                         if (key == QLatin1String(platform::kInterfaceTextSizeKey))
                             applyPaneFont(widget);
                     });
}

} // namespace folvan::window
