#pragma once

// One undo step of a pane's annotations: the markup list before and after a
// commit. Undoing and redoing apply a whole list again, so that every undo
// and redo draws, saves and tells the other panes like any change.

#include <QPointer>
#include <QUndoCommand>

#include <vector>

#include "annotations/ReadingMarkup.h"
#include "model/SharedPDFViewModel.h"

namespace folvan::annotations {

class MarkupCommitCommand : public QUndoCommand {
public:
    MarkupCommitCommand(SharedPDFViewModel *model, std::vector<ReadingMarkup> before,
                        std::vector<ReadingMarkup> after, const QString &name)
        : QUndoCommand(name), m_model(model), m_before(std::move(before)), m_after(std::move(after))
    {
    }

    void redo() override
    {
        if (m_model)
            m_model->applyAnnotations(m_after);
    }
    void undo() override
    {
        if (m_model)
            m_model->applyAnnotations(m_before);
    }

private:
    QPointer<SharedPDFViewModel> m_model;
    std::vector<ReadingMarkup> m_before;
    std::vector<ReadingMarkup> m_after;
};

} // namespace folvan::annotations
