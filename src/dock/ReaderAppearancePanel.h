#pragma once

// The dock's appearance panel: the pane's tilt angle and zoom with their
// readouts and reset, and, while the pane shows the book view, its page
// layout, the paper presets, warmth, grain and reduced page-turn motion,
// and the reset of the paper; then a line of gesture hints.
//
// Angle, zoom and layout belong to the pane and reach it only through the
// bindings; warmth, grain and reduced motion are the process-wide
// preferences, written at once and followed as anyone writes them. A value
// shown out of its control's range (or unknown) is left as it is until the
// user moves the control.

#include "platform/ReadingModes.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;

namespace folvan::dock {

class PaperPresetPicker;

// What the panel reads and writes of its pane.
struct AppearanceBindings {
    // Whether the pane shows the book view; fixed for one panel.
    bool isBook = false;
    // The pane's tilt angle in degrees.
    std::function<double()> angle;
    std::function<void(double)> setAngle;
    // The pane's zoom factor (1 = 100 %), and the pane's zoom handler: the
    // only way the panel changes the zoom.
    std::function<double()> zoom;
    std::function<void(double)> onZoom;
    // The pane's page layout. Without both functions the panel shows and
    // edits the stored "folvan.pageLayout" instead.
    std::function<std::optional<platform::BookLayout>()> pageLayout;
    std::function<void(platform::BookLayout)> setPageLayout;
    // Called once, at construction, with the panel's refresh: the pane
    // calls it whenever its angle, zoom or layout changes, so that the open
    // panel shows them. Calling it after the panel is gone does nothing.
    std::function<void(std::function<void()>)> onPaneChanged;
};

class ReaderAppearancePanel : public QWidget {
    Q_OBJECT
public:
    explicit ReaderAppearancePanel(AppearanceBindings bindings, QWidget *parent = nullptr);

    // The readouts: the nearest whole number (halves away from zero) and
    // "°", or the nearest whole percent and "%".
    static QString angleReadout(double angle);
    static QString zoomReadout(double zoom);

    // "复位视角与缩放": angle 0, then zoom 1.
    void resetView();
    // "恢复默认纸张": warmth and grain back to their defaults.
    void restorePaper();
    // Shows the pane's current angle, zoom and layout.
    void refresh();

    QLabel *angleReadoutLabel() const { return m_angleReadout; }
    QLabel *zoomReadoutLabel() const { return m_zoomReadout; }
    QSlider *angleSlider() const { return m_angleSlider; }
    QSlider *zoomSlider() const { return m_zoomSlider; }
    QToolButton *resetButton() const { return m_reset; }
    QLabel *hintLabel() const { return m_hint; }
    // The book group's controls; none outside the book view.
    QWidget *bookGroup() const { return m_bookGroup; }
    QPushButton *singleButton() const { return m_single; }
    QPushButton *spreadButton() const { return m_spread; }
    PaperPresetPicker *presetPicker() const { return m_presets; }
    QSlider *warmthSlider() const { return m_warmth; }
    QSlider *grainSlider() const { return m_grain; }
    QCheckBox *reducedMotionToggle() const { return m_reducedMotion; }
    QToolButton *restorePaperButton() const { return m_restorePaper; }

private:
    QWidget *buildBookGroup();
    bool hasLayoutBinding() const;
    std::optional<platform::BookLayout> layout() const;
    void chooseLayout(platform::BookLayout layout);
    void refreshLayout();

    AppearanceBindings m_bindings;
    QLabel *m_angleReadout = nullptr;
    QLabel *m_zoomReadout = nullptr;
    QSlider *m_angleSlider = nullptr;
    QSlider *m_zoomSlider = nullptr;
    QToolButton *m_reset = nullptr;
    QLabel *m_hint = nullptr;
    QWidget *m_bookGroup = nullptr;
    QPushButton *m_single = nullptr;
    QPushButton *m_spread = nullptr;
    PaperPresetPicker *m_presets = nullptr;
    QSlider *m_warmth = nullptr;
    QSlider *m_grain = nullptr;
    QCheckBox *m_reducedMotion = nullptr;
    QToolButton *m_restorePaper = nullptr;
};

} // namespace folvan::dock
