// Built with -fno-rtti (tests/CMakeLists.txt): the class's virtual table
// holds no type information, as the web engine's own classes do not.

#include "support/UntypedObject.h"

#include <QObject>

namespace folvan::test {

namespace {

class Untyped : public QObject {
public:
    // An override of its own, so that the class has a table of its own.
    bool event(QEvent *event) override { return QObject::event(event); }
};

} // namespace

void DeleteUntyped::operator()(QObject *object) const
{
    delete static_cast<Untyped *>(object);
}

UntypedObject makeUntypedObject()
{
    return UntypedObject(new Untyped);
}

} // namespace folvan::test
