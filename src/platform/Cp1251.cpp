// Windows-1251 codec: a 128-entry table for the upper half one way, the same table sorted by
// code point (built at compile time) the other way.
#include "platform/Cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace platform {
namespace {

// Code points of bytes 0x80..0xFF. 0x98 is unassigned in the code page; mapping it to the C1
// control of the same number keeps decoding lossless.
constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

struct Reverse {
    char16_t code;
    unsigned char byte;
};

constexpr std::array<Reverse, 128> buildReverse() {
    std::array<Reverse, 128> table{};
    for (int i = 0; i < 128; ++i)
        table[i] = {kHigh[i], static_cast<unsigned char>(0x80 + i)};
    std::sort(table.begin(), table.end(),
              [](const Reverse& a, const Reverse& b) { return a.code < b.code; });
    return table;
}

constexpr std::array<Reverse, 128> kReverse = buildReverse();

// The Cyrillic block U+0410..U+044F is contiguous in both sets; everything else of the upper half
// is found by binary search.
inline char encodeOne(char16_t c) {
    if (c < 0x80)
        return static_cast<char>(c);
    if (c >= 0x0410 && c <= 0x044F)
        return static_cast<char>(0xC0 + (c - 0x0410));
    auto it = std::lower_bound(kReverse.begin(), kReverse.end(), c,
                               [](const Reverse& r, char16_t v) { return r.code < v; });
    if (it != kReverse.end() && it->code == c)
        return static_cast<char>(it->byte);
    return '?';
}

}  // namespace

QByteArray toCp1251(const QString& text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    const char16_t* src = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    char* dst = out.data();
    qsizetype o = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = src[i];
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(src[i + 1])) {
            dst[o++] = '?';
            ++i;
            continue;
        }
        dst[o++] = encodeOne(c);
    }
    out.truncate(o);
    return out;
}

QString fromCp1251(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t* dst = reinterpret_cast<char16_t*>(out.data());
    const unsigned char* src = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype i = 0, n = bytes.size(); i < n; ++i) {
        const unsigned char b = src[i];
        dst[i] = b < 0x80 ? char16_t(b) : kHigh[b - 0x80];
    }
    return out;
}

bool isValidUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int extra;
        std::uint32_t cp;
        std::uint32_t min;
        if ((b & 0xE0) == 0xC0) {
            extra = 1, cp = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, cp = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, cp = b & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int k = 1; k <= extra; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

}  // namespace platform
