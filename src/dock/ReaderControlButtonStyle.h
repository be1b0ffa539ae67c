#pragma once

// The look of the reader's small floating buttons: the label in the body
// font at medium weight, at least 28 by 28 with 3 pixels on the left and
// right, and a rounded backdrop (radius 7) in the text colour at 12 %
// while pressed and 6 % while the pointer is over an enabled button. A
// disabled button is drawn whole at 32 % opacity, without backdrop. The
// style sets no text colour: a tinted label keeps its tint.
//
// Use:
//     dock::applyControlButtonStyle(panel);   // every QToolButton under it
//     dock::styleControlButton(button);       // one QToolButton
//
// applyControlButtonStyle() follows the subtree for its life: tool buttons
// added under `root` later (rows rebuilt, panels swapped) take the look as
// they are first shown. It leaves alone buttons that set a style of their
// own: any QPushButton (the platform's bordered look, such as a panel's
// default action), a tool button given a style with QWidget::setStyle, and
// a tool button marked with keepOwnButtonStyle().

#include <QProxyStyle>

class QToolButton;
class QWidget;

namespace folvan::dock {

class ReaderControlButtonStyle : public QProxyStyle {
    Q_OBJECT
public:
    // The one instance, owned by the application.
    static ReaderControlButtonStyle *shared();

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &contentsSize,
                           const QWidget *widget = nullptr) const override;

    // The backdrop's opacity for a button state: 0.12 pressed, 0.06 hovered
    // and enabled, else 0.
    static double backdropOpacity(bool pressed, bool hovered, bool enabled);
    // The whole control's opacity: 1 enabled, 0.32 disabled.
    static double controlOpacity(bool enabled);

private:
    ReaderControlButtonStyle();
};

// Gives `button` the look, its font following the interface text size.
void styleControlButton(QToolButton *button);

// Gives every tool button under `root` the look, now and as buttons are
// added, except those that keep a style of their own (see above).
void applyControlButtonStyle(QWidget *root);

// Marks `button` to keep its own look under applyControlButtonStyle().
void keepOwnButtonStyle(QToolButton *button);

} // namespace folvan::dock
