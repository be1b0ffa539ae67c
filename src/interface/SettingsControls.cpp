#include "interface/SettingsControls.h"

#include "platform/InterfaceFont.h"
#include "platform/Preferences.h"
#include "window/PaneControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace folvan::interface {

namespace {

platform::Preferences &defaults()
{
    return platform::Preferences::shared();
}

// A value control in a scrolling form takes the wheel only while it has
// the keyboard focus (a click or Tab gave it); otherwise the wheel scrolls
// the form, so that scrolling past a slider or a picker changes nothing.
class WheelOnlyWithFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto *control = qobject_cast<QWidget *>(watched);
        if (!control || control->hasFocus())
            return false;
        for (QWidget *up = control->parentWidget(); up; up = up->parentWidget())
            if (auto *area = qobject_cast<QAbstractScrollArea *>(up)) {
                QCoreApplication::sendEvent(area->viewport(), event);
                return true;
            }
        event->ignore();
        return true;
    }
};

} // namespace

void takeWheelOnlyWithFocus(QWidget *form)
{
    QList<QWidget *> controls;
    for (QSlider *slider : form->findChildren<QSlider *>())
        controls.append(slider);
    for (QComboBox *picker : form->findChildren<QComboBox *>())
        controls.append(picker);
    static const char *const kGuarded = "folvanWheelOnlyWithFocus";
    for (QWidget *control : controls) {
        if (control->property(kGuarded).toBool())
            continue;
        control->setProperty(kGuarded, true);
        // Wheel focus would hand the control the focus at the first notch.
        control->setFocusPolicy(Qt::StrongFocus);
        control->installEventFilter(new WheelOnlyWithFocus(control));
    }
}

QComboBox *boundPicker(const QString &key, const QList<std::pair<QVariant, QString>> &options, QWidget *parent)
{
    return pickerShowing(key, options, [key] {
        const QVariant fallback = platform::Preferences::defaultValue(key);
        const QVariant stored = defaults().value(key);
        return stored.isValid() && stored.typeId() == fallback.typeId() ? stored : fallback;
    }, parent);
}

QComboBox *pickerShowing(const QString &key, const QList<std::pair<QVariant, QString>> &options,
                         std::function<QVariant()> shown, QWidget *parent)
{
    auto *picker = new QComboBox(parent);
    picker->setObjectName(key);
    for (const auto &[value, label] : options)
        picker->addItem(label, value);
    followKeys(picker, {key}, [picker, shown = std::move(shown)] {
        const QVariant stored = shown();
        int index = -1;
        for (int i = 0; i < picker->count(); ++i)
            if (picker->itemData(i) == stored)
                index = i;
        const QSignalBlocker quiet(picker);
        picker->setCurrentIndex(index);
    });
    QObject::connect(picker, &QComboBox::activated, picker,
                     [picker, key](int index) { defaults().setValue(key, picker->itemData(index)); });
    return picker;
}

QString decimalReadout(double value, int decimals, const QString &suffix)
{
    if (!std::isfinite(value))
        return QStringLiteral("—") + suffix;
    return QString::number(value, 'f', decimals) + suffix;
}

QString wholeReadout(double value, const QString &suffix)
{
    if (!std::isfinite(value))
        return QStringLiteral("—") + suffix;
    return QString::number(std::trunc(value) + 0.0, 'f', 0) + suffix;
}

QWidget *valueRow(const QString &label, const QString &key, std::function<QString(double)> format, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(label, row));
    layout->addStretch(1);
    auto *readout = new QLabel(row);
    readout->setObjectName(key);
    platform::useInterfaceFont(readout, platform::InterfaceTextRole::body, QFont::Normal, true);
    layout->addWidget(readout);
    followKeys(readout, {key}, [readout, key, format = std::move(format)] {
        readout->setText(format(defaults().doubleValue(key)));
    });
    return row;
}

QLabel *formNote(const QString &text, QWidget *parent)
{
    auto *note = new QLabel(text, parent);
    note->setWordWrap(true);
    platform::useInterfaceFont(note, platform::InterfaceTextRole::caption);
    QPalette palette = note->palette();
    palette.setColor(QPalette::WindowText, window::secondaryTextColor());
    note->setPalette(palette);
    return note;
}

QWidget *formDivider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QWidget *settingsForm(QFormLayout **form)
{
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto *content = new QWidget;
    auto *layout = new QFormLayout(content);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    layout->setRowWrapPolicy(QFormLayout::DontWrapRows);
    scroll->setWidget(content);
    *form = layout;
    return scroll;
}

} // namespace folvan::interface
