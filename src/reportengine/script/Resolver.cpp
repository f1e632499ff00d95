// The binder; see Resolver.h.
#include "reportengine/script/Resolver.h"

#include "reportengine/script/HostSite.h"
#include "reportengine/script/Script.h"

namespace script {

Resolver::Resolver(Script& script, Program& program, const FunctionLibrary& library)
    : FScript(script), FProgram(program), FLibrary(library) {}

void Resolver::Fail(const Pos& at, const QString& reason) const {
    const QString& source = at.InExpression && FExpressionText ? *FExpressionText : FProgram.Source;
    throw EScriptError(reason, at.Line, at.Column, source.mid(at.Offset, at.Length));
}

void Resolver::Run() {
    Scope& global = FGlobal;
    global.SlotTypes = &FScript.FGlobalTypes;
    global.SlotArrays = &FScript.FGlobalArrays;
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

void Resolver::ResolveStandalone(Expr& e, const QString& text) {
    FExpressionText = &text;
    struct Restore {
        const QString*& Text;
        ~Restore() { Text = nullptr; }
    } restore{FExpressionText};
    ResolveExpr(e, FGlobal);
}

int Resolver::DeclareSlot(Scope& scope, const QString& name, const Pos& at, TypeKind type,
                          bool readOnly, ArrayShape array) {
    const QString key = name.toLower();
    if (scope.Names.contains(key))
        Fail(at, QStringLiteral("повторное объявление \"%1\"").arg(name));
    int slot = int(scope.SlotTypes->size());
    scope.SlotTypes->push_back(type);
    scope.SlotArrays->push_back(array);
    scope.Names.insert(key, Symbol{scope.Level == 0 ? BindKind::Global : BindKind::Local, slot,
                                   scope.Level, type, readOnly, std::move(array)});
    return slot;
}

// Bounds of static arrays must be known when the script compiles: integer literals, constants
// and + - * div of them.
bool Resolver::Fold(const Expr& e, int64_t& value, int depth) const {
    if (depth > 32)
        return false;
    switch (e.Kind) {
        case ExprKind::Literal:
            if (!e.Value.IsOrdinal())
                return false;
            value = e.Value.ToInt64();
            return true;
        case ExprKind::Unary: {
            if (!Fold(*e.Left, value, depth + 1))
                return false;
            if (e.Op == Tok::Minus)
                value = -value;
            return e.Op == Tok::Minus || e.Op == Tok::Plus;
        }
        case ExprKind::Binary: {
            int64_t a = 0, b = 0;
            if (!Fold(*e.Left, a, depth + 1) || !Fold(*e.Right, b, depth + 1))
                return false;
            switch (e.Op) {
                case Tok::Plus:
                    return !__builtin_add_overflow(a, b, &value);
                case Tok::Minus:
                    return !__builtin_sub_overflow(a, b, &value);
                case Tok::Star:
                    return !__builtin_mul_overflow(a, b, &value);
                case Tok::KwDiv:
                    if (b == 0 || (a == INT64_MIN && b == -1))
                        return false;
                    value = a / b;
                    return true;
                default:
                    return false;
            }
        }
        default:
            return false;
    }
}

namespace {

int64_t TotalItems(const ArrayType& shape) {
    const int64_t own = shape.High - shape.Low + 1;
    return shape.Inner && !shape.Inner->Dynamic ? own * TotalItems(*shape.Inner) : own;
}

}  // namespace

ArrayShape Resolver::ShapeOf(const TypeRef& type, Scope& scope) {
    if (!type.IsArray)
        return nullptr;
    // array[a..b, c..d] of T is array[a..b] of array[c..d] of T.
    ArrayShape inner;
    TypeKind element = TypeKind::Variant;
    if (type.Element) {
        if (type.Element->IsArray) {
            inner = ShapeOf(*type.Element, scope);
            element = TypeKind::Array;
        } else if (type.Element->Name.compare(QLatin1String("const"), Qt::CaseInsensitive) != 0) {
            element = KindOf(*type.Element);
        }
    }
    if (type.Bounds.empty()) {
        auto shape = std::make_shared<ArrayType>();
        shape->Element = element;
        shape->Inner = inner;
        return shape;
    }
    for (size_t i = type.Bounds.size(); i-- > 0;) {
        auto shape = std::make_shared<ArrayType>();
        shape->Dynamic = false;
        ResolveExpr(*type.Bounds[i].first, scope);
        ResolveExpr(*type.Bounds[i].second, scope);
        if (!Fold(*type.Bounds[i].first, shape->Low) || !Fold(*type.Bounds[i].second, shape->High))
            Fail(type.Bounds[i].first->At, QStringLiteral("ожидаются постоянные границы массива"));
        if (shape->High < shape->Low)
            Fail(type.Bounds[i].first->At, QStringLiteral("недопустимые границы массива"));
        int64_t items = 0;
        if (__builtin_sub_overflow(shape->High, shape->Low, &items) || items >= MaxArrayItems)
            Fail(type.Bounds[i].first->At, QStringLiteral("слишком большой массив"));
        ++items;
        const int64_t inside = inner && !inner->Dynamic ? TotalItems(*inner) : 1;
        if (items <= 0 || items > MaxArrayItems || inside * items > MaxArrayItems)
            Fail(type.Bounds[i].first->At, QStringLiteral("слишком большой массив"));
        shape->Element = element;
        shape->Inner = inner;
        inner = shape;
        element = TypeKind::Array;
    }
    return inner;
}

ArrayShape Resolver::ShapeOf(const Expr& e) const {
    if (e.Kind == ExprKind::Name &&
        (e.Bound.Kind == BindKind::Local || e.Bound.Kind == BindKind::Global))
        return e.Bound.Array;
    if (e.Kind == ExprKind::Index) {
        ArrayShape shape = ShapeOf(*e.Left);
        for (size_t i = 0; shape && i < e.Args.size(); ++i)
            shape = shape->Inner;
        return shape;
    }
    return nullptr;
}

TypeKind Resolver::KindOf(const TypeRef& type) {
    if (type.Name.isEmpty() && !type.IsArray)
        return TypeKind::Variant;
    if (type.IsArray)
        return TypeKind::Array;
    TypeKind kind;
    if (TypeKindByName(type.Name, kind))
        return kind;
    if (IsClassName(type.Name))
        return TypeKind::Variant;  // an object reference
    Fail(type.At, QStringLiteral("неизвестный тип \"%1\"").arg(type.Name));
}

// Host classes are known by registration, but templates also name classes the host only has as
// C++ classes (Sender: TfrxComponent); by convention such names start with "Tfrx" or with T and a
// capital (TObject, TDataSet), which a misspelt function name (Trunk) does not.
bool Resolver::IsClassName(const QString& name) const {
    return FLibrary.FindClass(name) || name.startsWith(QLatin1String("Tfrx")) ||
           (name.size() > 1 && name[0] == u'T' && name[1].isUpper());
}

void Resolver::ResolveConsts(std::vector<ConstDecl>& consts, Scope& scope) {
    for (ConstDecl& c : consts) {
        // The value is resolved before the name exists, so "const X = X" is an error.
        ResolveExpr(*c.Value, scope);
        c.Slot = DeclareSlot(scope, c.Name, c.At, KindOf(c.Type), true, ShapeOf(c.Type, scope));
        // An untyped integer constant folds into the names that use it (array bounds need it).
        if (c.Type.Name.isEmpty() && !c.Type.IsArray)
            scope.Names[c.Name.toLower()].ConstValue = c.Value.get();
    }
}

void Resolver::ResolveVars(std::vector<VarDecl>& vars, Scope& scope) {
    for (VarDecl& v : vars) {
        TypeKind kind = KindOf(v.Type);
        if (v.Init)
            ResolveExpr(*v.Init, scope);
        v.Slot = DeclareSlot(scope, v.Name, v.At, kind, false, ShapeOf(v.Type, scope));
    }
}

void Resolver::DeclareRoutines(std::vector<std::unique_ptr<Routine>>& routines, Scope& scope) {
    for (auto& r : routines) {
        const QString key = r->Name.toLower();
        if (scope.Names.contains(key))
            Fail(r->At, QStringLiteral("повторное объявление \"%1\"").arg(r->Name));
        r->Level = scope.Level + 1;
        scope.Names.insert(key, Symbol{BindKind::Routine, int(FScript.FRoutines.size()),
                                       scope.Level, TypeKind::Variant, true, nullptr});
        FScript.FRoutines.push_back(r.get());
    }
}

void Resolver::ResolveRoutine(Routine& r, Scope& outer) {
    Scope scope;
    scope.Outer = &outer;
    scope.Level = r.Level;
    scope.Owner = &r;
    scope.SlotTypes = &r.SlotTypes;
    scope.SlotArrays = &r.SlotArrays;
    for (Param& p : r.Params) {
        if (p.Default)
            ResolveExpr(*p.Default, outer);
        DeclareSlot(scope, p.Name, p.At, KindOf(p.Type), p.Mode == ParamMode::Const,
                    ShapeOf(p.Type, scope));
    }
    if (r.IsFunction) {
        if (!r.Result.Bounds.empty())
            Fail(r.Result.At,
                 QStringLiteral("результат функции не может быть массивом с границами"));
        r.ResultSlot = DeclareSlot(scope, QStringLiteral("Result"), r.At, KindOf(r.Result), false,
                                   ShapeOf(r.Result, scope));
    }
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
                s.Value->Bound.Kind != BindKind::Library && s.Value->Bound.Kind != BindKind::With)
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
            {
                // The loop counter is a variable, never a with object's property.
                std::vector<Binding> with;
                with.swap(scope.With);
                ResolveTarget(*s.Target, scope);
                with.swap(scope.With);
            }
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
                s.Target->Bound = Binding{BindKind::Local,
                                          scope.Owner->ResultSlot,
                                          0,
                                          scope.SlotTypes->at(size_t(scope.Owner->ResultSlot)),
                                          false,
                                          scope.SlotArrays->at(size_t(scope.Owner->ResultSlot))};
            }
            break;
        case StmtKind::With:
            ResolveWith(s, scope);
            break;
    }
}

// Each with object is evaluated once into a hidden slot; names inside the body first ask the
// innermost with object for a member of that name at run time (WithName).
void Resolver::ResolveWith(Stmt& s, Scope& scope) {
    const size_t outer = scope.With.size();
    for (auto& arg : s.Args) {
        ResolveExpr(*arg, scope);
        const QString hidden = QStringLiteral(" with%1").arg(++FWithCount);
        const int slot = DeclareSlot(scope, hidden, arg->At, TypeKind::Variant, false);
        Binding b{scope.Level == 0 ? BindKind::Global : BindKind::Local,
                  slot,
                  0,
                  TypeKind::Variant,
                  false,
                  nullptr};
        s.WithSlots.push_back(b);
        scope.With.push_back(b);
    }
    ResolveStmt(*s.Then, scope);
    scope.With.resize(outer);
}

void Resolver::WithName(Expr& e, Scope& scope) {
    auto site = std::make_shared<HostSite>();
    site->WithSlots.assign(scope.With.rbegin(), scope.With.rend());
    site->Outer = e.Bound;
    e.Site = std::move(site);
    e.Bound = Binding{BindKind::With, -1, 0, TypeKind::Variant, false, nullptr};
}

void Resolver::ResolveTarget(Expr& e, Scope& scope) {
    if (e.Kind == ExprKind::Index) {
        // s[i] := c changes one character of a string variable; a[i] := v one array item.
        ResolveTarget(*e.Left, scope);
        for (auto& arg : e.Args)
            ResolveExpr(*arg, scope);
        e.Array = ShapeOf(*e.Left);
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
                e.Bound = Binding{BindKind::Local,
                                  s->Owner->ResultSlot,
                                  scope.Level - s->Level,
                                  s->SlotTypes->at(size_t(s->Owner->ResultSlot)),
                                  false,
                                  s->SlotArrays->at(size_t(s->Owner->ResultSlot))};
                return;
            }
        }
    }
    const bool variable = sym && (sym->Kind == BindKind::Local || sym->Kind == BindKind::Global);
    if (!scope.With.empty() && (!sym || variable)) {
        // A property of a with object may take the name over at run time.
        if (variable && !sym->ReadOnly)
            e.Bound = Binding{sym->Kind, sym->Index, scope.Level - sym->Level,
                              sym->Type, false,      sym->Array};
        WithName(e, scope);
        return;
    }
    if (!variable)
        Fail(e.At, sym ? QStringLiteral("ожидается переменная")
                       : QStringLiteral("неизвестный идентификатор \"%1\"").arg(e.Name));
    if (sym->ReadOnly)
        Fail(e.At, QStringLiteral("нельзя изменить константу \"%1\"").arg(e.Name));
    e.Bound =
        Binding{sym->Kind, sym->Index, scope.Level - sym->Level, sym->Type, false, sym->Array};
}

void Resolver::ResolveName(Expr& e, Scope& scope) {
    const QString key = e.Name.toLower();
    if (const Symbol* sym = Lookup(key, scope)) {
        e.Bound = Binding{sym->Kind, sym->Index,    scope.Level - sym->Level,
                          sym->Type, sym->ReadOnly, sym->Array};
        int64_t folded = 0;
        if (sym->ConstValue && Fold(*sym->ConstValue, folded) && scope.With.empty()) {
            e.Kind = ExprKind::Literal;
            e.Value = folded == int64_t(int32_t(folded)) ? platform::Variant(int(folded))
                                                         : platform::Variant(folded);
            return;
        }
        if (sym->Kind == BindKind::Routine) {
            const Routine& r = *FScript.FRoutines[size_t(sym->Index)];
            for (const Param& p : r.Params)
                if (!p.Default)
                    Fail(e.At, QStringLiteral("недостаточно параметров для \"%1\"").arg(e.Name));
        }
        if (!scope.With.empty())
            WithName(e, scope);
        return;
    }
    int host = FScript.FindHostName(e.Name);
    if (host >= 0) {
        e.Bound = Binding{BindKind::Host, host, 0, TypeKind::Variant, true, nullptr};
        if (!scope.With.empty())
            WithName(e, scope);
        return;
    }
    int f = FLibrary.FindFunction(key);
    if (f >= 0) {
        if (FLibrary.Function(f).RequiredArgs > 0 && scope.With.empty())
            Fail(e.At, QStringLiteral("недостаточно параметров для \"%1\"").arg(e.Name));
        e.Bound = Binding{BindKind::Library, f, 0, FLibrary.Function(f).ResultType, true, nullptr};
        if (!scope.With.empty())
            WithName(e, scope);
        return;
    }
    if (const platform::Variant* value = FLibrary.FindConstant(key)) {
        if (!scope.With.empty()) {
            e.Bound = Binding{BindKind::Constant, -1, 0, TypeKind::Variant, true, nullptr};
            e.Value = *value;
            WithName(e, scope);
            return;
        }
        e.Kind = ExprKind::Literal;
        e.Value = *value;
        return;
    }
    if (FScript.FNameResolver) {
        e.Bound = Binding{BindKind::Late, -1, 0, TypeKind::Variant, true, nullptr};
        if (!scope.With.empty())
            WithName(e, scope);
        return;
    }
    if (!scope.With.empty()) {
        WithName(e, scope);
        return;
    }
    Fail(e.At, QStringLiteral("неизвестный идентификатор \"%1\"").arg(e.Name));
}

void Resolver::ResolveArgs(Expr& call, const std::vector<Param>& params, int required, Scope& scope,
                           bool items) {
    if (int(call.Args.size()) < required)
        Fail(call.At, QStringLiteral("недостаточно параметров"));
    if (call.Args.size() > params.size())
        Fail(call.Args[params.size()]->At, QStringLiteral("слишком много параметров"));
    for (size_t i = 0; i < call.Args.size(); ++i) {
        if (params[i].Mode == ParamMode::Var) {
            Expr& arg = *call.Args[i];
            // A library function writes its var arguments back after it returns, so an array item
            // may be one; a routine works on the variable itself, which must not move meanwhile.
            if (arg.Kind != ExprKind::Name && !(items && arg.Kind == ExprKind::Index))
                Fail(arg.At, QStringLiteral("ожидается переменная"));
            ResolveTarget(arg, scope);
        } else {
            ResolveExpr(*call.Args[i], scope);
        }
    }
}

// Assigned, Low, High and SetLength of a typed array are served by the interpreter itself: they
// need the array's shape, which a library function does not see.
bool Resolver::ResolveIntrinsic(Expr& e, const QString& key, Scope& scope) {
    Intrinsic which;
    if (key == QLatin1String("assigned"))
        which = Intrinsic::Assigned;
    else if (key == QLatin1String("low"))
        which = Intrinsic::Low;
    else if (key == QLatin1String("high"))
        which = Intrinsic::High;
    else if (key == QLatin1String("setlength"))
        which = Intrinsic::SetLength;
    else
        return false;
    if (which == Intrinsic::SetLength) {
        if (e.Args.size() < 2)
            return false;
        Expr& target = *e.Args[0];
        if (target.Kind == ExprKind::Name) {
            const Symbol* sym = Lookup(target.Name.toLower(), scope);
            if (!sym || !sym->Array)
                return false;  // a string: the library's SetLength
        } else if (target.Kind != ExprKind::Index) {
            return false;
        }
        ResolveTarget(target, scope);
        e.Array = ShapeOf(target);
        if (!e.Array && target.Kind == ExprKind::Index)
            return false;  // an item that is not known to be an array
        if (!e.Array || !e.Array->Dynamic)
            Fail(e.Args[0]->At,
                 QStringLiteral("длину можно менять только у динамического массива"));
    } else if (e.Args.size() != 1) {
        Fail(e.At, e.Args.empty() ? QStringLiteral("недостаточно параметров")
                                  : QStringLiteral("слишком много параметров"));
    }
    for (size_t i = which == Intrinsic::SetLength ? 1 : 0; i < e.Args.size(); ++i)
        ResolveExpr(*e.Args[i], scope);
    e.Bound = Binding{BindKind::Intrinsic, int(which), 0, TypeKind::Variant, true, nullptr};
    if (which == Intrinsic::Low || which == Intrinsic::High) {
        e.Array = ShapeOf(*e.Args[0]);
        if (e.Array && !e.Array->Dynamic) {
            const int64_t v = which == Intrinsic::Low ? e.Array->Low : e.Array->High;
            e.Kind = ExprKind::Literal;
            e.Value = v == int64_t(int32_t(v)) ? platform::Variant(int(v)) : platform::Variant(v);
        }
    }
    return true;
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
        e.Bound = Binding{BindKind::Routine, sym->Index, 0, TypeKind::Variant, true, nullptr};
        if (!scope.With.empty())
            WithName(e, scope);
        return;
    }
    if (ResolveIntrinsic(e, key, scope))
        return;
    int f = FLibrary.FindFunction(key);
    TypeKind castKind = TypeKind::Variant;
    if (f < 0 && e.Args.size() == 1 &&
        (TypeKindByName(e.Left->Name, castKind) || IsClassName(e.Left->Name))) {
        // A type cast: Integer(x) converts; TfrxMemoView(Sender) passes the object through.
        ResolveExpr(*e.Args[0], scope);
        e.Bound = Binding{BindKind::Intrinsic, int(Intrinsic::Cast), 0, castKind, true, nullptr};
        return;
    }
    if (f < 0) {
        if (scope.With.empty())
            Fail(e.At, QStringLiteral("неизвестный идентификатор \"%1\"").arg(e.Left->Name));
        // Only a method of a with object can serve it.
        for (auto& arg : e.Args)
            ResolveExpr(*arg, scope);
        WithName(e, scope);
        return;
    }
    const LibraryFunction& lf = FLibrary.Function(f);
    ResolveArgs(e, lf.Heading->Params, lf.RequiredArgs, scope, true);
    e.Bound = Binding{BindKind::Library, f, 0, lf.ResultType, true, nullptr};
    if (key == QLatin1String("iif"))
        e.Op = Tok::KwIf;
    if (!scope.With.empty())
        WithName(e, scope);
}

void Resolver::ResolveExpr(Expr& e, Scope& scope) {
    switch (e.Kind) {
        case ExprKind::Literal:
        case ExprKind::DataRef:
            break;
        case ExprKind::Name:
            ResolveName(e, scope);
            break;
        case ExprKind::Call:
            ResolveCall(e, scope);
            break;
        case ExprKind::Binary:
            if (e.Op == Tok::KwIs) {
                // The right side names a class; it is not a value.
                if (e.Right->Kind != ExprKind::Name)
                    Fail(e.Right->At, QStringLiteral("ожидается имя класса"));
                ResolveExpr(*e.Left, scope);
                e.Right->Kind = ExprKind::Literal;
                e.Right->Value = platform::Variant(e.Right->Name);
                break;
            }
            [[fallthrough]];
        case ExprKind::Unary:
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
            if (e.Kind == ExprKind::Index)
                e.Array = ShapeOf(*e.Left);
            break;
    }
}

}  // namespace script
