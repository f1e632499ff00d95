// One compiled report script and its run state: Compile parses and resolves the source once, Run
// executes the main block (globals keep their values afterwards), CallProcedure runs an event
// handler by name. The host decides how long a script may run: a statement budget, a call depth
// limit, and RequestStop for the operator's cancel.
// Thread contract: a Script is used by one thread at a time; only RequestStop may be called from
// any thread.
#pragma once

#include "reportengine/script/Ast.h"
#include "reportengine/script/Library.h"
#include "reportengine/script/ScriptError.h"

#include <atomic>
#include <functional>
#include <memory>

namespace script {

class Script {
public:
    explicit Script(std::shared_ptr<const FunctionLibrary> library = FunctionLibrary::Default());
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    // Throws EScriptError for syntax errors and unknown or misused names.
    void Compile(const QString& source);
    // Runs the main block; throws EScriptError with the place of a run-time error.
    void Run();
    // Calls a procedure or function of the script by name (events); a run-time error names it.
    platform::Variant CallProcedure(const QString& name, std::vector<platform::Variant> args = {});
    bool HasRoutine(const QString& name) const;
    // The value of a global variable or constant of the script; unassigned when absent.
    platform::Variant Global(const QString& name) const;

    // Statements allowed per Run or CallProcedure; 0 (the default) means no limit.
    void SetStatementBudget(int64_t statements) { FBudget = statements; }
    // Nested calls allowed before the run fails; recursion in templates is shallow.
    void SetMaxCallDepth(int depth) { FMaxDepth = depth; }
    // Makes the running script fail at its next statement; safe from any thread.
    void RequestStop() { FStopRequested.store(true, std::memory_order_relaxed); }

    // Where ShowMessage goes; ignored when not set.
    std::function<void(const QString&)> ShowMessageHook;
    void ShowMessage(const QString& text) {
        if (ShowMessageHook)
            ShowMessageHook(text);
    }
    // The message of the exception being handled, for ExceptionMessage inside "except".
    QString CurrentExceptionMessage() const;

private:
    struct Frame;
    enum class Flow { Normal, Break, Continue, Exit };
    friend class Resolver;

    Flow Exec(Stmt& s, Frame& f);
    Flow ExecInner(Stmt& s, Frame& f);
    Flow ExecBlock(std::vector<StmtPtr>& list, Frame& f);
    Flow ExecFor(Stmt& s, Frame& f);
    Flow ExecCase(Stmt& s, Frame& f);
    Flow ExecTry(Stmt& s, Frame& f);
    platform::Variant Eval(Expr& e, Frame& f);
    platform::Variant EvalBinary(Expr& e, Frame& f);
    platform::Variant EvalIndex(Expr& e, Frame& f);
    bool InSet(const platform::Variant& value, Expr& set, Frame& f);
    platform::Variant CallRoutine(Routine& r, Expr* call, Frame& caller,
                                  std::vector<platform::Variant>* direct);
    platform::Variant CallLibrary(int index, Expr& call, Frame& f);
    platform::Variant* Slot(const Binding& b, Frame& f);
    void Assign(Expr& target, const platform::Variant& value, Frame& f);
    void Tick(const Stmt& s);
    void EnterCall(const Pos& at);
    [[noreturn]] void Fail(const Pos& at, const QString& reason) const;
    void InitFrame(Frame& frame, int size, const std::vector<TypeKind>& types);

    std::shared_ptr<const FunctionLibrary> FLibrary;
    std::unique_ptr<Program> FProgram;
    std::vector<Routine*> FRoutines;  // every routine, nested ones too, by resolver index
    std::vector<TypeKind> FGlobalTypes;
    std::unique_ptr<Frame> FGlobals;
    QHash<QString, int> FGlobalNames;  // lower-case name -> global slot

    int64_t FBudget = 0;
    int64_t FExecuted = 0;
    int FMaxDepth = 1000;
    int FDepth = 0;
    std::atomic<bool> FStopRequested{false};
    std::vector<QString> FHandling;  // messages of the exceptions being handled, innermost last
};

}  // namespace script
