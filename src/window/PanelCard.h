#pragma once

// The rounded card behind a side panel's content, and the card that stands
// in a panel's place to say why it cannot be shown.

#include <QWidget>

class QLabel;

namespace folvan::window {

// A rounded, lightly tinted card behind a panel's content.
class PanelCard : public QWidget {
    Q_OBJECT
public:
    explicit PanelCard(QWidget *parent = nullptr);
    // Draw the card (side panels) or nothing (in a popover).
    void setCard(bool card);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_card = true;
};

// A card with a symbol, a title and one line of detail, in place of a panel
// that cannot be shown.
class MessageCard : public PanelCard {
    Q_OBJECT
public:
    MessageCard(const QString &symbol, const QString &title, const QString &detail, QWidget *parent = nullptr);

    QString title() const;
    QString detail() const;

private:
    QLabel *m_title;
    QLabel *m_detail;
};

} // namespace folvan::window
