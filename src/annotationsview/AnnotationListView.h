#pragma once

// The annotations of the pane's paper, one row per annotation item in the
// model's order: a row jumps to its annotation (remembering the place left)
// and tells its host to close; its edit button opens the editor on the
// whole list; its delete button deletes at once (undoable).

#include <QFrame>
#include <QPointer>

#include <functional>
#include <optional>

#include "annotations/ReadingMarkup.h"

class QAbstractButton;
class QLabel;
class QVBoxLayout;

namespace folvan {
class SharedPDFViewModel;
}

namespace folvan::annotationsview {

class AnnotationEditor;

class AnnotationListView : public QWidget {
    Q_OBJECT
public:
    AnnotationListView(SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent = nullptr);
    ~AnnotationListView() override;

    int rowCount() const;
    QAbstractButton *rowButton(int row) const;
    QAbstractButton *editButton(int row) const;
    QAbstractButton *deleteButton(int row) const;

    // The item whose editor is open, and the editor.
    const std::optional<ReadingAnnotationItem> &editing() const { return m_editing; }
    AnnotationEditor *editor() const;

    void jump(const ReadingAnnotationItem &item);
    void edit(const ReadingAnnotationItem &item);

private:
    void rebuild();
    void closeEditor();

    QPointer<SharedPDFViewModel> m_model;
    std::function<void()> m_dismiss;
    QVBoxLayout *m_rows;
    std::optional<ReadingAnnotationItem> m_editing;
    QPointer<QFrame> m_popover;
    int m_editorsOpened = 0;
};

// The list's section of the library panel: a divider, the header
// "阅读批注 · N" and the list; hidden while the paper has no annotation item.
class AnnotationSection : public QWidget {
    Q_OBJECT
public:
    AnnotationSection(SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent = nullptr);
    QLabel *header() const { return m_header; }
    AnnotationListView *list() const { return m_list; }

private:
    void refresh();

    QPointer<SharedPDFViewModel> m_model;
    QLabel *m_header;
    AnnotationListView *m_list;
};

} // namespace folvan::annotationsview
