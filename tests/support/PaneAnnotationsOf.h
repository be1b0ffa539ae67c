#pragma once

// The annotations of a pane model, for the tests that drive them. Only for
// tests that link the annotation library.

#include "annotations/PaneAnnotations.h"
#include "model/SharedPDFViewModel.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace folvan::test {

inline annotations::PaneAnnotations &annotationsOf(const model::SharedPDFViewModel &model)
{
    annotations::PaneAnnotations *found = annotations::PaneAnnotations::of(model);
    if (!found) {
        ADD_FAILURE() << "the pane model was given no annotations";
        std::abort();
    }
    return *found;
}

} // namespace folvan::test
