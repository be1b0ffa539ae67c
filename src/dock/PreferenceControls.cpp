#include "dock/PreferenceControls.h"

#include <QCheckBox>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

#include "platform/Preferences.h"

namespace folvan::dock {

namespace {

platform::Preferences &defaults()
{
    return platform::Preferences::shared();
}

// Slider positions of a range: whole steps, or a fine scale when the range
// moves continuously.
int stepCount(platform::PreferenceRange range)
{
    if (range.step <= 0)
        return 1000;
    return int(std::lround((range.highest - range.lowest) / range.step));
}

double stepSize(platform::PreferenceRange range)
{
    return (range.highest - range.lowest) / stepCount(range);
}

} // namespace

void followKeys(QWidget *owner, const QStringList &keys, std::function<void()> update)
{
    update();
    QPointer<QWidget> guard(owner);
    QObject::connect(&defaults(), &platform::Preferences::valueChanged, owner,
                     [guard, keys, update = std::move(update)](const QString &key) {
                         if (guard && keys.contains(key))
                             update();
                     });
}

QCheckBox *boundToggle(const QString &label, const QString &key, QWidget *parent)
{
    auto *box = new QCheckBox(label, parent);
    followKeys(box, {key}, [box, key] {
        const QSignalBlocker quiet(box);
        box->setChecked(defaults().boolValue(key));
    });
    QObject::connect(box, &QCheckBox::toggled, box, [key](bool on) { defaults().setValue(key, on); });
    return box;
}

QSlider *boundSlider(const QString &key, const QString &accessibleName, QWidget *parent)
{
    const platform::PreferenceKey *entry = platform::Preferences::tableEntry(key);
    Q_ASSERT(entry && entry->range.bounded());
    const platform::PreferenceRange range = entry ? entry->range : platform::PreferenceRange{0, 1, 0};
    auto *slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(0, stepCount(range));
    slider->setAccessibleName(accessibleName);
    followKeys(slider, {key}, [slider, key, range] {
        const double stored = defaults().doubleValue(key);
        const double shown = std::isfinite(stored) ? std::clamp(stored, range.lowest, range.highest)
                                                   : defaults().defaultValue(key).toDouble();
        // Showing the stored value writes nothing.
        const QSignalBlocker quiet(slider);
        slider->setValue(int(std::lround((shown - range.lowest) / stepSize(range))));
    });
    QObject::connect(slider, &QSlider::valueChanged, slider, [key, range](int position) {
        const double value = position == stepCount(range) ? range.highest : range.lowest + position * stepSize(range);
        // A step's value is written as its decimal reads (0.35, not 0.35000000000000003).
        const int decimals = range.step > 0 ? std::max(0, int(std::ceil(-std::log10(range.step) - 1e-9))) : 3;
        defaults().setValue(key, QString::number(value, 'f', decimals).toDouble());
    });
    return slider;
}

} // namespace folvan::dock
