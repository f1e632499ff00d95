// The script tokenizer; see Lexer.h.
#include "reportengine/script/Lexer.h"

#include "platform/ConvertError.h"

#include <array>
#include <limits>

namespace script {

namespace {

// ORDER TOKENS: one name per Tok, in the enum's order.
const char* const TokenNames[] = {"конец текста",
                                  "недопустимый символ",
                                  "пробел",
                                  "комментарий",
                                  "идентификатор",
                                  "целое число",
                                  "число",
                                  "строка",
                                  "имя в кавычках",
                                  "ссылка на данные",
                                  "+",
                                  "-",
                                  "*",
                                  "/",
                                  "=",
                                  "<>",
                                  "<",
                                  "<=",
                                  ">",
                                  ">=",
                                  ":=",
                                  "(",
                                  ")",
                                  "[",
                                  "]",
                                  ",",
                                  ";",
                                  ":",
                                  ".",
                                  "..",
                                  "^",
                                  "@",
                                  "and",
                                  "array",
                                  "begin",
                                  "break",
                                  "case",
                                  "const",
                                  "continue",
                                  "div",
                                  "do",
                                  "downto",
                                  "else",
                                  "end",
                                  "except",
                                  "exit",
                                  "finally",
                                  "for",
                                  "function",
                                  "if",
                                  "in",
                                  "is",
                                  "mod",
                                  "nil",
                                  "not",
                                  "of",
                                  "or",
                                  "procedure",
                                  "program",
                                  "raise",
                                  "repeat",
                                  "shl",
                                  "shr",
                                  "then",
                                  "to",
                                  "try",
                                  "until",
                                  "uses",
                                  "var",
                                  "while",
                                  "with",
                                  "xor"};
static_assert(std::size(TokenNames) == size_t(Tok::Count_), "TokenNames out of step with Tok");

// Letters of any alphabet, so that templates may name things in Russian.
bool IsIdentStart(QChar c) {
    return c == u'_' || c.isLetter();
}
bool IsIdentPart(QChar c) {
    return IsIdentStart(c) || (c >= u'0' && c <= u'9');
}
bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
bool IsHexDigit(QChar c) {
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

Tok KeywordOrIdent(QStringView word) {
    int lo = int(Tok::KwAnd), hi = int(Tok::KwXor);
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int cmp = word.compare(QLatin1String(TokenNames[mid]), Qt::CaseInsensitive);
        if (cmp == 0)
            return Tok(mid);
        if (cmp < 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return Tok::Ident;
}

// A string run: quoted pieces ('' inside is a quote) and #nn / #$nn codes, with nothing between
// them. Returns the length, or -1 when a quote is not closed on its line.
int ScanStringRun(QStringView s) {
    int i = 0;
    const int n = int(s.size());
    while (i < n) {
        if (s[i] == u'\'') {
            ++i;
            for (;;) {
                if (i >= n || s[i] == u'\n' || s[i] == u'\r')
                    return -1;
                if (s[i] == u'\'') {
                    if (i + 1 < n && s[i + 1] == u'\'') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
        } else if (s[i] == u'#') {
            int j = i + 1;
            if (j < n && s[j] == u'$') {
                ++j;
                int start = j;
                while (j < n && IsHexDigit(s[j]))
                    ++j;
                if (j == start)
                    return i == 0 ? -1 : i;
            } else {
                int start = j;
                while (j < n && IsDigit(s[j]))
                    ++j;
                if (j == start)
                    return i == 0 ? -1 : i;
            }
            i = j;
        } else {
            break;
        }
    }
    return i;
}

// "text" on one line; returns the length with both quotes, or -1 when it is not closed.
int ScanQuotedName(QStringView s) {
    for (int i = 1; i < int(s.size()); ++i) {
        if (s[i] == u'\n' || s[i] == u'\r')
            return -1;
        if (s[i] == u'"')
            return i + 1;
    }
    return -1;
}

// A data reference is '<', at once a letter, '_' or '"', then only name characters ('#' and '.'
// too, for <Line#> and <Query."Field">), blanks and "quoted" parts, up to '>' on the same line.
// Anything else after '<' (a blank, a digit, '=', '>', '(', a quote ') makes it the comparison
// operator, so "a < b" and "a<=b" stay comparisons; "a<b" followed later by '>' with only name
// characters between is read as a reference, which is why comparisons are written with blanks.
// Returns the length of the reference, or 0 when there is none.
int ScanDataRef(QStringView s) {
    const int n = int(s.size());
    if (n < 3 || !(IsIdentStart(s[1]) || s[1] == u'"'))
        return 0;
    for (int i = 1; i < n; ++i) {
        const QChar c = s[i];
        if (c == u'>')
            return i > 1 ? i + 1 : 0;
        if (c == u'"') {
            int len = ScanQuotedName(s.mid(i));
            if (len < 0)
                return 0;
            i += len - 1;
        } else if (!(IsIdentPart(c) || c == u'#' || c == u'.' || c == u' ')) {
            return 0;
        }
    }
    return 0;
}

ScannedToken ScanNumber(QStringView s) {
    const int n = int(s.size());
    int i = 0;
    if (s[0] == u'$') {
        i = 1;
        while (i < n && IsHexDigit(s[i]))
            ++i;
        return {i == 1 ? Tok::Invalid : Tok::IntNumber, i};
    }
    while (i < n && IsDigit(s[i]))
        ++i;
    bool isFloat = false;
    // "1..5" is a range, not the float "1." followed by ".5".
    if (i + 1 < n && s[i] == u'.' && IsDigit(s[i + 1])) {
        isFloat = true;
        i += 1;
        while (i < n && IsDigit(s[i]))
            ++i;
    }
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        int j = i + 1;
        if (j < n && (s[j] == u'+' || s[j] == u'-'))
            ++j;
        if (j < n && IsDigit(s[j])) {
            while (j < n && IsDigit(s[j]))
                ++j;
            i = j;
            isFloat = true;
        }
    }
    return {isFloat ? Tok::FloatNumber : Tok::IntNumber, i};
}

}  // namespace

QString TokenName(Tok kind) {
    int k = int(kind);
    if (k < 0 || k >= int(Tok::Count_))
        return QString();
    return QString::fromUtf8(TokenNames[k]);
}

ScannedToken ScanToken(QStringView s) {
    const int n = int(s.size());
    if (n == 0)
        return {Tok::EndOfText, 0};
    const QChar c = s[0];
    const QChar next = n > 1 ? s[1] : QChar();
    if (c.isSpace()) {
        int i = 1;
        while (i < n && s[i].isSpace())
            ++i;
        return {Tok::Blank, i};
    }
    if (c == u'/' && next == u'/') {
        int i = 2;
        while (i < n && s[i] != u'\n' && s[i] != u'\r')
            ++i;
        return {Tok::Comment, i};
    }
    if (c == u'{') {
        int end = int(s.indexOf(u'}', 1));
        return end < 0 ? ScannedToken{Tok::Invalid, n} : ScannedToken{Tok::Comment, end + 1};
    }
    if (c == u'(' && next == u'*') {
        int end = int(s.indexOf(u"*)", 2));
        return end < 0 ? ScannedToken{Tok::Invalid, n} : ScannedToken{Tok::Comment, end + 2};
    }
    if (IsIdentStart(c)) {
        int i = 1;
        while (i < n && IsIdentPart(s[i]))
            ++i;
        return {KeywordOrIdent(s.first(i)), i};
    }
    if (IsDigit(c) || c == u'$')
        return ScanNumber(s);
    if (c == u'\'' || c == u'#') {
        int len = ScanStringRun(s);
        return len < 0 ? ScannedToken{Tok::Invalid, 1} : ScannedToken{Tok::String, len};
    }
    switch (c.unicode()) {
        case '+':
            return {Tok::Plus, 1};
        case '-':
            return {Tok::Minus, 1};
        case '*':
            return {Tok::Star, 1};
        case '/':
            return {Tok::Slash, 1};
        case '=':
            return {Tok::Equal, 1};
        case '"': {
            int len = ScanQuotedName(s);
            return len < 0 ? ScannedToken{Tok::Invalid, 1} : ScannedToken{Tok::QuotedName, len};
        }
        case '<':
            if (int len = ScanDataRef(s))
                return {Tok::DataRef, len};
            if (next == u'>')
                return {Tok::NotEqual, 2};
            if (next == u'=')
                return {Tok::LessEqual, 2};
            return {Tok::Less, 1};
        case '>':
            return next == u'=' ? ScannedToken{Tok::GreaterEqual, 2}
                                : ScannedToken{Tok::Greater, 1};
        case ':':
            return next == u'=' ? ScannedToken{Tok::Assign, 2} : ScannedToken{Tok::Colon, 1};
        case '(':
            return {Tok::LParen, 1};
        case ')':
            return {Tok::RParen, 1};
        case '[':
            return {Tok::LBracket, 1};
        case ']':
            return {Tok::RBracket, 1};
        case ',':
            return {Tok::Comma, 1};
        case ';':
            return {Tok::Semicolon, 1};
        case '.':
            return next == u'.' ? ScannedToken{Tok::DotDot, 2} : ScannedToken{Tok::Dot, 1};
        case '^':
            return {Tok::Caret, 1};
        case '@':
            return {Tok::At, 1};
        default:
            return {Tok::Invalid, 1};
    }
}

namespace {

QString DecodeString(QStringView s) {
    QString out;
    int i = 0;
    const int n = int(s.size());
    while (i < n) {
        if (s[i] == u'\'') {
            ++i;
            while (i < n) {
                if (s[i] == u'\'') {
                    if (i + 1 < n && s[i + 1] == u'\'') {
                        out += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += s[i++];
            }
        } else {  // #nn or #$nn
            ++i;
            bool hex = i < n && s[i] == u'$';
            if (hex)
                ++i;
            int start = i;
            while (i < n && (hex ? IsHexDigit(s[i]) : IsDigit(s[i])))
                ++i;
            bool ok = false;
            uint code = s.mid(start, i - start).toUInt(&ok, hex ? 16 : 10);
            if (!ok || code > 0xFFFF)
                throw platform::EConvertError(
                    QStringLiteral("Недопустимый код символа #%1").arg(s.mid(start, i - start)));
            out += QChar(char16_t(code));
        }
    }
    return out;
}

}  // namespace

platform::Variant LiteralValue(Tok kind, QStringView text) {
    switch (kind) {
        case Tok::IntNumber: {
            bool ok = false;
            qint64 v =
                text.startsWith(u'$') ? text.mid(1).toLongLong(&ok, 16) : text.toLongLong(&ok, 10);
            if (!ok)
                throw platform::EConvertError(
                    QStringLiteral("Число %1 вне допустимого диапазона").arg(text));
            if (v >= std::numeric_limits<int32_t>::min() &&
                v <= std::numeric_limits<int32_t>::max())
                return platform::Variant(int(v));
            return platform::Variant(int64_t(v));
        }
        case Tok::FloatNumber: {
            bool ok = false;
            double v = text.toDouble(&ok);
            if (!ok)
                throw platform::EConvertError(QStringLiteral("Недопустимое число %1").arg(text));
            return platform::Variant(v);
        }
        case Tok::String:
            return platform::Variant(DecodeString(text));
        default:
            return platform::Variant();
    }
}

Lexer::Lexer(QString source) : FSource(std::move(source)) {}

void Lexer::Advance(int length) {
    for (int i = 0; i < length; ++i) {
        QChar c = FSource[FOffset + i];
        if (c == u'\n' || (c == u'\r' && (FOffset + i + 1 >= FSource.size() ||
                                          FSource[FOffset + i + 1] != u'\n'))) {
            ++FLine;
            FColumn = 1;
        } else {
            ++FColumn;
        }
    }
    FOffset += length;
}

Token Lexer::Next() {
    for (;;) {
        ScannedToken scanned = ScanToken(QStringView(FSource).mid(FOffset));
        if (scanned.Kind == Tok::Blank || scanned.Kind == Tok::Comment) {
            Advance(scanned.Length);
            continue;
        }
        Token token{scanned.Kind, FOffset, scanned.Length, FLine, FColumn};
        Advance(scanned.Length);
        return token;
    }
}

}  // namespace script
