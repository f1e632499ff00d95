// Tests of the script tokenizer: token kinds and lengths, literal values, positions.
#include "TestEnv.h"
#include "reportengine/script/Lexer.h"

#include <gtest/gtest.h>

using namespace script;
using platform::Variant;
using platform::VarType;

namespace {

std::vector<Tok> Kinds(const QString& text) {
    Lexer lexer(text);
    std::vector<Tok> out;
    for (;;) {
        Token t = lexer.Next();
        out.push_back(t.Kind);
        if (t.Kind == Tok::EndOfText || t.Kind == Tok::Invalid)
            return out;
    }
}

}  // namespace

TEST(LexerTest, TokenNamesFollowTheEnum) {
    EXPECT_EQ(TokenName(Tok::KwAnd), "and");
    EXPECT_EQ(TokenName(Tok::KwXor), "xor");
    EXPECT_EQ(TokenName(Tok::Assign), ":=");
    // Keyword lookup bisects the keyword range, so every keyword must scan back to itself.
    for (int k = int(Tok::KwAnd); k <= int(Tok::KwXor); ++k) {
        QString name = TokenName(Tok(k));
        EXPECT_EQ(ScanToken(name).Kind, Tok(k)) << name.toStdString();
        EXPECT_EQ(ScanToken(name.toUpper()).Kind, Tok(k)) << name.toStdString();
    }
}

TEST(LexerTest, ScansTable) {
    struct Case {
        const char* text;
        std::vector<Tok> kinds;
    } cases[] = {
        {"a:=1;", {Tok::Ident, Tok::Assign, Tok::IntNumber, Tok::Semicolon, Tok::EndOfText}},
        {"x <> y <= z >= w",
         {Tok::Ident, Tok::NotEqual, Tok::Ident, Tok::LessEqual, Tok::Ident, Tok::GreaterEqual,
          Tok::Ident, Tok::EndOfText}},
        // "1..5" is a range of integers, not a float
        {"[1..5]",
         {Tok::LBracket, Tok::IntNumber, Tok::DotDot, Tok::IntNumber, Tok::RBracket,
          Tok::EndOfText}},
        {"1.5 2e3 1.5E-2 $FF",
         {Tok::FloatNumber, Tok::FloatNumber, Tok::FloatNumber, Tok::IntNumber, Tok::EndOfText}},
        {"// line\n{ brace } (* paren *) end.", {Tok::KwEnd, Tok::Dot, Tok::EndOfText}},
        {"'It''s'#13#10'ok' + #$41", {Tok::String, Tok::Plus, Tok::String, Tok::EndOfText}},
        {"Счёт_1 BEGIN", {Tok::Ident, Tok::KwBegin, Tok::EndOfText}},
        {"a ? b", {Tok::Ident, Tok::Invalid}},
        {"'open", {Tok::Invalid}},
        {"{ open", {Tok::Invalid}},
        {"(* open *", {Tok::Invalid}},
        {"#", {Tok::Invalid}},
        {"$", {Tok::Invalid}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Kinds(QString::fromUtf8(c.text)), c.kinds) << c.text;
}

TEST(LexerTest, LiteralValues) {
    EXPECT_EQ(LiteralValue(Tok::IntNumber, u"42"), Variant(42));
    EXPECT_EQ(LiteralValue(Tok::IntNumber, u"$FF"), Variant(255));
    // Past 32 bits a literal is an Int64, as the platform's compiler types it.
    EXPECT_EQ(LiteralValue(Tok::IntNumber, u"3000000000"), Variant(int64_t(3000000000)));
    EXPECT_EQ(LiteralValue(Tok::FloatNumber, u"1.5e2"), Variant(150.0));
    EXPECT_EQ(LiteralValue(Tok::String, u"'It''s'#13#10'ok'"), Variant(QString("It's\r\nok")));
    EXPECT_EQ(LiteralValue(Tok::String, u"#$41#66"), Variant(QString("AB")));
    EXPECT_EQ(LiteralValue(Tok::String, u"''"), Variant(QString()));
    EXPECT_THROW(LiteralValue(Tok::IntNumber, u"99999999999999999999"), platform::EConvertError);
    EXPECT_THROW(LiteralValue(Tok::String, u"#70000"), platform::EConvertError);
}

TEST(LexerTest, PositionsCountLinesAndColumns) {
    Lexer lexer("a\r\n  { x\n y }  b\n\tc");
    Token a = lexer.Next(), b = lexer.Next(), c = lexer.Next();
    EXPECT_EQ(std::make_pair(a.Line, a.Column), std::make_pair(1, 1));
    EXPECT_EQ(std::make_pair(b.Line, b.Column), std::make_pair(3, 7));
    EXPECT_EQ(std::make_pair(c.Line, c.Column), std::make_pair(4, 2));
    EXPECT_EQ(lexer.Text(b), u"b");
}
