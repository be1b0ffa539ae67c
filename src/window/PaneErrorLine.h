#pragma once

// The pane's lasting error line: while a store of the pane cannot read or
// write its file (the paper's annotations, its bookmarks, the notes
// library, the reading history), its error stands in red over the top of the reading row, one
// line for each failing store, until the failure ends. A passing alert
// alone is missed by a reader who looked away. A radio stream that cannot
// be played is told there too, until the next switch of the radio.

#include <QLabel>
#include <QPointer>

namespace folvan {
class PaperNotesStore;
class ReadingHistory;
class SharedPDFViewModel;
} // namespace folvan

namespace folvan::window {

class PaneRadio;

class PaneErrorLine : public QLabel {
    Q_OBJECT
public:
    PaneErrorLine(SharedPDFViewModel *model, PaperNotesStore *notes, ReadingHistory *history,
                  QWidget *parent = nullptr);

    // The errors shown now, one a line; empty while every store is well.
    QStringList errors() const;
    // The radio whose stream errors the line shows too.
    void setRadio(PaneRadio *radio);

signals:
    // Shown or hidden, or its text changed: its place may change.
    void changed();

private:
    void refresh();

    QPointer<SharedPDFViewModel> m_model;
    QPointer<PaperNotesStore> m_notes;
    QPointer<PaneRadio> m_radio;
    QPointer<ReadingHistory> m_history;
};

} // namespace folvan::window
