// The interpreter over the resolved tree; see Script.h. Control flow (break, continue, exit)
// travels as return values, so that only real errors unwind the C++ stack.
#include "reportengine/script/Script.h"

#include "reportengine/script/HostSite.h"
#include "reportengine/script/Parser.h"
#include "reportengine/script/Resolver.h"
#include "reportengine/script/SlotStack.h"

#include <limits>

namespace script {

using platform::Variant;
using platform::VarType;

namespace {
// Whether evaluating e can change no variable (see Expr::Pure), worked out on first use.
bool ComputePure(Expr& e);
inline bool IsPure(Expr& e) {
    return e.Pure >= 0 ? e.Pure == 1 : ComputePure(e);
}
}  // namespace

Script::Script(std::shared_ptr<const FunctionLibrary> library)
    : FLibrary(std::move(library)), FSlots(std::make_unique<SlotStack>()) {}

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
    FGlobalStore = FrameDefaults(FGlobalTypes, FGlobalArrays);
    FGlobalRef.resize(FGlobalStore.size());
    for (size_t i = 0; i < FGlobalStore.size(); ++i)
        FGlobalRef[i] = &FGlobalStore[i];
    FGlobals = std::make_unique<Frame>();
    FGlobals->Store = FGlobalStore.data();
    FGlobals->Ref = FGlobalRef.data();
    for (Routine* r : FRoutines)
        r->SlotDefaults = FrameDefaults(r->SlotTypes, r->SlotArrays);
}

// Arrays share their storage until changed, so every call may start from copies of these.
std::vector<Variant> Script::FrameDefaults(const std::vector<TypeKind>& types,
                                           const std::vector<ArrayShape>& arrays) {
    std::vector<Variant> values(types.size());
    for (size_t i = 0; i < types.size(); ++i)
        values[i] = arrays[i] ? NewArray(*arrays[i]) : DefaultValue(types[i]);
    return values;
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
    return CallProcedureRef(name, args);
}

Variant Script::CallProcedureRef(const QString& name, std::vector<Variant>& args) {
    if (!FProgram)
        throw EScriptError(QStringLiteral("сценарий не скомпилирован"), 0, 0, QString());
    for (const auto& r : FProgram->Routines) {
        if (r->Name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        try {
            Entry entry(*this, r->At);
            return CallRoutine(*r, nullptr, *FGlobals, &args, true);
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

void Script::TickFail(const Stmt& s) {
    if (FStopRequested.load(std::memory_order_relaxed))
        Fail(s.At, QStringLiteral("выполнение сценария прервано"));
    Fail(s.At, QStringLiteral("превышено допустимое число операторов"));
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
        case StmtKind::Assign: {
            const Binding& b = s.Target->Bound;
            if (s.Target->Kind != ExprKind::Name ||
                (b.Kind != BindKind::Local && b.Kind != BindKind::Global)) {
                Assign(*s.Target, Eval(*s.Value, f), f);
                return Flow::Normal;
            }
            if (AssignOrdinal(s, f) || AppendInPlace(s, f))
                return Flow::Normal;
            Variant temp;
            const Variant& value = EvalRef(*s.Value, f, temp);
            AssignSlot(*Slot(b, f), b.Type, value, &value == &temp ? &temp : nullptr);
            return Flow::Normal;
        }
        case StmtKind::Call:
            Eval(*s.Value, f);
            return Flow::Normal;
        case StmtKind::If:
            if (EvalCondition(*s.Cond, f))
                return Exec(*s.Then, f);
            return s.Else ? Exec(*s.Else, f) : Flow::Normal;
        case StmtKind::While:
            while (EvalCondition(*s.Cond, f)) {
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
                if (EvalCondition(*s.Cond, f))
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
    const TypeKind type =
        s.Target->Bound.Type == TypeKind::Variant ? TypeKind::Integer : s.Target->Bound.Type;
    if (s.Downto ? from < to : from > to)
        return Flow::Normal;
    // The bounds are taken once; changing them inside the loop does not move its end. The loop
    // ends on reaching the limit rather than past it, so a limit at the Int64 bounds is no
    // overflow.
    for (int64_t i = from;; s.Downto ? --i : ++i) {
        if (type == TypeKind::Integer && i >= std::numeric_limits<int32_t>::min() &&
            i <= std::numeric_limits<int32_t>::max())
            var->SetOrdinal(VarType::Integer, i);
        else if (type == TypeKind::Int64)
            var->SetOrdinal(VarType::Int64, i);
        else
            *var = Coerce(Variant(int64_t(i)), type);
        Flow flow = Exec(*s.Then, f);
        if (flow == Flow::Exit)
            return flow;
        if (flow == Flow::Break || i == to)
            break;
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
            AssignSlot(*Slot(target.Bound, f), target.Bound.Type, value, nullptr);
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

namespace {

// True when Coerce(value, kind) would give the value unchanged.
bool HoldsKind(const Variant& value, TypeKind kind) {
    switch (kind) {
        case TypeKind::Variant:
            return true;
        case TypeKind::Integer:
            return value.Type() == VarType::Integer;
        case TypeKind::Int64:
            return value.Type() == VarType::Int64;
        case TypeKind::Double:
            return value.Type() == VarType::Double;
        case TypeKind::String:
            return value.Type() == VarType::String;
        case TypeKind::Boolean:
            return value.Type() == VarType::Bool;
        case TypeKind::Date:
            return value.Type() == VarType::Date;
        case TypeKind::Array:
            return value.IsArray();
        case TypeKind::Currency:
            break;
    }
    return false;
}

// A value computed into the caller's temporary may be moved instead of copied.
void PushCoerced(std::vector<Variant>& list, const Variant& value, Variant& temp, TypeKind kind) {
    if (!HoldsKind(value, kind))
        list.push_back(Coerce(value, kind));
    else if (&value == &temp)
        list.push_back(std::move(temp));
    else
        list.push_back(value);
}

}  // namespace

void Script::AssignSlot(Variant& slot, TypeKind type, const Variant& value, Variant* temp) {
    if (!HoldsKind(value, type))
        slot = Coerce(value, type);
    else if (value.IsOrdinal())
        slot.SetOrdinal(value.Type(), value.ToInt64());
    else if (temp)
        slot = std::move(*temp);
    else
        slot = value;
}

Variant Script::CallRoutine(Routine& r, Expr* call, Frame& caller, std::vector<Variant>* direct,
                            bool writeBack) {
    struct Cells {
        SlotStack& Stack;
        SlotStack::Run Run;
        ~Cells() { Stack.Release(Run); }
    } cells{*FSlots, FSlots->Take(size_t(r.FrameSize))};
    Frame frame;
    frame.Store = cells.Run.Cells;
    frame.Ref = cells.Run.Refs;
    for (size_t i = 0; i < size_t(r.FrameSize); ++i)
        frame.Store[i] = r.SlotDefaults[i];
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
            } else if (direct) {
                AssignSlot(frame.Store[i], r.SlotTypes[i], (*direct)[i], nullptr);
            } else if (!StoreOrdinal(*call->Args[i], caller, r.SlotTypes[i],
                                     [&]() { return &frame.Store[i]; })) {
                Variant temp;
                const Variant& v = EvalRef(*call->Args[i], caller, temp);
                AssignSlot(frame.Store[i], r.SlotTypes[i], v, &v == &temp ? &temp : nullptr);
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
    if (writeBack)
        for (size_t i = 0; i < r.Params.size() && i < given; ++i)
            if (r.Params[i].Mode == ParamMode::Var)
                (*direct)[i] = *frame.Ref[i];
    // The result is the frame's own cell (never a caller's), about to be given back.
    return r.ResultSlot >= 0 ? std::move(frame.Store[size_t(r.ResultSlot)]) : Variant();
}

Variant Script::CallLibrary(int index, Expr& call, Frame& f) {
    const LibraryFunction& lf = FLibrary->Function(index);
    if (FArgDepth == FArgLists.size())
        FArgLists.emplace_back();
    std::vector<Variant>& args = FArgLists[FArgDepth++];
    struct Done {
        std::vector<Variant>& Args;
        size_t& Depth;
        ~Done() {
            Args.clear();
            --Depth;
        }
    } done{args, FArgDepth};
    const size_t given = call.Kind == ExprKind::Call ? call.Args.size() : 0;
    const auto& params = lf.Heading->Params;
    for (size_t i = 0; i < params.size(); ++i) {
        if (i < given) {
            Variant temp;
            PushCoerced(args, EvalRef(*call.Args[i], f, temp), temp, lf.ParamTypes[i]);
        } else if (params[i].Default)
            args.push_back(Coerce(Eval(*params[i].Default, *FGlobals), lf.ParamTypes[i]));
        else
            break;
    }
    Variant result = lf.Serve(*this, lf.Name, args);
    for (size_t i = 0; i < given; ++i)
        if (params[i].Mode == ParamMode::Var)
            Assign(*call.Args[i], args[i], f);
    if (!lf.Heading->IsFunction)
        return Variant();
    if (HoldsKind(result, lf.ResultType))
        return result;
    return Coerce(result, lf.ResultType);
}

const Variant& Script::EvalRef(Expr& e, Frame& f, Variant& temp) {
    if (e.Kind == ExprKind::Literal)
        return e.Value;
    if (e.Kind == ExprKind::Name &&
        (e.Bound.Kind == BindKind::Local || e.Bound.Kind == BindKind::Global))
        return *Slot(e.Bound, f);
    temp = Eval(e, f);
    return temp;
}

bool Script::EvalCondition(Expr& e, Frame& f) {
    if (e.Kind == ExprKind::Binary && e.Op >= Tok::Equal && e.Op <= Tok::GreaterEqual &&
        IsPure(e)) {
        int64_t x, y;
        bool wide;
        if (PureOrdinal(*e.Left, f, x, wide) && PureOrdinal(*e.Right, f, y, wide)) {
            switch (e.Op) {
                case Tok::Equal:
                    return x == y;
                case Tok::NotEqual:
                    return x != y;
                case Tok::Less:
                    return x < y;
                case Tok::LessEqual:
                    return x <= y;
                case Tok::Greater:
                    return x > y;
                default:
                    return x >= y;
            }
        }
    }
    Variant temp;
    return VarTruth(EvalRef(e, f, temp));
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
        case ExprKind::Unary: {
            Variant temp;
            return UnaryOp(e.Op, EvalRef(*e.Left, f, temp));
        }
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

namespace {

bool ComputePure(Expr& e) {
    bool pure = false;
    switch (e.Kind) {
        case ExprKind::Literal:
            pure = true;
            break;
        case ExprKind::Name:
            pure = e.Bound.Kind == BindKind::Local || e.Bound.Kind == BindKind::Global;
            break;
        case ExprKind::Unary:
            pure = IsPure(*e.Left);
            break;
        case ExprKind::Binary:
            pure = e.Op != Tok::KwIn && e.Op != Tok::KwIs && IsPure(*e.Left) && IsPure(*e.Right);
            break;
        default:
            break;
    }
    e.Pure = pure ? 1 : 0;
    return pure;
}

Variant OrdinalResult(int64_t v, bool wide) {
    if (!wide && v >= std::numeric_limits<int32_t>::min() &&
        v <= std::numeric_limits<int32_t>::max())
        return Variant(int(v));
    return Variant(v);
}

// + - * div mod on 64-bit integers; false on overflow, a zero divisor, and -1 (whose quotient
// can overflow), which BinaryOp handles with its messages and widening rules.
inline bool OrdinalArith(Tok op, int64_t x, int64_t y, int64_t& r) {
    switch (op) {
        case Tok::Plus:
            return !__builtin_add_overflow(x, y, &r);
        case Tok::Minus:
            return !__builtin_sub_overflow(x, y, &r);
        case Tok::Star:
            return !__builtin_mul_overflow(x, y, &r);
        case Tok::KwDiv:
        case Tok::KwMod:
            if (y == 0 || y == -1)
                return false;
            r = op == Tok::KwDiv ? x / y : x % y;
            return true;
        default:
            return false;
    }
}

// Integer operands, the common case of loops and counters, computed directly with the rules of
// BinaryOp; false leaves the rest (and every error) to BinaryOp.
bool OrdinalOp(Tok op, const Variant& a, const Variant& b, Variant& out) {
    if (!a.IsOrdinal() || !b.IsOrdinal())
        return false;
    const int64_t x = a.ToInt64(), y = b.ToInt64();
    const bool wide = a.Type() == VarType::Int64 || b.Type() == VarType::Int64;
    int64_t r = 0;
    switch (op) {
        case Tok::Plus:
        case Tok::Minus:
        case Tok::Star:
        case Tok::KwDiv:
        case Tok::KwMod:
            if (!OrdinalArith(op, x, y, r))
                return false;
            break;
        case Tok::Equal:
            out = Variant(x == y);
            return true;
        case Tok::NotEqual:
            out = Variant(x != y);
            return true;
        case Tok::Less:
            out = Variant(x < y);
            return true;
        case Tok::LessEqual:
            out = Variant(x <= y);
            return true;
        case Tok::Greater:
            out = Variant(x > y);
            return true;
        case Tok::GreaterEqual:
            out = Variant(x >= y);
            return true;
        default:
            return false;
    }
    out = OrdinalResult(r, wide);
    return true;
}

}  // namespace

Variant Script::EvalBinary(Expr& e, Frame& f) {
    if (e.Op == Tok::KwIn) {
        Variant value = Eval(*e.Left, f);
        if (e.Right->Kind != ExprKind::SetLiteral)
            Fail(e.Right->At, QStringLiteral("ожидается множество"));
        return Variant(InSet(value, *e.Right, f));
    }
    if (e.Op == Tok::KwIs)
        return Variant(IsClass(Eval(*e.Left, f), e.Right->Value.ToString()));
    // The left side is read in place only when the right side cannot change it.
    Variant leftTemp;
    const Variant& left =
        IsPure(*e.Right) ? EvalRef(*e.Left, f, leftTemp) : (leftTemp = Eval(*e.Left, f));
    // Short-circuit: a Boolean left side that decides the result skips the right side, as
    // compiled code does by default; templates rely on it to guard the right side.
    if (left.Type() == VarType::Bool) {
        if (e.Op == Tok::KwAnd && !left.ToBool())
            return Variant(false);
        if (e.Op == Tok::KwOr && left.ToBool())
            return Variant(true);
    }
    Variant rightTemp;
    const Variant& right = EvalRef(*e.Right, f, rightTemp);
    Variant result;
    if (OrdinalOp(e.Op, left, right, result))
        return result;
    return BinaryOp(e.Op, left, right);
}

// Integer arithmetic over variables and literals without boxing each step; false when an operand
// is no ordinal or the step needs BinaryOp's handling (overflow, division by zero...). Only for
// pure expressions, so that the caller may evaluate again the general way.
bool Script::PureOrdinal(Expr& e, Frame& f, int64_t& value, bool& wide) {
    const Variant* leaf = nullptr;
    if (e.Kind == ExprKind::Binary) {
        // Operands that are literals or variables of this frame, read without a call.
        auto operand = [&](Expr& o, int64_t& v, bool& w) {
            const Variant* x =
                o.Kind == ExprKind::Literal ? &o.Value
                : o.Kind == ExprKind::Name && o.Bound.Kind == BindKind::Local && o.Bound.Depth == 0
                    ? f.Ref[size_t(o.Bound.Index)]
                    : nullptr;
            if (!x)
                return PureOrdinal(o, f, v, w);
            if (!x->IsOrdinal())
                return false;
            v = x->ToInt64();
            w = x->Type() == VarType::Int64;
            return true;
        };
        int64_t x, y;
        bool wx, wy;
        if (!operand(*e.Left, x, wx) || !operand(*e.Right, y, wy))
            return false;
        if (!OrdinalArith(e.Op, x, y, value))
            return false;
        wide = wx || wy || value < std::numeric_limits<int32_t>::min() ||
               value > std::numeric_limits<int32_t>::max();
        return true;
    }
    switch (e.Kind) {
        case ExprKind::Literal:
            leaf = &e.Value;
            break;
        case ExprKind::Name:
            leaf = Slot(e.Bound, f);
            break;
        default:
            return false;
    }
    if (!leaf->IsOrdinal())
        return false;
    value = leaf->ToInt64();
    wide = leaf->Type() == VarType::Int64;
    return true;
}

// v := integer arithmetic, stored without a temporary value when v is an Integer, Int64 or
// Variant variable and the result fits it; false leaves the statement to the general path.
bool Script::AssignOrdinal(Stmt& s, Frame& f) {
    const Binding& target = s.Target->Bound;
    return StoreOrdinal(*s.Value, f, target.Type, [&]() { return Slot(target, f); });
}

template <typename SlotOf>
bool Script::StoreOrdinal(Expr& value, Frame& f, TypeKind type, SlotOf slotOf) {
    if (value.Kind != ExprKind::Binary ||
        (type != TypeKind::Integer && type != TypeKind::Int64 && type != TypeKind::Variant) ||
        !IsPure(value))
        return false;
    int64_t r;
    bool wide;
    if (!PureOrdinal(value, f, r, wide))
        return false;
    if (type == TypeKind::Integer) {
        if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
            return false;
        wide = false;
    } else if (type == TypeKind::Int64) {
        wide = true;
    }
    slotOf()->SetOrdinal(wide ? VarType::Int64 : VarType::Integer, r);
    return true;
}

// s := s + x appends to the text in place instead of copying it. Only when x cannot change s
// (no calls), so that reading s before x changes nothing.
bool Script::AppendInPlace(Stmt& s, Frame& f) {
    Expr& value = *s.Value;
    if (value.Kind != ExprKind::Binary || value.Op != Tok::Plus ||
        value.Left->Kind != ExprKind::Name)
        return false;
    const Binding& target = s.Target->Bound;
    const Binding& source = value.Left->Bound;
    if (source.Kind != target.Kind || source.Index != target.Index ||
        source.Depth != target.Depth ||
        (target.Type != TypeKind::String && target.Type != TypeKind::Variant))
        return false;
    Variant* slot = Slot(target, f);
    if (slot->Type() != VarType::String || !IsPure(*value.Right))
        return false;
    Variant temp;
    const Variant& tail = EvalRef(*value.Right, f, temp);
    if (tail.Type() != VarType::String) {
        AssignSlot(*slot, target.Type, BinaryOp(Tok::Plus, *slot, tail), nullptr);
        return true;
    }
    if (&tail == slot) {
        const QString copy = tail.ToString();  // s := s + s
        slot->AppendString(copy);
    } else {
        slot->AppendString(tail.ToString());
    }
    return true;
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
