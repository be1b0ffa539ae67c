#include "window/PaneFont.h"

#include "platform/ReaderPreferences.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>

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

bool digitsShareOneWidth(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit)
        if (!qFuzzyCompare(metrics.horizontalAdvance(QLatin1Char(digit)), zero))
            return false;
    return true;
}

} // namespace

QFont paneFont(PaneFontRole role, QFont::Weight weight, bool tabularDigits)
{
    const double base = platform::ReaderPreferences::interfaceSize();
    QFont font = QApplication::font();
    font.setPointSizeF(std::max(12.0, base + roleStep(role)) * 0.75);
    font.setWeight(weight);
    if (tabularDigits && !digitsShareOneWidth(font)) {
        for (const QString &family : {QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans")}) {
            QFont candidate = font;
            candidate.setFamilies({family});
            if (QFontDatabase::hasFamily(family) && digitsShareOneWidth(candidate))
                return candidate;
        }
    }
    return font;
}

} // namespace folvan::window
