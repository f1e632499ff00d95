// Host classes as report scripts see them: a class is known by its script name and the name of its
// ancestor, and carries methods (declared by Pascal heading text) and properties (a script type
// name, read-only or read-write, optionally indexed), each served by a dispatcher. Members are
// inherited through the ancestor chain, so a class registered as a descendant of
// "TfrxDialogControl" answers every member registered there. Names compare without letter case.
// A QObject belongs to the registered class named like its C++ class (namespace removed) or bound
// to its QMetaObject; members no registration serves come from Q_PROPERTY / Q_INVOKABLE.
// Thread contract: filled while the library is built (FunctionLibrary::RegisterModule); afterwards
// read-only, shared by scripts on any thread. A dispatcher runs on the script's thread.
#pragma once

#include "reportengine/script/Ast.h"

#include <QHash>
#include <QMetaObject>
#include <functional>
#include <memory>
#include <vector>

namespace script {

class Script;
class HostClass;

// One call of a host member. Args: the method's arguments converted to their declared types (a
// dispatcher writes new values of `var` parameters into them), or the indexes of an indexed
// property. For a property write IsWrite is set and Value holds the new value (converted to the
// property's type).
struct HostCall {
    Script& Caller;
    QObject* Object;         // alive for the whole call
    QString ClassName;       // the object's exact class: its registered name, else its C++ name
    const HostClass* Class;  // the registered class whose member is served (may be an ancestor)
    QString Member;          // the member's name as registered
    std::vector<platform::Variant>& Args;
    bool IsWrite = false;
    platform::Variant Value;
};

using MemberDispatcher = std::function<platform::Variant(HostCall& call)>;

struct HostMember {
    QString Name;
    QString Declaration;
    bool IsProperty = false;
    bool ReadOnly = false;
    QString TypeName;                  // script type name of a property or function result
    std::shared_ptr<Routine> Heading;  // parameters (method) or indexes (property)
    std::vector<TypeKind> ParamTypes;
    TypeKind ResultType = TypeKind::Variant;
    int RequiredArgs = 0;
    MemberDispatcher Serve;
};

class HostClass {
public:
    HostClass(QString name, QString ancestor)
        : FName(std::move(name)), FAncestor(std::move(ancestor)) {}

    const QString& Name() const { return FName; }
    const QString& Ancestor() const { return FAncestor; }

    // "procedure ExecSQL", "function GetItem(Index: Integer): String". Throws EScriptError when
    // the declaration does not parse; a later registration of the same name replaces it.
    HostClass& AddMethod(const QString& declaration, MemberDispatcher dispatcher);
    // "Query: TQuery" or "Variables[Name: String]: Variant" (a leading "property" is allowed).
    HostClass& AddProperty(const QString& declaration, bool readOnly, MemberDispatcher dispatcher);

    // This class's own member; null when absent (ancestors: FunctionLibrary::FindMember).
    const HostMember* FindOwnMember(const QString& name) const;
    const std::vector<HostMember>& Members() const { return FMembers; }

private:
    friend class FunctionLibrary;
    HostClass& Add(HostMember member);

    QString FName;
    QString FAncestor;
    std::vector<HostMember> FMembers;
    QHash<QString, int> FIndex;  // lower-case name -> member
};

}  // namespace script
