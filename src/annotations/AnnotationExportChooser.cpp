#include "annotations/AnnotationExportChooser.h"

namespace folvan::annotations {

namespace {

std::shared_ptr<AnnotationExportChooser> &installed()
{
    static std::shared_ptr<AnnotationExportChooser> chooser;
    return chooser;
}

} // namespace

AnnotationExportChooser *AnnotationExportChooser::shared()
{
    return installed().get();
}

void AnnotationExportChooser::setShared(std::shared_ptr<AnnotationExportChooser> chooser)
{
    installed() = std::move(chooser);
}

} // namespace folvan::annotations
