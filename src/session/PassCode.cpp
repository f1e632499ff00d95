#include "session/PassCode.h"

#include "platform/Cp1251.h"

#include <array>

namespace session {
namespace {

constexpr unsigned char EscapeByte = 0xFE;
// Escape code n (1..5) stands for Escaped[n - 1].
constexpr std::array<unsigned char, 5> Escaped = {0x00, 0xFE, 0x20, 0x5C, 0x0A};

int EscapeCodeFor(unsigned char byte) {
    for (size_t i = 0; i < Escaped.size(); ++i)
        if (Escaped[i] == byte)
            return int(i) + 1;
    return 0;
}

}  // namespace

QByteArray UnescapePassCode(QByteArrayView code) {
    QByteArray out;
    out.reserve(qMin<qsizetype>(code.size(), MaxPassCodeBytes));
    qsizetype i = 0;
    while (i < code.size() && out.size() < MaxPassCodeBytes) {
        const auto byte = static_cast<unsigned char>(code[i]);
        if (byte != EscapeByte) {
            out.append(char(byte));
            ++i;
            continue;
        }
        const int next = i + 1 < code.size() ? static_cast<unsigned char>(code[i + 1]) : 0;
        if (next >= 1 && next <= int(Escaped.size())) {
            out.append(char(Escaped[size_t(next - 1)]));
            i += 2;
        } else {
            ++i;  // a stray escape byte is dropped; what follows is examined afresh
        }
    }
    return out;
}

QByteArray DecodePassCode(QByteArrayView code, int config) {
    QByteArray bytes = UnescapePassCode(code);
    QByteArray out;
    if (bytes.size() >= 2) {
        if (config & PassCodeDifferenceForm) {
            out.resize(bytes.size() - 1);
            for (qsizetype k = 0; k + 1 < bytes.size(); ++k)
                out[k] = char(static_cast<unsigned char>(bytes[k + 1]) -
                              static_cast<unsigned char>(bytes[k]));
        } else {
            out = bytes.mid(1);
        }
    }
    SecureClear(bytes);
    return out;
}

QString DecodePassCodeText(const QString& code, int config) {
    QByteArray bytes = platform::toCp1251(code);
    QByteArray decoded = DecodePassCode(QByteArrayView(bytes), config);
    QString text = platform::fromCp1251(decoded);
    SecureClear(bytes);
    SecureClear(decoded);
    return text;
}

QByteArray EscapePassCode(QByteArrayView raw) {
    QByteArray out;
    out.reserve(raw.size() * 2);
    for (char c : raw) {
        const int escape = EscapeCodeFor(static_cast<unsigned char>(c));
        if (escape) {
            out.append(char(EscapeByte));
            out.append(char(escape));
        } else {
            out.append(c);
        }
    }
    return out;
}

QByteArray EncodePassCode(QByteArrayView plain, int config, unsigned char leadingByte) {
    QByteArray raw;
    raw.reserve(plain.size() + 1);
    raw.append(char(leadingByte));
    unsigned char sum = leadingByte;
    for (char c : plain) {
        if (config & PassCodeDifferenceForm) {
            sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
            raw.append(char(sum));
        } else {
            raw.append(c);
        }
    }
    return EscapePassCode(raw);
}

void SecureClear(QByteArray& bytes) {
    if (!bytes.isEmpty() && !bytes.isDetached()) {
        bytes.clear();  // shared data belongs to someone else too; just let go of it
        return;
    }
    volatile char* p = bytes.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        p[i] = 0;
    bytes.clear();
}

void SecureClear(QString& text) {
    if (!text.isEmpty() && text.isDetached()) {
        volatile char16_t* p = reinterpret_cast<char16_t*>(text.data());
        for (qsizetype i = 0; i < text.size(); ++i)
            p[i] = 0;
    }
    text.clear();
}

}  // namespace session
