#include "platform/InterfaceFont.h"

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

} // namespace folvan::platform
