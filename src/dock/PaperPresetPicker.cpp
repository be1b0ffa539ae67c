#include "dock/PaperPresetPicker.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPushButton>

#include <cmath>

#include "dock/PreferenceControls.h"
#include "platform/BookSettings.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"

namespace folvan::dock {

namespace {

const char *const kTintedProperty = "paperPresetTinted";

platform::Preferences &defaults()
{
    return platform::Preferences::shared();
}

// The accent tint of a chosen preset's button; the application's own grey
// otherwise.
void tint(QPushButton *button, bool tinted)
{
    button->setProperty(kTintedProperty, tinted);
    QPalette palette = QApplication::palette(button);
    if (tinted) {
        palette.setColor(QPalette::Button, palette.color(QPalette::Active, QPalette::Highlight));
        palette.setColor(QPalette::ButtonText, palette.color(QPalette::Active, QPalette::HighlightedText));
    }
    button->setPalette(palette);
}

} // namespace

const QList<PaperPreset> &paperPresets()
{
    static const QList<PaperPreset> presets = {
        {QStringLiteral("冷白"), 0.0, 0.08},
        // The default paper.
        {QStringLiteral("自然白"), platform::booksetting::warmth.fallback, platform::booksetting::grain.fallback},
        {QStringLiteral("浅象牙"), 0.38, 0.32},
    };
    return presets;
}

bool PaperPresetPicker::isChosen(const PaperPreset &preset, double warmth, double grain)
{
    return std::abs(warmth - preset.warmth) < 0.005 && std::abs(grain - preset.grain) < 0.005;
}

PaperPresetPicker::PaperPresetPicker(QList<PaperPreset> presets, QWidget *parent)
    : QWidget(parent)
    , m_presets(std::move(presets))
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (const PaperPreset &preset : m_presets) {
        auto *button = new QPushButton(preset.name, this);
        button->setAccessibleName(preset.name + QStringLiteral("纸张"));
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        connect(button, &QPushButton::clicked, this, [preset] {
            defaults().setValue(platform::prefkey::paperWarmth, preset.warmth);
            defaults().setValue(platform::prefkey::paperGrain, preset.grain);
        });
        row->addWidget(button);
        m_buttons.append(button);
    }
    row->addStretch(1);
    followKeys(this, {platform::prefkey::paperWarmth, platform::prefkey::paperGrain},
               [this] { refresh(); });
}

bool PaperPresetPicker::isTinted(int index) const
{
    return index >= 0 && index < m_buttons.size() && m_buttons[index]->property(kTintedProperty).toBool();
}

void PaperPresetPicker::refresh()
{
    const double warmth = defaults().doubleValue(platform::prefkey::paperWarmth);
    const double grain = defaults().doubleValue(platform::prefkey::paperGrain);
    for (int i = 0; i < m_buttons.size(); ++i)
        tint(m_buttons[i], isChosen(m_presets[i], warmth, grain));
}

} // namespace folvan::dock
