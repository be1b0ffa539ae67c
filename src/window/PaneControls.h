#pragma once

// The small controls of the pane's headers and search bar: a flat button
// with a bundled symbol and an optional title, drawn in the primary text
// colour or, while tinted, in the accent colour; and a thin vertical rule.

#include <QFrame>
#include <QToolButton>

namespace folvan::window {

class PaneButton : public QToolButton {
    Q_OBJECT
public:
    // `symbol` names a system symbol (may be empty); `title` is shown next
    // to it when not empty; `help` is the tooltip; `label` the accessible
    // name (the title, else the help, when empty).
    PaneButton(const QString &symbol, const QString &title, const QString &help, const QString &label,
               QWidget *parent = nullptr);

    void setSymbol(const QString &symbol);
    QString symbol() const { return m_symbol; }
    // Accent colour while on, primary text colour otherwise.
    void setTinted(bool tinted);
    bool isTinted() const { return m_tinted; }
    // Sets tooltip and accessible name together.
    void setHelpAndLabel(const QString &help, const QString &label);
    // Just the symbol and the title with a small margin around them.
    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void refreshLook();
    void followFont();

    QString m_symbol;
    bool m_tinted = false;
};

// A symbol drawn in `color`, at `size` device-independent pixels.
QIcon tintedSymbol(const QString &symbol, const QColor &color, int size = 16);

// A vertical divider `height` pixels high.
QFrame *makeVerticalRule(int height, QWidget *parent = nullptr);

// The colours of the pane's controls.
QColor accentColor();
QColor secondaryTextColor();

} // namespace folvan::window

namespace folvan::window {

// The title of a header: a flat button whose text takes the width it is
// given, on one line, shortened in the middle, aligned to the leading edge.
class TitleButton : public QToolButton {
    Q_OBJECT
public:
    explicit TitleButton(QWidget *parent = nullptr);
    void setTitle(const QString &title);
    QString title() const { return m_title; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_title;
};

} // namespace folvan::window
