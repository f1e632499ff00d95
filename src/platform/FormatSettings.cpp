// Regional settings from QLocale; see FormatSettings.h.
#include "platform/FormatSettings.h"

#include <QLocale>

namespace platform {

// Qt's short date pattern ("dd.MM.yyyy", "M/d/yy") to ours: letters in lower case, separators kept.
static QString shortDateFromQt(const QString& qt) {
    QString out;
    for (QChar c : qt) {
        const QChar l = c.toLower();
        if (l == 'd' || l == 'm' || l == 'y')
            out += l;
        else if (!c.isLetter() && c != '\'')
            out += c;
    }
    return out;
}

static QChar firstSeparator(const QString& pattern, QChar fallback) {
    for (QChar c : pattern)
        if (!c.isLetter() && c != ' ' && c != '\'')
            return c;
    return fallback;
}

FormatSettings FormatSettings::fromSystemLocale() {
    const QLocale locale = QLocale::system();
    FormatSettings s;
    const QString decimal = locale.decimalPoint();
    if (decimal.size() == 1)
        s.DecimalSeparator = decimal[0];
    const QString date = locale.dateFormat(QLocale::ShortFormat);
    s.DateSeparator = firstSeparator(date, '.');
    s.ShortDateFormat = shortDateFromQt(date);
    s.TimeSeparator = firstSeparator(locale.timeFormat(QLocale::ShortFormat), ':');
    if (!locale.amText().isEmpty())
        s.TimeAMString = locale.amText();
    if (!locale.pmText().isEmpty())
        s.TimePMString = locale.pmText();
    return s;
}

static FormatSettings& settingsInForce() {
    static FormatSettings settings = FormatSettings::fromSystemLocale();
    return settings;
}

const FormatSettings& FormatSettings::current() {
    return settingsInForce();
}

void FormatSettings::setCurrent(const FormatSettings& settings) {
    settingsInForce() = settings;
}

}  // namespace platform
