#pragma once

// Where the annotation exports ask the user for a target file. The reader
// window installs a chooser backed by its save panel; tests install their
// own.

#include <QString>

#include <memory>

namespace folvan::annotations {

class AnnotationExportChooser {
public:
    virtual ~AnnotationExportChooser() = default;

    // Asks for the file to write, proposing `proposedName`; `suffix` ("pdf"
    // or "md") is the only type offered. An empty result means cancelled.
    virtual QString chooseSavePath(const QString &proposedName, const QString &suffix) = 0;

    // The chooser the exports use; none until one is installed, and then
    // the exports do nothing.
    static AnnotationExportChooser *shared();
    static void setShared(std::shared_ptr<AnnotationExportChooser> chooser);
};

} // namespace folvan::annotations
