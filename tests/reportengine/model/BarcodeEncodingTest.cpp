// Barcode encodings against published encodings and the symbologies' own invariants.
#include "reportengine/model/BarcodeEncoding.h"

#include <gtest/gtest.h>
#include <QSet>

using namespace reportengine;

namespace {

QString Widths(const BarcodeBars& b) {
    QString s;
    for (uint8_t w : b.Widths)
        s += QChar('0' + w);
    return s;
}

}  // namespace

TEST(Barcode, Ean13) {
    BarcodeBars b;
    ASSERT_TRUE(EncodeEAN13(QStringLiteral("400638133393"), b));
    EXPECT_EQ(b.Text, QStringLiteral("4006381333931"));  // the check digit is 1
    EXPECT_EQ(b.Modules(), 95);
    // Start guard, then (first digit 4: LGLLGG) 0 in L 0001101, 0 in G 0100111, 6 in L 0101111.
    EXPECT_TRUE(
        Widths(b).startsWith(QStringLiteral("111"
                                            "3211"
                                            "1123"
                                            "1114")))
        << Widths(b).toStdString();
    EXPECT_TRUE(EncodeEAN13(QStringLiteral("4006381333931"), b));
    QString error;
    EXPECT_FALSE(EncodeEAN13(QStringLiteral("4006381333932"), b, &error));
    EXPECT_TRUE(error.contains(QLatin1String("should be 1")));
    EXPECT_FALSE(EncodeEAN13(QStringLiteral("40063813339"), b));
    EXPECT_FALSE(EncodeEAN13(QStringLiteral("40063813339x"), b));
    EXPECT_EQ(EAN13CheckDigit(QStringLiteral("590123412345")), 7);  // 5901234123457
}

TEST(Barcode, Code39) {
    BarcodeBars b;
    ASSERT_TRUE(EncodeCode39(QStringLiteral("A"), false, b));
    // *A*: each character 9 elements with 3 wide, 1-module gaps; narrow 1, wide 3.
    EXPECT_EQ(Widths(b), QStringLiteral("131131311"
                                        "1"
                                        "311113113"
                                        "1"
                                        "131131311"));
    ASSERT_TRUE(EncodeCode39(QStringLiteral("code-39"), true, b));
    EXPECT_EQ(b.Text, QStringLiteral("CODE-39P"));  // 111 mod 43 = 25
    EXPECT_EQ(b.Widths.size(), size_t(10 * 10 - 1));
    QString error;
    EXPECT_FALSE(EncodeCode39(QStringLiteral("a*b"), false, b, &error));
    EXPECT_FALSE(EncodeCode39(QStringLiteral("Ж"), false, b));
}

TEST(Barcode, Code128TableInvariants) {
    // Every symbol is 11 modules (the stop 13) with an even number of bar modules, and no two
    // symbols are alike: a typo in the table breaks one of these.
    QSet<QString> seen;
    for (int v = 0; v < 107; ++v) {
        const QString p = QString::fromLatin1(Code128Pattern(v));
        int total = 0, bars = 0;
        for (int i = 0; i < p.size(); ++i) {
            total += p[i].unicode() - '0';
            if (i % 2 == 0)
                bars += p[i].unicode() - '0';
        }
        EXPECT_EQ(total, v == 106 ? 13 : 11) << v;
        EXPECT_EQ(bars % 2, 0) << v;
        EXPECT_FALSE(seen.contains(p)) << v;
        seen.insert(p);
    }
    EXPECT_EQ(Code128Pattern(107), nullptr);
}

TEST(Barcode, Code128ChoosesSubsets) {
    struct Case {
        const char* text;
        std::vector<int> symbols;  // start ... check, stop
    };
    const Case cases[] = {
        // B throughout: the common example, check symbol 88.
        {"Wikipedia", {104, 55, 73, 75, 73, 80, 69, 68, 73, 65, 88, 106}},
        // Digits only, even: C pairs.
        {"1234", {105, 12, 34, (105 + 12 + 2 * 34) % 103, 106}},
        // Odd digit run: one digit in B, then C.
        {"12345", {104, 17, 99, 23, 45, (104 + 17 + 2 * 99 + 3 * 23 + 4 * 45) % 103, 106}},
        // A control character switches to A; short digit runs stay in the text subset.
        {"a\t12",
         {104, 65, 101, 73, 17, 18, (104 + 65 + 2 * 101 + 3 * 73 + 4 * 17 + 5 * 18) % 103, 106}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        BarcodeBars b;
        ASSERT_TRUE(EncodeCode128(QString::fromLatin1(c.text), b));
        EXPECT_EQ(b.Symbols, c.symbols);
        EXPECT_EQ(b.Modules(), 11 * int(c.symbols.size() - 1) + 13);
    }
    BarcodeBars b;
    EXPECT_FALSE(EncodeCode128(QString(), b));
    EXPECT_FALSE(EncodeCode128(QStringLiteral("Ж"), b));
}
