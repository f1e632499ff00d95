// The binder: walks a parsed program once, gives every variable a slot in its routine's frame (or
// the global frame), binds every name to what it stands for, checks argument counts and `var`
// arguments, and folds library constants into literals. Unknown names fail here, before the
// script runs, with the place of the name.
// Thread contract: used once by Script::Compile, on the compiling thread.
#pragma once

#include "reportengine/script/Ast.h"
#include "reportengine/script/Library.h"

#include <QHash>

namespace script {

class Script;

class Resolver {
public:
    Resolver(Script& script, Program& program, const FunctionLibrary& library);
    void Run();

private:
    struct Symbol {
        BindKind Kind;
        int Index;
        int Level;
        TypeKind Type;
        bool ReadOnly;
    };
    struct Scope {
        QHash<QString, Symbol> Names;
        Scope* Outer = nullptr;
        int Level = 0;
        Routine* Owner = nullptr;
        std::vector<TypeKind>* SlotTypes = nullptr;
    };

    void DeclareRoutines(std::vector<std::unique_ptr<Routine>>& routines, Scope& scope);
    int DeclareSlot(Scope& scope, const QString& name, const Pos& at, TypeKind type, bool readOnly);
    void ResolveRoutine(Routine& r, Scope& outer);
    void ResolveConsts(std::vector<ConstDecl>& consts, Scope& scope);
    void ResolveVars(std::vector<VarDecl>& vars, Scope& scope);
    TypeKind KindOf(const TypeRef& type);
    void ResolveStmt(Stmt& s, Scope& scope);
    void ResolveExpr(Expr& e, Scope& scope);
    void ResolveName(Expr& e, Scope& scope);
    void ResolveCall(Expr& e, Scope& scope);
    void ResolveArgs(Expr& call, const std::vector<Param>& params, int required, Scope& scope);
    void ResolveTarget(Expr& e, Scope& scope);
    const Symbol* Lookup(const QString& key, Scope& scope) const;
    [[noreturn]] void Fail(const Pos& at, const QString& reason) const;

    Script& FScript;
    Program& FProgram;
    const FunctionLibrary& FLibrary;
};

}  // namespace script
