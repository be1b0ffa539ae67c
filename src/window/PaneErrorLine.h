#pragma once

// The pane's lasting error line: while a store of the pane cannot read or
// write its file (the paper's annotations, its bookmarks, the notes
// library, the reading history), its error stands in red over the top of the reading row, one
// line for each failing store, until the failure ends. A passing alert
// alone is missed by a reader who looked away. A radio stream that cannot
// be played is told there too, until the next switch of the radio, and a
// damaged paper that opened only repaired, while it is open. The
// reader may close the line: the messages it showed then stay closed while
// they last, and a new one opens it again.

#include <QLabel>
#include <QPointer>

class QToolButton;

namespace folvan::notes {
class PaperNotesStore;
}

namespace folvan::history {
class ReadingHistory;
}

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::window {

class PaneRadio;

class PaneErrorLine : public QLabel {
    Q_OBJECT
public:
    PaneErrorLine(model::SharedPDFViewModel *model, notes::PaperNotesStore *notes, history::ReadingHistory *history,
                  QWidget *parent = nullptr);

    // What the line says of the paper `fileName` that opened only repaired.
    static QString repairedPaperText(const QString &fileName);

    // The errors shown now, one a line; empty while every store is well or
    // the reader closed the line on every message still standing.
    QStringList errors() const;
    QToolButton *closeButton() const { return m_close; }
    // Closes the line on the messages it shows now.
    void dismiss();
    // The radio whose stream errors the line shows too.
    void setRadio(PaneRadio *radio);

signals:
    // Shown or hidden, or its text changed: its place may change.
    void changed();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Every message standing now, closed or not.
    QStringList standing() const;
    void refresh();

    QToolButton *m_close;
    // The messages the reader closed the line on, while they stand.
    QStringList m_dismissed;

    QPointer<model::SharedPDFViewModel> m_model;
    QPointer<notes::PaperNotesStore> m_notes;
    QPointer<PaneRadio> m_radio;
    QPointer<history::ReadingHistory> m_history;
};

} // namespace folvan::window
