#pragma once

// A row of buttons, one per paper preset, over the paper preferences
// "folvan.paperWarmth" and "folvan.paperGrain": pressing one writes its
// warmth, then its grain; the preset that matches the stored values (both
// within 0.005) is tinted in the accent colour, the others are grey. The
// row follows every write of the two keys. The appearance panel and the
// settings window show the same row.

#include <QList>
#include <QString>
#include <QWidget>

class QPushButton;

namespace folvan::dock {

// A named paper look: warmth from cold white to warm yellow, grain from
// fine to rough, each 0 ... 1.
struct PaperPreset {
    QString name;
    double warmth;
    double grain;
};

// "冷白", "自然白" (the defaults of the two keys) and "浅象牙".
const QList<PaperPreset> &paperPresets();

class PaperPresetPicker : public QWidget {
    Q_OBJECT
public:
    explicit PaperPresetPicker(QList<PaperPreset> presets = paperPresets(), QWidget *parent = nullptr);

    // Whether `preset` is the chosen one at these values.
    static bool isChosen(const PaperPreset &preset, double warmth, double grain);

    QPushButton *button(int index) const { return m_buttons.value(index); }
    bool isTinted(int index) const;

private:
    void refresh();

    QList<PaperPreset> m_presets;
    QList<QPushButton *> m_buttons;
};

} // namespace folvan::dock
