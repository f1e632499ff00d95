// Date-time values as the data server and the report engine exchange them: a TDateTime is a double
// counting days since 1899-12-30, its fraction the time of day (for days before that date the
// fraction still counts forward from midnight). The wire forms count days from 0001-01-01 = day 1
// and milliseconds of the day. Thread contract: pure functions; safe anywhere.
#pragma once

#include <QDateTime>
#include <cstdint>

namespace platform {

using TDateTime = double;

constexpr int32_t DateDelta = 693594;  // day number of 1899-12-30, counted from 0001-01-01 = 1
constexpr int32_t MSecsPerDay = 86400000;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);

// Wire forms: a day number and milliseconds of the day.
struct TTimeStamp {
    int32_t Date;
    int32_t Time;
};
TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(TTimeStamp stamp);
// The ftDateTime slot form: day number * 86400000 + milliseconds of the day.
double DateTimeToMSecs(TDateTime value);
TDateTime MSecsToDateTime(double msecs);

QDateTime DateTimeToQDateTime(TDateTime value);
TDateTime QDateTimeToDateTime(const QDateTime& value);

}  // namespace platform
