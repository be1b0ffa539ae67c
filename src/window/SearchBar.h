#pragma once

// The search bar of a pane: the query field, the status (progress, the
// match counter or "无结果"), the previous and next buttons and the close
// button, in a rounded floating box. It keeps no state: it edits the pane
// model's query and calls the pane's stepping and closing.

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;

namespace folvan::window {

class ContentView;
class PaneButton;

class SearchBar : public QWidget {
    Q_OBJECT
public:
    explicit SearchBar(ContentView *pane, QWidget *parent = nullptr);

    QLineEdit *field() const { return m_field; }
    QLabel *counter() const { return m_counter; }
    QWidget *progress() const { return m_progress; }
    PaneButton *previousButton() const { return m_previous; }
    PaneButton *nextButton() const { return m_next; }
    PaneButton *closeButton() const { return m_close; }

public slots:
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void followFocusState();

    ContentView *livePane() const;

    QPointer<QObject> m_pane;
    QLineEdit *m_field;
    QLabel *m_counter;
    QWidget *m_progress;
    PaneButton *m_previous;
    PaneButton *m_next;
    PaneButton *m_close;
};

} // namespace folvan::window
