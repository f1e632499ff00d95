// The interpreter over the resolved tree; see Script.h. Control flow (break, continue, exit)
// travels as return values, so that only real errors unwind the C++ stack.
#include "reportengine/script/Script.h"

#include "reportengine/script/HostSite.h"
#include "reportengine/script/Parser.h"
#include "reportengine/script/Resolver.h"

namespace script {

using platform::Variant;
using platform::VarType;

Script::Script(std::shared_ptr<const FunctionLibrary> library) : FLibrary(std::move(library)) {}

Script::~Script() = default;

void Script::Compile(const QString& source) {
    FExpressions.clear();
    FResolver.reset();
    FProgram.reset();
    FRoutines.clear();
    FGlobalTypes.clear();
    FGlobalArrays.clear();
    FGlobalNames.clear();
    auto program = Parser(source).ParseProgram();
    auto resolver = std::make_unique<Resolver>(*this, *program, *FLibrary);
    resolver->Run();
    FProgram = std::move(program);
    FResolver = std::move(resolver);
    FGlobals = std::make_unique<Frame>();
    InitFrame(*FGlobals, int(FGlobalTypes.size()), FGlobalTypes, FGlobalArrays);
}

void Script::InitFrame(Frame& frame, int size, const std::vector<TypeKind>& types,
                       const std::vector<ArrayShape>& arrays) {
    frame.Store.resize(size_t(size));
    frame.Ref.resize(size_t(size));
    for (int i = 0; i < size; ++i) {
        const ArrayShape& shape = arrays[size_t(i)];
        frame.Store[size_t(i)] = shape ? NewArray(*shape) : DefaultValue(types[size_t(i)]);
        frame.Ref[size_t(i)] = &frame.Store[size_t(i)];
    }
}

// Every outermost entry from the host (Run, CallProcedure, Evaluate) gets a fresh budget and
// depth; a stop request stays until the next Run, so a cancelled preparation stops its later
// events too.
void Script::BeginEntry(const Pos& at) {
    if (FEntries == 0) {
        FExecuted = 0;
        FDepth = 0;
    }
    if (FStopRequested.load(std::memory_order_relaxed))
        Fail(at, QStringLiteral("выполнение сценария прервано"));
}

void Script::Fail(const Pos& at, const QString& reason) const {
    const QString& source =
        at.InExpression && FExpressionText ? *FExpressionText : FProgram->Source;
    throw EScriptError(reason, at.Line, at.Column, source.mid(at.Offset, at.Length));
}

void Script::Run() {
    if (!FProgram)
        throw EScriptError(QStringLiteral("сценарий не скомпилирован"), 0, 0, QString());
    FStopRequested.store(false, std::memory_order_relaxed);
    Entry entry(*this, Pos{});
    Frame& g = *FGlobals;
    try {
        for (ConstDecl& c : FProgram->Consts)
            *g.Ref[size_t(c.Slot)] = Coerce(Eval(*c.Value, g), FGlobalTypes[size_t(c.Slot)]);
        for (VarDecl& v : FProgram->Vars)
            if (v.Init)
                *g.Ref[size_t(v.Slot)] = Coerce(Eval(*v.Init, g), FGlobalTypes[size_t(v.Slot)]);
    } catch (const EScriptError&) {
        throw;
    } catch (const platform::Exception& e) {
        Fail(FProgram->Vars.empty() ? Pos{} : FProgram->Vars.front().At, e.Message());
    }
    if (FProgram->Main)
        Exec(*FProgram->Main, g);
}

bool Script::HasRoutine(const QString& name) const {
    if (!FProgram)
        return false;
    for (const auto& r : FProgram->Routines)
        if (r->Name.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

Variant Script::Global(const QString& name) const {
    int slot = FGlobalNames.value(name.toLower(), -1);
    return slot < 0 || !FGlobals ? Variant() : *FGlobals->Ref[size_t(slot)];
}

Variant Script::CallProcedure(const QString& name, std::vector<Variant> args) {
    if (!FProgram)
        throw EScriptError(QStringLiteral("сценарий не скомпилирован"), 0, 0, QString());
    for (const auto& r : FProgram->Routines) {
        if (r->Name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        try {
            Entry entry(*this, r->At);
            return CallRoutine(*r, nullptr, *FGlobals, &args);
        } catch (const EScriptError& e) {
            // The designer shows which handler failed; the place stays the one inside it.
            throw EScriptError(QStringLiteral("%1: %2").arg(r->Name, e.Reason()), e.Line(),
                               e.Column(), e.Near());
        }
    }
    throw EScriptError(QStringLiteral("процедура \"%1\" не найдена").arg(name), 0, 0, name);
}

QString Script::CurrentExceptionMessage() const {
    return FHandling.empty() ? QString() : FHandling.back();
}

void Script::Tick(const Stmt& s) {
    if (FStopRequested.load(std::memory_order_relaxed))
        Fail(s.At, QStringLiteral("выполнение сценария прервано"));
    if (FBudget > 0 && ++FExecuted > FBudget)
        Fail(s.At, QStringLiteral("превышено допустимое число операторов"));
}

Variant* Script::Slot(const Binding& b, Frame& f) {
    if (b.Kind == BindKind::Global)
        return FGlobals->Ref[size_t(b.Index)];
    Frame* frame = &f;
    for (int d = b.Depth; d > 0; --d)
        frame = frame->Parent;
    return frame->Ref[size_t(b.Index)];
}

Script::Flow Script::Exec(Stmt& s, Frame& f) {
    Tick(s);
    try {
        return ExecInner(s, f);
    } catch (const EScriptError&) {
        throw;
    } catch (const platform::Exception& e) {
        Fail(s.At, e.Message());
    }
}

Script::Flow Script::ExecBlock(std::vector<StmtPtr>& list, Frame& f) {
    for (auto& s : list) {
        Flow flow = Exec(*s, f);
        if (flow != Flow::Normal)
            return flow;
    }
    return Flow::Normal;
}

Script::Flow Script::ExecInner(Stmt& s, Frame& f) {
    switch (s.Kind) {
        case StmtKind::Empty:
            return Flow::Normal;
        case StmtKind::Compound:
            return ExecBlock(s.Body, f);
        case StmtKind::Assign:
            Assign(*s.Target, Eval(*s.Value, f), f);
            return Flow::Normal;
        case StmtKind::Call:
            Eval(*s.Value, f);
            return Flow::Normal;
        case StmtKind::If:
            if (VarTruth(Eval(*s.Cond, f)))
                return Exec(*s.Then, f);
            return s.Else ? Exec(*s.Else, f) : Flow::Normal;
        case StmtKind::While:
            while (VarTruth(Eval(*s.Cond, f))) {
                Flow flow = Exec(*s.Then, f);
                if (flow == Flow::Break)
                    break;
                if (flow == Flow::Exit)
                    return flow;
            }
            return Flow::Normal;
        case StmtKind::Repeat:
            for (;;) {
                Flow flow = ExecBlock(s.Body, f);
                if (flow == Flow::Break)
                    break;
                if (flow == Flow::Exit)
                    return flow;
                if (VarTruth(Eval(*s.Cond, f)))
                    break;
            }
            return Flow::Normal;
        case StmtKind::For:
            return ExecFor(s, f);
        case StmtKind::Case:
            return ExecCase(s, f);
        case StmtKind::TryExcept:
        case StmtKind::TryFinally:
            return ExecTry(s, f);
        case StmtKind::Raise:
            if (!s.Value) {
                if (FHandling.empty())
                    Fail(s.At, QStringLiteral("нет исключения для повторного возбуждения"));
                Fail(s.At, FHandling.back());
            }
            Fail(s.At, Eval(*s.Value, f).ToString());
        case StmtKind::Exit:
            if (s.Value)
                Assign(*s.Target, Eval(*s.Value, f), f);
            return Flow::Exit;
        case StmtKind::Break:
            return Flow::Break;
        case StmtKind::Continue:
            return Flow::Continue;
        case StmtKind::With:
            return ExecWith(s, f);
    }
    return Flow::Normal;
}

Script::Flow Script::ExecFor(Stmt& s, Frame& f) {
    const int64_t from = Eval(*s.Value, f).ToInt64();
    const int64_t to = Eval(*s.Limit, f).ToInt64();
    Variant* var = Slot(s.Target->Bound, f);
    const TypeKind type = s.Target->Bound.Type;
    // The bounds are taken once; changing them inside the loop does not move its end.
    for (int64_t i = from; s.Downto ? i >= to : i <= to; s.Downto ? --i : ++i) {
        *var = Coerce(Variant(int64_t(i)), type == TypeKind::Variant ? TypeKind::Integer : type);
        Flow flow = Exec(*s.Then, f);
        if (flow == Flow::Break)
            break;
        if (flow == Flow::Exit)
            return flow;
    }
    return Flow::Normal;
}

Script::Flow Script::ExecCase(Stmt& s, Frame& f) {
    const Variant selector = Eval(*s.Cond, f);
    for (CaseBranch& b : s.Branches) {
        for (auto& label : b.Labels) {
            bool match;
            if (label->Kind == ExprKind::Range)
                match = VarCompare(selector, Eval(*label->Left, f)) >= 0 &&
                        VarCompare(selector, Eval(*label->Right, f)) <= 0;
            else
                match = VarEquals(selector, Eval(*label, f));
            if (match)
                return Exec(*b.Body, f);
        }
    }
    return ExecBlock(s.Body, f);
}

Script::Flow Script::ExecTry(Stmt& s, Frame& f) {
    if (s.Kind == StmtKind::TryFinally) {
        Flow flow;
        try {
            flow = ExecBlock(s.Body, f);
        } catch (const EScriptError&) {
            ExecBlock(s.Handler, f);
            throw;
        }
        // An exit, break or continue inside "try" still runs "finally", then goes on its way;
        // one inside "finally" wins.
        Flow after = ExecBlock(s.Handler, f);
        return after != Flow::Normal ? after : flow;
    }
    try {
        return ExecBlock(s.Body, f);
    } catch (const EScriptError& e) {
        // The operator's cancel and the budget are not the script's to swallow.
        if (FStopRequested.load(std::memory_order_relaxed) || (FBudget > 0 && FExecuted > FBudget))
            throw;
        FHandling.push_back(e.Reason());
        struct Pop {
            std::vector<QString>& Stack;
            ~Pop() { Stack.pop_back(); }
        } pop{FHandling};
        return ExecBlock(s.Handler, f);
    }
}

void Script::Assign(Expr& target, const Variant& value, Frame& f) {
    switch (target.Kind) {
        case ExprKind::Name:
            if (target.Bound.Kind == BindKind::With) {
                QObject* object = nullptr;
                if (WithObject(target, f, object)) {
                    WriteMember(object, target.Name, *target.Site, value, nullptr, target.At);
                    return;
                }
                const Binding& outer = target.Site->Outer;
                if (outer.Kind != BindKind::Local && outer.Kind != BindKind::Global)
                    Fail(target.At,
                         QStringLiteral("неизвестный идентификатор \"%1\"").arg(target.Name));
                *Slot(outer, f) =
                    outer.Array ? Coerce(value, TypeKind::Array) : Coerce(value, outer.Type);
                return;
            }
            *Slot(target.Bound, f) = Coerce(value, target.Bound.Type);
            return;
        case ExprKind::Index:
            AssignIndex(target, value, f);
            return;
        case ExprKind::Member:
            AssignMember(target, value, f);
            return;
        default:
            Fail(target.At, QStringLiteral("ожидается переменная"));
    }
}

void Script::EnterCall(const Pos& at) {
    if (++FDepth > FMaxDepth) {
        FDepth = 0;
        Fail(at, QStringLiteral("слишком глубокая рекурсия"));
    }
}

Variant Script::CallRoutine(Routine& r, Expr* call, Frame& caller, std::vector<Variant>* direct) {
    Frame frame;
    InitFrame(frame, r.FrameSize, r.SlotTypes, r.SlotArrays);
    // The static link: the frame of the routine that encloses r. A name is visible only inside
    // its parent or deeper, so walking up from the caller always reaches that level.
    Frame* parent = &caller;
    while (parent->Level > r.Level - 1)
        parent = parent->Parent;
    frame.Parent = parent;
    frame.Level = r.Level;
    const size_t given = direct ? direct->size() : call->Args.size();
    for (size_t i = 0; i < r.Params.size(); ++i) {
        const Param& p = r.Params[i];
        if (i < given) {
            if (!direct && p.Mode == ParamMode::Var) {
                Variant* cell = Address(*call->Args[i], caller);
                if (!cell)
                    Fail(call->Args[i]->At, QStringLiteral("ожидается переменная"));
                frame.Ref[i] = cell;
            } else {
                Variant v = direct ? (*direct)[i] : Eval(*call->Args[i], caller);
                frame.Store[i] = Coerce(v, r.SlotTypes[i]);
            }
        } else if (p.Default) {
            frame.Store[i] = Coerce(Eval(*p.Default, *FGlobals), r.SlotTypes[i]);
        } else {
            Fail(r.At, QStringLiteral("недостаточно параметров для \"%1\"").arg(r.Name));
        }
    }
    EnterCall(call ? call->At : r.At);
    struct Leave {
        int& Depth;
        ~Leave() {
            if (Depth > 0)
                --Depth;
        }
    } leave{FDepth};
    for (ConstDecl& c : r.Consts)
        *frame.Ref[size_t(c.Slot)] = Coerce(Eval(*c.Value, frame), r.SlotTypes[size_t(c.Slot)]);
    for (VarDecl& v : r.Vars)
        if (v.Init)
            *frame.Ref[size_t(v.Slot)] = Coerce(Eval(*v.Init, frame), r.SlotTypes[size_t(v.Slot)]);
    Exec(*r.Body, frame);
    return r.ResultSlot >= 0 ? *frame.Ref[size_t(r.ResultSlot)] : Variant();
}

Variant Script::CallLibrary(int index, Expr& call, Frame& f) {
    const LibraryFunction& lf = FLibrary->Function(index);
    std::vector<Variant> args;
    const size_t given = call.Kind == ExprKind::Call ? call.Args.size() : 0;
    const auto& params = lf.Heading->Params;
    args.reserve(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
        if (i < given)
            args.push_back(Coerce(Eval(*call.Args[i], f), lf.ParamTypes[i]));
        else if (params[i].Default)
            args.push_back(Coerce(Eval(*params[i].Default, *FGlobals), lf.ParamTypes[i]));
        else
            break;
    }
    Variant result = lf.Serve(*this, lf.Name, args);
    for (size_t i = 0; i < given; ++i)
        if (params[i].Mode == ParamMode::Var)
            Assign(*call.Args[i], args[i], f);
    return lf.Heading->IsFunction ? Coerce(result, lf.ResultType) : Variant();
}

Variant Script::Eval(Expr& e, Frame& f) {
    switch (e.Kind) {
        case ExprKind::Literal:
            return e.Value;
        case ExprKind::Name:
            switch (e.Bound.Kind) {
                case BindKind::Local:
                case BindKind::Global:
                    return *Slot(e.Bound, f);
                case BindKind::Routine:
                    return CallRoutine(*FRoutines[size_t(e.Bound.Index)], &e, f, nullptr);
                case BindKind::Library:
                    return CallLibrary(e.Bound.Index, e, f);
                case BindKind::Host:
                    return HostValue(e.Bound.Index, e.At);
                case BindKind::Late:
                    return LateValue(e);
                case BindKind::With:
                    return EvalWithName(e, f, false);
                default:
                    Fail(e.At, QStringLiteral("неизвестный идентификатор \"%1\"").arg(e.Name));
            }
        case ExprKind::Call:
            if (e.Bound.Kind == BindKind::Routine)
                return CallRoutine(*FRoutines[size_t(e.Bound.Index)], &e, f, nullptr);
            if (e.Bound.Kind == BindKind::Intrinsic)
                return EvalIntrinsic(e, f);
            if (e.Bound.Kind == BindKind::With)
                return EvalWithName(e, f, true);
            if (e.Left->Kind == ExprKind::Member)
                return EvalMemberCall(e, f);
            if (e.Op == Tok::KwIf) {
                // IIF guards like "if": the branch not taken is never evaluated.
                return Eval(*e.Args[VarTruth(Eval(*e.Args[0], f)) ? 1 : 2], f);
            }
            if (e.Bound.Kind == BindKind::Library)
                return CallLibrary(e.Bound.Index, e, f);
            Fail(e.At, QStringLiteral("это не процедура"));
        case ExprKind::Unary:
            return UnaryOp(e.Op, Eval(*e.Left, f));
        case ExprKind::Binary:
            return EvalBinary(e, f);
        case ExprKind::Index:
            return EvalIndex(e, f);
        case ExprKind::Member:
            return EvalMember(e, f);
        case ExprKind::DataRef:
            return DataValue(e);
        case ExprKind::SetLiteral: {
            QList<Variant> items;
            for (auto& arg : e.Args) {
                if (arg->Kind == ExprKind::Range)
                    Fail(arg->At, QStringLiteral("диапазон допустим только в \"in\""));
                items.push_back(Eval(*arg, f));
            }
            return Variant(items);
        }
        case ExprKind::Range:
            Fail(e.At, QStringLiteral("диапазон допустим только в \"in\" и \"case\""));
    }
    return Variant();
}

Variant Script::EvalBinary(Expr& e, Frame& f) {
    if (e.Op == Tok::KwIn) {
        Variant value = Eval(*e.Left, f);
        if (e.Right->Kind != ExprKind::SetLiteral)
            Fail(e.Right->At, QStringLiteral("ожидается множество"));
        return Variant(InSet(value, *e.Right, f));
    }
    if (e.Op == Tok::KwIs)
        return Variant(IsClass(Eval(*e.Left, f), e.Right->Value.ToString()));
    Variant left = Eval(*e.Left, f);
    // Short-circuit: a Boolean left side that decides the result skips the right side, as
    // compiled code does by default; templates rely on it to guard the right side.
    if (left.Type() == VarType::Bool) {
        if (e.Op == Tok::KwAnd && !left.ToBool())
            return Variant(false);
        if (e.Op == Tok::KwOr && left.ToBool())
            return Variant(true);
    }
    return BinaryOp(e.Op, left, Eval(*e.Right, f));
}

bool Script::InSet(const Variant& value, Expr& set, Frame& f) {
    for (auto& item : set.Args) {
        if (item->Kind == ExprKind::Range) {
            if (VarCompare(value, Eval(*item->Left, f)) >= 0 &&
                VarCompare(value, Eval(*item->Right, f)) <= 0)
                return true;
        } else if (VarEquals(value, Eval(*item, f))) {
            return true;
        }
    }
    return false;
}

}  // namespace script
