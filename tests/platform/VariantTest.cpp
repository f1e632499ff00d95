// Variants, day arithmetic and the regional text converters under two regional settings.
#include "TestEnv.h"
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"
#include "platform/Params.h"
#include "platform/TextToValue.h"
#include "platform/Variant.h"

#include <gtest/gtest.h>
#include <QDate>

#include "RegionalSettings.h"

using namespace platform;

namespace {

using testenv::commaDmy;
using testenv::pointYmd;

TDateTime date(int y, int m, int d) {
    TDateTime v = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, v));
    return v;
}

TEST(DateTime, DayNumbersAndWireForms) {
    EXPECT_EQ(date(1899, 12, 30), 0);
    EXPECT_EQ(DateTimeToTimeStamp(0).Date, 693594);
    EXPECT_EQ(DateTimeToTimeStamp(date(1, 1, 1)).Date, 1);
    TDateTime noon;
    ASSERT_TRUE(TryEncodeTime(12, 0, 0, 0, noon));
    EXPECT_EQ(DateTimeToMSecs(date(2024, 2, 29) + noon), (693594.0 + 45351) * 86400000 + 43200000);
    // Before 1899-12-30 the fraction still counts forward: -1.25 is 1899-12-29 06:00.
    const TTimeStamp ts = DateTimeToTimeStamp(-1.25);
    EXPECT_EQ(ts.Date, 693593);
    EXPECT_EQ(ts.Time, 6 * 3600000);
    EXPECT_EQ(TimeStampToDateTime(ts), -1.25);
    EXPECT_EQ(MSecsToDateTime(DateTimeToMSecs(-1.25)), -1.25);
    int y, m, d;
    DecodeDate(date(2000, 12, 31), y, m, d);
    EXPECT_EQ(QDate(y, m, d), QDate(2000, 12, 31));
    TDateTime bad;
    EXPECT_FALSE(TryEncodeDate(2023, 2, 29, bad));
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, bad));
}

struct TextCase {
    const char* text;
    bool ok;
    double value;  // expected number or date-time
};

TEST(TextToValue, NumbersUnderTwoSettings) {
    const std::pair<FormatSettings, std::vector<TextCase>> sets[] = {
        {pointYmd(),
         {{"2.5", true, 2.5},
          {"-1", true, -1},
          {"+3e2", true, 300},
          {" 7 ", true, 7},
          {"1E-2", true, 0.01},
          {".5", true, 0.5},
          {"2,5", false, 0},
          {"1,000", false, 0},
          {"1.2.3", false, 0},
          {"e5", false, 0},
          {"1e", false, 0},
          {"", false, 0}}},
        {commaDmy(), {{"2,5", true, 2.5}, {"2.5", false, 0}, {"-0,25", true, -0.25}}},
    };
    for (const auto& [settings, cases] : sets) {
        ScopedFormatSettings regional(settings);
        for (const TextCase& c : cases) {
            SCOPED_TRACE(c.text);
            double v = 0;
            EXPECT_EQ(TryTextToNumber(c.text, v), c.ok);
            if (c.ok) {
                EXPECT_DOUBLE_EQ(v, c.value);
            }
        }
    }
}

TEST(TextToValue, DateTimesUnderTwoSettings) {
    const int year = QDate::currentDate().year();
    TDateTime t1230, t1530;
    TryEncodeTime(12, 30, 0, 0, t1230);
    TryEncodeTime(15, 30, 0, 0, t1530);
    const std::pair<FormatSettings, std::vector<TextCase>> sets[] = {
        {pointYmd(),
         {{"2024-02-29", true, date(2024, 2, 29)},
          {"2024-02-29 12:30", true, date(2024, 2, 29) + t1230},
          {"03-15", true, date(year, 3, 15)},  // month then day of the current year
          {"12:30", true, t1230},
          {"3:30 PM", true, t1530},
          {"PM 3:30", true, t1530},
          {"13:30 PM", false, 0},
          {"2023-02-29", false, 0},
          {"12:60", false, 0},
          {"2024-02-29x", false, 0},
          {"1899-12-29 06:00", true, -1.25}}},
        {commaDmy(),
         {{"29.02.2024", true, date(2024, 2, 29)},
          {"1.5", true, date(year, 5, 1)},
          {"31.12.", false, 0},
          {"12:30:15,5", true, t1230 + (15 * 1000 + 5) / 86400000.0}}},
    };
    for (const auto& [settings, cases] : sets) {
        ScopedFormatSettings regional(settings);
        for (const TextCase& c : cases) {
            SCOPED_TRACE(c.text);
            TDateTime v = 0;
            EXPECT_EQ(TryTextToDateTime(c.text, v), c.ok);
            if (c.ok) {
                EXPECT_NEAR(v, c.value, 1e-9);
            }
        }
    }
    ScopedFormatSettings regional(pointYmd());
    TDateTime v;
    // Two-digit years fall in the 100-year window that ends 50 years from now.
    ASSERT_TRUE(TryTextToDateTime("30-01-02", v));
    int y, m, d;
    DecodeDate(v, y, m, d);
    int expected = 30 + (year - 50) / 100 * 100;
    if (expected < year - 50)
        expected += 100;
    EXPECT_EQ(y, expected);
}

TEST(TextToValue, Booleans) {
    bool b = false;
    EXPECT_TRUE(TryTextToBool(" true ", b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(TryTextToBool("False", b));
    EXPECT_FALSE(b);
    EXPECT_FALSE(TryTextToBool("yes", b));
}

TEST(Variant, ConversionsAndErrors) {
    ScopedFormatSettings regional(commaDmy());
    EXPECT_EQ(Variant(2.5).ToString(), "2,5");
    EXPECT_EQ(Variant("2,5").ToDouble(), 2.5);
    EXPECT_EQ(Variant(true).ToInt(), -1);
    EXPECT_EQ(Variant("12").ToInt(), 12);
    EXPECT_EQ(Variant(int64_t(1) << 40).ToDouble(), double(int64_t(1) << 40));
    EXPECT_EQ(Variant::FromCurrency(1.23456).ToCurrency(), 1.2346);
    EXPECT_EQ(Variant::FromDateTime(date(2024, 2, 29)).ToString(), "29.02.2024");
    EXPECT_EQ(Variant("29.02.2024").ToDateTime(), date(2024, 2, 29));
    EXPECT_TRUE(Variant("TRUE").ToBool());
    EXPECT_EQ(Variant::Null().ToString(), "");
    EXPECT_EQ(Variant(QByteArray("\xC0", 1)).ToBytes(), QByteArray("\xC0", 1));

    struct ErrorCase {
        std::function<void()> convert;
        const char* message;
    };
    const ErrorCase errors[] = {
        {[] { Variant::Null().ToBool(); },
         "Could not convert variant of type (Null) into type (Boolean)"},
        {[] { Variant().ToInt(); }, "Could not convert variant of type (Empty) into type (Int64)"},
        {[] { Variant(int64_t(1) << 40).ToInt(); },
         "Could not convert variant of type (Int64) into type (Integer)"},
        {[] { Variant("abc").ToDouble(); }, "'abc' is not a valid floating point value"},
        {[] { Variant("abc").ToDateTime(); }, "'abc' is not a valid date and time"},
        {[] { Variant("maybe").ToBool(); }, "'maybe' is not a valid boolean value"},
    };
    for (const ErrorCase& e : errors) {
        try {
            e.convert();
            ADD_FAILURE() << e.message;
        } catch (const Exception& ex) {
            EXPECT_EQ(ex.Message(), e.message);
        }
    }
}

TEST(Params, TypedSettersNullAndLookup) {
    TParams params;
    params.CreateParam(ftUnknown, "Id");
    params.CreateParam(ftUnknown, "Name");
    EXPECT_TRUE(params[0].IsNull());
    EXPECT_FALSE(params[0].Bound);
    params.ParamByName("id").SetAsInteger(5);
    EXPECT_EQ(params[0].DataType, ftInteger);
    EXPECT_TRUE(params[0].Bound);
    params[1].SetAsString("x");
    params[1].Clear();
    EXPECT_TRUE(params[1].IsNull());
    EXPECT_EQ(params[1].AsString(), "");
    const TParams copy = params;
    EXPECT_EQ(copy[0].AsInteger(), 5);
    try {
        params.ParamByName("Missing");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Parameter 'Missing' not found");
    }
}

}  // namespace
