#include "workspace/ReaderFont.h"

#include "platform/Preferences.h"
#include "workspace/ReaderMenuTypography.h"
#include "platform/ReaderPreferences.h"
#include "platform/TabularDigits.h"

#include <QApplication>
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
        platform::useTabularDigits(font);
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
