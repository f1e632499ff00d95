// The parser of report scripts: a recursive descent over the tokens of Lexer, one function per
// grammar rule, binary operators by a priority table (Pascal's four levels), building the tree of
// Ast.h. The first error stops the parse with an EScriptError carrying line, column and the token
// near it. A depth guard turns absurd nesting into an error instead of a stack overflow.
// Thread contract: a Parser is used once, on one thread.
#pragma once

#include "reportengine/script/Ast.h"
#include "reportengine/script/ScriptError.h"

#include <memory>

namespace script {

// Nesting of expressions and statements beyond this is refused; templates never come close.
constexpr int MaxParseDepth = 200;

class Parser {
public:
    explicit Parser(const QString& source);

    // A whole script: declarations and an optional main block. Throws EScriptError.
    std::unique_ptr<Program> ParseProgram();
    // One expression and nothing after it (the expression entry point of text objects).
    ExprPtr ParseExpression();
    // A routine heading alone, as hosts declare library functions:
    // "function ReadProfileStr(ProfileName, Name: String): String".
    std::unique_ptr<Routine> ParseHeading();

private:
    class DepthGuard;

    // Rules, top-down.
    void Declarations(std::vector<VarDecl>& vars, std::vector<ConstDecl>& consts,
                      std::vector<std::unique_ptr<Routine>>& routines);
    void VarSection(std::vector<VarDecl>& vars);
    void ConstSection(std::vector<ConstDecl>& consts);
    std::unique_ptr<Routine> RoutineDecl();
    std::unique_ptr<Routine> RoutineHeading();
    void ParamList(std::vector<Param>& params);
    TypeRef TypeSpec();
    StmtPtr CompoundStmt();
    void StmtList(std::vector<StmtPtr>& list);
    StmtPtr Statement();
    StmtPtr IfStmt();
    StmtPtr WhileStmt();
    StmtPtr RepeatStmt();
    StmtPtr ForStmt();
    StmtPtr CaseStmt();
    StmtPtr TryStmt();
    StmtPtr RaiseStmt();
    StmtPtr ExitStmt();
    StmtPtr WithStmt();
    StmtPtr SimpleStmt();
    ExprPtr Expression();
    ExprPtr SubExpr(int limit);
    ExprPtr Primary();
    ExprPtr Postfix(ExprPtr base);
    ExprPtr SetLiteral();
    ExprPtr CaseLabel();
    void ExprList(std::vector<ExprPtr>& list, Tok closer);

    // Token handling.
    void Advance();
    bool Check(Tok kind) const { return FCur.Kind == kind; }
    bool Accept(Tok kind);
    Token Expect(Tok kind);
    QString Ident();
    Pos Here() const;
    [[noreturn]] void Fail(const QString& reason) const;
    [[noreturn]] void FailExpected(const QString& what) const;

    Lexer FLexer;
    Token FCur;
    int FDepth = 0;
    bool FExpression = false;  // marks positions as inside an expression text
};

}  // namespace script
