#pragma once

// The annotations of the pane's paper, one row per annotation item in the
// order the pane's annotations list them: a row jumps to its annotation
// (remembering the place left) and tells its host to close; its edit button
// opens the editor on the whole list; its delete button deletes at once
// (undoable).
//
// The rows are drawn lazily by an item view over AnnotationListModel, which
// follows the pane model only while the list is on screen and turns each
// change of the items into the rows it touches.

#include <QAbstractListModel>
#include <QFrame>
#include <QPointer>

#include <functional>
#include <optional>
#include <vector>

#include "annotations/ReadingMarkup.h"

class QLabel;
class QListView;

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::annotationsview {

class AnnotationEditor;

// The rows of the list: the pane's annotation items, read afresh for
// every row drawn. It keeps only each row's id and a print of what the row
// shows, to tell which rows a change of the items touched.
class AnnotationListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        PageTextRole = Qt::UserRole + 1, // "第 iv 页"
        EditLabelRole,                   // the edit button's accessibility label
        DeleteLabelRole,                 // the delete button's accessibility label
    };

    explicit AnnotationListModel(model::SharedPDFViewModel *model, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // The item of a row, while the rows follow the pane model.
    const annotations::ReadingAnnotationItem *item(int row) const;
    // A number for what a row shows: the same number, the same row drawn.
    size_t print(int row) const;
    QString pageText(const annotations::ReadingAnnotationItem &item) const;

    // Following the pane model: rows change with its items. Not following:
    // no change of the items costs anything; the rows catch up on resuming.
    void setFollowing(bool following);

private:
    void synchronize();

    QPointer<model::SharedPDFViewModel> m_model;
    bool m_following = false;
    std::vector<QString> m_ids;
    std::vector<size_t> m_prints;
};

class AnnotationListView : public QWidget {
    Q_OBJECT
public:
    // The parts of a row.
    enum class Part { row, edit, remove };

    AnnotationListView(model::SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent = nullptr);
    ~AnnotationListView() override;

    int rowCount() const;
    AnnotationListModel *rows() const { return m_rows; }
    QListView *view() const { return m_view; }
    // Where a part of a row is, in the view's viewport; empty for a row
    // out of range.
    QRect partRect(int row, Part part) const;
    // The texts a row shows, line by line as drawn (a cut line ends with
    // "…"): the page line, then the quote's lines, then the note's.
    QStringList rowLines(int row) const;

    // The item whose editor is open, and the editor.
    const std::optional<annotations::ReadingAnnotationItem> &editing() const { return m_editing; }
    AnnotationEditor *editor() const;

    void jump(const annotations::ReadingAnnotationItem &item);
    void edit(const annotations::ReadingAnnotationItem &item);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void act(int row, Part part);
    void closeEditor();

    QPointer<model::SharedPDFViewModel> m_model;
    std::function<void()> m_dismiss;
    AnnotationListModel *m_rows;
    QListView *m_view;
    std::optional<annotations::ReadingAnnotationItem> m_editing;
    QPointer<QFrame> m_popover;
    int m_editorsOpened = 0;
};

// The list's section of the library panel: a divider, the header
// "阅读批注 · N" and the list; hidden while the paper has no annotation item.
class AnnotationSection : public QWidget {
    Q_OBJECT
public:
    AnnotationSection(model::SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent = nullptr);
    QLabel *header() const { return m_header; }
    AnnotationListView *list() const { return m_list; }

private:
    void refresh();

    QPointer<model::SharedPDFViewModel> m_model;
    QLabel *m_header;
    AnnotationListView *m_list;
};

} // namespace folvan::annotationsview
