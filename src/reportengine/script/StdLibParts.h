// The pieces the standard library is assembled from: the entry table form every area registers
// with, and the text formatters shared between areas. Internal to the script library.
// Thread contract: registration runs once while the library is built; the formatters are pure
// functions over FormatSettings::current().
#pragma once

#include "platform/Variant.h"

#include <QString>
#include <vector>

namespace script {

class FunctionLibrary;
class Script;

namespace stdlib {

using Args = std::vector<platform::Variant>;
using Fn = platform::Variant (*)(Script&, Args&);

struct Entry {
    const char* Declaration;
    const char* Category;
    const char* Description;
    Fn Serve;
};

// Categories the designer groups the functions by.
inline const char* const Conv = "Преобразование";
inline const char* const Str = "Строки";
inline const char* const Dates = "Дата и время";
inline const char* const Other = "Прочие";
inline const char* const Math = "Математические";
inline const char* const Dialogs = "Диалоги";

void RegisterEntries(FunctionLibrary& library, const Entry* entries, size_t count);
template <size_t N>
void Register(FunctionLibrary& library, const Entry (&entries)[N]) {
    RegisterEntries(library, entries, N);
}

void AddDateFunctions(FunctionLibrary& library);
void AddMathFunctions(FunctionLibrary& library);
void AddTextFunctions(FunctionLibrary& library);
void AddDialogFunctions(FunctionLibrary& library);

// Classic FormatFloat: '0' and '#' digit places, the first '.' the decimal point, ',' grouping
// of thousands, E+00/E-00 exponent, quoted literals, up to three sections split by ';' for
// positive, negative and zero values. Halves round away from zero on the value's 15-digit form.
QString FormatFloatText(const QString& format, double value);
// Delphi-style Format: %[-][width][.precision]type with d, u, s, f, n, e, g, x, m and %%; values is
// an array of the arguments (or one value).
QString FormatText(const QString& format, const platform::Variant& values);
// FormatDateTime with the common letters (yyyy yy m mm d dd h hh n nn s ss zzz), the regional
// "/" and ":" separators and quoted literal text.
QString FormatDateTimeText(const QString& format, platform::TDateTime value);
// A whole float as Int64 (Round, Trunc, Ceil...); out of range or NaN is a run-time error
// instead of an undefined conversion.
int64_t FloatToInt64(double value);
// The thousands separator that goes with the regional decimal separator.
QChar ThousandSeparator();

}  // namespace stdlib
}  // namespace script
