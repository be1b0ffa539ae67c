#pragma once

// Controls bound to one preference key each: a control shows the stored
// value (or the key's table default) and follows every later write of the
// key, from anywhere; a change made by the user is written at once, with
// the key's type. Showing a value never writes it.

#include <QString>
#include <QStringList>

#include <functional>

class QCheckBox;
class QSlider;
class QWidget;

namespace folvan::dock {

// Runs `update` now and after every write of one of `keys`, while `owner`
// lives.
void followKeys(QWidget *owner, const QStringList &keys, std::function<void()> update);

// A check box bound to a Bool key.
QCheckBox *boundToggle(const QString &label, const QString &key, QWidget *parent = nullptr);

// The range of a slider over a Double key: from `minimum` in whole steps to
// `maximum`; a step of 0 moves continuously.
struct SliderRange {
    double minimum;
    double maximum;
    double step;
};

// A slider bound to a Double key. A stored value outside the range sets the
// slider at its end and stays stored as it is until the user moves it.
QSlider *boundSlider(const QString &key, SliderRange range, const QString &accessibleName,
                     QWidget *parent = nullptr);

} // namespace folvan::dock
