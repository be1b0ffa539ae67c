#pragma once

// The reading dock: the small floating cluster in the lower right corner of
// a pane over its page or book view. From the bottom up: the main row
// (previous page, the page label that opens the page jump, next page, and
// the button that shows or hides the reading tools), the reading tools in a
// row of their own when the pane is narrow, a short-lived readout of the
// tilt and zoom, and, while text is selected (or the book view's text mode
// is on), the selection strip. Its three panels (page jump, appearance,
// library) open one at a time in a popover over the main row.
//
// The tools show while the pointer is over the dock and hide by themselves
// once the pointer, the keyboard focus and any open panel have left and the
// tools-hide delay has passed ("folvan.toolsHideDelay", 10 s, held to
// 3 ... 30 s), unless "folvan.keepReaderToolsExpanded" is on. The dock acts
// on the pane's model and, for the view's own values, on the DockPane the
// pane hands it. Main thread only.

#include "dock/DockPane.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QToolButton;
class QVariantAnimation;

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::platform {
class MainWorkItem;
}

namespace folvan::book {
class ReadingModePicker;
}

namespace folvan::dock {

class DockPopover;
class DockShadow;
class FloatingSurface;
class ReadoutCapsule;

// The dock's panels, by their raw names "page", "appearance", "library".
enum class DockPanel { page, appearance, library };
// The panel of a raw name, matched exactly; none for any other text.
std::optional<DockPanel> dockPanelFromRaw(const QString &raw);
QString rawValue(DockPanel panel);

// The dock's focusable controls: the four tools, then the main row.
enum class DockFocus { mode, selection, library, appearance, previous, page, next, more };

// The readout's text for a tilt in degrees and a zoom factor: "12°  ·  150%",
// each rounded to the nearest whole number, halves away from zero.
QString readoutText(double angle, double zoom);
// Its accessibility label: "仰角 12 度，缩放 150%".
QString readoutAccessibleText(double angle, double zoom);

class ReaderDock : public QWidget {
    Q_OBJECT
public:
    // From this width on, the tools stand in the main row; below it, in a
    // row of their own above.
    static constexpr double kInlineToolsWidth = 540;
    static constexpr double kReadoutSeconds = 1.8;
    static constexpr int kMotionMs = 180;
    static constexpr int kMargin = 16;
    static constexpr int kRowSpacing = 8;

    // The dock of a pane, placed in `parent`'s lower right corner.
    ReaderDock(model::SharedPDFViewModel *model, DockPane pane, QWidget *parent);
    ~ReaderDock() override;

    // Whether a page lies before, after the current one: the book view's own
    // flags in the book view, the page bounds in the page view.
    bool canBackward() const;
    bool canForward() const;

    // One page back (false) or forward (true).
    void turn(bool forward);
    // Cancels a pending collapse and, while the dock is expanded and
    // nothing holds it open, arms a new one after the tools-hide delay.
    void scheduleCollapse();
    // Shows the readout and hides it again 1.8 s after the last call.
    void displayReadout();

    bool expanded() const { return m_expanded; }
    bool readoutShown() const { return m_showReadout; }
    bool collapsePending() const;
    std::optional<DockPanel> panel() const { return m_panel; }
    // Opens a panel (replacing the one open) or, with none, closes it.
    void setPanel(std::optional<DockPanel> panel);
    std::optional<DockFocus> focusedControl() const { return m_focused; }
    // Whether the tools stand in the main row (else above it).
    bool toolsInline() const;

    // The system asks to reduce motion: expanding and collapsing switch at
    // once. Read from the desktop when the dock is made.
    void setReduceMotion(bool reduce) { m_reduceMotion = reduce; }

    // The pane reports a change of its values.
    void paneReadingModeChanged();
    void paneTiltOrZoomChanged();
    void paneLayoutChanged();
    void paneWidthChanged();

    // Its parts, for the pane and the tests.
    QToolButton *previousButton() const { return m_previous; }
    QToolButton *pageButton() const { return m_page; }
    QToolButton *nextButton() const { return m_next; }
    QToolButton *moreButton() const { return m_more; }
    book::ReadingModePicker *modePicker() const { return m_modePicker; }
    QToolButton *selectionTool() const { return m_selectionTool; }
    QToolButton *libraryTool() const { return m_libraryTool; }
    QToolButton *appearanceTool() const { return m_appearanceTool; }
    QWidget *mainRow() const;
    QWidget *upperRow() const;
    QWidget *tools() const { return m_tools; }
    // The selection strip while it is shown.
    QWidget *selectionStrip() const;
    QLabel *readout() const;
    // The popover of the open panel.
    DockPopover *popover() const;

public slots:
    // Lays the rows out and takes the dock's place in its parent.
    void relayout();

signals:
    // The dock took a new place or size in its parent.
    void placed();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMainRow();
    void buildTools();
    void toggleExpanded();
    void setExpanded(bool expanded, bool animated);
    void collapseIfIdle();
    void followFocus(QWidget *now);
    void followKeepExpanded();
    void refreshControls();
    bool selectionInView() const;
    void refreshStrip();
    void openPanel();
    QWidget *makePanel(DockPanel panel);
    void panelClosed();
    void followStacking();
    int pageCount() const;
    bool keepExpanded() const;

    QPointer<model::SharedPDFViewModel> m_model;
    DockPane m_pane;
    bool m_reduceMotion = false;
    bool m_keptExpanded = false; // the stored preference as last seen
    bool m_expanded = false;
    bool m_hovering = false;
    // The pointer brought the tools out while it stays over the dock.
    bool m_openedByHover = false;
    bool m_showReadout = false;
    std::optional<DockPanel> m_panel;
    std::optional<DockFocus> m_focused;
    platform::MainWorkItem *m_collapseWork;
    platform::MainWorkItem *m_readoutWork;
    // How far the tools are in: 0 hidden ... 1 shown.
    double m_presence = 0;
    QPointer<QVariantAnimation> m_motion;

    FloatingSurface *m_mainRow;
    FloatingSurface *m_upperRow;
    QWidget *m_tools;
    QWidget *m_divider;
    QToolButton *m_previous;
    QToolButton *m_page;
    QToolButton *m_next;
    QToolButton *m_more;
    book::ReadingModePicker *m_modePicker;
    QToolButton *m_selectionTool;
    QToolButton *m_libraryTool;
    QToolButton *m_appearanceTool;
    // In the dock's parent (the dock itself without one).
    QPointer<ReadoutCapsule> m_readout;
    QPointer<FloatingSurface> m_strip;
    bool m_stripHasToolbar = false;
    QPointer<DockPopover> m_popover;
    QMetaObject::Connection m_focusConnection;
    // In the dock's parent, which may delete it first.
    QPointer<DockShadow> m_shadow;
    // Shows the pane's values in the open appearance panel (nothing once
    // that panel is gone).
    std::function<void()> m_appearanceRefresh;
};

} // namespace folvan::dock
