// The text of a text object as the engine sees it: literal pieces and [expressions], each
// expression with an optional format suffix ("[<Sum> #n%2.2f]", "[<Date> #dd.mm.yyyy]",
// "[<Flag> #bНет,Да]"); and the value formatting that the suffix or the object's display format
// asks for. Aggregate calls (SUM, AVG, MIN, MAX, COUNT) inside expressions are found here too, so
// the engine can collect them before the bands they add up are printed.
// Thread contract: pure functions.
#pragma once

#include "platform/Variant.h"
#include "reportengine/model/ModelTypes.h"

#include <QString>
#include <functional>
#include <vector>

namespace reportengine {

class TfrxDisplayFormat;

struct ValueFormat {
    TfrxFormatKind Kind = fkText;
    QString FormatStr;
    QString DecimalSeparator;  // empty: the regional one
};

struct TextPart {
    bool IsExpression = false;
    QString Text;             // the literal, or the expression without its brackets and suffix
    bool HasFormat = false;   // a "#n", "#d" or "#b" suffix was given
    ValueFormat Format;
};

// Splits on the delimiters ("[" and "]" unless the object says otherwise). Brackets inside
// quotes, <references> and nested brackets (set literals, indexes) do not end an expression; an
// unclosed "[" is literal text.
std::vector<TextPart> SplitExpressionText(const QString& text, QChar open = u'[',
                                          QChar close = u']');

// A value as text in a display format; null and unassigned give an empty text. Numbers use
// Format ("%2.2f", "%2.2n", "%g") or FormatFloat ("#,##0.00") patterns, dates FormatDateTime
// patterns, booleans "false text,true text". A value the format cannot take is shown as text.
QString FormatValue(const platform::Variant& value, const ValueFormat& format);
bool IsZeroValue(const platform::Variant& value);

// One aggregate call found in an expression.
struct AggregateCall {
    QString Function;    // upper case: SUM AVG MIN MAX COUNT
    QString Expression;  // what is added up (empty for COUNT)
    QString BandName;    // empty: the band the footer belongs to
    int Flags = 0;       // 1 count invisible bands too, 2 running total
    qsizetype Start = 0, Length = 0;  // the call's place in the expression
};

// The aggregate calls at the top level of an expression text (not inside quotes or
// <references>). MIN and MAX with a second argument that isNameOfBand rejects are ordinary
// function calls and are not listed.
std::vector<AggregateCall> FindAggregateCalls(const QString& expression,
                                              const std::function<bool(const QString&)>& isNameOfBand);

}  // namespace reportengine
