// The functions and constants a script can call besides its own routines: each function is
// registered by its Pascal declaration text, with a category and a description for the designer's
// list, and served by a dispatcher that receives the called name and the argument values (for
// `var` parameters the dispatcher writes the new value into the argument). Host classes
// (HostClass.h) are registered here too. Subsystems add themselves through RegisterModule once at
// start-up; every new script sees them all.
// Thread contract: fill a library before scripts use it; afterwards it is read-only and may be
// shared by scripts on any thread.
#pragma once

#include "reportengine/script/Ast.h"
#include "reportengine/script/HostClass.h"

#include <QHash>
#include <functional>
#include <memory>
#include <vector>

namespace script {

class Script;

using Dispatcher = std::function<platform::Variant(Script& script, const QString& name,
                                                   std::vector<platform::Variant>& args)>;

struct LibraryFunction {
    QString Name;
    QString Declaration;
    QString Category;
    QString Description;
    std::shared_ptr<Routine> Heading;  // parameters with their modes, types and defaults
    std::vector<TypeKind> ParamTypes;
    TypeKind ResultType = TypeKind::Variant;
    int RequiredArgs = 0;
    Dispatcher Serve;
};

class FunctionLibrary {
public:
    // Throws EScriptError when the declaration does not parse. A later registration of the same
    // name replaces the earlier one, so a host can override a standard function.
    void AddFunction(const QString& declaration, const QString& category,
                     const QString& description, Dispatcher dispatcher);
    void AddConstant(const QString& name, const platform::Variant& value);

    int FindFunction(const QString& name) const;  // -1 when absent
    const LibraryFunction& Function(int index) const { return FFunctions[size_t(index)]; }
    int FunctionCount() const { return int(FFunctions.size()); }
    const platform::Variant* FindConstant(const QString& name) const;

    // Host classes (HostClass.h). AddClass returns the class to add members to; registering a
    // name again returns the existing class (its ancestor and binding updated when given). meta
    // binds a QObject class whose C++ name differs from the script name.
    HostClass& AddClass(const QString& name, const QString& ancestor,
                        const QMetaObject* meta = nullptr);
    const HostClass* FindClass(const QString& name) const;  // null when absent
    // The registered class of objects of this exact QMetaObject (no superclass walk); null when
    // none: bound by AddClass, else the class named like the C++ class without its namespace.
    const HostClass* ClassOfMeta(const QMetaObject* meta) const;
    // A member of the class or of its nearest ancestor that has it; null when none does.
    const HostMember* FindMember(const HostClass* cls, const QString& name,
                                 const HostClass** owner = nullptr) const;
    // True when cls is the class named name or descends from it.
    bool ClassInherits(const HostClass* cls, const QString& name) const;

    // The standard library plus every registered module, built once.
    static std::shared_ptr<const FunctionLibrary> Default();
    // A module adds functions and constants; register before the first Default() call.
    static void RegisterModule(std::function<void(FunctionLibrary&)> module);

private:
    std::vector<LibraryFunction> FFunctions;
    QHash<QString, int> FFunctionIndex;  // lower-case name -> index
    QHash<QString, platform::Variant> FConstants;
    // Shared with copies of the library; a copy that changes a class gets its own (AddClass).
    std::vector<std::shared_ptr<HostClass>> FClasses;
    QHash<QString, int> FClassIndex;             // lower-case name -> class
    QHash<const QMetaObject*, int> FClassMetas;  // bound by AddClass
};

// The standard functions and constants (StdLib.cpp).
void AddStandardLibrary(FunctionLibrary& library);

}  // namespace script
