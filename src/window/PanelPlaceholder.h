#pragma once

// A plain panel that stands where a part of the reader that is not built
// yet will go: a symbol, the part's name with "尚未提供", and one line
// saying what it will show. It does nothing else.

#include <QWidget>

class QLabel;

namespace folvan::window {

class PanelPlaceholder : public QWidget {
    Q_OBJECT
public:
    PanelPlaceholder(const QString &symbol, const QString &title, const QString &detail, QWidget *parent = nullptr);

    QString title() const;
    void setDetail(const QString &detail);
    QString detail() const;
    // Draw on a rounded card of its own (side panels and overlays) or
    // plain (inside a popover).
    void setCard(bool card);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_title;
    QLabel *m_detail;
    bool m_card = true;
};

// The text of every placeholder title: "<name>尚未提供".
QString notYetProvided(const QString &feature);

} // namespace folvan::window
