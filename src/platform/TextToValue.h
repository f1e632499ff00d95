// Text-to-value conversions under the regional settings: numbers, date-times and booleans, as
// filter constants and variant conversions read them, and the matching value-to-text forms.
// The Try* functions never raise; the Str* forms raise EConvertError with the platform's texts.
// Thread contract: pure functions over FormatSettings::current(); safe anywhere.
#pragma once

#include "platform/DateTime.h"
#include "platform/FormatSettings.h"

#include <QString>

namespace platform {

// Optional sign, digits with at most one regional decimal separator, optional exponent; blanks
// around the number are allowed, thousands separators are not.
bool TryTextToNumber(const QString& text, double& value);
// A date (in the order of the short date format), a time, or a date followed by a time.
bool TryTextToDateTime(const QString& text, TDateTime& value);
// "TRUE" or "FALSE", ignoring case and surrounding blanks.
bool TryTextToBool(const QString& text, bool& value);

double StrToFloat(const QString& text);
TDateTime StrToDateTime(const QString& text);
bool StrToBool(const QString& text);
int64_t StrToInt64(const QString& text);

// Shortest text that reads back to the same double (up to 15 significant digits).
QString FloatToStr(double value);
// Date in the short date format; the time (hh:nn:ss) only when not midnight; a bare time when the
// date part is zero.
QString DateTimeToStr(TDateTime value);
QString BoolToStr(bool value);

}  // namespace platform
