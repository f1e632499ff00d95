// Windows-1251 codec and the UTF-8 check that decides between the two encodings.
#include <gtest/gtest.h>

#include "platform/Cp1251.h"

using platform::fromCp1251;
using platform::isValidUtf8;
using platform::toCp1251;

TEST(Cp1251, EveryByteSurvivesARoundTrip) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = fromCp1251(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(toCp1251(text), all);
}

TEST(Cp1251, KnownCharacters) {
    EXPECT_EQ(toCp1251(QString::fromUtf8("Привет, Ёж № 5 € — «да»")),
              QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6 \xB9 5 \x88 \x97 \xAB\xE4\xE0\xBB"));
    EXPECT_EQ(fromCp1251("\xDF\xE7\xFB\xEA \xB8\xA8"), QString::fromUtf8("Язык ёЁ"));
}

TEST(Cp1251, UnmappableCharactersBecomeOneQuestionMarkEach) {
    // U+4E2D and U+1F600 (a surrogate pair) have no byte in the code page.
    EXPECT_EQ(toCp1251(QString::fromUtf8("a\xE4\xB8\xAD"
                                         "b\xF0\x9F\x98\x80"
                                         "c")),
              "a?b?c");
    EXPECT_EQ(toCp1251(QString(QChar(0xD800))), "?");  // an unpaired surrogate
}

TEST(Cp1251, Utf8Validity) {
    struct Case {
        QByteArray bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"plain ascii", true},
        {"\xD0\x9F\xD1\x80\xD0\xB8", true},  // Cyrillic
        {"\xF0\x9F\x98\x80", true},          // four bytes
        {"\xCF\xF0\xE8", false},             // Windows-1251 Cyrillic
        {"\xC0\xAF", false},                 // overlong '/'
        {"\xED\xA0\x80", false},             // a surrogate
        {"\xF4\x90\x80\x80", false},         // above U+10FFFF
        {"\xD0", false},                     // cut short
        {"\x80", false},                     // a lone continuation byte
    };
    for (const Case& c : cases)
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.bytes.toHex().toStdString();
}
