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

// A slider bound to a Double key, over the key's table range: from its
// lowest value in whole steps to its highest (continuously for a step of 0).
// A stored value outside the range sets the slider at its end and stays
// stored as it is until the user moves it.
QSlider *boundSlider(const QString &key, const QString &accessibleName, QWidget *parent = nullptr);

} // namespace folvan::dock
