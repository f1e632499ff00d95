// The functions and constants a script can call besides its own routines: each function is
// registered by its Pascal declaration text, with a category and a description for the designer's
// list, and served by a dispatcher that receives the called name and the argument values (for
// `var` parameters the dispatcher writes the new value into the argument). Subsystems add
// themselves through RegisterModule once at start-up; every new script sees them all.
// Thread contract: fill a library before scripts use it; afterwards it is read-only and may be
// shared by scripts on any thread.
#pragma once

#include "reportengine/script/Ast.h"

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

    // The standard library plus every registered module, built once.
    static std::shared_ptr<const FunctionLibrary> Default();
    // A module adds functions and constants; register before the first Default() call.
    static void RegisterModule(std::function<void(FunctionLibrary&)> module);

private:
    std::vector<LibraryFunction> FFunctions;
    QHash<QString, int> FFunctionIndex;  // lower-case name -> index
    QHash<QString, platform::Variant> FConstants;
};

// The standard functions and constants (StdLib.cpp).
void AddStandardLibrary(FunctionLibrary& library);

}  // namespace script
