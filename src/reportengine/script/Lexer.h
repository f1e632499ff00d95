// The tokenizer of report scripts. ScanToken is pure: text in, token kind and length out, with no
// state, so the fuzzer and the highlighter of the designer can call it on any text. Lexer walks a
// source with it, skipping blanks and comments and counting lines and columns.
// Thread contract: ScanToken is safe anywhere; a Lexer belongs to the one thread that parses.
#pragma once

#include "platform/Variant.h"

#include <QString>
#include <QStringView>

namespace script {

// ORDER TOKENS: TokenNames in Lexer.cpp lists these in the same order; keywords run from KwAnd to
// KwXor in alphabetical order, because keyword lookup bisects that range.
enum class Tok {
    EndOfText,
    Invalid,  // a character no token starts with, or an unterminated string or comment
    Blank,
    Comment,
    Ident,
    IntNumber,
    FloatNumber,
    String,  // a run of quoted pieces and #nn codes: 'It''s'#13#10'ok'
    QuotedName,  // "Field name": a field after a dataset name (Dataset."Field")
    DataRef,     // <Name> or <Dataset."Field">: see ScanDataRef in Lexer.cpp for the rule
    Plus,
    Minus,
    Star,
    Slash,
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Assign,
    LParen,
    RParen,
    LBracket,
    RBracket,
    Comma,
    Semicolon,
    Colon,
    Dot,
    DotDot,
    Caret,
    At,
    KwAnd,
    KwArray,
    KwBegin,
    KwBreak,
    KwCase,
    KwConst,
    KwContinue,
    KwDiv,
    KwDo,
    KwDownto,
    KwElse,
    KwEnd,
    KwExcept,
    KwExit,
    KwFinally,
    KwFor,
    KwFunction,
    KwIf,
    KwIn,
    KwIs,
    KwMod,
    KwNil,
    KwNot,
    KwOf,
    KwOr,
    KwProcedure,
    KwProgram,
    KwRaise,
    KwRepeat,
    KwShl,
    KwShr,
    KwThen,
    KwTo,
    KwTry,
    KwUntil,
    KwUses,
    KwVar,
    KwWhile,
    KwWith,
    KwXor,
    Count_
};

// The text a message shows for a kind ("begin", ":=", "идентификатор").
QString TokenName(Tok kind);

struct ScannedToken {
    Tok Kind;
    int Length;
};

// Scans one token at the start of text; an empty text gives EndOfText with length 0. Never reads
// past the end and always returns a positive length otherwise.
ScannedToken ScanToken(QStringView text);

// The value of a literal token: integers as Integer (Int64 when they do not fit; $FF hex too),
// floats as Double, strings decoded. Throws EConvertError for a number out of range.
platform::Variant LiteralValue(Tok kind, QStringView text);

struct Token {
    Tok Kind = Tok::EndOfText;
    int Offset = 0;
    int Length = 0;
    int Line = 1;
    int Column = 1;
};

class Lexer {
public:
    explicit Lexer(QString source);

    // The next significant token (blanks and comments skipped). Invalid tokens are returned for
    // the parser to report with their place.
    Token Next();
    QStringView Text(const Token& token) const {
        return QStringView(FSource).mid(token.Offset, token.Length);
    }
    const QString& Source() const { return FSource; }

private:
    void Advance(int length);

    QString FSource;
    int FOffset = 0;
    int FLine = 1;
    int FColumn = 1;
};

}  // namespace script
