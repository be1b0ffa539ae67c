#include "window/PaneFont.h"

#include "platform/ReaderPreferences.h"
#include "platform/TabularDigits.h"

#include <QApplication>

#include <algorithm>

namespace folvan::window {

namespace {

double roleStep(PaneFontRole role)
{
    switch (role) {
    case PaneFontRole::body: return 0;
    case PaneFontRole::callout: return -1;
    case PaneFontRole::caption: return -2;
    }
    return 0;
}

} // namespace

QFont paneFont(PaneFontRole role, QFont::Weight weight, bool tabularDigits)
{
    const double base = platform::ReaderPreferences::interfaceSize();
    QFont font = QApplication::font();
    font.setPointSizeF(std::max(12.0, base + roleStep(role)) * 0.75);
    font.setWeight(weight);
    if (tabularDigits)
        platform::useTabularDigits(font);
    return font;
}

} // namespace folvan::window
