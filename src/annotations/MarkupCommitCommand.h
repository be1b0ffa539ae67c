#pragma once

// One undo step of a pane's annotations: the markup list before and after a
// commit. Undoing and redoing apply a whole list again, so that every undo
// and redo draws, saves and tells the other panes like any change.

#include <QPointer>
#include <QUndoCommand>

#include <vector>

#include "annotations/ReadingMarkup.h"
#include "annotations/PaneAnnotations.h"

namespace folvan::annotations {

class MarkupCommitCommand : public QUndoCommand {
public:
    MarkupCommitCommand(PaneAnnotations *annotations, std::vector<ReadingMarkup> before,
                        std::vector<ReadingMarkup> after, const QString &name)
        : QUndoCommand(name), m_annotations(annotations), m_before(std::move(before)), m_after(std::move(after))
    {
    }

    void redo() override
    {
        if (m_annotations)
            m_annotations->applyAnnotations(m_after);
    }
    void undo() override
    {
        if (m_annotations)
            m_annotations->applyAnnotations(m_before);
    }

private:
    QPointer<PaneAnnotations> m_annotations;
    std::vector<ReadingMarkup> m_before;
    std::vector<ReadingMarkup> m_after;
};

} // namespace folvan::annotations
