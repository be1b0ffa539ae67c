#include "platform/InterfaceFont.h"

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/ReaderPreferences.h"
#include "platform/TabularDigits.h"

#include <QGuiApplication>

#include <algorithm>

namespace folvan::platform {

namespace {

double roleStep(InterfaceTextRole role)
{
    switch (role) {
    case InterfaceTextRole::body: return 0;
    case InterfaceTextRole::callout: return -1;
    case InterfaceTextRole::caption: return -2;
    case InterfaceTextRole::headline: return 1;
    case InterfaceTextRole::title3: return 3;
    case InterfaceTextRole::title: return 7;
    }
    return 0;
}

// What useInterfaceFont keeps on a widget, read again on every change.
const char *const kRoleProperty = "interfaceFontRole";
const char *const kWeightProperty = "interfaceFontWeight";
const char *const kTabularProperty = "interfaceFontTabular";

// The font is set through the widget's "font" property, so that this
// library stays free of the widget module.
void applyInterfaceFont(QObject *widget)
{
    const QVariant weight = widget->property(kWeightProperty);
    widget->setProperty("font", interfaceFont(InterfaceTextRole(widget->property(kRoleProperty).toInt()),
                                              weight.isValid() ? std::optional(QFont::Weight(weight.toInt()))
                                                               : std::nullopt,
                                              widget->property(kTabularProperty).toBool()));
}

} // namespace

double interfaceFontSize(InterfaceTextRole role, double base)
{
    return std::max(12.0, base + roleStep(role));
}

QFont interfaceFont(InterfaceTextRole role, std::optional<QFont::Weight> weight, bool tabularDigits)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(interfaceFontSize(role, ReaderPreferences::interfaceSize()) * kQtPointsPerInterfacePoint);
    font.setWeight(weight.value_or(role == InterfaceTextRole::headline ? QFont::DemiBold : QFont::Normal));
    if (tabularDigits)
        useTabularDigits(font);
    return font;
}

void useInterfaceFont(QObject *widget, InterfaceTextRole role, std::optional<QFont::Weight> weight, bool tabularDigits)
{
    const bool following = widget->property(kRoleProperty).isValid();
    widget->setProperty(kRoleProperty, int(role));
    widget->setProperty(kWeightProperty, weight ? QVariant(int(*weight)) : QVariant());
    widget->setProperty(kTabularProperty, tabularDigits);
    applyInterfaceFont(widget);
    if (!following)
        onInterfaceTextSizeChange(widget, [widget] { applyInterfaceFont(widget); });
}

void onInterfaceTextSizeChange(QObject *context, std::function<void()> follow)
{
    QObject::connect(&Preferences::shared(), &Preferences::valueChanged, context,
                     [follow = std::move(follow)](const QString &key) {
                         if (key == prefkey::interfaceTextSize)
                             follow();
                     });
}

} // namespace folvan::platform
