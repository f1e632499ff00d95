// The binder: walks a parsed program once, gives every variable a slot in its routine's frame (or
// the global frame), binds every name to what it stands for, checks argument counts and `var`
// arguments, and folds library constants into literals. Unknown names fail here, before the
// script runs, with the place of the name (unless the host resolves names late). It keeps the
// global scope afterwards, so that expression texts resolve against the script's globals.
// Thread contract: owned by the Script that compiled; used on its thread only.
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
    // Binds one expression text in the global scope (after Run).
    void ResolveStandalone(Expr& e, const QString& text);

private:
    struct Symbol {
        BindKind Kind;
        int Index;
        int Level;
        TypeKind Type;
        bool ReadOnly;
        ArrayShape Array;
        const Expr* ConstValue = nullptr;  // for constants: folds array bounds
    };
    struct Scope {
        QHash<QString, Symbol> Names;
        Scope* Outer = nullptr;
        int Level = 0;
        Routine* Owner = nullptr;
        std::vector<TypeKind>* SlotTypes = nullptr;
        std::vector<ArrayShape>* SlotArrays = nullptr;
        std::vector<Binding> With;  // with objects in force, outermost first
    };

    void DeclareRoutines(std::vector<std::unique_ptr<Routine>>& routines, Scope& scope);
    int DeclareSlot(Scope& scope, const QString& name, const Pos& at, TypeKind type, bool readOnly,
                    ArrayShape array = nullptr);
    ArrayShape ShapeOf(const TypeRef& type, Scope& scope);
    ArrayShape ShapeOf(const Expr& e) const;
    bool Fold(const Expr& e, int64_t& value, int depth = 0) const;
    bool ResolveIntrinsic(Expr& e, const QString& key, Scope& scope);
    void WithName(Expr& e, Scope& scope);
    void ResolveWith(Stmt& s, Scope& scope);
    void ResolveRoutine(Routine& r, Scope& outer);
    void ResolveConsts(std::vector<ConstDecl>& consts, Scope& scope);
    void ResolveVars(std::vector<VarDecl>& vars, Scope& scope);
    TypeKind KindOf(const TypeRef& type);
    bool IsClassName(const QString& name) const;
    void ResolveStmt(Stmt& s, Scope& scope);
    void ResolveExpr(Expr& e, Scope& scope);
    void ResolveName(Expr& e, Scope& scope);
    void ResolveCall(Expr& e, Scope& scope);
    void ResolveArgs(Expr& call, const std::vector<Param>& params, int required, Scope& scope,
                     bool items = false);
    void ResolveTarget(Expr& e, Scope& scope);
    const Symbol* Lookup(const QString& key, Scope& scope) const;
    [[noreturn]] void Fail(const Pos& at, const QString& reason) const;

    Script& FScript;
    Program& FProgram;
    const FunctionLibrary& FLibrary;
    Scope FGlobal;
    int FWithCount = 0;
    const QString* FExpressionText = nullptr;
};

}  // namespace script
