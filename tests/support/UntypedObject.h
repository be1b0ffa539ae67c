#pragma once

// An object made as the web engine makes the items of its scene: of a class
// built without type information. The undefined-behaviour checks cannot
// verify any call on it, so in the sanitizer build a filter that asks it
// anything about itself (isWidgetType(), window()) ends the run.

#include <memory>

class QObject;

namespace folvan::test {

// Deleted where it was made: a delete through QObject anywhere else is a
// call the checks cannot verify either.
struct DeleteUntyped {
    void operator()(QObject *object) const;
};
using UntypedObject = std::unique_ptr<QObject, DeleteUntyped>;

UntypedObject makeUntypedObject();

} // namespace folvan::test
