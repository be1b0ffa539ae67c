#include "workspace/ReaderFont.h"

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "workspace/ReaderMenuTypography.h"
#include "platform/ReaderPreferences.h"
#include "platform/TabularDigits.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <algorithm>

namespace folvan::workspace {

double readerFontSize(ReaderFontRole role, double base)
{
    return platform::interfaceFontSize(role, base);
}

QFont readerFont(ReaderFontRole role, std::optional<QFont::Weight> weight, bool monospaced)
{
    return platform::interfaceFont(role, weight, monospaced);
}

void useReaderFont(QWidget *widget, ReaderFontRole role, std::optional<QFont::Weight> weight, bool monospaced)
{
    widget->setFont(readerFont(role, weight, monospaced));
    QPointer<QWidget> guard(widget);
    QObject::connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, widget,
                     [guard, role, weight, monospaced](const QString &key) {
                         if (guard && key == platform::prefkey::interfaceTextSize)
                             guard->setFont(readerFont(role, weight, monospaced));
                     });
}

void applyReaderInterfaceStyle(QWidget *root)
{
    useReaderFont(root, ReaderFontRole::body);
    ReaderMenuTypography::shared().start();
}

} // namespace folvan::workspace
