// FormatFloat patterns; see StdLibParts.h.
#include "platform/FormatSettings.h"
#include "platform/TextToValue.h"
#include "reportengine/script/StdLibParts.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace script::stdlib {

QChar ThousandSeparator() {
    // Comma decimals go with a no-break space between thousands, point decimals with a comma.
    return platform::FormatSettings::current().DecimalSeparator == u',' ? QChar(0x00A0)
                                                                        : QChar(u',');
}

namespace {

// What one section of a pattern asks for.
struct Layout {
    int IntPlaces = 0;
    int FirstIntZero = -1;  // index of the first '0' among the integer places
    int FracPlaces = 0;
    int FracZeros = 0;  // fraction places up to the last '0': always shown
    bool Grouping = false;
    bool Scientific = false;
    int ExpDigits = 0;
};

// The digits of a magnitude: Digits with the decimal point after Point of them (Point may be
// negative or past the end).
struct Decimal {
    std::string Digits;
    int Point = 0;
};

// The 15 significant digits a double shows, so that 1.005 rounds as it reads.
Decimal SignificantDigits(double magnitude) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);
    Decimal d;
    const char* p = buffer;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            d.Digits += *p;
    d.Point = std::atoi(p + 1) + 1;
    return d;
}

// Keeps the first `keep` digits, rounding the half away from zero.
void RoundTo(Decimal& d, int keep) {
    if (keep >= int(d.Digits.size())) {
        d.Digits.append(size_t(keep) - d.Digits.size(), '0');
        return;
    }
    if (keep < 0) {
        d.Digits.clear();
        return;
    }
    const bool up = d.Digits[size_t(keep)] >= '5';
    d.Digits.resize(size_t(keep));
    if (!up)
        return;
    int i = keep - 1;
    while (i >= 0 && d.Digits[size_t(i)] == '9')
        d.Digits[size_t(i--)] = '0';
    if (i >= 0) {
        ++d.Digits[size_t(i)];
    } else {
        d.Digits.insert(d.Digits.begin(), '1');
        ++d.Point;
    }
}

bool IsZero(const std::string& digits) {
    return digits.find_first_not_of('0') == std::string::npos;
}

Layout Analyse(const QString& section) {
    Layout l;
    bool afterPoint = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == u'"' || c == u'\'') {
            const qsizetype end = section.indexOf(c, i + 1);
            i = end < 0 ? section.size() : end;
        } else if (c == u'0' || c == u'#') {
            if (afterPoint) {
                ++l.FracPlaces;
                if (c == u'0')
                    l.FracZeros = l.FracPlaces;
            } else {
                if (c == u'0' && l.FirstIntZero < 0)
                    l.FirstIntZero = l.IntPlaces;
                ++l.IntPlaces;
            }
        } else if (c == u'.') {
            afterPoint = true;
        } else if (c == u',') {
            l.Grouping = true;
        } else if ((c == u'E' || c == u'e') && i + 1 < section.size() &&
                   (section[i + 1] == u'+' || section[i + 1] == u'-')) {
            l.Scientific = true;
            for (i += 2; i < section.size() && section[i] == u'0' && l.ExpDigits < 4; ++i)
                ++l.ExpDigits;
            break;  // the mantissa places end at the exponent
        }
    }
    return l;
}

// The integer digits, fraction digits and exponent that a section shows for a magnitude.
struct Parts {
    std::string Int, Frac;
    int Exponent = 0;
    bool Zero = true;
};

Parts Digits(double magnitude, const Layout& l) {
    Parts p;
    Decimal d = SignificantDigits(magnitude);
    if (l.Scientific) {
        const int intPlaces = std::max(l.IntPlaces, 1);
        const bool zero = magnitude == 0;
        RoundTo(d, intPlaces + l.FracPlaces);
        d.Digits.resize(size_t(intPlaces + l.FracPlaces));  // a carry added one digit
        p.Exponent = zero ? 0 : d.Point - intPlaces;
        p.Int = d.Digits.substr(0, size_t(intPlaces));
        p.Frac = d.Digits.substr(size_t(intPlaces));
    } else {
        RoundTo(d, d.Point + l.FracPlaces);
        if (d.Point > 0) {
            p.Int = d.Digits.substr(0, size_t(d.Point));
            p.Frac = d.Digits.substr(size_t(d.Point));
        } else {
            p.Frac = std::string(size_t(std::min(-d.Point, l.FracPlaces)), '0') + d.Digits;
            p.Frac.resize(size_t(l.FracPlaces), '0');
        }
        p.Int.erase(0, std::min(p.Int.find_first_not_of('0'), p.Int.size()));
        const int minInt = l.FirstIntZero < 0 ? 0 : l.IntPlaces - l.FirstIntZero;
        if (int(p.Int.size()) < minInt)
            p.Int.insert(0, size_t(minInt) - p.Int.size(), '0');
    }
    p.Zero = IsZero(p.Int) && IsZero(p.Frac);
    while (int(p.Frac.size()) > l.FracZeros && p.Frac.back() == '0')
        p.Frac.pop_back();
    return p;
}

// Writes the section with the digits in their places.
QString Render(const QString& section, const Layout& l, const Parts& p) {
    const auto& settings = platform::FormatSettings::current();
    const QChar group = ThousandSeparator();
    QString out;
    const int intCount = int(p.Int.size());
    auto putInt = [&](int j) {
        out += QChar(p.Int[size_t(j)]);
        const int rest = intCount - 1 - j;
        if (l.Grouping && rest > 0 && rest % 3 == 0)
            out += group;
    };
    auto putLeading = [&](int upTo) {
        for (int j = 0; j < upTo; ++j)
            putInt(j);
    };
    const int offset = l.IntPlaces - intCount;  // negative: more digits than places
    int intIndex = 0, fracIndex = 0;
    bool afterPoint = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == u'"' || c == u'\'') {
            qsizetype end = section.indexOf(c, i + 1);
            if (end < 0)
                end = section.size();
            out += section.mid(i + 1, end - i - 1);
            i = end;
        } else if ((c == u'0' || c == u'#') && !afterPoint) {
            if (intIndex == 0 && offset < 0)
                putLeading(-offset);
            const int j = intIndex++ - offset;
            if (j >= 0)
                putInt(j);
        } else if ((c == u'0' || c == u'#') && afterPoint) {
            if (fracIndex < int(p.Frac.size()))
                out += QChar(p.Frac[size_t(fracIndex)]);
            ++fracIndex;
        } else if (c == u'.') {
            if (afterPoint)
                continue;
            afterPoint = true;
            if (l.IntPlaces == 0)
                putLeading(intCount);
            if (!p.Frac.empty())
                out += settings.DecimalSeparator;
        } else if (c == u',') {
            continue;
        } else if ((c == u'E' || c == u'e') && l.Scientific && i + 1 < section.size() &&
                   (section[i + 1] == u'+' || section[i + 1] == u'-')) {
            out += c;
            if (p.Exponent < 0)
                out += u'-';
            else if (section[i + 1] == u'+')
                out += u'+';
            out += QString::number(std::abs(p.Exponent)).rightJustified(l.ExpDigits, u'0');
            i += 1 + l.ExpDigits;
        } else {
            out += c;
        }
    }
    if (l.IntPlaces == 0 && !afterPoint)
        putLeading(intCount);
    return out;
}

QList<QString> SplitSections(const QString& format) {
    QList<QString> sections;
    QString current;
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u';') {
            sections << current;
            current.clear();
            continue;
        }
        current += c;
    }
    sections << current;
    return sections;
}

}  // namespace

QString FormatFloatText(const QString& format, double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    const QList<QString> sections = SplitSections(format);
    auto has = [&](int i) { return sections.size() > i && !sections[i].isEmpty(); };
    QString section = sections[0];
    bool minus = false;
    if (value < 0) {
        if (has(1))
            section = sections[1];
        else
            minus = true;
    }
    Layout layout = Analyse(section);
    if (format.isEmpty() || (!layout.Scientific && std::abs(value) >= 1e18))
        return platform::FloatToStr(value);
    Parts parts = Digits(std::abs(value), layout);
    if (parts.Zero && has(2)) {
        section = sections[2];
        layout = Analyse(section);
        parts = Digits(0, layout);
        minus = false;
    }
    const QString text = Render(section, layout, parts);
    return minus && !parts.Zero ? u'-' + text : text;
}

}  // namespace script::stdlib
