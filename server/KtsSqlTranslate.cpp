// SQL Server forms -> SQLite. Each form is one row of kForms, applied in order; literals are
// never rewritten except by the linked-server wrapper, which unwraps one whole N'...' literal.
#include "KtsSqlTranslate.h"

#include <QRegularExpression>

namespace ktsd {

namespace {

using Rewrite = QString (*)(const QString&);

// The text of the linked-server wrapper's literal, with doubled quotes undone.
QString unwrapExecuteSql(const QString& sql) {
    static const QRegularExpression re(
        QStringLiteral(
            R"(^\s*EXEC(?:UTE)?\s+(?:\[[^\]]*\]|\w+)\.\w+\.(?:dbo)?\.sp_executesql\s+N'((?:[^']|'')*)'\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(sql);
    if (!m.hasMatch())
        return sql;
    return m.captured(1).replace(QStringLiteral("''"), QStringLiteral("'"));
}

// The user-table list of the template designer.
QString tableList(const QString& sql) {
    static const QRegularExpression re(
        QStringLiteral(R"(\bFROM\s+(?:dbo\.)?sysobjects\b.*\bOBJECTPROPERTY\s*\()"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    if (!re.match(sql).hasMatch())
        return sql;
    return QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
        "ORDER BY name");
}

// Applies a regular-expression replacement outside quoted literals only.
QString outsideLiterals(const QString& sql, const QRegularExpression& re, const QString& with) {
    QString out;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype open = sql.indexOf(u'\'', i);
        if (open < 0)
            open = n;
        out += QString(sql.mid(i, open - i)).replace(re, with);
        if (open == n)
            break;
        // A doubled quote inside a literal reads as two adjacent literals: same result.
        const qsizetype close = sql.indexOf(u'\'', open + 1);
        if (close < 0) {
            out += sql.mid(open);  // an unclosed literal goes to SQLite as it is
            break;
        }
        out += sql.mid(open, close + 1 - open);
        i = close + 1;
    }
    return out;
}

QString getDate(const QString& sql) {
    static const QRegularExpression re(QStringLiteral(R"(\bGETDATE\s*\(\s*\))"),
                                       QRegularExpression::CaseInsensitiveOption);
    return outsideLiterals(sql, re, QStringLiteral("datetime('now', 'localtime')"));
}

QString dboPrefix(const QString& sql) {
    static const QRegularExpression re(QStringLiteral(R"((?:\[dbo\]|\bdbo)\.)"),
                                       QRegularExpression::CaseInsensitiveOption);
    return outsideLiterals(sql, re, QString());
}

QString bracketNames(const QString& sql) {
    static const QRegularExpression re(QStringLiteral(R"(\[([^\]\[']*)\])"));
    return outsideLiterals(sql, re, QStringLiteral("\"\\1\""));
}

// SELECT TOP n ... -> SELECT ... LIMIT n (one statement; the limit goes at its end).
QString selectTop(const QString& sql) {
    static const QRegularExpression re(
        QStringLiteral(R"(^(\s*SELECT\s+(?:DISTINCT\s+)?)TOP\s+(\d+)\s+)"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(sql);
    if (!m.hasMatch())
        return sql;
    QString rest = sql.mid(m.capturedEnd());
    static const QRegularExpression tail(QStringLiteral(R"(\s*;?\s*$)"));
    rest.remove(tail);
    return m.captured(1) + rest + QStringLiteral(" LIMIT ") + m.captured(2);
}

struct Form {
    const char* name;
    Rewrite rewrite;
};

// Order matters: the wrapper first (its inner text is then translated like any other), the
// table list before the dbo. prefix it contains.
const Form kForms[] = {
    {"EXEC [srv].db.dbo.sp_executesql N'...'", unwrapExecuteSql},
    {"dbo.sysobjects with OBJECTPROPERTY", tableList},
    {"GETDATE()", getDate},
    {"dbo. prefix", dboPrefix},
    {"[name] quoting", bracketNames},
    {"SELECT TOP n", selectTop},
};

}  // namespace

QString translateSql(const QString& sql) {
    QString out = sql;
    for (const Form& form : kForms)
        out = form.rewrite(out);
    return out;
}

}  // namespace ktsd
