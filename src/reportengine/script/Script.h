// One compiled report script and its run state: Compile parses and resolves the source once, Run
// executes the main block (globals keep their values afterwards), CallProcedure runs an event
// handler by name, Evaluate computes the expressions of text objects. The host decides how long a
// script may run: a statement budget, a call depth limit, and RequestStop for the operator's
// cancel.
//
// Host objects: AddObject names objects (Report, Engine, Button1...) and SetRootObject makes the
// named descendants of a root reachable (report objects); both are bound when the script compiles.
// Script names win over host names, host names over library functions. A name known nowhere at
// compile time is left to the NameResolver at run time when one is set (objects created later),
// else it is a compile error. Values of <Dataset."Field">, Dataset."Field" and <Variable> come
// from the DataResolver ('<' directly followed by a letter, '_' or '"' and closed by '>' with only
// name characters, blanks and "quoted" parts between is a reference; see ScanDataRef in
// Lexer.cpp). Arrays are values: assignment copies (storage shared until one copy changes), a
// `var` parameter shares the caller's array. Object values hold guarded pointers: using a destroyed
// object is a run-time error, never a crash. Members of objects: registered host classes first
// (HostClass.h), then Q_PROPERTY and Q_INVOKABLE by name without letter case, then child objects by
// name. Thread contract: a Script is used by one thread at a time, the thread of its host objects;
// only RequestStop may be called from any thread.
#pragma once

#include "reportengine/script/Ast.h"
#include "reportengine/script/Library.h"
#include "reportengine/script/ScriptError.h"

#include <QPointer>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>

namespace script {

struct MetaInfo;
class Resolver;
class SlotStack;

class Script {
public:
    explicit Script(std::shared_ptr<const FunctionLibrary> library = FunctionLibrary::Default());
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    // Throws EScriptError for syntax errors and unknown or misused names.
    void Compile(const QString& source);
    // Runs the main block; throws EScriptError with the place of a run-time error. Clears a stop
    // request left by an earlier run first.
    void Run();
    // Calls a procedure or function of the script by name (events); a run-time error names it.
    platform::Variant CallProcedure(const QString& name, std::vector<platform::Variant> args = {});
    // As CallProcedure, and what the procedure leaves in a `var` parameter is written back into
    // its argument (OnKeyDown's `var Key: Word`); nothing is written back when it fails.
    platform::Variant CallProcedureRef(const QString& name, std::vector<platform::Variant>& args);
    bool HasRoutine(const QString& name) const;
    // The value of a global variable or constant of the script; unassigned when absent.
    platform::Variant Global(const QString& name) const;

    // The value of one expression text of a text object ("<Query."Name"> + ' ' + <Line#>"), with
    // or without the enclosing square brackets, in the scope of the script's globals and routines
    // (Compile is optional). Each distinct text is compiled once and cached until the next
    // Compile. Errors name the expression and the token near the fault.
    platform::Variant Evaluate(const QString& expression);

    // A named host object, visible to scripts compiled afterwards; naming it again rebinds it.
    void AddObject(const QString& name, QObject* object);
    // The object whose named descendants (objectName, any letter case) scripts see by name.
    void SetRootObject(QObject* root);
    // Fallback for names unknown at compile time, asked at run time on each use; returns false
    // when it does not know the name either.
    using NameResolver = std::function<bool(const QString& name, platform::Variant& value)>;
    void SetNameResolver(NameResolver resolver) { FNameResolver = std::move(resolver); }
    // Serves <Name> (field empty) and <Name."Field">; returns false for unknown references.
    using DataResolver =
        std::function<bool(const QString& name, const QString& field, platform::Variant& value)>;
    void SetDataResolver(DataResolver resolver) { FDataResolver = std::move(resolver); }

    // Statements allowed per Run or CallProcedure; 0 (the default) means no limit.
    void SetStatementBudget(int64_t statements) { FBudget = statements; }
    // Nested calls allowed before the run fails; recursion in templates is shallow.
    void SetMaxCallDepth(int depth) { FMaxDepth = depth; }
    // Makes the running script fail at its next statement; safe from any thread.
    // A pending stop also fails event calls and expression evaluation, until the next Run (or
    // ClearStopRequest) clears it.
    void RequestStop() { FStopRequested.store(true, std::memory_order_relaxed); }
    void ClearStopRequest() { FStopRequested.store(false, std::memory_order_relaxed); }

    // Where ShowMessage goes; ignored when not set.
    std::function<void(const QString&)> ShowMessageHook;
    void ShowMessage(const QString& text) {
        if (ShowMessageHook)
            ShowMessageHook(text);
    }
    // The message of the exception being handled, for ExceptionMessage inside "except".
    QString CurrentExceptionMessage() const;

private:
    // One activation: the storage of its slots, and per slot the cell it really uses (its own, or
    // the caller's variable for a `var` parameter). Parent is the frame of the enclosing routine.
    struct Frame {
        platform::Variant* Store = nullptr;
        platform::Variant** Ref = nullptr;
        Frame* Parent = nullptr;
        int Level = 0;  // 0 for the globals, then the routine's nesting level
    };
    struct HostSlot {
        QString Name;
        QPointer<QObject> Object;
        bool FromRoot = false;
    };
    struct CachedExpr;
    enum class Flow { Normal, Break, Continue, Exit };
    friend class Resolver;

    Flow Exec(Stmt& s, Frame& f);
    Flow ExecInner(Stmt& s, Frame& f);
    Flow ExecBlock(std::vector<StmtPtr>& list, Frame& f);
    Flow ExecFor(Stmt& s, Frame& f);
    Flow ExecCase(Stmt& s, Frame& f);
    Flow ExecTry(Stmt& s, Frame& f);
    platform::Variant Eval(Expr& e, Frame& f);
    // Literals and variables by reference, anything else computed into temp; the reference is
    // valid until the next evaluation.
    const platform::Variant& EvalRef(Expr& e, Frame& f, platform::Variant& temp);
    bool EvalCondition(Expr& e, Frame& f);
    platform::Variant EvalBinary(Expr& e, Frame& f);
    bool AppendInPlace(Stmt& s, Frame& f);
    void AssignSlot(platform::Variant& slot, TypeKind type, const platform::Variant& value,
                    platform::Variant* temp);
    platform::Variant EvalIndex(Expr& e, Frame& f);
    bool InSet(const platform::Variant& value, Expr& set, Frame& f);
    platform::Variant CallRoutine(Routine& r, Expr* call, Frame& caller,
                                  std::vector<platform::Variant>* direct, bool writeBack = false);
    platform::Variant CallLibrary(int index, Expr& call, Frame& f);
    platform::Variant* Slot(const Binding& b, Frame& f) {
        if (b.Kind == BindKind::Global)
            return FGlobals->Ref[size_t(b.Index)];
        Frame* frame = &f;
        for (int d = b.Depth; d > 0; --d)
            frame = frame->Parent;
        return frame->Ref[size_t(b.Index)];
    }
    bool PureOrdinal(Expr& e, Frame& f, int64_t& value, bool& wide);
    bool AssignOrdinal(Stmt& s, Frame& f);
    // Stores integer arithmetic into the cell slotOf() gives, when it fits the declared type.
    template <typename SlotOf>
    bool StoreOrdinal(Expr& value, Frame& f, TypeKind type, SlotOf slotOf);
    void Assign(Expr& target, const platform::Variant& value, Frame& f);
    void Tick(const Stmt& s) {
        if (FStopRequested.load(std::memory_order_relaxed) ||
            (FBudget > 0 && ++FExecuted > FBudget))
            TickFail(s);
    }
    [[noreturn]] void TickFail(const Stmt& s);
    void EnterCall(const Pos& at);
    [[noreturn]] void Fail(const Pos& at, const QString& reason) const;
    static std::vector<platform::Variant> FrameDefaults(const std::vector<TypeKind>& types,
                                                        const std::vector<ArrayShape>& arrays);
    void BeginEntry(const Pos& at);
    // One entry from the host (Run, CallProcedure, Evaluate). A nested one (an expression the
    // host evaluates while a script calls it) shares the budget and call depth of the outer one.
    class Entry {
    public:
        Entry(Script& script, const Pos& at) : FScript(script) {
            script.BeginEntry(at);
            ++script.FEntries;
        }
        ~Entry() { --FScript.FEntries; }
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;

    private:
        Script& FScript;
    };

    // Arrays (ScriptArrays.cpp).
    static platform::Variant NewArray(const ArrayType& shape);
    int64_t ArrayOffset(const platform::Variant& array, const ArrayType* shape, int64_t index,
                        const Pos& at) const;
    platform::Variant* Address(Expr& e, Frame& f);
    platform::Variant IndexValue(platform::Variant container, Expr& e, Frame& f);
    std::vector<int64_t> EvalIndexes(Expr& e, Frame& f);
    void SetIndexed(platform::Variant& container, Expr& target, const std::vector<int64_t>& indexes,
                    const platform::Variant& value);
    platform::Variant MemberValue(const platform::Variant& base, Expr& member, Frame& f);
    void AssignIndex(Expr& target, const platform::Variant& value, Frame& f);
    platform::Variant EvalIntrinsic(Expr& e, Frame& f);
    Flow ExecWith(Stmt& s, Frame& f);

    // Host objects (ScriptObjects.cpp).
    int FindHostName(const QString& name);
    platform::Variant HostValue(int index, const Pos& at);
    platform::Variant LateValue(Expr& e);
    platform::Variant DataValue(Expr& e);
    const MetaInfo& InfoOf(const QMetaObject* meta);
    QObject* LiveObject(const platform::Variant& value, const Pos& at) const;
    bool FindMember(QObject* object, const QString& name, HostSite& site);
    bool FindIndexedProperty(QObject* object, const QString& name, HostSite& site);
    platform::Variant EvalMember(Expr& e, Frame& f);
    platform::Variant EvalMemberCall(Expr& call, Frame& f);
    platform::Variant EvalWithName(Expr& e, Frame& f, bool isCall);
    bool WithObject(Expr& e, Frame& f, QObject*& object);
    HostSite& SiteOf(Expr& e);
    platform::Variant ReadMember(QObject* object, const QString& name, HostSite& site,
                                 std::vector<platform::Variant>* args, Expr* call, Frame& f,
                                 const Pos& at);
    void WriteMember(QObject* object, const QString& name, HostSite& site,
                     const platform::Variant& value, std::vector<platform::Variant>* indexes,
                     const Pos& at);
    platform::Variant ServeHost(QObject* object, HostSite& site,
                                std::vector<platform::Variant>& args, bool isWrite,
                                const platform::Variant& value, Expr* call, Frame& f,
                                const Pos& at);
    bool IsClass(const platform::Variant& value, const QString& className);
    platform::Variant ListMember(platform::Variant& list, const QString& name,
                                 std::vector<platform::Variant>& args, bool& changed,
                                 const Pos& at);
    void AssignMember(Expr& target, const platform::Variant& value, Frame& f);
    std::vector<platform::Variant> EvalArgs(std::vector<ExprPtr>& args, Frame& f);

    std::shared_ptr<const FunctionLibrary> FLibrary;
    std::unique_ptr<Program> FProgram;
    std::vector<Routine*> FRoutines;  // every routine, nested ones too, by resolver index
    std::vector<TypeKind> FGlobalTypes;
    std::vector<ArrayShape> FGlobalArrays;
    std::unique_ptr<Frame> FGlobals;
    std::vector<platform::Variant> FGlobalStore;
    std::vector<platform::Variant*> FGlobalRef;
    std::unique_ptr<SlotStack> FSlots;  // frames of routine calls
    // Argument lists of library calls in progress, reused from call to call; a deque, so that
    // a nested call (a library function that evaluates script code) never moves an outer one.
    std::deque<std::vector<platform::Variant>> FArgLists;
    size_t FArgDepth = 0;
    QHash<QString, int> FGlobalNames;  // lower-case name -> global slot

    int64_t FBudget = 0;
    int64_t FExecuted = 0;
    int FMaxDepth = 1000;
    int FDepth = 0;
    int FEntries = 0;
    std::atomic<bool> FStopRequested{false};
    std::vector<QString> FHandling;  // messages of the exceptions being handled, innermost last

    std::vector<HostSlot> FHostSlots;
    QHash<QString, int> FHostIndex;  // lower-case name -> host slot
    QPointer<QObject> FRoot;
    NameResolver FNameResolver;
    DataResolver FDataResolver;
    QHash<const QMetaObject*, std::shared_ptr<MetaInfo>> FMetaInfo;
    std::unique_ptr<Resolver> FResolver;  // keeps the global scope for expressions
    QHash<QString, std::shared_ptr<CachedExpr>> FExpressions;
    const QString* FExpressionText = nullptr;  // the expression being evaluated, for "near"
};

}  // namespace script
