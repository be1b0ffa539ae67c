#pragma once

// A plain panel that stands where a part of the reader that is not built
// yet will go: a symbol, the part's name with "尚未提供", and one line
// saying what it will show. It does nothing else.

#include <QWidget>

class QLabel;

namespace folvan::window {

// A rounded, lightly tinted card behind a panel's content.
class PanelCard : public QWidget {
    Q_OBJECT
public:
    explicit PanelCard(QWidget *parent = nullptr);
    // Draw the card (side panels and overlays) or nothing (in a popover).
    void setCard(bool card);
    // Fill the card fully, for a card laid over other content.
    void setOpaque(bool opaque);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_card = true;
    bool m_opaque = false;
};

class PanelPlaceholder : public PanelCard {
    Q_OBJECT
public:
    PanelPlaceholder(const QString &symbol, const QString &title, const QString &detail, QWidget *parent = nullptr);

    QString title() const;
    void setDetail(const QString &detail);
    QString detail() const;

private:
    QLabel *m_title;
    QLabel *m_detail;
};

// The text of every placeholder title: "<name>尚未提供".
QString notYetProvided(const QString &feature);

} // namespace folvan::window
