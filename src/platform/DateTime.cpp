// Day arithmetic for TDateTime; see DateTime.h.
#include "platform/DateTime.h"

#include <cmath>

namespace platform {

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days from 0001-01-01 (= day 1) to the given date.
static int32_t dayNumber(int year, int month, int day) {
    int32_t n = day;
    for (int m = 1; m < month; ++m)
        n += DaysInMonth(year, m);
    const int y = year - 1;
    return n + y * 365 + y / 4 - y / 100 + y / 400;
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    result = dayNumber(year, month, day) - DateDelta;
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
        msec > 999)
        return false;
    result = (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / MSecsPerDay;
    return true;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
    // Round to the millisecond first so that 0.5 days stays exactly noon.
    const double ms = std::round(value * MSecsPerDay);
    double days = std::trunc(ms / MSecsPerDay);
    double rest = std::fabs(ms - days * MSecsPerDay);
    return {int32_t(days) + DateDelta, int32_t(rest)};
}

TDateTime TimeStampToDateTime(TTimeStamp stamp) {
    const double days = double(stamp.Date) - DateDelta;
    const double frac = double(stamp.Time) / MSecsPerDay;
    return days >= 0 ? days + frac : days - frac;
}

double DateTimeToMSecs(TDateTime value) {
    const TTimeStamp ts = DateTimeToTimeStamp(value);
    return double(ts.Date) * MSecsPerDay + ts.Time;
}

TDateTime MSecsToDateTime(double msecs) {
    const double days = std::floor(msecs / MSecsPerDay);
    return TimeStampToDateTime({int32_t(days), int32_t(msecs - days * MSecsPerDay)});
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    int32_t n = DateTimeToTimeStamp(value).Date;
    if (n <= 0) {
        year = month = day = 0;
        return;
    }
    // 400-year cycles of 146097 days, then centuries, 4-year cycles and years.
    int32_t d = n - 1;
    int y = 1 + 400 * (d / 146097);
    d %= 146097;
    int c = d / 36524;
    if (c == 4)
        c = 3;
    y += 100 * c;
    d -= c * 36524;
    y += 4 * (d / 1461);
    d %= 1461;
    int yy = d / 365;
    if (yy == 4)
        yy = 3;
    y += yy;
    d -= yy * 365;
    int m = 1;
    while (d >= DaysInMonth(y, m)) {
        d -= DaysInMonth(y, m);
        ++m;
    }
    year = y;
    month = m;
    day = d + 1;
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
    int32_t t = DateTimeToTimeStamp(value).Time;
    hour = t / 3600000;
    min = t / 60000 % 60;
    sec = t / 1000 % 60;
    msec = t % 1000;
}

QDateTime DateTimeToQDateTime(TDateTime value) {
    int y, m, d, h, mi, s, ms;
    DecodeDate(value, y, m, d);
    DecodeTime(value, h, mi, s, ms);
    return QDateTime(QDate(y, m, d), QTime(h, mi, s, ms));
}

TDateTime QDateTimeToDateTime(const QDateTime& value) {
    TDateTime date = 0, time = 0;
    const QDate d = value.date();
    const QTime t = value.time();
    TryEncodeDate(d.year(), d.month(), d.day(), date);
    TryEncodeTime(t.hour(), t.minute(), t.second(), t.msec(), time);
    return date >= 0 ? date + time : date - time;
}

}  // namespace platform
