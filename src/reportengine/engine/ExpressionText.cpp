#include "reportengine/engine/ExpressionText.h"

#include "platform/FormatSettings.h"
#include "reportengine/script/Lexer.h"
#include "reportengine/script/StdLibParts.h"

namespace reportengine {

using platform::Variant;
using platform::VarType;
using script::Tok;

namespace {

bool IsFormatLetter(QChar c) {
    const QChar l = c.toLower();
    return l == u'n' || l == u'd' || l == u'b';
}

ValueFormat SuffixFormat(QStringView suffix) {
    // suffix starts after '#': "n%2.2f", "dd.mm.yyyy", "bНет,Да"
    ValueFormat f;
    const QChar l = suffix[0].toLower();
    f.Kind = l == u'n' ? fkNumeric : l == u'd' ? fkDateTime : fkBoolean;
    f.FormatStr = suffix.mid(1).toString();
    return f;
}

// The end of an expression that starts right after an opening delimiter at `from`: the index of
// its closing delimiter, or -1. Tokens keep quotes and references whole; nested square brackets
// count when the delimiters are the square brackets themselves.
qsizetype ExpressionEnd(const QString& text, qsizetype from, QChar open, QChar close,
                        qsizetype& suffixAt) {
    int depth = 0;
    suffixAt = -1;
    qsizetype i = from;
    while (i < text.size()) {
        const QChar c = text[i];
        if (depth == 0 && c == close)
            return i;
        if (c == u'#' && depth == 0 && suffixAt < 0 && i + 1 < text.size() &&
            IsFormatLetter(text[i + 1]) && i > from) {
            suffixAt = i;  // the rest up to the closing delimiter is the format
            qsizetype end = text.indexOf(close, i + 1);
            return end;
        }
        if (c == open && open != u'[') {
            ++depth;
            ++i;
            continue;
        }
        auto token = script::ScanToken(QStringView(text).mid(i));
        if (token.Length <= 0)
            token.Length = 1;
        if (token.Kind == Tok::LBracket)
            ++depth;
        else if (token.Kind == Tok::RBracket && depth > 0)
            --depth;
        else if (token.Kind == Tok::Invalid || token.Kind == Tok::EndOfText)
            token.Length = 1;  // a lone quote or '#': take it as it stands
        i += token.Length;
    }
    return -1;
}

}  // namespace

std::vector<TextPart> SplitExpressionText(const QString& text, QChar open, QChar close) {
    std::vector<TextPart> parts;
    QString literal;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != open) {
            literal += text[i++];
            continue;
        }
        qsizetype suffixAt = -1;
        const qsizetype end = ExpressionEnd(text, i + 1, open, close, suffixAt);
        const qsizetype exprEnd = suffixAt >= 0 ? suffixAt : end;
        const QString expression = end < 0 ? QString() : text.mid(i + 1, exprEnd - i - 1).trimmed();
        if (end < 0 || expression.isEmpty()) {
            literal += text[i++];
            continue;
        }
        if (!literal.isEmpty())
            parts.push_back(TextPart{false, std::exchange(literal, QString()), false, {}});
        TextPart part{true, expression, false, {}};
        if (suffixAt >= 0) {
            part.HasFormat = true;
            part.Format = SuffixFormat(QStringView(text).mid(suffixAt + 1, end - suffixAt - 1));
        }
        parts.push_back(std::move(part));
        i = end + 1;
    }
    if (!literal.isEmpty())
        parts.push_back(TextPart{false, literal, false, {}});
    return parts;
}

bool IsZeroValue(const Variant& value) {
    return value.IsNumeric() && value.ToDouble() == 0;
}

namespace {

QString FormatNumber(const Variant& value, const ValueFormat& f) {
    if (!value.IsNumeric() && value.Type() != VarType::String)
        return value.ToString();
    double number;
    try {
        number = value.ToDouble();
    } catch (const std::exception&) {
        return value.ToString();
    }
    QString text;
    try {
        text = f.FormatStr.contains(u'%') ? script::stdlib::FormatText(f.FormatStr, Variant(number))
                                          : script::stdlib::FormatFloatText(f.FormatStr, number);
    } catch (const std::exception&) {
        return value.ToString();
    }
    if (!f.DecimalSeparator.isEmpty()) {
        const QChar regional = platform::FormatSettings::current().DecimalSeparator;
        text.replace(regional, f.DecimalSeparator);
    }
    return text;
}

QString FormatDate(const Variant& value, const ValueFormat& f) {
    try {
        return script::stdlib::FormatDateTimeText(f.FormatStr, value.ToDateTime());
    } catch (const std::exception&) {
        return value.ToString();
    }
}

QString FormatBoolean(const Variant& value, const ValueFormat& f) {
    const qsizetype comma = f.FormatStr.indexOf(u',');
    if (comma < 0)
        return value.ToString();
    bool truth;
    try {
        truth = value.ToBool();
    } catch (const std::exception&) {
        return value.ToString();
    }
    return truth ? f.FormatStr.mid(comma + 1) : f.FormatStr.left(comma);
}

}  // namespace

QString FormatValue(const Variant& value, const ValueFormat& format) {
    if (value.IsNullOrEmpty())
        return QString();
    if (format.FormatStr.isEmpty())
        return value.ToString();
    switch (format.Kind) {
    case fkNumeric:
        return FormatNumber(value, format);
    case fkDateTime:
        return FormatDate(value, format);
    case fkBoolean:
        return FormatBoolean(value, format);
    case fkText:
        break;
    }
    return value.ToString();
}

namespace {

struct ArgSplit {
    std::vector<QString> Args;
    qsizetype End = -1;  // index after ')'
};

// The arguments of a call whose '(' is at `at`, split at top-level commas.
ArgSplit SplitArguments(const QString& text, qsizetype at) {
    ArgSplit out;
    int depth = 0;
    qsizetype argStart = at + 1;
    qsizetype i = at;
    while (i < text.size()) {
        auto token = script::ScanToken(QStringView(text).mid(i));
        const int length = token.Length > 0 ? token.Length : 1;
        switch (token.Kind) {
        case Tok::LParen:
        case Tok::LBracket:
            ++depth;
            break;
        case Tok::RParen:
        case Tok::RBracket:
            if (--depth == 0) {
                out.Args.push_back(text.mid(argStart, i - argStart).trimmed());
                out.End = i + 1;
                return out;
            }
            break;
        case Tok::Comma:
            if (depth == 1) {
                out.Args.push_back(text.mid(argStart, i - argStart).trimmed());
                argStart = i + 1;
            }
            break;
        default:
            break;
        }
        i += length;
    }
    return out;
}

}  // namespace

std::vector<AggregateCall> FindAggregateCalls(
    const QString& expression, const std::function<bool(const QString&)>& isNameOfBand) {
    std::vector<AggregateCall> calls;
    qsizetype i = 0;
    while (i < expression.size()) {
        auto token = script::ScanToken(QStringView(expression).mid(i));
        const int length = token.Length > 0 ? token.Length : 1;
        if (token.Kind != Tok::Ident) {
            i += length;
            continue;
        }
        const QString name = expression.mid(i, length).toUpper();
        const bool known = name == u"SUM" || name == u"AVG" || name == u"MIN" ||
                           name == u"MAX" || name == u"COUNT";
        qsizetype paren = i + length;
        while (paren < expression.size() && expression[paren].isSpace())
            ++paren;
        if (!known || paren >= expression.size() || expression[paren] != u'(') {
            i += length;
            continue;
        }
        ArgSplit split = SplitArguments(expression, paren);
        if (split.End < 0 || split.Args.empty() || split.Args[0].isEmpty()) {
            i += length;
            continue;
        }
        AggregateCall call;
        call.Function = name;
        call.Start = i;
        call.Length = split.End - i;
        std::size_t next = 0;
        if (name != u"COUNT")
            call.Expression = split.Args[next++];
        if (next < split.Args.size())
            call.BandName = split.Args[next++];
        if (next < split.Args.size())
            call.Flags = split.Args[next].toInt();
        const bool bandOk = call.BandName.isEmpty() || isNameOfBand(call.BandName);
        const bool minMax = name == u"MIN" || name == u"MAX";
        if ((minMax && !bandOk) || (name == u"COUNT" && call.BandName.isEmpty())) {
            i += length;  // Min(a, b) of the maths library, or a COUNT without its band
            continue;
        }
        calls.push_back(call);
        i = split.End;
    }
    return calls;
}

}  // namespace reportengine
