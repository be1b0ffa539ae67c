#pragma once

#include "history/RecentReading.h"

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QVBoxLayout;

namespace folvan::history {
class ReadingHistory;
}

namespace folvan::historyview {

// The most recently read papers of the reading history, for reopening them in
// a pane that shows no paper. Each of the newest six records is a row: a click
// opens its paper, a row whose file cannot be found is drawn disabled, and
// every row's context menu removes its record. The history's load or save
// error is shown under the rows. The list is rebuilt, and every row's file
// located anew, whenever the history changes, the list is shown or its
// window is activated, and when a row is clicked.
class RecentReadingList : public QWidget {
    Q_OBJECT
public:
    using OpenAction = std::function<void(const QString &path)>;

    static constexpr int visibleRows = 6;

    RecentReadingList(history::ReadingHistory *history, OpenAction open, QWidget *parent = nullptr);

    // "第 N 页 · " followed by the view: "重排", or "翻书"/"滚动" and the zoom
    // as a whole percentage.
    static QString subtitle(const history::DocumentReadingState &state);
    // The file name of a stored path without its last extension.
    static QString title(const QString &path);

public slots:
    void rebuild();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QPointer<history::ReadingHistory> m_history;
    OpenAction m_open;
    QVBoxLayout *m_stack;
};

// One row of the recent list. It stays enabled while its file is missing, so
// that its context menu still works, and is drawn as disabled instead.
class RecentReadingRow : public QAbstractButton {
    Q_OBJECT
public:
    RecentReadingRow(const history::RecentReading &record, const QString &location, QWidget *parent = nullptr);

    // The readable file of the record; empty when it cannot be found.
    QString location() const { return m_location; }
    bool isAvailable() const { return !m_location.isEmpty(); }
    QString titleText() const;
    QString subtitleText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void elideTitle();

    QString m_location;
    QString m_title;
    QLabel *m_titleLabel;
    QLabel *m_subtitleLabel;
};

} // namespace folvan::historyview
