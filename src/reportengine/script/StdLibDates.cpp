// Date and time functions of report scripts: reading dates and times from text, and moving dates
// by months and days.
#include "platform/DateTime.h"
#include "platform/TextToValue.h"
#include "reportengine/script/Library.h"
#include "reportengine/script/StdLibParts.h"

#include <QRegularExpression>
#include <cmath>

namespace script::stdlib {

using platform::TDateTime;
using platform::Variant;

namespace {

// The platform reads a date, a time or both; these shapes tell which one a text is, so that
// StrToDate refuses a time and StrToTime a date.
bool LooksLikeDate(const QString& text) {
    const QString sep =
        QRegularExpression::escape(platform::FormatSettings::current().DateSeparator);
    const QRegularExpression shape(
        QStringLiteral("^ *\\d+ *%1 *\\d+( *%1 *\\d+)? *(%1)? *$").arg(sep));
    return shape.match(text).hasMatch();
}

bool LooksLikeTime(const QString& text) {
    const auto& fs = platform::FormatSettings::current();
    const QString sep = QRegularExpression::escape(fs.TimeSeparator);
    const QString marker = QStringLiteral("(AM|PM|%1|%2)")
                               .arg(QRegularExpression::escape(fs.TimeAMString),
                                    QRegularExpression::escape(fs.TimePMString));
    const QRegularExpression shape(
        QStringLiteral("^ *(%1 *)?\\d+( *%2 *\\d+( *%2 *\\d+( *%3 *\\d+)?)?)? *(%1)? *$")
            .arg(marker, sep, QRegularExpression::escape(fs.DecimalSeparator)),
        QRegularExpression::CaseInsensitiveOption);
    return shape.match(text).hasMatch();
}

bool TryStrToDate(const QString& text, TDateTime& value) {
    return LooksLikeDate(text) && platform::TryTextToDateTime(text, value);
}

bool TryStrToTime(const QString& text, TDateTime& value) {
    return LooksLikeTime(text) && platform::TryTextToDateTime(text, value);
}

// The time of day of a value, which for days before 1899-12-30 still counts forward.
double TimeOfDay(TDateTime value) {
    return std::abs(value - std::trunc(value));
}

TDateTime WithTime(TDateTime date, double time) {
    return date >= 0 ? date + time : date - time;
}

TDateTime IncMonthValue(TDateTime value, int64_t months) {
    int y, m, d;
    platform::DecodeDate(value, y, m, d);
    const int64_t total = int64_t(y) * 12 + (m - 1) + months;
    const int64_t year = total >= 0 ? total / 12 : (total - 11) / 12;
    const int month = int(total - year * 12) + 1;
    TDateTime date;
    if (year < 1 || year > 9999 ||
        !platform::TryEncodeDate(int(year), month,
                                 std::min(d, platform::DaysInMonth(int(year), month)), date))
        throw platform::EConvertError(QStringLiteral("Invalid argument to date encode"));
    return WithTime(date, TimeOfDay(value));
}

int DatePart(const Variant& v, int which) {
    int parts[3];
    platform::DecodeDate(v.ToDateTime(), parts[0], parts[1], parts[2]);
    return parts[which];
}

const Entry Entries[] = {
    {"function StrToDate(s: String): TDateTime", Conv, "Строку в дату",
     [](Script&, Args& a) {
         TDateTime v;
         if (!TryStrToDate(a[0].ToString(), v))
             throw platform::EConvertError("'" + a[0].ToString() + "' is not a valid date");
         return Variant::FromDateTime(v);
     }},
    {"function StrToTime(s: String): TDateTime", Conv, "Строку во время",
     [](Script&, Args& a) {
         TDateTime v;
         if (!TryStrToTime(a[0].ToString(), v))
             throw platform::EConvertError("'" + a[0].ToString() + "' is not a valid time");
         return Variant::FromDateTime(v);
     }},
    {"function StrToDateTime(s: String): TDateTime", Conv, "Строку в дату и время",
     [](Script&, Args& a) {
         return Variant::FromDateTime(platform::StrToDateTime(a[0].ToString()));
     }},
    {"function StrToDateDef(s: String; Default: TDateTime): TDateTime", Conv,
     "Строку в дату, при ошибке - значение по умолчанию",
     [](Script&, Args& a) {
         TDateTime v;
         return TryStrToDate(a[0].ToString(), v) ? Variant::FromDateTime(v) : a[1];
     }},
    {"function ValidDate(cDate: String): Boolean", Conv, "Строка - дата",
     [](Script&, Args& a) {
         TDateTime v;
         return Variant(TryStrToDate(a[0].ToString(), v));
     }},
    {"function IncMonth(DateTime: TDateTime; NumberOfMonths: Integer = 1): TDateTime", Dates,
     "Дата через несколько месяцев (день - не больше последнего дня месяца)",
     [](Script&, Args& a) {
         return Variant::FromDateTime(IncMonthValue(a[0].ToDateTime(), a[1].ToInt64()));
     }},
    {"function IncDay(DateTime: TDateTime; NumberOfDays: Integer = 1): TDateTime", Dates,
     "Дата через несколько дней",
     [](Script&, Args& a) {
         const double msecs = platform::DateTimeToMSecs(a[0].ToDateTime()) +
                              double(a[1].ToInt64()) * platform::MSecsPerDay;
         // Day numbers of 0001-01-01 and 9999-12-31.
         if (msecs < double(platform::MSecsPerDay) || msecs >= 3652060.0 * platform::MSecsPerDay)
             throw platform::EConvertError(QStringLiteral("Invalid argument to date encode"));
         return Variant::FromDateTime(platform::MSecsToDateTime(msecs));
     }},
    {"function DaysBetween(ANow, AThen: TDateTime): Integer", Dates,
     "Число полных дней между датами",
     [](Script&, Args& a) {
         const double span = std::abs(platform::DateTimeToMSecs(a[0].ToDateTime()) -
                                      platform::DateTimeToMSecs(a[1].ToDateTime()));
         return Variant(int64_t(std::floor(std::round(span) / platform::MSecsPerDay)));
     }},
    {"function YearOf(DateTime: TDateTime): Integer", Dates, "Год даты",
     [](Script&, Args& a) { return Variant(DatePart(a[0], 0)); }},
    {"function MonthOf(DateTime: TDateTime): Integer", Dates, "Месяц даты",
     [](Script&, Args& a) { return Variant(DatePart(a[0], 1)); }},
    {"function DayOf(DateTime: TDateTime): Integer", Dates, "День месяца даты",
     [](Script&, Args& a) { return Variant(DatePart(a[0], 2)); }},
};

}  // namespace

void AddDateFunctions(FunctionLibrary& library) {
    Register(library, Entries);
}

}  // namespace script::stdlib
