#pragma once

// The dock's library panel: the way back and forward through the reading
// positions, the bookmark of the current page, the paper's bookmarks and
// annotations in one scrolling list, the annotation undo and redo, copy and
// exports, and the pane's bookmark or annotation error. It keeps nothing
// of its own: it shows what the pane model publishes, follows it while
// open, and acts only through the model's operations. Going somewhere
// (back, forward, a bookmark, an annotation) closes it through `dismiss`.

#include <QPointer>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::annotations {
class PaneAnnotations;
}

namespace folvan::annotationsview {
class AnnotationSection;
}

namespace folvan::dock {

class ReaderLibraryPanel : public QWidget {
    Q_OBJECT
public:
    ReaderLibraryPanel(model::SharedPDFViewModel *viewModel, std::function<void()> dismiss, QWidget *parent = nullptr);

    // The height of the scrolling list: that of everything it holds (the
    // empty text or the bookmark rows, the annotations' divider, heading and
    // rows) as laid out at the list's width, at least 44 and at most 260.
    // Every row that fits under 260 shows whole; the list scrolls the rest.
    int listHeight() const;
    static int listHeight(int contentHeight);

    QToolButton *backButton() const { return m_back; }
    QToolButton *forwardButton() const { return m_forward; }
    QToolButton *bookmarkToggle() const { return m_toggle; }
    QScrollArea *list() const { return m_list; }
    QLabel *emptyText() const { return m_empty; }
    int bookmarkRowCount() const;
    // The parts of bookmark row `row`: the row itself, its page number, its
    // title and its remove button.
    QAbstractButton *bookmarkRow(int row) const;
    QLabel *bookmarkPage(int row) const;
    QLabel *bookmarkTitle(int row) const;
    QToolButton *removeButton(int row) const;
    annotationsview::AnnotationSection *annotationSection() const { return m_annotations; }
    QWidget *footer() const { return m_footer; }
    QToolButton *undoButton() const { return m_undo; }
    QToolButton *redoButton() const { return m_redo; }
    QToolButton *copyButton() const { return m_copy; }
    QToolButton *exportMarkdownButton() const { return m_exportMarkdown; }
    QToolButton *exportPDFButton() const { return m_exportPDF; }
    QLabel *errorLine() const { return m_error; }

    // Copies the Markdown summary of the annotations, when there is one.
    void copySummary();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The panel's parts, top to bottom, each added to `column`.
    void buildHeader(QVBoxLayout *column);
    void buildList(QVBoxLayout *column, model::SharedPDFViewModel *viewModel);
    void buildFooter(QVBoxLayout *column);
    void buildErrorLine(QVBoxLayout *column);
    void connectControls();
    void followModel(model::SharedPDFViewModel *viewModel);
    void rebuildBookmarks();
    void refresh();

    QPointer<model::SharedPDFViewModel> m_model;
    // The annotations of the model's pane; null when it has none.
    QPointer<annotations::PaneAnnotations> m_paneAnnotations;
    std::function<void()> m_dismiss;
    QToolButton *m_back;
    QToolButton *m_forward;
    QToolButton *m_toggle;
    QScrollArea *m_list;
    QLabel *m_empty;
    QVBoxLayout *m_bookmarkRows;
    annotationsview::AnnotationSection *m_annotations;
    QWidget *m_footer;
    QToolButton *m_undo;
    QToolButton *m_redo;
    QToolButton *m_copy;
    QToolButton *m_exportMarkdown;
    QToolButton *m_exportPDF;
    QLabel *m_error;
};

} // namespace folvan::dock
