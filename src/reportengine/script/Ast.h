// The syntax tree of a script, as the parser builds it and the resolver annotates it: every name
// gets its binding (local slot, global slot, constant, routine, library function) once, so that
// the interpreter never looks names up while running.
// Thread contract: built on one thread; a resolved tree is read-only and may be shared by runs.
#pragma once

#include "platform/Variant.h"
#include "reportengine/script/Lexer.h"
#include "reportengine/script/VarOps.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace script {

// Where a node starts: line and column for messages, offset and length of its first token for
// the "near" text.
struct Pos {
    int Line = 0;
    int Column = 0;
    int Offset = 0;
    int Length = 0;
    bool InExpression = false;  // in an expression text of a text object, not in the script
};

enum class ExprKind {
    Literal,     // Value
    Name,        // Name
    Unary,       // Op Left
    Binary,      // Left Op Right
    Call,        // Left(Args); Left is a Name or a Member; Op = KwIf marks IIF, which
                 // evaluates only the chosen argument
    Index,       // Left[Args]
    Member,      // Left.Name
    SetLiteral,  // [Args]; an element may be a Range
    Range,       // Left..Right, only inside a set or a case label
    DataRef,     // <Name> or <Name."Field"> or Name."Field": a value the host serves by name;
                 // Name is the dataset or variable, Value the field name (unassigned for none)
};

// What a name stands for once resolved.
// Host: a named host object (Index into the script's host names); Late: a name the host's
// fallback resolver serves at run time; With: a name inside "with" that a member of the with
// object may take over (the outer binding is kept in the call site); Intrinsic: Assigned, Low,
// High, SetLength of arrays and type casts (Index is the Intrinsic; a cast converts to Type).
enum class BindKind {
    Unresolved,
    Local,
    Global,
    Constant,
    Routine,
    Library,
    Host,
    Late,
    With,
    Intrinsic
};

enum class Intrinsic { Assigned, Low, High, SetLength, Cast };

// The shape of an array type: dynamic (from 0, any length) or static with fixed bounds; Element is
// what its items convert to, Inner the shape of items that are arrays themselves.
struct ArrayType {
    bool Dynamic = true;
    int64_t Low = 0;
    int64_t High = -1;
    TypeKind Element = TypeKind::Variant;
    std::shared_ptr<const ArrayType> Inner;
};
using ArrayShape = std::shared_ptr<const ArrayType>;
// Items an array may hold in all its dimensions: a runaway SetLength or declaration fails with a
// message instead of exhausting memory.
constexpr int64_t MaxArrayItems = 10'000'000;

// Per call site state of member access on host objects (cached look-ups, the outer binding and the
// with objects of a name inside "with"); defined by the interpreter.
struct HostSite;

struct Binding {
    BindKind Kind = BindKind::Unresolved;
    int Index = -1;  // slot, routine or library function number
    int Depth = 0;   // for locals: how many enclosing routines up (0 = the current frame)
    TypeKind Type = TypeKind::Variant;  // what assignment converts to
    bool ReadOnly = false;              // constants and const parameters
    ArrayShape Array;                   // for array variables
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    ExprKind Kind;
    Pos At;
    Tok Op = Tok::Invalid;
    platform::Variant Value;
    QString Name;
    ExprPtr Left;
    ExprPtr Right;
    std::vector<ExprPtr> Args;
    bool Parenthesized = false;  // a call written with parentheses, even empty ones
    Binding Bound;
    ArrayShape Array;                // Index: the shape of the indexed array, when known
    std::shared_ptr<HostSite> Site;  // Member, Call, Index and With names: host look-up cache
    // Whether evaluating it can change no variable (no calls, only literals, variables and
    // operators): -1 until the interpreter first asks.
    signed char Pure = -1;
};

struct TypeRef {
    QString Name;  // empty when not given (a parameter without a type is a Variant)
    bool IsArray = false;
    std::vector<std::pair<ExprPtr, ExprPtr>> Bounds;  // empty for an open (dynamic) array
    std::unique_ptr<TypeRef> Element;
    Pos At;
};

struct VarDecl {
    QString Name;
    TypeRef Type;
    ExprPtr Init;
    Pos At;
    int Slot = -1;
};

struct ConstDecl {
    QString Name;
    TypeRef Type;
    ExprPtr Value;
    Pos At;
    int Slot = -1;
};

enum class ParamMode { Value, Var, Const };

struct Param {
    QString Name;
    TypeRef Type;
    ParamMode Mode = ParamMode::Value;
    ExprPtr Default;
    Pos At;
};

enum class StmtKind {
    Empty,
    Compound,    // Body
    Assign,      // Target := Value
    Call,        // Value (a Name, Member, Call or Index expression standing alone)
    If,          // if Cond then Then else Else
    While,       // while Cond do Then
    Repeat,      // repeat Body until Cond
    For,         // for Target := Value to/downto Limit do Then
    Case,        // case Cond of Branches else Body end
    TryExcept,   // try Body except Handler end
    TryFinally,  // try Body finally Handler end
    Raise,       // raise [Value]
    Exit,        // exit [(Value)]; Target is then the function's Result
    Break,
    Continue,
    With,  // with Args do Then
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;

struct CaseBranch {
    std::vector<ExprPtr> Labels;  // values or Ranges
    StmtPtr Body;
};

struct Stmt {
    StmtKind Kind;
    Pos At;
    ExprPtr Target;
    ExprPtr Value;
    ExprPtr Cond;
    ExprPtr Limit;
    bool Downto = false;
    StmtPtr Then;
    StmtPtr Else;
    std::vector<StmtPtr> Body;
    std::vector<StmtPtr> Handler;
    std::vector<CaseBranch> Branches;
    std::vector<ExprPtr> Args;
    std::vector<Binding> WithSlots;  // With: where each with object is kept while the body runs
};

struct Routine {
    QString Name;
    bool IsFunction = false;
    std::vector<Param> Params;
    TypeRef Result;
    std::vector<VarDecl> Vars;
    std::vector<ConstDecl> Consts;
    std::vector<std::unique_ptr<Routine>> Nested;
    StmtPtr Body;
    Pos At;
    // Filled by the resolver: the frame is parameters first, then Result, constants and locals.
    int FrameSize = 0;
    int ResultSlot = -1;
    int Level = 1;  // 1 for routines of the program, one more per nesting
    std::vector<TypeKind> SlotTypes;
    std::vector<ArrayShape> SlotArrays;  // per slot: the shape of an array variable, else null
    std::vector<platform::Variant> SlotDefaults;  // per slot: its value when a call begins
};

struct Program {
    QString Name;
    QStringList Uses;
    std::vector<VarDecl> Vars;
    std::vector<ConstDecl> Consts;
    std::vector<std::unique_ptr<Routine>> Routines;
    StmtPtr Main;  // null when the script has no main block
    QString Source;
};

}  // namespace script
