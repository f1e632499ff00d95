// The standard functions and constants of report scripts: conversions, strings, dates, and the
// few that reach the host (ShowMessage). Each is registered by its declaration text, like any
// host function, so the designer lists them the same way. The further areas live in StdLib*.cpp.
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"
#include "platform/TextToValue.h"
#include "reportengine/script/Library.h"
#include "reportengine/script/Script.h"
#include "reportengine/script/StdLibParts.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace script {

using platform::Variant;
using platform::VarType;
using namespace stdlib;

namespace stdlib {

// Delphi-style Format: %[-][width][.precision]type with d, u, s, f, n, e, g, x, m and %%.
QString FormatText(const QString& format, const Variant& values) {
    const QList<Variant> items = values.IsArray() ? values.Items() : QList<Variant>{values};
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        QChar c = format[i];
        if (c != u'%') {
            out += c;
            continue;
        }
        if (++i >= format.size())
            throw EScriptRuntime(QStringLiteral("Неверный формат \"%1\"").arg(format));
        if (format[i] == u'%') {
            out += u'%';
            continue;
        }
        bool left = false;
        if (format[i] == u'-') {
            left = true;
            ++i;
        }
        // A width or precision beyond any page would only allocate; it is a bad format.
        constexpr int kMaxWidth = 4096;
        auto number = [&] {
            int n = 0;
            while (i < format.size() && format[i].isDigit()) {
                n = n * 10 + format[i++].digitValue();
                if (n > kMaxWidth)
                    throw EScriptRuntime(QStringLiteral("Неверный формат \"%1\"").arg(format));
            }
            return n;
        };
        int width = number(), precision = -1;
        if (i < format.size() && format[i] == u'.') {
            ++i;
            precision = number();
        }
        if (i >= format.size() || next >= items.size())
            throw EScriptRuntime(QStringLiteral("Неверный формат \"%1\"").arg(format));
        const Variant& v = items[next++];
        QString piece;
        switch (format[i].toLower().unicode()) {
            case 'd':
            case 'u':
                piece = QString::number(v.ToInt64());
                if (precision > 0 && piece.size() < precision)
                    piece = piece.rightJustified(precision, u'0');
                break;
            case 's':
                piece = v.ToString();
                if (precision >= 0)
                    piece = piece.left(precision);
                break;
            // Regional decimal separator and halves away from zero, as FormatFloat.
            case 'f':
            case 'n':
            case 'm': {
                const int decimals = precision < 0 ? 2 : std::min(precision, 18);
                QString pattern = QStringLiteral("0");
                if (decimals > 0)
                    pattern += u'.' + QString(decimals, u'0');
                if (format[i].toLower() == u'n')
                    pattern.prepend(QStringLiteral("#,##"));
                piece = FormatFloatText(pattern, v.ToDouble());
                break;
            }
            case 'e':
                piece = QString::number(v.ToDouble(), 'E', precision < 0 ? 14 : precision - 1);
                break;
            case 'g':
                piece = platform::FloatToStr(v.ToDouble());
                break;
            case 'x':
                piece = QString::number(qulonglong(v.ToInt64()), 16).toUpper();
                if (precision > 0 && piece.size() < precision)
                    piece = piece.rightJustified(precision, u'0');
                break;
            default:
                throw EScriptRuntime(QStringLiteral("Неверный формат \"%1\"").arg(format));
        }
        if (piece.size() < width)
            piece = left ? piece.leftJustified(width) : piece.rightJustified(width);
        out += piece;
    }
    return out;
}

// FormatDateTime with the common letters: yyyy yy m mm d dd h hh n nn s ss zzz, "/" and ":" as
// the regional separators, and quoted literal text.
QString FormatDateTimeText(const QString& format, platform::TDateTime value) {
    int y, mo, d, h, mi, s, ms;
    platform::DecodeDate(value, y, mo, d);
    platform::DecodeTime(value, h, mi, s, ms);
    const auto& settings = platform::FormatSettings::current();
    QString out;
    qsizetype i = 0;
    auto run = [&](QChar letter) {
        qsizetype n = 0;
        while (i + n < format.size() && format[i + n].toLower() == letter)
            ++n;
        return n;
    };
    bool lastWasHour = false;
    while (i < format.size()) {
        const QChar c = format[i];
        const QChar lc = c.toLower();
        if (c == u'"' || c == u'\'') {
            qsizetype end = format.indexOf(c, i + 1);
            if (end < 0)
                end = format.size();
            out += format.mid(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (lc == u'y') {
            qsizetype n = run(lc);
            out += n <= 2 ? QString::number(y % 100).rightJustified(2, u'0')
                          : QString::number(y).rightJustified(4, u'0');
            i += n;
        } else if (lc == u'm') {
            qsizetype n = run(lc);
            // "hh:mm" means minutes, as in the platform.
            int v = lastWasHour ? mi : mo;
            out += n >= 2 ? QString::number(v).rightJustified(2, u'0') : QString::number(v);
            i += n;
        } else if (lc == u'd' || lc == u'h' || lc == u'n' || lc == u's') {
            qsizetype n = run(lc);
            int v = lc == u'd' ? d : lc == u'h' ? h : lc == u'n' ? mi : s;
            out += n >= 2 ? QString::number(v).rightJustified(2, u'0') : QString::number(v);
            i += n;
            lastWasHour = lc == u'h';
            continue;
        } else if (lc == u'z') {
            qsizetype n = run(lc);
            out += n >= 3 ? QString::number(ms).rightJustified(3, u'0') : QString::number(ms);
            i += n;
        } else if (c == u'/') {
            out += settings.DateSeparator;
            ++i;
        } else if (c == u':') {
            out += settings.TimeSeparator;
            ++i;
            continue;  // "hh:mm" keeps the hour context across the colon
        } else {
            out += c;
            ++i;
        }
        lastWasHour = false;
    }
    return out;
}

}  // namespace stdlib

namespace {

platform::TDateTime NowValue() {
    return platform::QDateTimeToDateTime(QDateTime::currentDateTime());
}

const Entry Entries[] = {
    {"procedure ShowMessage(Msg: Variant)", Other, "Показывает сообщение",
     [](Script& s, Args& a) {
         s.ShowMessage(a[0].ToString());
         return Variant();
     }},
    {"function IntToStr(i: Int64): String", Conv, "Целое число в строку",
     [](Script&, Args& a) { return Variant(QString::number(a[0].ToInt64())); }},
    {"function StrToInt(s: String): Int64", Conv, "Строку в целое число",
     [](Script&, Args& a) {
         bool ok = false;
         qlonglong v = a[0].ToString().trimmed().toLongLong(&ok);
         if (!ok)
             throw platform::EConvertError(
                 QStringLiteral("'%1' is not a valid integer value").arg(a[0].ToString()));
         return Variant(int64_t(v));
     }},
    {"function StrToIntDef(s: String; Default: Int64): Int64", Conv,
     "Строку в целое число, при ошибке - значение по умолчанию",
     [](Script&, Args& a) {
         bool ok = false;
         qlonglong v = a[0].ToString().trimmed().toLongLong(&ok);
         return ok ? Variant(int64_t(v)) : a[1];
     }},
    {"function FloatToStr(e: Extended): String", Conv, "Число в строку",
     [](Script&, Args& a) { return Variant(platform::FloatToStr(a[0].ToDouble())); }},
    {"function StrToFloat(s: String): Extended", Conv, "Строку в число",
     [](Script&, Args& a) { return Variant(platform::StrToFloat(a[0].ToString())); }},
    {"function VarToStr(v: Variant): String", Conv, "Значение в строку (NULL - пустая строка)",
     [](Script&, Args& a) { return Variant(a[0].ToString()); }},
    {"function DateToStr(e: Extended): String", Conv, "Дату в строку",
     [](Script&, Args& a) {
         // The date part counts toward zero: -1.25 is 1899-12-29 06:00.
         return Variant(platform::DateTimeToStr(std::trunc(a[0].ToDouble())));
     }},
    {"function DateTimeToStr(e: Extended): String", Conv, "Дату и время в строку",
     [](Script&, Args& a) { return Variant(platform::DateTimeToStr(a[0].ToDouble())); }},
    {"function VarIsNull(v: Variant): Boolean", Other, "Значение равно NULL",
     [](Script&, Args& a) { return Variant(a[0].IsNull()); }},
    {"function Length(s: Variant): Integer", Str, "Длина строки",
     [](Script&, Args& a) {
         return Variant(int(a[0].IsArray() ? a[0].Items().size() : a[0].ToString().size()));
     }},
    {"function Copy(s: String; from, count: Integer): String", Str, "Часть строки",
     [](Script&, Args& a) {
         const QString s = a[0].ToString();
         int64_t from = std::max<int64_t>(a[1].ToInt64(), 1), count = a[2].ToInt64();
         if (from > s.size() || count <= 0)
             return Variant(QString());
         return Variant(s.mid(qsizetype(from - 1), qsizetype(std::min<int64_t>(count, s.size()))));
     }},
    {"function Pos(substr, s: String): Integer", Str, "Позиция подстроки (с 1; 0 - нет)",
     [](Script&, Args& a) {
         const QString sub = a[0].ToString();
         return Variant(sub.isEmpty() ? 0 : int(a[1].ToString().indexOf(sub)) + 1);
     }},
    {"function UpperCase(s: String): String", Str, "Строку в верхний регистр",
     [](Script&, Args& a) { return Variant(a[0].ToString().toUpper()); }},
    {"function LowerCase(s: String): String", Str, "Строку в нижний регистр",
     [](Script&, Args& a) { return Variant(a[0].ToString().toLower()); }},
    {"function Trim(s: String): String", Str, "Строка без пробелов по краям",
     [](Script&, Args& a) { return Variant(a[0].ToString().trimmed()); }},
    {"function TrimLeft(s: String): String", Str, "Строка без пробелов слева",
     [](Script&, Args& a) {
         QString s = a[0].ToString();
         qsizetype i = 0;
         while (i < s.size() && s[i] <= u' ')
             ++i;
         return Variant(s.mid(i));
     }},
    {"function TrimRight(s: String): String", Str, "Строка без пробелов справа",
     [](Script&, Args& a) {
         QString s = a[0].ToString();
         qsizetype n = s.size();
         while (n > 0 && s[n - 1] <= u' ')
             --n;
         return Variant(s.left(n));
     }},
    {"function Chr(i: Integer): String", Str, "Символ по коду",
     [](Script&, Args& a) { return Variant(QString(QChar(char16_t(a[0].ToInt() & 0xFFFF)))); }},
    {"function Ord(ch: Variant): Integer", Str, "Код символа или порядковое значение",
     [](Script&, Args& a) {
         if (a[0].Type() == VarType::String) {
             const QString s = a[0].ToString();
             if (s.size() != 1)
                 throw EScriptRuntime(QStringLiteral("ожидается один символ"));
             return Variant(int(s[0].unicode()));
         }
         if (a[0].Type() == VarType::Bool)
             return Variant(a[0].ToBool() ? 1 : 0);
         return Variant(a[0].ToInt64());
     }},
    {"function Format(Fmt: String; Args: array of const): String", Str, "Форматирование по образцу",
     [](Script&, Args& a) { return Variant(FormatText(a[0].ToString(), a[1])); }},
    {"function FormatDateTime(Fmt: String; DateTime: TDateTime): String", Conv,
     "Дату и время в строку по образцу",
     [](Script&, Args& a) {
         return Variant(FormatDateTimeText(a[0].ToString(), a[1].ToDateTime()));
     }},
    {"function Now: TDateTime", Dates, "Текущие дата и время",
     [](Script&, Args&) { return Variant::FromDateTime(NowValue()); }},
    {"function Date: TDateTime", Dates, "Текущая дата",
     [](Script&, Args&) { return Variant::FromDateTime(std::floor(NowValue())); }},
    {"function Time: TDateTime", Dates, "Текущее время",
     [](Script&, Args&) {
         double now = NowValue();
         return Variant::FromDateTime(now - std::floor(now));
     }},
    {"function EncodeDate(Year, Month, Day: Word): TDateTime", Dates, "Дата по году, месяцу, дню",
     [](Script&, Args& a) {
         platform::TDateTime result;
         if (!platform::TryEncodeDate(a[0].ToInt(), a[1].ToInt(), a[2].ToInt(), result))
             throw platform::EConvertError(QStringLiteral("Invalid argument to date encode"));
         return Variant::FromDateTime(result);
     }},
    {"procedure Inc(var i: Variant; incr: Integer = 1)", Other, "Увеличивает переменную",
     [](Script&, Args& a) {
         a[0] = BinaryOp(Tok::Plus, a[0], a[1]);
         return Variant();
     }},
    {"procedure Dec(var i: Variant; decr: Integer = 1)", Other, "Уменьшает переменную",
     [](Script&, Args& a) {
         a[0] = BinaryOp(Tok::Minus, a[0], a[1]);
         return Variant();
     }},
    {"function Round(e: Extended): Int64", Math, "Округление (половины - к чётному)",
     [](Script&, Args& a) { return Variant(FloatToInt64(std::nearbyint(a[0].ToDouble()))); }},
    {"function Trunc(e: Extended): Int64", Math, "Целая часть числа",
     [](Script&, Args& a) { return Variant(FloatToInt64(std::trunc(a[0].ToDouble()))); }},
    {"function Abs(e: Variant): Variant", Math, "Модуль числа",
     [](Script&, Args& a) {
         return VarCompare(a[0], Variant(0)) < 0 ? UnaryOp(Tok::Minus, a[0]) : a[0];
     }},
    {"function Int(e: Extended): Extended", Math, "Целая часть числа (дробным)",
     [](Script&, Args& a) { return Variant(std::trunc(a[0].ToDouble())); }},
    {"function Frac(X: Extended): Extended", Math, "Дробная часть числа",
     [](Script&, Args& a) {
         double x = a[0].ToDouble();
         return Variant(x - std::trunc(x));
     }},
    {"function Sqrt(e: Extended): Extended", Math, "Квадратный корень",
     [](Script&, Args& a) {
         double x = a[0].ToDouble();
         if (x < 0)
             throw EScriptRuntime(QStringLiteral("Недопустимая операция с плавающей точкой"));
         return Variant(std::sqrt(x));
     }},
    {"function Sin(e: Extended): Extended", Math, "Синус",
     [](Script&, Args& a) { return Variant(std::sin(a[0].ToDouble())); }},
    {"function Cos(e: Extended): Extended", Math, "Косинус",
     [](Script&, Args& a) { return Variant(std::cos(a[0].ToDouble())); }},
    {"function ArcTan(X: Extended): Extended", Math, "Арктангенс",
     [](Script&, Args& a) { return Variant(std::atan(a[0].ToDouble())); }},
    {"function Exp(X: Extended): Extended", Math, "Экспонента",
     [](Script&, Args& a) { return Variant(std::exp(a[0].ToDouble())); }},
    {"function Ln(X: Extended): Extended", Math, "Натуральный логарифм",
     [](Script&, Args& a) {
         double x = a[0].ToDouble();
         if (x <= 0)
             throw EScriptRuntime(QStringLiteral("Недопустимая операция с плавающей точкой"));
         return Variant(std::log(x));
     }},
    {"function IsLeapYear(Year: Word): Boolean", Dates, "Високосный год",
     [](Script&, Args& a) { return Variant(platform::IsLeapYear(a[0].ToInt())); }},
    {"function DaysInMonth(nYear, nMonth: Integer): Integer", Dates, "Число дней в месяце",
     [](Script&, Args& a) {
         int m = a[1].ToInt();
         if (m < 1 || m > 12)
             throw platform::EConvertError(QStringLiteral("Invalid argument to date encode"));
         return Variant(platform::DaysInMonth(a[0].ToInt(), m));
     }},
    // 1 is Sunday, as in the platform.
    {"function DayOfWeek(aDate: TDateTime): Integer", Dates, "День недели (1 - воскресенье)",
     [](Script&, Args& a) {
         int64_t days = int64_t(std::floor(a[0].ToDouble()));
         return Variant(int(((days - 1) % 7 + 7) % 7) + 1);
     }},
    {"function EncodeTime(Hour, Min, Sec, MSec: Word): TDateTime", Dates,
     "Время по часам, минутам, секундам",
     [](Script&, Args& a) {
         platform::TDateTime result;
         if (!platform::TryEncodeTime(a[0].ToInt(), a[1].ToInt(), a[2].ToInt(), a[3].ToInt(),
                                      result))
             throw platform::EConvertError(QStringLiteral("Invalid argument to time encode"));
         return Variant::FromDateTime(result);
     }},
    {"procedure DecodeDate(const DateTime: TDateTime; var Year, Month, Day: Word)", Dates,
     "Год, месяц и день даты",
     [](Script&, Args& a) {
         int y, m, d;
         platform::DecodeDate(a[0].ToDouble(), y, m, d);
         a[1] = Variant(y);
         a[2] = Variant(m);
         a[3] = Variant(d);
         return Variant();
     }},
    {"procedure DecodeTime(const DateTime: TDateTime; var Hour, Min, Sec, MSec: Word)", Dates,
     "Часы, минуты, секунды и миллисекунды времени",
     [](Script&, Args& a) {
         int h, m, s, ms;
         platform::DecodeTime(a[0].ToDouble(), h, m, s, ms);
         a[1] = Variant(h);
         a[2] = Variant(m);
         a[3] = Variant(s);
         a[4] = Variant(ms);
         return Variant();
     }},
    {"function TimeToStr(e: Extended): String", Conv, "Время в строку",
     [](Script&, Args& a) {
         return Variant(FormatDateTimeText(QStringLiteral("hh:nn:ss"), a[0].ToDouble()));
     }},
    {"procedure Delete(var s: String; from, count: Integer)", Str, "Удаляет часть строки",
     [](Script&, Args& a) {
         QString s = a[0].ToString();
         int64_t from = a[1].ToInt64(), count = a[2].ToInt64();
         if (from >= 1 && from <= s.size() && count > 0)
             s.remove(qsizetype(from - 1), qsizetype(std::min<int64_t>(count, s.size())));
         a[0] = Variant(s);
         return Variant();
     }},
    {"procedure Insert(s: String; var s2: String; pos: Integer)", Str, "Вставляет строку",
     [](Script&, Args& a) {
         QString target = a[1].ToString();
         int64_t pos = std::clamp<int64_t>(a[2].ToInt64(), 1, target.size() + 1);
         target.insert(qsizetype(pos - 1), a[0].ToString());
         a[1] = Variant(target);
         return Variant();
     }},
    {"procedure SetLength(var S: Variant; L: Integer)", Str, "Меняет длину строки",
     [](Script&, Args& a) {
         QString s = a[0].ToString();
         int64_t n = std::max<int64_t>(a[1].ToInt64(), 0);
         s = n <= s.size() ? s.left(qsizetype(n)) : s.leftJustified(qsizetype(n), u' ');
         a[0] = Variant(s);
         return Variant();
     }},
    {"function StringReplace(S, OldPattern, NewPattern: String; Flags: Variant = 0): String", Str,
     "Заменяет подстроку ([rfReplaceAll, rfIgnoreCase])",
     [](Script&, Args& a) {
         int flags = 0;
         if (a[3].IsArray()) {
             for (const Variant& f : a[3].Items())
                 flags |= f.ToInt();
         } else if (!a[3].IsNullOrEmpty()) {
             flags = a[3].ToInt();
         }
         const QString s = a[0].ToString(), from = a[1].ToString(), to = a[2].ToString();
         if (from.isEmpty())
             return Variant(s);
         const Qt::CaseSensitivity cs = flags & 2 ? Qt::CaseInsensitive : Qt::CaseSensitive;
         if (flags & 1)
             return Variant(QString(s).replace(from, to, cs));
         qsizetype at = s.indexOf(from, 0, cs);
         return Variant(at < 0 ? s : QString(s).replace(at, from.size(), to));
     }},
    {"function QuotedStr(s: String): String", Str, "Строка в кавычках",
     [](Script&, Args& a) { return Variant("'" + a[0].ToString().replace("'", "''") + "'"); }},
    {"function CompareText(s1, s2: String): Integer", Str, "Сравнение строк без учёта регистра",
     [](Script&, Args& a) {
         return Variant(a[0].ToString().compare(a[1].ToString(), Qt::CaseInsensitive));
     }},
    {"function ValidInt(cInt: String): Boolean", Conv, "Строка - целое число",
     [](Script&, Args& a) {
         bool ok = false;
         a[0].ToString().trimmed().toLongLong(&ok);
         return Variant(ok);
     }},
    {"function ValidFloat(cFlt: String): Boolean", Conv, "Строка - число",
     [](Script&, Args& a) {
         double v;
         return Variant(platform::TryTextToNumber(a[0].ToString(), v));
     }},
    // The interpreter evaluates IIF itself, taking only the chosen branch; this body serves
    // hosts that call it directly.
    {"function IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant", Other,
     "Значение по условию", [](Script&, Args& a) { return a[0].ToBool() ? a[1] : a[2]; }},
    {"procedure RaiseException(Param: String)", Other, "Возбуждает исключение",
     [](Script&, Args& a) -> Variant { throw EScriptRuntime(a[0].ToString()); }},
    {"function ExceptionMessage: String", Other, "Текст обрабатываемого исключения",
     [](Script& s, Args&) { return Variant(s.CurrentExceptionMessage()); }},
};

}  // namespace

namespace stdlib {

void RegisterEntries(FunctionLibrary& library, const Entry* entries, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const Entry& e = entries[i];
        Fn serve = e.Serve;
        library.AddFunction(QString::fromUtf8(e.Declaration), QString::fromUtf8(e.Category),
                            QString::fromUtf8(e.Description),
                            [serve](Script& s, const QString&, Args& a) { return serve(s, a); });
    }
}

}  // namespace stdlib

void AddStandardLibrary(FunctionLibrary& library) {
    Register(library, Entries);
    AddTextFunctions(library);
    AddDateFunctions(library);
    AddMathFunctions(library);
    AddDialogFunctions(library);
    library.AddConstant("True", Variant(true));
    library.AddConstant("False", Variant(false));
    library.AddConstant("Null", Variant::Null());
    library.AddConstant("Unassigned", Variant());
    library.AddConstant("Pi", Variant(M_PI));
    library.AddConstant("rfReplaceAll", Variant(1));
    library.AddConstant("rfIgnoreCase", Variant(2));
}

}  // namespace script
