#pragma once

// What a pane shows while it holds no paper: today's date, a greeting for
// the hour, the open button, a hint about dropping files and the recently
// read papers.

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace folvan::historyview {
class RecentReadingList;
}

namespace folvan::window {

class ContentView;

class WelcomeView : public QWidget {
    Q_OBJECT
public:
    explicit WelcomeView(ContentView *pane, QWidget *parent = nullptr);

    static constexpr int kMaxWidth = 480;
    static constexpr int kSideMargin = 16;
    // The room above the date line.
    static constexpr int kTopInset = 40;

    // The date line and the greeting for now; the clock can be replaced.
    QString currentDate() const;
    QString currentGreeting() const;
    void setClock(std::function<QDateTime()> clock);

    QLabel *dateLabel() const { return m_date; }
    QLabel *greetingLabel() const { return m_greeting; }
    QPushButton *openButton() const { return m_open; }
    QLabel *hintLabel() const { return m_hint; }
    historyview::RecentReadingList *recentList() const { return m_recent; }

public slots:
    // Reads the date and the hour again.
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPointer<ContentView> m_pane;
    std::function<QDateTime()> m_clock;
    QLabel *m_date;
    QLabel *m_greeting;
    QPushButton *m_open;
    QLabel *m_hint;
    historyview::RecentReadingList *m_recent;
};

} // namespace folvan::window
