// Per call site state of host member access, kept in the syntax tree (Expr::Site): the member
// found for the last object class seen there (so a loop over rows looks a member up once), and for
// a name inside "with" the with objects to try first and the binding the name has outside.
// Thread contract: belongs to the tree of one Script; touched only by its running thread.
#pragma once

#include "reportengine/script/Ast.h"
#include "reportengine/script/HostClass.h"
#include "reportengine/script/HostValues.h"

namespace script {

// What the interpreter knows about one QMetaObject: its members by name, the registered class of
// its objects (the nearest registered one up its inheritance) and its exact class name.
struct MetaInfo {
    MetaNames Names;
    const HostClass* Class = nullptr;
    QString ExactName;
};

struct HostSite {
    const QMetaObject* Meta = nullptr;  // the class the cached look-up is for
    const MetaInfo* Info = nullptr;
    const HostMember* Member = nullptr;         // a registered member ...
    const HostClass* Owner = nullptr;           // ... and the class that registered it
    int Property = -1;                          // else a Q_PROPERTY
    const std::vector<int>* Methods = nullptr;  // else Q_INVOKABLE overloads
    std::vector<Binding> WithSlots;  // with objects, innermost first (names inside "with")
    Binding Outer;                   // what the name means when no with object has it
};

}  // namespace script
