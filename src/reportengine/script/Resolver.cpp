// The binder; see Resolver.h.
#include "reportengine/script/Resolver.h"

#include "reportengine/script/Script.h"

namespace script {

Resolver::Resolver(Script& script, Program& program, const FunctionLibrary& library)
    : FScript(script), FProgram(program), FLibrary(library) {}

void Resolver::Fail(const Pos& at, const QString& reason) const {
    throw EScriptError(reason, at.Line, at.Column, FProgram.Source.mid(at.Offset, at.Length));
}

void Resolver::Run() {
    Scope global;
    global.SlotTypes = &FScript.FGlobalTypes;
    ResolveConsts(FProgram.Consts, global);
    ResolveVars(FProgram.Vars, global);
    DeclareRoutines(FProgram.Routines, global);
    for (auto& r : FProgram.Routines)
        ResolveRoutine(*r, global);
    if (FProgram.Main)
        ResolveStmt(*FProgram.Main, global);
    for (auto it = global.Names.begin(); it != global.Names.end(); ++it)
        if (it->Kind == BindKind::Global)
            FScript.FGlobalNames.insert(it.key(), it->Index);
}

int Resolver::DeclareSlot(Scope& scope, const QString& name, const Pos& at, TypeKind type,
                          bool readOnly) {
    const QString key = name.toLower();
    if (scope.Names.contains(key))
        Fail(at, QStringLiteral("повторное объявление \"%1\"").arg(name));
    int slot = int(scope.SlotTypes->size());
    scope.SlotTypes->push_back(type);
    scope.Names.insert(key, Symbol{scope.Level == 0 ? BindKind::Global : BindKind::Local, slot,
                                   scope.Level, type, readOnly});
    return slot;
}

TypeKind Resolver::KindOf(const TypeRef& type) {
    if (type.Name.isEmpty() && !type.IsArray)
        return TypeKind::Variant;
    if (type.IsArray)
        Fail(type.At, QStringLiteral("массивы пока не поддерживаются"));
    TypeKind kind;
    if (!TypeKindByName(type.Name, kind))
        Fail(type.At, QStringLiteral("неизвестный тип \"%1\"").arg(type.Name));
    return kind;
}

void Resolver::ResolveConsts(std::vector<ConstDecl>& consts, Scope& scope) {
    for (ConstDecl& c : consts) {
        // The value is resolved before the name exists, so "const X = X" is an error.
        ResolveExpr(*c.Value, scope);
        c.Slot = DeclareSlot(scope, c.Name, c.At, KindOf(c.Type), true);
    }
}

void Resolver::ResolveVars(std::vector<VarDecl>& vars, Scope& scope) {
    for (VarDecl& v : vars) {
        TypeKind kind = KindOf(v.Type);
        if (v.Init)
            ResolveExpr(*v.Init, scope);
        v.Slot = DeclareSlot(scope, v.Name, v.At, kind, false);
    }
}

void Resolver::DeclareRoutines(std::vector<std::unique_ptr<Routine>>& routines, Scope& scope) {
    for (auto& r : routines) {
        const QString key = r->Name.toLower();
        if (scope.Names.contains(key))
            Fail(r->At, QStringLiteral("повторное объявление \"%1\"").arg(r->Name));
        r->Level = scope.Level + 1;
        scope.Names.insert(key, Symbol{BindKind::Routine, int(FScript.FRoutines.size()),
                                       scope.Level, TypeKind::Variant, true});
        FScript.FRoutines.push_back(r.get());
    }
}

void Resolver::ResolveRoutine(Routine& r, Scope& outer) {
    Scope scope;
    scope.Outer = &outer;
    scope.Level = r.Level;
    scope.Owner = &r;
    scope.SlotTypes = &r.SlotTypes;
    for (Param& p : r.Params) {
        if (p.Default)
            ResolveExpr(*p.Default, outer);
        DeclareSlot(scope, p.Name, p.At, KindOf(p.Type), p.Mode == ParamMode::Const);
    }
    if (r.IsFunction)
        r.ResultSlot = DeclareSlot(scope, QStringLiteral("Result"), r.At, KindOf(r.Result), false);
    ResolveConsts(r.Consts, scope);
    ResolveVars(r.Vars, scope);
    DeclareRoutines(r.Nested, scope);
    for (auto& nested : r.Nested)
        ResolveRoutine(*nested, scope);
    ResolveStmt(*r.Body, scope);
    r.FrameSize = int(r.SlotTypes.size());
}

const Resolver::Symbol* Resolver::Lookup(const QString& key, Scope& scope) const {
    for (Scope* s = &scope; s; s = s->Outer) {
        auto it = s->Names.find(key);
        if (it != s->Names.end())
            return &*it;
    }
    return nullptr;
}

void Resolver::ResolveStmt(Stmt& s, Scope& scope) {
    switch (s.Kind) {
        case StmtKind::Empty:
        case StmtKind::Break:
        case StmtKind::Continue:
            break;
        case StmtKind::Compound:
        case StmtKind::Repeat:
        case StmtKind::TryExcept:
        case StmtKind::TryFinally:
            for (auto& child : s.Body)
                ResolveStmt(*child, scope);
            for (auto& child : s.Handler)
                ResolveStmt(*child, scope);
            if (s.Cond)
                ResolveExpr(*s.Cond, scope);
            break;
        case StmtKind::Assign:
            ResolveExpr(*s.Value, scope);
            ResolveTarget(*s.Target, scope);
            break;
        case StmtKind::Call:
            ResolveExpr(*s.Value, scope);
            if (s.Value->Kind == ExprKind::Name && s.Value->Bound.Kind != BindKind::Routine &&
                s.Value->Bound.Kind != BindKind::Library)
                Fail(s.At, QStringLiteral("ожидается оператор"));
            break;
        case StmtKind::If:
        case StmtKind::While:
            ResolveExpr(*s.Cond, scope);
            ResolveStmt(*s.Then, scope);
            if (s.Else)
                ResolveStmt(*s.Else, scope);
            break;
        case StmtKind::For:
            ResolveExpr(*s.Value, scope);
            ResolveExpr(*s.Limit, scope);
            ResolveTarget(*s.Target, scope);
            ResolveStmt(*s.Then, scope);
            break;
        case StmtKind::Case:
            ResolveExpr(*s.Cond, scope);
            for (CaseBranch& b : s.Branches) {
                for (auto& label : b.Labels)
                    ResolveExpr(*label, scope);
                ResolveStmt(*b.Body, scope);
            }
            for (auto& child : s.Body)
                ResolveStmt(*child, scope);
            break;
        case StmtKind::Raise:
            if (s.Value) {
                // "raise Exception.Create(text)" raises the text; there are no script classes.
                Expr* v = s.Value.get();
                if (v->Kind == ExprKind::Call && v->Left->Kind == ExprKind::Member &&
                    v->Left->Left->Kind == ExprKind::Name &&
                    v->Left->Left->Name.compare(QLatin1String("Exception"), Qt::CaseInsensitive) ==
                        0 &&
                    v->Left->Name.compare(QLatin1String("Create"), Qt::CaseInsensitive) == 0 &&
                    v->Args.size() == 1) {
                    ExprPtr message = std::move(v->Args[0]);
                    s.Value = std::move(message);
                }
                ResolveExpr(*s.Value, scope);
            }
            break;
        case StmtKind::Exit:
            if (s.Value) {
                if (!scope.Owner || !scope.Owner->IsFunction)
                    Fail(s.At, QStringLiteral("значение выхода допустимо только в функции"));
                ResolveExpr(*s.Value, scope);
                s.Target = std::make_unique<Expr>();
                s.Target->Kind = ExprKind::Name;
                s.Target->At = s.At;
                s.Target->Name = QStringLiteral("Result");
                s.Target->Bound =
                    Binding{BindKind::Local, scope.Owner->ResultSlot, 0,
                            scope.SlotTypes->at(size_t(scope.Owner->ResultSlot)), false};
            }
            break;
        case StmtKind::With:
            Fail(s.At, QStringLiteral("\"with\" пока не поддерживается"));
    }
}

void Resolver::ResolveTarget(Expr& e, Scope& scope) {
    if (e.Kind == ExprKind::Index) {
        // s[i] := c changes one character of a string variable.
        ResolveTarget(*e.Left, scope);
        for (auto& arg : e.Args)
            ResolveExpr(*arg, scope);
        if (e.Args.size() != 1)
            Fail(e.At, QStringLiteral("ожидается один индекс"));
        return;
    }
    if (e.Kind == ExprKind::Member) {
        ResolveExpr(*e.Left, scope);
        return;
    }
    if (e.Kind != ExprKind::Name)
        Fail(e.At, QStringLiteral("ожидается переменная"));
    const QString key = e.Name.toLower();
    const Symbol* sym = Lookup(key, scope);
    // Inside a function its own name stands for Result on the left of ":=".
    if (sym && sym->Kind == BindKind::Routine) {
        for (Scope* s = &scope; s; s = s->Outer) {
            if (s->Owner && s->Owner->IsFunction && s->Owner->Name.toLower() == key) {
                e.Bound = Binding{BindKind::Local, s->Owner->ResultSlot, scope.Level - s->Level,
                                  s->SlotTypes->at(size_t(s->Owner->ResultSlot)), false};
                return;
            }
        }
    }
    if (!sym || (sym->Kind != BindKind::Local && sym->Kind != BindKind::Global))
        Fail(e.At, sym ? QStringLiteral("ожидается переменная")
                       : QStringLiteral("неизвестный идентификатор \"%1\"").arg(e.Name));
    if (sym->ReadOnly)
        Fail(e.At, QStringLiteral("нельзя изменить константу \"%1\"").arg(e.Name));
    e.Bound = Binding{sym->Kind, sym->Index, scope.Level - sym->Level, sym->Type, false};
}

void Resolver::ResolveName(Expr& e, Scope& scope) {
    const QString key = e.Name.toLower();
    if (const Symbol* sym = Lookup(key, scope)) {
        e.Bound =
            Binding{sym->Kind, sym->Index, scope.Level - sym->Level, sym->Type, sym->ReadOnly};
        if (sym->Kind == BindKind::Routine) {
            const Routine& r = *FScript.FRoutines[size_t(sym->Index)];
            for (const Param& p : r.Params)
                if (!p.Default)
                    Fail(e.At, QStringLiteral("недостаточно параметров для \"%1\"").arg(e.Name));
        }
        return;
    }
    int f = FLibrary.FindFunction(key);
    if (f >= 0) {
        if (FLibrary.Function(f).RequiredArgs > 0)
            Fail(e.At, QStringLiteral("недостаточно параметров для \"%1\"").arg(e.Name));
        e.Bound = Binding{BindKind::Library, f, 0, FLibrary.Function(f).ResultType, true};
        return;
    }
    if (const platform::Variant* value = FLibrary.FindConstant(key)) {
        e.Kind = ExprKind::Literal;
        e.Value = *value;
        return;
    }
    Fail(e.At, QStringLiteral("неизвестный идентификатор \"%1\"").arg(e.Name));
}

void Resolver::ResolveArgs(Expr& call, const std::vector<Param>& params, int required,
                           Scope& scope) {
    if (int(call.Args.size()) < required)
        Fail(call.At, QStringLiteral("недостаточно параметров"));
    if (call.Args.size() > params.size())
        Fail(call.Args[params.size()]->At, QStringLiteral("слишком много параметров"));
    for (size_t i = 0; i < call.Args.size(); ++i) {
        if (params[i].Mode == ParamMode::Var) {
            Expr& arg = *call.Args[i];
            if (arg.Kind != ExprKind::Name)
                Fail(arg.At, QStringLiteral("ожидается переменная"));
            ResolveTarget(arg, scope);
        } else {
            ResolveExpr(*call.Args[i], scope);
        }
    }
}

void Resolver::ResolveCall(Expr& e, Scope& scope) {
    if (e.Left->Kind != ExprKind::Name) {
        ResolveExpr(*e.Left, scope);
        for (auto& arg : e.Args)
            ResolveExpr(*arg, scope);
        return;
    }
    const QString key = e.Left->Name.toLower();
    if (const Symbol* sym = Lookup(key, scope)) {
        if (sym->Kind != BindKind::Routine)
            Fail(e.At, QStringLiteral("\"%1\" не является процедурой").arg(e.Left->Name));
        const Routine& r = *FScript.FRoutines[size_t(sym->Index)];
        int required = 0;
        for (size_t i = 0; i < r.Params.size(); ++i)
            if (!r.Params[i].Default)
                required = int(i) + 1;
        ResolveArgs(e, r.Params, required, scope);
        e.Bound = Binding{BindKind::Routine, sym->Index, 0, TypeKind::Variant, true};
        return;
    }
    int f = FLibrary.FindFunction(key);
    if (f < 0)
        Fail(e.At, QStringLiteral("неизвестный идентификатор \"%1\"").arg(e.Left->Name));
    const LibraryFunction& lf = FLibrary.Function(f);
    ResolveArgs(e, lf.Heading->Params, lf.RequiredArgs, scope);
    e.Bound = Binding{BindKind::Library, f, 0, lf.ResultType, true};
    if (key == QLatin1String("iif"))
        e.Op = Tok::KwIf;
}

void Resolver::ResolveExpr(Expr& e, Scope& scope) {
    switch (e.Kind) {
        case ExprKind::Literal:
            break;
        case ExprKind::Name:
            ResolveName(e, scope);
            break;
        case ExprKind::Call:
            ResolveCall(e, scope);
            break;
        case ExprKind::Unary:
        case ExprKind::Binary:
        case ExprKind::Index:
        case ExprKind::Member:
        case ExprKind::SetLiteral:
        case ExprKind::Range:
            if (e.Left)
                ResolveExpr(*e.Left, scope);
            if (e.Right)
                ResolveExpr(*e.Right, scope);
            for (auto& arg : e.Args)
                ResolveExpr(*arg, scope);
            break;
    }
}

}  // namespace script
