// Regional settings that text conversions follow: decimal, date and time separators, the short
// date format (letters d, m, y as the order of day, month and year) and the AM/PM markers.
// Taken once from the system locale; tests replace them with ScopedFormatSettings.
// Thread contract: read on any thread; replace only while no conversion runs (start-up, tests).
#pragma once

#include <QChar>
#include <QString>

namespace platform {

struct FormatSettings {
    QChar DecimalSeparator = '.';
    QChar DateSeparator = '.';
    QChar TimeSeparator = ':';
    QString ShortDateFormat = "dd.mm.yyyy";
    QString TimeAMString = "AM";
    QString TimePMString = "PM";

    static FormatSettings fromSystemLocale();
    // The settings in force; the system locale's until replaced.
    static const FormatSettings& current();
    static void setCurrent(const FormatSettings& settings);
};

// Replaces the settings in force for its lifetime.
class ScopedFormatSettings {
public:
    explicit ScopedFormatSettings(const FormatSettings& settings)
        : FSaved(FormatSettings::current()) {
        FormatSettings::setCurrent(settings);
    }
    ~ScopedFormatSettings() { FormatSettings::setCurrent(FSaved); }
    ScopedFormatSettings(const ScopedFormatSettings&) = delete;
    ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

private:
    FormatSettings FSaved;
};

}  // namespace platform
