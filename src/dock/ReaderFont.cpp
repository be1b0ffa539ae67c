#include "dock/ReaderFont.h"

#include <QWidget>

#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

namespace folvan::dock {

namespace {

const char *const kRoleProperty = "readerFontRole";
const char *const kWeightProperty = "readerFontWeight";
const char *const kTabularProperty = "readerFontTabular";

void applyReaderFont(QWidget *widget)
{
    const QVariant weight = widget->property(kWeightProperty);
    widget->setFont(platform::interfaceFont(ReaderFontRole(widget->property(kRoleProperty).toInt()),
                                            weight.isValid() ? std::optional(QFont::Weight(weight.toInt()))
                                                             : std::nullopt,
                                            widget->property(kTabularProperty).toBool()));
}

} // namespace

void useReaderFont(QWidget *widget, ReaderFontRole role, std::optional<QFont::Weight> weight, bool tabularDigits)
{
    const bool following = widget->property(kRoleProperty).isValid();
    widget->setProperty(kRoleProperty, int(role));
    widget->setProperty(kWeightProperty, weight ? QVariant(int(*weight)) : QVariant());
    widget->setProperty(kTabularProperty, tabularDigits);
    applyReaderFont(widget);
    if (following)
        return;
    QObject::connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, widget,
                     [widget](const QString &key) {
                         if (key == platform::prefkey::interfaceTextSize)
                             applyReaderFont(widget);
                     });
}

} // namespace folvan::dock
