// Text and conversion functions of report scripts beyond the basic ones in StdLib.cpp: number
// patterns, hexadecimal, case-sensitive comparison.
#include "platform/TextToValue.h"
#include "reportengine/script/Library.h"
#include "reportengine/script/StdLibParts.h"

namespace script::stdlib {

using platform::Variant;

namespace {

const Entry Entries[] = {
    {"function FormatFloat(Fmt: String; Value: Extended): String", Conv,
     "Число в строку по образцу ('0.00', '#,##0.00', '0.###E+00', разделы через ';')",
     [](Script&, Args& a) { return Variant(FormatFloatText(a[0].ToString(), a[1].ToDouble())); }},
    {"function StrToFloatDef(s: String; Default: Extended): Extended", Conv,
     "Строку в число, при ошибке - значение по умолчанию",
     [](Script&, Args& a) {
         double v;
         return platform::TryTextToNumber(a[0].ToString(), v) ? Variant(v) : a[1];
     }},
    {"function IntToHex(Value: Int64; Digits: Integer): String", Conv,
     "Целое число в шестнадцатеричную строку",
     [](Script&, Args& a) {
         const int64_t v = a[0].ToInt64();
         // A negative Integer shows its 32 bits, a negative Int64 all 64.
         const quint64 bits = v < 0 && v >= INT32_MIN ? quint64(uint32_t(v)) : quint64(v);
         const int digits = std::clamp(a[1].ToInt(), 0, 16);
         return Variant(QString::number(bits, 16).toUpper().rightJustified(digits, u'0'));
     }},
    {"function CompareStr(s1, s2: String): Integer", Str, "Сравнение строк с учётом регистра",
     [](Script&, Args& a) {
         return Variant(a[0].ToString().compare(a[1].ToString(), Qt::CaseSensitive));
     }},
    {"function AnsiUpperCase(s: String): String", Str, "Строку в верхний регистр",
     [](Script&, Args& a) { return Variant(a[0].ToString().toUpper()); }},
    {"function AnsiLowerCase(s: String): String", Str, "Строку в нижний регистр",
     [](Script&, Args& a) { return Variant(a[0].ToString().toLower()); }},
};

}  // namespace

void AddTextFunctions(FunctionLibrary& library) {
    Register(library, Entries);
}

}  // namespace script::stdlib
