// Regional text conversions; see TextToValue.h.
#include "platform/TextToValue.h"

#include "platform/ConvertError.h"

#include <QDate>
#include <charconv>
#include <cmath>
#include <string>

namespace platform {

bool TryTextToNumber(const QString& text, double& value) {
    const QChar decimal = FormatSettings::current().DecimalSeparator;
    const QString t = text.trimmed();
    std::string ascii;
    ascii.reserve(t.size());
    qsizetype i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ascii += char(t[i++].unicode());
    int digits = 0;
    bool seenDecimal = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= '0' && c <= '9') {
            ascii += char(c.unicode());
            ++digits;
        } else if (c == decimal && !seenDecimal) {
            ascii += '.';
            seenDecimal = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ascii += 'e';
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ascii += char(t[i++].unicode());
        int expDigits = 0;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++expDigits)
            ascii += char(t[i].unicode());
        if (expDigits == 0)
            return false;
    }
    if (i != t.size())
        return false;
    const char* begin = ascii.data();
    if (*begin == '+')
        ++begin;
    double v = 0;
    const auto r = std::from_chars(begin, ascii.data() + ascii.size(), v);
    if (r.ec != std::errc() || r.ptr != ascii.data() + ascii.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

namespace {

// A cursor over the text with the scanning steps of date and time reading.
struct Scanner {
    const QString& s;
    qsizetype pos = 0;

    bool atEnd() const { return pos >= s.size(); }
    void blanks() {
        while (pos < s.size() && s[pos] == ' ')
            ++pos;
    }
    // Digits until the value passes 999, so at most four are read.
    bool number(int& value, int& length) {
        blanks();
        const qsizetype start = pos;
        int v = 0;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && v <= 999)
            v = v * 10 + (s[pos++].unicode() - '0');
        length = int(pos - start);
        value = v;
        return length > 0;
    }
    bool character(QChar c) {
        blanks();
        if (pos < s.size() && s[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
    bool word(const QString& w) {
        blanks();
        if (!w.isEmpty() && s.mid(pos, w.size()).compare(w, Qt::CaseInsensitive) == 0) {
            pos += w.size();
            return true;
        }
        return false;
    }
};

enum class DateOrder { MDY, DMY, YMD };

DateOrder dateOrder(const QString& shortDateFormat) {
    for (QChar c : shortDateFormat) {
        switch (c.toUpper().unicode()) {
            case 'D':
                return DateOrder::DMY;
            case 'Y':
            case 'E':
                return DateOrder::YMD;
            case 'M':
                return DateOrder::MDY;
            default:
                break;
        }
    }
    return DateOrder::MDY;
}

bool scanDate(Scanner& sc, TDateTime& date) {
    const FormatSettings& fs = FormatSettings::current();
    int n1, n2, n3 = 0, l1, l2, l3 = 0;
    if (!(sc.number(n1, l1) && sc.character(fs.DateSeparator) && sc.number(n2, l2)))
        return false;
    const int currentYear = QDate::currentDate().year();
    const DateOrder order = dateOrder(fs.ShortDateFormat);
    int y, m, d;
    if (sc.character(fs.DateSeparator)) {
        if (!sc.number(n3, l3))
            return false;
        int yearLength;
        switch (order) {
            case DateOrder::MDY:
                m = n1, d = n2, y = n3, yearLength = l3;
                break;
            case DateOrder::DMY:
                d = n1, m = n2, y = n3, yearLength = l3;
                break;
            default:
                y = n1, m = n2, d = n3, yearLength = l1;
                break;
        }
        if (yearLength <= 2) {
            // A two-digit year falls in the 100-year window ending 50 years from now.
            const int windowStart = currentYear - 50;
            y += windowStart / 100 * 100;
            if (y < windowStart)
                y += 100;
        }
        sc.character(fs.DateSeparator);  // a trailing separator is allowed
    } else {
        y = currentYear;
        if (order == DateOrder::DMY)
            d = n1, m = n2;
        else
            m = n1, d = n2;
    }
    sc.blanks();
    return TryEncodeDate(y, m, d, date);
}

bool scanTime(Scanner& sc, TDateTime& time) {
    const FormatSettings& fs = FormatSettings::current();
    int baseHour = -1;
    if (sc.word(fs.TimeAMString) || sc.word("AM"))
        baseHour = 0;
    else if (sc.word(fs.TimePMString) || sc.word("PM"))
        baseHour = 12;
    int hour, min = 0, sec = 0, msec = 0, len;
    if (!sc.number(hour, len))
        return false;
    if (sc.character(fs.TimeSeparator)) {
        if (!sc.number(min, len))
            return false;
        if (sc.character(fs.TimeSeparator)) {
            if (!sc.number(sec, len))
                return false;
            if (sc.character(fs.DecimalSeparator) && !sc.number(msec, len))
                return false;
        }
    }
    if (baseHour < 0) {
        if (sc.word(fs.TimeAMString) || sc.word("AM"))
            baseHour = 0;
        else if (sc.word(fs.TimePMString) || sc.word("PM"))
            baseHour = 12;
    }
    if (baseHour >= 0) {
        if (hour == 0 || hour > 12)
            return false;
        if (hour == 12)
            hour = 0;
        hour += baseHour;
    }
    sc.blanks();
    return TryEncodeTime(hour, min, sec, msec, time);
}

}  // namespace

bool TryTextToDateTime(const QString& text, TDateTime& value) {
    Scanner sc{text};
    TDateTime date = 0, time = 0;
    if (scanDate(sc, date)) {
        if (sc.atEnd()) {
            value = date;
            return true;
        }
        if (scanTime(sc, time) && sc.atEnd()) {
            value = date >= 0 ? date + time : date - time;
            return true;
        }
    }
    Scanner timeOnly{text};
    if (scanTime(timeOnly, time) && timeOnly.atEnd()) {
        value = time;
        return true;
    }
    return false;
}

bool TryTextToBool(const QString& text, bool& value) {
    const QString t = text.trimmed().toUpper();
    if (t == "TRUE") {
        value = true;
        return true;
    }
    if (t == "FALSE") {
        value = false;
        return true;
    }
    return false;
}

double StrToFloat(const QString& text) {
    double v;
    if (!TryTextToNumber(text, v))
        throw EConvertError("'" + text + "' is not a valid floating point value");
    return v;
}

TDateTime StrToDateTime(const QString& text) {
    TDateTime v;
    if (!TryTextToDateTime(text, v))
        throw EConvertError("'" + text + "' is not a valid date and time");
    return v;
}

bool StrToBool(const QString& text) {
    bool v;
    if (!TryTextToBool(text, v))
        throw EConvertError("'" + text + "' is not a valid boolean value");
    return v;
}

int64_t StrToInt64(const QString& text) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok)
        throw EConvertError("'" + text + "' is not a valid integer value");
    return v;
}

QString FloatToStr(double value) {
    if (value == 0)
        return "0";
    QString s = QString::number(value, 'g', 15);
    if (s.contains('e'))
        s.replace("e+", "E+").replace("e-", "E-");
    return s.replace('.', FormatSettings::current().DecimalSeparator);
}

static QString formatDate(TDateTime value) {
    const FormatSettings& fs = FormatSettings::current();
    int y, m, d;
    DecodeDate(value, y, m, d);
    QString out;
    const QString& f = fs.ShortDateFormat;
    for (qsizetype i = 0; i < f.size();) {
        const QChar c = f[i].toLower();
        qsizetype n = 1;
        while (i + n < f.size() && f[i + n].toLower() == c)
            ++n;
        if (c == 'd')
            out += QString::number(d).rightJustified(n >= 2 ? 2 : 1, '0');
        else if (c == 'm')
            out += QString::number(m).rightJustified(n >= 2 ? 2 : 1, '0');
        else if (c == 'y')
            out += n <= 2 ? QString::number(y % 100).rightJustified(2, '0')
                          : QString::number(y).rightJustified(4, '0');
        else if (c == '/')
            out += QString(fs.DateSeparator).repeated(n);
        else
            out += QString(f[i]).repeated(n);
        i += n;
    }
    return out;
}

QString DateTimeToStr(TDateTime value) {
    const QChar sep = FormatSettings::current().TimeSeparator;
    int h, mi, s, ms;
    DecodeTime(value, h, mi, s, ms);
    const QString time = QString("%1%2%3%4%5")
                             .arg(h)
                             .arg(sep)
                             .arg(mi, 2, 10, QChar('0'))
                             .arg(sep)
                             .arg(s, 2, 10, QChar('0'));
    const double days = std::trunc(value);
    if (days == 0)
        return time;
    if (h == 0 && mi == 0 && s == 0)
        return formatDate(value);
    return formatDate(value) + ' ' + time;
}

QString BoolToStr(bool value) {
    return value ? "True" : "False";
}

}  // namespace platform
