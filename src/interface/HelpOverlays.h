#pragma once

// The two overlays a reading pane lays over itself: the help and the
// first-run guide. Each dims the whole pane under a panel of fixed size and
// closes only through the action it is given.

#include "interface/HelpText.h"

#include <QAbstractAnimation>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace folvan::interface {

// The help over a pane: a dimmed backdrop under a 560 × 550 panel with the
// title, a close button, the help content and, when `replay` is given, the
// button "重新查看入门引导". The close button, a click on the backdrop and
// Escape run `close`.
class ShortcutsView : public QWidget {
    Q_OBJECT
public:
    ShortcutsView(const QList<HelpCommand> &commands, std::function<void()> close,
                  std::function<void()> replay, QWidget *parent = nullptr);

    QWidget *panel() const { return m_panel; }

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QWidget *m_panel;
    std::function<void()> m_close;
};

// A step of the first-run guide.
struct OnboardStep {
    QString icon;
    QColor color;
    QString title;
    QString body;
};

// The first-run guide: six steps on a 380 × 340 card over a dark backdrop,
// paged with "上一步" and "下一步" and left with "开始阅读" on the last step,
// which runs `finish`. No key and no click elsewhere closes it.
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    explicit OnboardingView(std::function<void()> finish, QWidget *parent = nullptr);

    static QList<OnboardStep> steps();
    int step() const { return m_step; }
    QWidget *card() const { return m_card; }
    QPushButton *backButton() const { return m_back; }
    QPushButton *primaryButton() const { return m_primary; }
    // What a step change shows while it runs: the old step leaving (null
    // once it has left), the new step's block, the dots' and the primary
    // button's colours of the moment.
    QWidget *leavingStep() const;
    // The new step while the change runs (null once it has come in); the
    // block stands aside meanwhile.
    QWidget *arrivingStep() const;
    QWidget *stepBlock() const { return m_block; }
    QList<QColor> shownDotColors() const;
    QColor primaryColor() const { return m_primaryColor; }
    QLabel *bodyLabel() const { return m_body; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void showStep(int step);
    QPixmap blockPicture() const;
    void fillBlock(int step);
    void paintPrimary(const QColor &color);
    QList<QColor> dotColors(int step) const;

    QList<OnboardStep> m_steps;
    int m_step = 0;
    std::function<void()> m_finish;
    QWidget *m_card;
    // The card's shadow, drawn by the guide under the card.
    QImage m_cardShadow;
    QWidget *m_dots;
    QWidget *m_stage;
    QColor m_primaryColor;
    QPointer<QAbstractAnimation> m_transition;
    QPointer<QAbstractAnimation> m_colors;
    QLabel *m_symbol;
    QLabel *m_title;
    QLabel *m_body;
    QWidget *m_block;
    QPushButton *m_back;
    QPushButton *m_primary;
};

} // namespace folvan::interface
