// Prefix text of syntax trees; see AstDump.h.
#include "reportengine/script/AstDump.h"

namespace script {

namespace {

QString List(const std::vector<ExprPtr>& items) {
    QStringList parts;
    for (const ExprPtr& e : items)
        parts << DumpExpr(*e);
    return parts.join(' ');
}

QString Block(const std::vector<StmtPtr>& items) {
    QStringList parts;
    for (const StmtPtr& s : items)
        parts << DumpStmt(*s);
    return parts.join(' ');
}

QString Literal(const platform::Variant& v) {
    switch (v.Type()) {
        case platform::VarType::String:
            return "'" + v.ToString() + "'";
        case platform::VarType::Null:
            return "nil";
        default:
            return v.ToString();
    }
}

}  // namespace

QString DumpExpr(const Expr& e) {
    switch (e.Kind) {
        case ExprKind::Literal:
            return Literal(e.Value);
        case ExprKind::Name:
            return e.Name;
        case ExprKind::Unary:
            return QStringLiteral("(%1 %2)").arg(TokenName(e.Op), DumpExpr(*e.Left));
        case ExprKind::Binary:
            return QStringLiteral("(%1 %2 %3)")
                .arg(TokenName(e.Op), DumpExpr(*e.Left), DumpExpr(*e.Right));
        case ExprKind::Call:
            return QStringLiteral("(call %1%2%3)")
                .arg(DumpExpr(*e.Left), e.Args.empty() ? "" : " ", List(e.Args));
        case ExprKind::Index:
            return QStringLiteral("(index %1 %2)").arg(DumpExpr(*e.Left), List(e.Args));
        case ExprKind::Member:
            return QStringLiteral("(. %1 %2)").arg(DumpExpr(*e.Left), e.Name);
        case ExprKind::SetLiteral:
            return QStringLiteral("[%1]").arg(List(e.Args));
        case ExprKind::Range:
            return QStringLiteral("(.. %1 %2)").arg(DumpExpr(*e.Left), DumpExpr(*e.Right));
        case ExprKind::DataRef:
            return e.Value.IsEmpty()
                       ? QStringLiteral("<%1>").arg(e.Name)
                       : QStringLiteral("<%1.\"%2\">").arg(e.Name, e.Value.ToString());
    }
    return QString();
}

QString DumpStmt(const Stmt& s) {
    auto opt = [](const StmtPtr& p) { return p ? DumpStmt(*p) : QStringLiteral("()"); };
    switch (s.Kind) {
        case StmtKind::Empty:
            return "()";
        case StmtKind::Compound:
            return QStringLiteral("(begin %1)").arg(Block(s.Body));
        case StmtKind::Assign:
            return QStringLiteral("(:= %1 %2)").arg(DumpExpr(*s.Target), DumpExpr(*s.Value));
        case StmtKind::Call:
            return DumpExpr(*s.Value);
        case StmtKind::If:
            return QStringLiteral("(if %1 %2%3)")
                .arg(DumpExpr(*s.Cond), opt(s.Then), s.Else ? " " + DumpStmt(*s.Else) : "");
        case StmtKind::While:
            return QStringLiteral("(while %1 %2)").arg(DumpExpr(*s.Cond), opt(s.Then));
        case StmtKind::Repeat:
            return QStringLiteral("(repeat %1 until %2)").arg(Block(s.Body), DumpExpr(*s.Cond));
        case StmtKind::For:
            return QStringLiteral("(for %1 %2 %3 %4 %5)")
                .arg(DumpExpr(*s.Target), DumpExpr(*s.Value), s.Downto ? "downto" : "to",
                     DumpExpr(*s.Limit), opt(s.Then));
        case StmtKind::Case: {
            QStringList parts;
            for (const CaseBranch& b : s.Branches)
                parts << QStringLiteral("(%1: %2)").arg(List(b.Labels), opt(b.Body));
            return QStringLiteral("(case %1 %2%3)")
                .arg(DumpExpr(*s.Cond), parts.join(' '),
                     s.Body.empty() ? "" : " (else " + Block(s.Body) + ")");
        }
        case StmtKind::TryExcept:
        case StmtKind::TryFinally:
            return QStringLiteral("(try %1 %2 %3)")
                .arg(Block(s.Body), s.Kind == StmtKind::TryExcept ? "except" : "finally",
                     Block(s.Handler));
        case StmtKind::Raise:
            return s.Value ? "(raise " + DumpExpr(*s.Value) + ")" : "(raise)";
        case StmtKind::Exit:
            return s.Value ? "(exit " + DumpExpr(*s.Value) + ")" : "(exit)";
        case StmtKind::Break:
            return "(break)";
        case StmtKind::Continue:
            return "(continue)";
        case StmtKind::With:
            return QStringLiteral("(with %1 %2)").arg(List(s.Args), opt(s.Then));
    }
    return QString();
}

}  // namespace script
