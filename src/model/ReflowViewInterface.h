#pragma once

// What the pane model asks of the reflow view that shows its document. The
// view implements this next to its QObject base and declares
// Q_INTERFACES(folvan::model::ReflowViewInterface); the model holds it weakly as a
// QObject, so that no model includes a widget header.

#include <QObject>

namespace folvan::model {

class ReflowViewInterface {
public:
    virtual ~ReflowViewInterface() = default;

    // Brings the model's reflow position up to where the page is now, before
    // the caller saves it: the page reports its position only once
    // scrolling has settled. Returns when the page answered or did not in
    // time.
    virtual void takeReadingPosition() = 0;
};

} // namespace folvan::model

#define FolvanReflowViewInterface_iid "org.folvan.ReflowViewInterface"
Q_DECLARE_INTERFACE(folvan::model::ReflowViewInterface, FolvanReflowViewInterface_iid)
