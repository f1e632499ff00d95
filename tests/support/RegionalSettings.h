// The two regional settings the conversion tests run under: point decimals with year-month-day
// dates, and comma decimals with day-month-year dates.
#pragma once

#include "platform/FormatSettings.h"

namespace testenv {

inline platform::FormatSettings pointYmd() {
    platform::FormatSettings s;
    s.DecimalSeparator = '.';
    s.DateSeparator = '-';
    s.TimeSeparator = ':';
    s.ShortDateFormat = "yyyy-mm-dd";
    return s;
}

inline platform::FormatSettings commaDmy() {
    platform::FormatSettings s;
    s.DecimalSeparator = ',';
    s.DateSeparator = '.';
    s.TimeSeparator = ':';
    s.ShortDateFormat = "dd.mm.yyyy";
    return s;
}

}  // namespace testenv
