#pragma once

// What the pane model asks of the annotations of its pane. The annotation
// layer's object (its markups, their undo stack and file) implements this
// and is handed to the model by whoever makes the pane
// (SharedPDFViewModel::setAnnotations); the model reaches the annotations
// only through here, so that it never depends on the annotation layer.

#include <QObject>

namespace folvan::model {

class PaneAnnotationsInterface : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~PaneAnnotationsInterface() override = default;

    // Another pane wrote the annotation file of the open document: its
    // markups are read again.
    virtual void reloadSharedAnnotations() = 0;
    // Writes the markups again when their last save failed; nothing
    // otherwise.
    virtual void retryUnsavedAnnotations() = 0;
    // Whether the last save of the markups failed.
    virtual bool hasUnsavedAnnotations() const = 0;
};

} // namespace folvan::model
