// Tests of how data references are told apart from comparisons when scanning, and how they parse:
// <Name>, <Dataset."Field"> and the bare Dataset."Field".
#include "TestEnv.h"
#include "reportengine/script/AstDump.h"
#include "reportengine/script/Lexer.h"
#include "reportengine/script/Parser.h"

#include <gtest/gtest.h>

using namespace script;

namespace {

std::vector<Tok> Kinds(const QString& text) {
    Lexer lexer(text);
    std::vector<Tok> out;
    for (;;) {
        out.push_back(lexer.Next().Kind);
        if (out.back() == Tok::EndOfText || out.back() == Tok::Invalid)
            return out;
    }
}

TEST(DataRefSyntaxTest, ReferencesAndComparisonsScanApart) {
    const struct {
        const char* Text;
        std::vector<Tok> Kinds;
    } cases[] = {
        {"<ZQuery1.\"Имя поля\">", {Tok::DataRef, Tok::EndOfText}},
        {"<Line#>+<Дата начала>", {Tok::DataRef, Tok::Plus, Tok::DataRef, Tok::EndOfText}},
        {"a < b", {Tok::Ident, Tok::Less, Tok::Ident, Tok::EndOfText}},
        {"a<=b", {Tok::Ident, Tok::LessEqual, Tok::Ident, Tok::EndOfText}},
        {"a<>b", {Tok::Ident, Tok::NotEqual, Tok::Ident, Tok::EndOfText}},
        // Something other than a name before the '>' makes '<' a comparison.
        {"(a<b) or (c>d)",
         {Tok::LParen, Tok::Ident, Tok::Less, Tok::Ident, Tok::RParen, Tok::KwOr, Tok::LParen,
          Tok::Ident, Tok::Greater, Tok::Ident, Tok::RParen, Tok::EndOfText}},
        {"x<1>", {Tok::Ident, Tok::Less, Tok::IntNumber, Tok::Greater, Tok::EndOfText}},
        {"<a\nb>", {Tok::Less, Tok::Ident, Tok::Ident, Tok::Greater, Tok::EndOfText}},
        {"<Q.\"open>", {Tok::Less, Tok::Ident, Tok::Dot, Tok::Invalid}},
        {"Q.\"F\"", {Tok::Ident, Tok::Dot, Tok::QuotedName, Tok::EndOfText}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Kinds(QString::fromUtf8(c.Text)), c.Kinds) << c.Text;
}

TEST(DataRefSyntaxTest, ReferencesParseIntoNameAndField) {
    const struct {
        const char* Text;
        const char* Dump;
    } cases[] = {
        {"<ZQuery1.\"Name\"> + ' '", "(+ <ZQuery1.\"Name\"> ' ')"},
        {"ZQuery1.\"Name\"", "<ZQuery1.\"Name\">"},
        {"<Line#>", "<Line#>"},
        {"< x", ""},
        {"<\"Дата начала\">", "<Дата начала>"},
        {"Copy(<Var1>, 1, 3)", "(call Copy <Var1> 1 3)"},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.Text);
        if (!*c.Dump) {
            EXPECT_THROW(Parser(text).ParseExpression(), EScriptError) << c.Text;
            continue;
        }
        EXPECT_EQ(DumpExpr(*Parser(text).ParseExpression()), QString::fromUtf8(c.Dump)) << c.Text;
    }
}

}  // namespace
