#include "platform/TabularDigits.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QStringList>

namespace folvan::platform {

namespace {

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

void useTabularDigits(QFont &font)
{
    if (digitsShareOneWidth(font))
        return;
    for (const QString &family : {QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                                  QStringLiteral("Liberation Sans")}) {
        QFont candidate = font;
        candidate.setFamilies({family});
        if (QFontDatabase::hasFamily(family) && digitsShareOneWidth(candidate)) {
            font = candidate;
            return;
        }
    }
}

} // namespace folvan::platform
