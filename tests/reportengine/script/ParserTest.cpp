// Tests of the script parser: precedence, statement forms, declarations, and error places.
#include "TestEnv.h"
#include "reportengine/script/AstDump.h"
#include "reportengine/script/Parser.h"

#include <gtest/gtest.h>

using namespace script;

namespace {

QString ExprTree(const char* text) {
    return DumpExpr(*Parser(QString::fromUtf8(text)).ParseExpression());
}

QString Main(const char* text) {
    auto program = Parser(QString::fromUtf8(text)).ParseProgram();
    return program->Main ? DumpStmt(*program->Main) : QString();
}

}  // namespace

TEST(ParserTest, ExpressionPrecedence) {
    struct Case {
        const char* text;
        const char* tree;
    } cases[] = {
        {"1 + 2 * 3", "(+ 1 (* 2 3))"},
        {"1 - 2 - 3", "(- (- 1 2) 3)"},
        // Pascal's and binds like *, so the comparison needs parentheses around it.
        {"a > 1 and b", "(> a (and 1 b))"},
        {"(a > 1) and (b < 2)", "(and (> a 1) (< b 2))"},
        {"not a or b", "(or (not a) b)"},
        {"-x * y", "(* (- x) y)"},
        {"a = b = c", "(= (= a b) c)"},
        {"x in [1, 3..5]", "(in x [1 (.. 3 5)])"},
        {"s[1] + f(2, 'a').Name", "(+ (index s 1) (. (call f 2 'a') Name))"},
        {"Obj.Items.Strings[i]", "(index (. (. Obj Items) Strings) i)"},
        {"a div b mod c shl 2", "(shl (mod (div a b) c) 2)"},
        {"f()", "(call f)"},
        {"nil", "nil"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExprTree(c.text), QString::fromUtf8(c.tree)) << c.text;
}

TEST(ParserTest, Statements) {
    struct Case {
        const char* text;
        const char* tree;
    } cases[] = {
        {"begin a := 1; ; b end.", "(begin (:= a 1) b)"},
        {"begin if a then if b then x else y end.", "(begin (if a (if b x y)))"},
        {"begin while i < 3 do i := i + 1 end.", "(begin (while (< i 3) (:= i (+ i 1))))"},
        {"begin repeat Inc(i); until i > 3 end.", "(begin (repeat (call Inc i) until (> i 3)))"},
        {"begin for i := 10 downto 1 do break end.", "(begin (for i 10 downto 1 (break)))"},
        {"begin case s of 'a', 'b': x; 'c'..'d': y; else z; w end end.",
         "(begin (case s ('a' 'b': x) ((.. 'c' 'd'): y) (else z w)))"},
        {"begin try x finally y end; try x except raise end end.",
         "(begin (try x finally y) (try x except (raise)))"},
        {"begin exit; exit(1); continue end.", "(begin (exit) (exit 1) (continue))"},
        {"begin with Report, Engine do NewPage end.", "(begin (with Report Engine NewPage))"},
        {"begin Memo1.Lines.Add('x'); SQL[3] := 'y' end.",
         "(begin (call (. (. Memo1 Lines) Add) 'x') (:= (index SQL 3) 'y'))"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Main(c.text), QString::fromUtf8(c.tree)) << c.text;
}

TEST(ParserTest, Declarations) {
    auto program = Parser(R"(program P; uses A, B;
        const N = 10; Title: String = 'x';
        var i, j: Integer; arr: array[1..N] of Double; open: array of String; v: Variant = 5;
        procedure Swap(var a, b: Integer; const c: String; d);
          var t: Integer;
          function Inner: Integer; begin Result := 1 end;
        begin t := a; a := b; b := t end;
        function Twice(x: Integer = 2): Integer; begin Result := x * 2 end;
        begin end.)")
                       .ParseProgram();
    EXPECT_EQ(program->Name, "P");
    EXPECT_EQ(program->Uses, QStringList({"A", "B"}));
    ASSERT_EQ(program->Consts.size(), 2u);
    EXPECT_EQ(program->Consts[1].Type.Name, "String");
    ASSERT_EQ(program->Vars.size(), 5u);
    EXPECT_EQ(program->Vars[1].Type.Name, "Integer");
    EXPECT_TRUE(program->Vars[2].Type.IsArray);
    EXPECT_EQ(program->Vars[2].Type.Bounds.size(), 1u);
    EXPECT_EQ(program->Vars[2].Type.Element->Name, "Double");
    EXPECT_TRUE(program->Vars[3].Type.Bounds.empty());
    ASSERT_TRUE(program->Vars[4].Init);
    ASSERT_EQ(program->Routines.size(), 2u);
    const Routine& swap = *program->Routines[0];
    ASSERT_EQ(swap.Params.size(), 4u);
    EXPECT_EQ(swap.Params[0].Mode, ParamMode::Var);
    EXPECT_EQ(swap.Params[1].Mode, ParamMode::Var);
    EXPECT_EQ(swap.Params[1].Type.Name, "Integer");
    EXPECT_EQ(swap.Params[2].Mode, ParamMode::Const);
    EXPECT_TRUE(swap.Params[3].Type.Name.isEmpty());
    EXPECT_EQ(swap.Nested.size(), 1u);
    EXPECT_TRUE(program->Routines[1]->IsFunction);
    EXPECT_TRUE(program->Routines[1]->Params[0].Default);
}

TEST(ParserTest, ErrorsCarryPlaceAndNearToken) {
    struct Case {
        const char* text;
        int line;
        int column;
        const char* near;
        const char* reason;
    } cases[] = {
        {"begin\n  a := 1\n  b := 2\nend.", 3, 3, "b", "ожидается \"end\""},
        {"begin a = 1 end.", 1, 9, "=", "ожидается \":=\""},
        {"begin if a b end.", 1, 12, "b", "ожидается \"then\""},
        {"begin a := (1 + end.", 1, 17, "end", "ожидается выражение"},
        {"begin a := 'x end.", 1, 12, "'", "незакрытая строка"},
        {"begin { end.", 1, 7, "{ end.", "незакрытый комментарий"},
        {"begin a := 1 ? 2 end.", 1, 14, "?", "недопустимый символ"},
        {"var x: Integer; begin", 1, 22, "конец текста", "ожидается \"end\""},
        {"var x: Integer; x := 1", 1, 19, ":=", "ожидается \":\""},
        {"var x: Integer; 5", 1, 17, "5", "ожидается \"begin\""},
        {"begin end. x", 1, 12, "x", "ожидается конец текста"},
        {"begin 1 end.", 1, 7, "1", "ожидается оператор"},
    };
    for (const Case& c : cases) {
        try {
            Parser(QString::fromUtf8(c.text)).ParseProgram();
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const EScriptError& e) {
            EXPECT_EQ(e.Line(), c.line) << c.text;
            EXPECT_EQ(e.Column(), c.column) << c.text;
            EXPECT_EQ(e.Near(), QString::fromUtf8(c.near)) << c.text;
            EXPECT_EQ(e.Reason(), QString::fromUtf8(c.reason)) << c.text;
        }
    }
    try {
        Parser("begin\n x := ; end.").ParseProgram();
    } catch (const EScriptError& e) {
        EXPECT_EQ(e.Message(), "Строка 2, позиция 7: ожидается выражение около \";\"");
    }
}

TEST(ParserTest, DepthGuardStopsAbsurdNesting) {
    QString deep = "begin x := " + QString(5000, '(') + "1" + QString(5000, ')') + " end.";
    EXPECT_THROW(Parser(deep).ParseProgram(), EScriptError);
    QString ifs = "begin " + QString("if a then ").repeated(5000) + "x end.";
    EXPECT_THROW(Parser(ifs).ParseProgram(), EScriptError);
    QString minus = "begin x := " + QString(5000, '-') + "1 end.";
    EXPECT_THROW(Parser(minus).ParseProgram(), EScriptError);
}
