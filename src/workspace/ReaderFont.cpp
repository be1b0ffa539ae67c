#include "workspace/ReaderFont.h"

#include "platform/Preferences.h"
#include "workspace/ReaderMenuTypography.h"
#include "platform/ReaderPreferences.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace folvan::workspace {

namespace {

const QString kInterfaceSizeKey = QStringLiteral("folvan.interfaceTextSize");

double roleOffset(ReaderFontRole role)
{
    switch (role) {
    case ReaderFontRole::body: return 0;
    case ReaderFontRole::callout: return -1;
    case ReaderFontRole::caption: return -2;
    case ReaderFontRole::headline: return 1;
    case ReaderFontRole::title3: return 3;
    case ReaderFontRole::title: return 7;
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

// Qt has no switch for tabular figures; the usual interface faces draw their
// digits at one width already. When the system face does not, a face that
// does (and whose letters are proportional) stands in.
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

} // namespace

double readerFontSize(ReaderFontRole role, double base)
{
    return std::max(12.0, base + roleOffset(role));
}

QFont readerFont(ReaderFontRole role, std::optional<QFont::Weight> weight, bool monospaced)
{
    QFont font = QApplication::font();
    font.setPointSizeF(readerFontSize(role, platform::ReaderPreferences::interfaceSize()) * kQtPointsPerInterfacePoint);
    font.setWeight(weight.value_or(role == ReaderFontRole::headline ? QFont::DemiBold : QFont::Normal));
    if (monospaced)
        useTabularDigits(font);
    return font;
}

void useReaderFont(QWidget *widget, ReaderFontRole role, std::optional<QFont::Weight> weight, bool monospaced)
{
    widget->setFont(readerFont(role, weight, monospaced));
    QPointer<QWidget> guard(widget);
    QObject::connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, widget,
                     [guard, role, weight, monospaced](const QString &key) {
                         if (guard && key == kInterfaceSizeKey)
                             guard->setFont(readerFont(role, weight, monospaced));
                     });
}

void applyReaderInterfaceStyle(QWidget *root)
{
    useReaderFont(root, ReaderFontRole::body);
    ReaderMenuTypography::shared().start();
}

} // namespace folvan::workspace
