// The script parser; see Parser.h.
#include "reportengine/script/Parser.h"

#include "platform/ConvertError.h"

namespace script {

namespace {

// Binary operator priorities, Pascal's levels: comparisons bind loosest, then the additive
// operators, then the multiplicative ones; unary operators bind tighter than all of them. That is
// why "a > 1 and b < 2" reads as "a > (1 and b) < 2" and needs parentheses.
struct Priority {
    int Left;
    int Right;
};

constexpr int UnaryPriority = 4;

Priority BinaryPriority(Tok op) {
    switch (op) {
        case Tok::Equal:
        case Tok::NotEqual:
        case Tok::Less:
        case Tok::LessEqual:
        case Tok::Greater:
        case Tok::GreaterEqual:
        case Tok::KwIn:
        case Tok::KwIs:
            return {1, 1};
        case Tok::Plus:
        case Tok::Minus:
        case Tok::KwOr:
        case Tok::KwXor:
            return {2, 2};
        case Tok::Star:
        case Tok::Slash:
        case Tok::KwDiv:
        case Tok::KwMod:
        case Tok::KwAnd:
        case Tok::KwShl:
        case Tok::KwShr:
            return {3, 3};
        default:
            return {0, 0};  // not a binary operator
    }
}

ExprPtr MakeExpr(ExprKind kind, const Pos& at) {
    auto e = std::make_unique<Expr>();
    e->Kind = kind;
    e->At = at;
    return e;
}

// A type without bound expressions (a name, or an open array of such), for the other names of
// "a, b: T".
TypeRef CopyUnbounded(const TypeRef& type) {
    TypeRef copy;
    copy.Name = type.Name;
    copy.IsArray = type.IsArray;
    copy.At = type.At;
    if (type.Element)
        copy.Element = std::make_unique<TypeRef>(CopyUnbounded(*type.Element));
    return copy;
}

// The parts of "<Dataset."Field">" or "<Variable>": the name (unquoted when written "in quotes")
// and the field, unassigned when there is none.
void SplitDataRef(QStringView text, Expr& e) {
    QStringView inner = text.mid(1, text.size() - 2).trimmed();
    const qsizetype dotQuote = inner.indexOf(u".\"");
    if (dotQuote > 0 && inner.endsWith(u'"')) {
        e.Name = inner.left(dotQuote).trimmed().toString();
        e.Value =
            platform::Variant(inner.mid(dotQuote + 2, inner.size() - dotQuote - 3).toString());
        return;
    }
    if (inner.size() >= 2 && inner.startsWith(u'"') && inner.endsWith(u'"'))
        inner = inner.mid(1, inner.size() - 2);
    e.Name = inner.toString();
}

StmtPtr MakeStmt(StmtKind kind, const Pos& at) {
    auto s = std::make_unique<Stmt>();
    s->Kind = kind;
    s->At = at;
    return s;
}

}  // namespace

class Parser::DepthGuard {
public:
    explicit DepthGuard(Parser& parser) : FParser(parser) {
        if (++FParser.FDepth > MaxParseDepth)
            FParser.Fail(QStringLiteral("слишком глубокая вложенность"));
    }
    ~DepthGuard() { --FParser.FDepth; }

private:
    Parser& FParser;
};

Parser::Parser(const QString& source) : FLexer(source) {
    Advance();
}

void Parser::Advance() {
    FCur = FLexer.Next();
    if (FCur.Kind == Tok::Invalid) {
        const QStringView text = FLexer.Text(FCur);
        if (text.startsWith(u'\''))
            Fail(QStringLiteral("незакрытая строка"));
        if (text.startsWith(u'{') || text.startsWith(u"(*"))
            Fail(QStringLiteral("незакрытый комментарий"));
        Fail(QStringLiteral("недопустимый символ"));
    }
}

bool Parser::Accept(Tok kind) {
    if (FCur.Kind != kind)
        return false;
    Advance();
    return true;
}

Token Parser::Expect(Tok kind) {
    if (FCur.Kind != kind)
        FailExpected(QStringLiteral("\"%1\"").arg(TokenName(kind)));
    Token t = FCur;
    Advance();
    return t;
}

QString Parser::Ident() {
    if (FCur.Kind != Tok::Ident)
        FailExpected(TokenName(Tok::Ident));
    QString name = FLexer.Text(FCur).toString();
    Advance();
    return name;
}

Pos Parser::Here() const {
    return {FCur.Line, FCur.Column, FCur.Offset, FCur.Length, FExpression};
}

void Parser::Fail(const QString& reason) const {
    QString near = FCur.Kind == Tok::EndOfText ? TokenName(Tok::EndOfText)
                                               : FLexer.Text(FCur).left(30).toString();
    throw EScriptError(reason, FCur.Line, FCur.Column, near);
}

void Parser::FailExpected(const QString& what) const {
    Fail(QStringLiteral("ожидается %1").arg(what));
}

// program := ['program' ident ';'] ['uses' ident {',' ident} ';'] declarations
//            [compound '.'] EOF
std::unique_ptr<Program> Parser::ParseProgram() {
    auto program = std::make_unique<Program>();
    program->Source = FLexer.Source();
    if (Accept(Tok::KwProgram)) {
        program->Name = Ident();
        Expect(Tok::Semicolon);
    }
    if (Accept(Tok::KwUses)) {
        do
            program->Uses << Ident();
        while (Accept(Tok::Comma));
        Expect(Tok::Semicolon);
    }
    Declarations(program->Vars, program->Consts, program->Routines);
    if (Check(Tok::KwBegin)) {
        program->Main = CompoundStmt();
        Expect(Tok::Dot);
    }
    if (!Check(Tok::EndOfText))
        FailExpected(program->Main ? TokenName(Tok::EndOfText) : QStringLiteral("\"begin\""));
    return program;
}

ExprPtr Parser::ParseExpression() {
    FExpression = true;
    ExprPtr e = Expression();
    if (!Check(Tok::EndOfText))
        FailExpected(TokenName(Tok::EndOfText));
    return e;
}

// declarations := { 'var' varsection | 'const' constsection | routine }
void Parser::Declarations(std::vector<VarDecl>& vars, std::vector<ConstDecl>& consts,
                          std::vector<std::unique_ptr<Routine>>& routines) {
    for (;;) {
        if (Accept(Tok::KwVar))
            VarSection(vars);
        else if (Accept(Tok::KwConst))
            ConstSection(consts);
        else if (Check(Tok::KwProcedure) || Check(Tok::KwFunction))
            routines.push_back(RoutineDecl());
        else
            return;
    }
}

// varsection := { ident {',' ident} ':' type ['=' expr] ';' }
void Parser::VarSection(std::vector<VarDecl>& vars) {
    do {
        size_t first = vars.size();
        do {
            VarDecl v;
            v.At = Here();
            v.Name = Ident();
            vars.push_back(std::move(v));
        } while (Accept(Tok::Comma));
        Expect(Tok::Colon);
        TypeRef type = TypeSpec();
        const size_t count = vars.size() - first;
        if (count > 1 && !type.Bounds.empty())
            // Bounds are expressions owned by one declaration; a shared one would need a copy
            // of the tree for no gain, so each bounded array is declared on its own.
            throw EScriptError(QStringLiteral("объявите массивы с границами по отдельности"),
                               type.At.Line, type.At.Column,
                               FLexer.Source().mid(type.At.Offset, type.At.Length));
        ExprPtr init;
        if (Accept(Tok::Equal)) {
            if (count != 1)
                Fail(QStringLiteral("начальное значение допустимо только для одной переменной"));
            init = Expression();
        }
        Expect(Tok::Semicolon);
        for (size_t i = first; i + 1 < vars.size(); ++i)
            vars[i].Type = CopyUnbounded(type);
        vars.back().Type = std::move(type);
        vars.back().Init = std::move(init);
    } while (Check(Tok::Ident));
}

// constsection := { ident [':' type] '=' expr ';' }
void Parser::ConstSection(std::vector<ConstDecl>& consts) {
    do {
        ConstDecl c;
        c.At = Here();
        c.Name = Ident();
        if (Accept(Tok::Colon))
            c.Type = TypeSpec();
        Expect(Tok::Equal);
        c.Value = Expression();
        Expect(Tok::Semicolon);
        consts.push_back(std::move(c));
    } while (Check(Tok::Ident));
}

// routine := heading ';' declarations compound ';'
std::unique_ptr<Routine> Parser::RoutineDecl() {
    DepthGuard guard(*this);
    std::unique_ptr<Routine> r = RoutineHeading();
    Expect(Tok::Semicolon);
    Declarations(r->Vars, r->Consts, r->Nested);
    r->Body = CompoundStmt();
    Expect(Tok::Semicolon);
    return r;
}

// heading := ('procedure' | 'function') ident ['(' [params] ')'] [':' type]
std::unique_ptr<Routine> Parser::RoutineHeading() {
    auto r = std::make_unique<Routine>();
    if (!Check(Tok::KwProcedure) && !Check(Tok::KwFunction))
        FailExpected(QStringLiteral("\"procedure\" или \"function\""));
    r->IsFunction = Check(Tok::KwFunction);
    Advance();
    r->At = Here();
    r->Name = Ident();
    if (Accept(Tok::LParen)) {
        if (!Check(Tok::RParen))
            ParamList(r->Params);
        Expect(Tok::RParen);
    }
    if (r->IsFunction) {
        Expect(Tok::Colon);
        r->Result = TypeSpec();
    }
    return r;
}

std::unique_ptr<Routine> Parser::ParseHeading() {
    std::unique_ptr<Routine> r = RoutineHeading();
    Accept(Tok::Semicolon);
    if (!Check(Tok::EndOfText))
        FailExpected(TokenName(Tok::EndOfText));
    return r;
}

// params := param {';' param}
// param  := ['var' | 'const'] ident {',' ident} [':' type] ['=' expr]
void Parser::ParamList(std::vector<Param>& params) {
    do {
        ParamMode mode = ParamMode::Value;
        if (Accept(Tok::KwVar))
            mode = ParamMode::Var;
        else if (Accept(Tok::KwConst))
            mode = ParamMode::Const;
        size_t first = params.size();
        do {
            Param p;
            p.At = Here();
            p.Name = Ident();
            p.Mode = mode;
            params.push_back(std::move(p));
        } while (Accept(Tok::Comma));
        if (Accept(Tok::Colon)) {
            TypeRef type = TypeSpec();
            if (type.IsArray && !type.Bounds.empty())
                Fail(QStringLiteral("параметр не может быть массивом с границами"));
            for (size_t i = first; i < params.size(); ++i)
                params[i].Type = CopyUnbounded(type);
        }
        if (Accept(Tok::Equal)) {
            if (params.size() - first != 1)
                Fail(QStringLiteral("значение по умолчанию допустимо только для одного параметра"));
            params.back().Default = Expression();
        }
    } while (Accept(Tok::Semicolon));
}

// type := 'array' ['[' expr '..' expr {',' expr '..' expr} ']'] 'of' type | ident
TypeRef Parser::TypeSpec() {
    DepthGuard guard(*this);
    TypeRef t;
    t.At = Here();
    if (Accept(Tok::KwArray)) {
        t.IsArray = true;
        if (Accept(Tok::LBracket)) {
            do {
                ExprPtr low = SubExpr(0);
                Expect(Tok::DotDot);
                ExprPtr high = SubExpr(0);
                t.Bounds.emplace_back(std::move(low), std::move(high));
            } while (Accept(Tok::Comma));
            Expect(Tok::RBracket);
        }
        Expect(Tok::KwOf);
        if (Check(Tok::KwConst)) {
            // "array of const": the open argument list of Format and its kin.
            t.Element = std::make_unique<TypeRef>();
            t.Element->Name = QStringLiteral("const");
            t.Element->At = Here();
            Advance();
            return t;
        }
        t.Element = std::make_unique<TypeRef>(TypeSpec());
        return t;
    }
    t.Name = Ident();
    return t;
}

// compound := 'begin' stmtlist 'end'
StmtPtr Parser::CompoundStmt() {
    StmtPtr s = MakeStmt(StmtKind::Compound, Here());
    Expect(Tok::KwBegin);
    StmtList(s->Body);
    Expect(Tok::KwEnd);
    return s;
}

// stmtlist := statement {';' statement}
void Parser::StmtList(std::vector<StmtPtr>& list) {
    do {
        StmtPtr s = Statement();
        if (s->Kind != StmtKind::Empty)
            list.push_back(std::move(s));
    } while (Accept(Tok::Semicolon));
}

// statement := compound | if | while | repeat | for | case | try | raise | exit | 'break'
//            | 'continue' | with | simple | <empty>
StmtPtr Parser::Statement() {
    DepthGuard guard(*this);
    switch (FCur.Kind) {
        case Tok::KwBegin:
            return CompoundStmt();
        case Tok::KwIf:
            return IfStmt();
        case Tok::KwWhile:
            return WhileStmt();
        case Tok::KwRepeat:
            return RepeatStmt();
        case Tok::KwFor:
            return ForStmt();
        case Tok::KwCase:
            return CaseStmt();
        case Tok::KwTry:
            return TryStmt();
        case Tok::KwRaise:
            return RaiseStmt();
        case Tok::KwExit:
            return ExitStmt();
        case Tok::KwWith:
            return WithStmt();
        case Tok::KwBreak:
        case Tok::KwContinue: {
            StmtPtr s =
                MakeStmt(Check(Tok::KwBreak) ? StmtKind::Break : StmtKind::Continue, Here());
            Advance();
            return s;
        }
        case Tok::EndOfText:
        case Tok::Semicolon:
        case Tok::KwEnd:
        case Tok::KwUntil:
        case Tok::KwElse:
        case Tok::KwExcept:
        case Tok::KwFinally:
            return MakeStmt(StmtKind::Empty, Here());
        default:
            return SimpleStmt();
    }
}

// if := 'if' expr 'then' statement ['else' statement]
StmtPtr Parser::IfStmt() {
    StmtPtr s = MakeStmt(StmtKind::If, Here());
    Advance();
    s->Cond = Expression();
    Expect(Tok::KwThen);
    s->Then = Statement();
    if (Accept(Tok::KwElse))
        s->Else = Statement();
    return s;
}

// while := 'while' expr 'do' statement
StmtPtr Parser::WhileStmt() {
    StmtPtr s = MakeStmt(StmtKind::While, Here());
    Advance();
    s->Cond = Expression();
    Expect(Tok::KwDo);
    s->Then = Statement();
    return s;
}

// repeat := 'repeat' stmtlist 'until' expr
StmtPtr Parser::RepeatStmt() {
    StmtPtr s = MakeStmt(StmtKind::Repeat, Here());
    Advance();
    StmtList(s->Body);
    Expect(Tok::KwUntil);
    s->Cond = Expression();
    return s;
}

// for := 'for' ident ':=' expr ('to' | 'downto') expr 'do' statement
StmtPtr Parser::ForStmt() {
    StmtPtr s = MakeStmt(StmtKind::For, Here());
    Advance();
    s->Target = MakeExpr(ExprKind::Name, Here());
    s->Target->Name = Ident();
    Expect(Tok::Assign);
    s->Value = Expression();
    if (Accept(Tok::KwDownto))
        s->Downto = true;
    else
        Expect(Tok::KwTo);
    s->Limit = Expression();
    Expect(Tok::KwDo);
    s->Then = Statement();
    return s;
}

// case := 'case' expr 'of' branch {';' branch} [';'] ['else' stmtlist] 'end'
// branch := label {',' label} ':' statement
StmtPtr Parser::CaseStmt() {
    StmtPtr s = MakeStmt(StmtKind::Case, Here());
    Advance();
    s->Cond = Expression();
    Expect(Tok::KwOf);
    while (!Check(Tok::KwElse) && !Check(Tok::KwEnd)) {
        CaseBranch branch;
        do
            branch.Labels.push_back(CaseLabel());
        while (Accept(Tok::Comma));
        Expect(Tok::Colon);
        branch.Body = Statement();
        s->Branches.push_back(std::move(branch));
        if (!Accept(Tok::Semicolon))
            break;
    }
    if (Accept(Tok::KwElse))
        StmtList(s->Body);
    Expect(Tok::KwEnd);
    return s;
}

// label := expr ['..' expr]
ExprPtr Parser::CaseLabel() {
    ExprPtr low = Expression();
    if (!Check(Tok::DotDot))
        return low;
    ExprPtr range = MakeExpr(ExprKind::Range, Here());
    Advance();
    range->Left = std::move(low);
    range->Right = Expression();
    return range;
}

// try := 'try' stmtlist ('except' stmtlist | 'finally' stmtlist) 'end'
StmtPtr Parser::TryStmt() {
    StmtPtr s = MakeStmt(StmtKind::TryExcept, Here());
    Advance();
    StmtList(s->Body);
    if (Accept(Tok::KwFinally))
        s->Kind = StmtKind::TryFinally;
    else
        Expect(Tok::KwExcept);
    StmtList(s->Handler);
    Expect(Tok::KwEnd);
    return s;
}

// raise := 'raise' [expr]
StmtPtr Parser::RaiseStmt() {
    StmtPtr s = MakeStmt(StmtKind::Raise, Here());
    Advance();
    if (!Check(Tok::Semicolon) && !Check(Tok::KwEnd) && !Check(Tok::KwElse) &&
        !Check(Tok::KwUntil) && !Check(Tok::KwExcept) && !Check(Tok::KwFinally))
        s->Value = Expression();
    return s;
}

// exit := 'exit' ['(' [expr] ')']
StmtPtr Parser::ExitStmt() {
    StmtPtr s = MakeStmt(StmtKind::Exit, Here());
    Advance();
    if (Accept(Tok::LParen)) {
        if (!Check(Tok::RParen))
            s->Value = Expression();
        Expect(Tok::RParen);
    }
    return s;
}

// with := 'with' expr {',' expr} 'do' statement
StmtPtr Parser::WithStmt() {
    StmtPtr s = MakeStmt(StmtKind::With, Here());
    Advance();
    do
        s->Args.push_back(Expression());
    while (Accept(Tok::Comma));
    Expect(Tok::KwDo);
    s->Then = Statement();
    return s;
}

// simple := designator [':=' expr]
StmtPtr Parser::SimpleStmt() {
    Pos at = Here();
    ExprPtr target = Primary();
    switch (target->Kind) {
        case ExprKind::Name:
        case ExprKind::Member:
        case ExprKind::Index:
        case ExprKind::Call:
            break;
        default:
            throw EScriptError(QStringLiteral("ожидается оператор"), at.Line, at.Column,
                               FLexer.Source().mid(at.Offset, at.Length));
    }
    if (Accept(Tok::Assign)) {
        if (target->Kind == ExprKind::Call)
            Fail(QStringLiteral("левая часть присваивания не может быть вызовом"));
        StmtPtr s = MakeStmt(StmtKind::Assign, at);
        s->Target = std::move(target);
        s->Value = Expression();
        return s;
    }
    if (Check(Tok::Equal))
        FailExpected(QStringLiteral("\":=\""));
    StmtPtr s = MakeStmt(StmtKind::Call, at);
    s->Value = std::move(target);
    return s;
}

// expr := subexpr(0)
ExprPtr Parser::Expression() {
    return SubExpr(0);
}

// subexpr := (unop subexpr(unary) | primary) {binop subexpr(priority)}
//   where binop has a left priority greater than limit
ExprPtr Parser::SubExpr(int limit) {
    DepthGuard guard(*this);
    ExprPtr left;
    if (Check(Tok::KwNot) || Check(Tok::Minus) || Check(Tok::Plus)) {
        left = MakeExpr(ExprKind::Unary, Here());
        left->Op = FCur.Kind;
        Advance();
        left->Left = SubExpr(UnaryPriority);
    } else {
        left = Primary();
    }
    for (;;) {
        Priority p = BinaryPriority(FCur.Kind);
        if (p.Left <= limit)
            return left;
        ExprPtr bin = MakeExpr(ExprKind::Binary, Here());
        bin->Op = FCur.Kind;
        Advance();
        bin->Left = std::move(left);
        bin->Right = SubExpr(p.Right);
        left = std::move(bin);
    }
}

// primary := number | string | 'nil' | ident | '(' expr ')' | set, then postfix
ExprPtr Parser::Primary() {
    DepthGuard guard(*this);
    Pos at = Here();
    switch (FCur.Kind) {
        case Tok::IntNumber:
        case Tok::FloatNumber:
        case Tok::String: {
            ExprPtr e = MakeExpr(ExprKind::Literal, at);
            try {
                e->Value = LiteralValue(FCur.Kind, FLexer.Text(FCur));
            } catch (const platform::EConvertError& error) {
                Fail(error.Message());
            }
            Advance();
            return Postfix(std::move(e));
        }
        case Tok::KwNil: {
            ExprPtr e = MakeExpr(ExprKind::Literal, at);
            e->Value = platform::Variant::Null();
            Advance();
            return e;
        }
        case Tok::Ident: {
            ExprPtr e = MakeExpr(ExprKind::Name, at);
            e->Name = Ident();
            return Postfix(std::move(e));
        }
        case Tok::LParen: {
            Advance();
            ExprPtr e = Expression();
            Expect(Tok::RParen);
            return Postfix(std::move(e));
        }
        case Tok::LBracket:
            return SetLiteral();
        case Tok::DataRef: {
            ExprPtr e = MakeExpr(ExprKind::DataRef, at);
            SplitDataRef(FLexer.Text(FCur), *e);
            Advance();
            return Postfix(std::move(e));
        }
        default:
            FailExpected(QStringLiteral("выражение"));
    }
}

// postfix := { '.' ident | '[' exprlist ']' | '(' [exprlist] ')' }
ExprPtr Parser::Postfix(ExprPtr base) {
    for (;;) {
        Pos at = Here();
        if (Accept(Tok::Dot)) {
            if (Check(Tok::QuotedName) && base->Kind == ExprKind::Name) {
                // Dataset."Field", the bare form of <Dataset."Field">.
                ExprPtr e = MakeExpr(ExprKind::DataRef, base->At);
                e->Name = base->Name;
                const QStringView quoted = FLexer.Text(FCur);
                e->Value = platform::Variant(quoted.mid(1, quoted.size() - 2).toString());
                Advance();
                base = std::move(e);
                continue;
            }
            ExprPtr e = MakeExpr(ExprKind::Member, Here());
            e->Name = Ident();
            e->Left = std::move(base);
            base = std::move(e);
        } else if (Accept(Tok::LBracket)) {
            ExprPtr e = MakeExpr(ExprKind::Index, at);
            e->Left = std::move(base);
            ExprList(e->Args, Tok::RBracket);
            if (e->Args.empty())
                FailExpected(QStringLiteral("индекс"));
            base = std::move(e);
        } else if (Check(Tok::LParen) &&
                   (base->Kind == ExprKind::Name || base->Kind == ExprKind::Member)) {
            Advance();
            ExprPtr e = MakeExpr(ExprKind::Call, base->At);
            e->Left = std::move(base);
            e->Parenthesized = true;
            ExprList(e->Args, Tok::RParen);
            base = std::move(e);
        } else {
            return base;
        }
    }
}

// set := '[' [element {',' element}] ']'   element := expr ['..' expr]
ExprPtr Parser::SetLiteral() {
    ExprPtr set = MakeExpr(ExprKind::SetLiteral, Here());
    Expect(Tok::LBracket);
    if (!Check(Tok::RBracket)) {
        do
            set->Args.push_back(CaseLabel());
        while (Accept(Tok::Comma));
    }
    Expect(Tok::RBracket);
    return set;
}

// exprlist := [expr {',' expr}] closer   (the opener is already taken)
void Parser::ExprList(std::vector<ExprPtr>& list, Tok closer) {
    if (!Check(closer)) {
        do
            list.push_back(Expression());
        while (Accept(Tok::Comma));
    }
    Expect(closer);
}

}  // namespace script
