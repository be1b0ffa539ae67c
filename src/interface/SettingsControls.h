#pragma once

// The controls of the settings forms. Each one is bound to one preference
// key: it shows the stored value (or the key's table default) and follows
// every later write of the key, from anywhere; a change made by the user is
// written at once, with the key's type.

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

#include "dock/PreferenceControls.h"
#include "platform/Preferences.h"

class QComboBox;
class QFormLayout;
class QLabel;
class QWidget;

namespace folvan::interface {

// The bound toggle and slider are the ones the reader's panels use.
using dock::boundSlider;
using dock::boundToggle;
using dock::followKeys;

// A pop-up picker bound to `key`; each option is a stored value (of the
// key's type) and its label. A stored value that is no option selects
// nothing.
QComboBox *boundPicker(const QString &key, const QList<std::pair<QVariant, QString>> &options,
                       QWidget *parent = nullptr);

// A picker bound to `key` as above that selects the option `shown` gives.
QComboBox *pickerShowing(const QString &key, const QList<std::pair<QVariant, QString>> &options,
                         std::function<QVariant()> shown, QWidget *parent);

// The picker of a key that holds one of E's values as text: it selects the
// value the reader goes by (Preferences::enumValue), so that a stored text
// naming no value shows the key's default; that text stays stored until an
// option is chosen.
template <typename E>
QComboBox *enumPicker(const QString &key, const QList<std::pair<E, QString>> &options, QWidget *parent = nullptr)
{
    QList<std::pair<QVariant, QString>> stored;
    for (const auto &[value, label] : options)
        stored.append({platform::toText(value), label});
    return pickerShowing(key, stored, [key] { return QVariant(platform::toText(platform::Preferences::shared().enumValue<E>(key))); },
                         parent);
}

// The row of a label, a flexible space and the readout of a Double key in
// digits of one width, `format` turning the stored value into the text.
QWidget *valueRow(const QString &label, const QString &key, std::function<QString(double)> format,
                  QWidget *parent = nullptr);

// Readouts of a stored value as it is: "%.1f", "%.2f" or the whole number
// (its fraction dropped), followed by `suffix`; a value that is not finite
// reads as "—".
QString decimalReadout(double value, int decimals, const QString &suffix);
QString wholeReadout(double value, const QString &suffix);

// A note under a control: the caption text in the secondary colour.
QLabel *formNote(const QString &text, QWidget *parent = nullptr);

// A thin horizontal rule between the groups of a form.
QWidget *formDivider(QWidget *parent = nullptr);

// The sliders and pickers under `form` take the wheel only while they have
// the keyboard focus; otherwise it scrolls the form they stand in.
void takeWheelOnlyWithFocus(QWidget *form);

// One tab of the settings window: a form inset by 24 inside a vertical
// scroll view. Returns the scroll view; `form` receives the form's layout.
QWidget *settingsForm(QFormLayout **form);

} // namespace folvan::interface
