#include "session/PassCode.h"

#include "TestEnv.h"
#include "platform/Cp1251.h"

#include <gtest/gtest.h>

using namespace session;

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

struct UnescapeCase {
    const char* what;
    QByteArray stored;
    QByteArray unescaped;
};

TEST(PassCode, UnescapeResolvesEscapesAndDropsStrayEscapeBytes) {
    const UnescapeCase cases[] = {
        {"empty", {}, {}},
        {"each escape", Bytes({0xFE, 1, 0xFE, 2, 0xFE, 3, 0xFE, 4, 0xFE, 5}),
         Bytes({0x00, 0xFE, 0x20, 0x5C, 0x0A})},
        {"unknown code: only the escape byte goes", Bytes({0x31, 0xFE, 0x07}), Bytes({0x31, 0x07})},
        // the first 0xFE is dropped, the second starts the escape
        {"escape after a stray one", Bytes({0xFE, 0xFE, 0x03}), Bytes({0x20})},
        {"trailing escape byte", Bytes({0x41, 0xFE}), Bytes({0x41})},
        {"escape code 0", Bytes({0xFE, 0x00}), Bytes({0x00})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnescapePassCode(c.stored), c.unescaped) << c.what;
}

TEST(PassCode, UnescapedCodeIsCutAt255Bytes) {
    EXPECT_EQ(UnescapePassCode(QByteArray(300, 'a')).size(), 255);
    // an escape that would straddle the limit is not half-applied past it
    QByteArray code = QByteArray(254, 'a') + Bytes({0xFE, 0x02, 0xFE, 0x02});
    EXPECT_EQ(UnescapePassCode(code), QByteArray(254, 'a') + Bytes({0xFE}));
}

struct DecodeCase {
    const char* what;
    QByteArray stored;
    int config;
    QByteArray decoded;
};

TEST(PassCode, DecodeBothForms) {
    const DecodeCase cases[] = {
        {"difference form", Bytes({0x10, 0x41, 0x73}), 0x40, "12"},
        {"falling pair wraps", Bytes({0x50, 0x40}), 0x40 | 1024, Bytes({0xF0})},
        {"plain form drops the leading byte", Bytes({0x10, 0x41, 0x73}), 1024, "As"},
        {"one byte, difference", Bytes({0x10}), 0x40, {}},
        {"one byte, plain", Bytes({0x10}), 0, {}},
        {"empty", {}, 0x40, {}},
        // escapes are resolved before the leading byte is set aside
        {"escaped leading byte", Bytes({0xFE, 0x01, 0x31}), 0x40, "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodePassCode(c.stored, c.config), c.decoded) << c.what;
}

TEST(PassCode, EncodeIsTheInverseForEveryByteAndLeadingByte) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    for (int config : {0, 0x40}) {
        for (int lead : {0x00, 0x20, 0x7F, 0xFE, 0xFF}) {
            const QByteArray stored = EncodePassCode(all.left(254), config, uchar(lead));
            for (uchar forbidden : {0x00, 0x20, 0x5C, 0x0A})
                EXPECT_FALSE(stored.contains(char(forbidden))) << config << " " << lead;
            EXPECT_EQ(DecodePassCode(stored, config), all.left(254)) << config << " " << lead;
        }
    }
}

TEST(PassCode, TextDecodingGoesThroughTheEightBitCodePage) {
    // "Пар" in Windows-1251; 0x98, unassigned in the code page, must survive as a leading byte
    const QByteArray stored = EncodePassCode("\xCF\xE0\xF0", 0x40, 0x98);
    EXPECT_EQ(DecodePassCodeText(QString::fromLatin1("\x10") + "12", 0), "12");
    EXPECT_EQ(DecodePassCodeText(platform::fromCp1251(stored), 0x40), QStringLiteral("Пар"));
}

}  // namespace
