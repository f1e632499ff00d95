#include "reportengine/model/BarcodeEncoding.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace reportengine {

namespace {

bool Fail(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

// --- Code 39. Each character is five bars and four spaces, three of them wide. Letters and
// digits follow one scheme: the position of the wide space picks the group of ten, the pair of
// wide bars the place in the group (1-2-4-7-0 coding).
const char Code39Chars[] = "1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ-. *$/+%";

QString Code39Pattern(int index) {
    static const int pairs[10][2] = {{1, 5}, {2, 5}, {1, 2}, {3, 5}, {1, 3},
                                     {2, 3}, {4, 5}, {1, 4}, {2, 4}, {3, 4}};
    static const int groupSpace[4] = {2, 3, 4, 1};  // 1-0, A-J, K-T, U-*
    static const int specialSpaces[4][3] = {{1, 2, 3}, {1, 2, 4}, {1, 3, 4}, {2, 3, 4}};
    QString p(9, QLatin1Char('n'));
    if (index >= 40) {  // $ / + %: three wide spaces, no wide bar
        for (int s : specialSpaces[index - 40])
            p[2 * s - 1] = QLatin1Char('w');
        return p;
    }
    const int* pair = pairs[index % 10];
    p[2 * (pair[0] - 1)] = QLatin1Char('w');
    p[2 * (pair[1] - 1)] = QLatin1Char('w');
    p[2 * groupSpace[index / 10] - 1] = QLatin1Char('w');
    return p;
}

// Values for the check character: 0-9, A-Z, then - . space $ / + %.
const char Code39Values[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";

void AppendCode39(QChar c, std::vector<uint8_t>& widths) {
    int index = int(std::strchr(Code39Chars, char(c.unicode())) - Code39Chars);
    for (QChar e : Code39Pattern(index))
        widths.push_back(e == QLatin1Char('w') ? 3 : 1);
    widths.push_back(1);  // gap between characters
}

// --- Code 128.
const char* const Patterns128[107] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};

enum : int {
    CodeC = 99,
    CodeB = 100,
    CodeA = 101,
    StartA = 103,
    StartB = 104,
    StartC = 105,
    Stop = 106
};

int DigitRun(const QString& s, int from) {
    int n = 0;
    while (from + n < s.size() && s[from + n].isDigit() && s[from + n].unicode() < 128)
        ++n;
    return n;
}

}  // namespace

int BarcodeBars::Modules() const {
    return std::accumulate(Widths.begin(), Widths.end(), 0);
}

const char* Code128Pattern(int value) {
    return value >= 0 && value < 107 ? Patterns128[value] : nullptr;
}

bool EncodeCode39(const QString& text, bool checkSum, BarcodeBars& out, QString* error) {
    out = BarcodeBars();
    const QString upper = text.toUpper();
    int sum = 0;
    for (QChar c : upper) {
        const char* at = c.unicode() < 128 && c != QLatin1Char('*')
                             ? std::strchr(Code39Values, char(c.unicode()))
                             : nullptr;
        if (!at || c.unicode() == 0)
            return Fail(error, QStringLiteral("Code 39 cannot encode '%1'").arg(c));
        sum += int(at - Code39Values);
    }
    QString body = upper;
    if (checkSum)
        body += QLatin1Char(Code39Values[sum % 43]);
    AppendCode39(QLatin1Char('*'), out.Widths);
    for (QChar c : body)
        AppendCode39(c, out.Widths);
    AppendCode39(QLatin1Char('*'), out.Widths);
    out.Widths.pop_back();  // no gap after the stop character
    out.Text = body;
    return true;
}

bool EncodeCode128(const QString& text, BarcodeBars& out, QString* error) {
    out = BarcodeBars();
    if (text.isEmpty())
        return Fail(error, QStringLiteral("Code 128 needs at least one character"));
    for (QChar c : text)
        if (c.unicode() > 127)
            return Fail(error, QStringLiteral("Code 128 cannot encode '%1'").arg(c));
    std::vector<int>& sym = out.Symbols;
    int set = 0;  // 'A', 'B' or 'C'
    auto switchTo = [&](int wanted) {
        if (set == wanted)
            return;
        if (set == 0)
            sym.push_back(wanted == 'A' ? StartA : wanted == 'B' ? StartB : StartC);
        else
            sym.push_back(wanted == 'A' ? CodeA : wanted == 'B' ? CodeB : CodeC);
        set = wanted;
    };
    int i = 0;
    while (i < text.size()) {
        int run = DigitRun(text, i);
        // Pairs of digits pay off from four digits on (or two when they are the whole text).
        if (run >= 4 || (run == text.size() && run >= 2 && run % 2 == 0)) {
            if (run % 2) {  // the odd digit goes first in the current (or B) subset
                switchTo(set == 0 || set == 'C' ? 'B' : set);
                sym.push_back(text[i].unicode() - 32);
                ++i;
                --run;
            }
            switchTo('C');
            for (; run > 0; run -= 2, i += 2)
                sym.push_back((text[i].unicode() - '0') * 10 + text[i + 1].unicode() - '0');
            continue;
        }
        const ushort c = text[i].unicode();
        if (c < 32)
            switchTo('A');
        else if (set != 'A' || c >= 96)
            switchTo(set == 'A' && c < 96 ? 'A' : 'B');
        sym.push_back(set == 'A' ? (c < 32 ? c + 64 : c - 32) : c - 32);
        ++i;
    }
    int check = sym[0];
    for (size_t k = 1; k < sym.size(); ++k)
        check += int(k) * sym[k];
    sym.push_back(check % 103);
    sym.push_back(Stop);
    for (int v : sym)
        for (const char* p = Patterns128[v]; *p; ++p)
            out.Widths.push_back(uint8_t(*p - '0'));
    out.Text = text;
    return true;
}

int EAN13CheckDigit(const QString& digits) {
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (digits[i].unicode() - '0') * (i % 2 ? 3 : 1);
    return (10 - sum % 10) % 10;
}

bool EncodeEAN13(const QString& text, BarcodeBars& out, QString* error) {
    out = BarcodeBars();
    const QString t = text.trimmed();
    if ((t.size() != 12 && t.size() != 13) || DigitRun(t, 0) != t.size())
        return Fail(error, QStringLiteral("EAN-13 needs 12 or 13 digits, not '%1'").arg(text));
    const int check = EAN13CheckDigit(t);
    if (t.size() == 13 && t[12].unicode() - '0' != check)
        return Fail(
            error,
            QStringLiteral("wrong EAN-13 check digit in '%1' (should be %2)").arg(text).arg(check));
    const QString code = t.left(12) + QChar('0' + check);
    static const char* const L[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                      "0110001", "0101111", "0111011", "0110111", "0001011"};
    static const char* const Parity[10] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                           "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};
    // Modules as 0/1; R is L inverted, G is R reversed.
    QByteArray modules = "101";
    const char* parity = Parity[code[0].unicode() - '0'];
    for (int i = 1; i <= 6; ++i) {
        QByteArray l = L[code[i].unicode() - '0'];
        if (parity[i - 1] == 'G') {
            for (char& m : l)
                m = m == '0' ? '1' : '0';
            std::reverse(l.begin(), l.end());
        }
        modules += l;
    }
    modules += "01010";
    for (int i = 7; i <= 12; ++i) {
        QByteArray r = L[code[i].unicode() - '0'];
        for (char& m : r)
            m = m == '0' ? '1' : '0';
        modules += r;
    }
    modules += "101";
    for (int i = 0; i < modules.size();) {  // runs of equal modules, starting with a bar
        int j = i;
        while (j < modules.size() && modules[j] == modules[i])
            ++j;
        out.Widths.push_back(uint8_t(j - i));
        i = j;
    }
    out.Text = code;
    return true;
}

bool EncodeBarcode(TfrxBarcodeType type, const QString& text, bool checkSum, BarcodeBars& out,
                   QString* error) {
    switch (type) {
        case bcCode39:
            return EncodeCode39(text, checkSum, out, error);
        case bcCode128:
            return EncodeCode128(text, out, error);
        case bcCodeEAN13:
            return EncodeEAN13(text, out, error);
    }
    return Fail(error, QStringLiteral("unknown barcode type"));
}

}  // namespace reportengine
