// The query request on the wire and the parameter list taken from the SQL text: null codes,
// value forms by type, text length with CR LF, refused parameter types, markers inside literals.
#include "TestEnv.h"
#include "dataclient/UZRequest.h"
#include "platform/ConvertError.h"
#include "platform/Cp1251.h"
#include "platform/DataSet.h"
#include "platform/DateTime.h"

#include <gtest/gtest.h>

using namespace dataclient;
using namespace platform;

namespace {

QByteArray le32(int32_t v) {
    return QByteArray(reinterpret_cast<const char*>(&v), 4);
}

// A request for "SELECT 1" (text length 10) followed by the given parameter bytes.
QByteArray withText(const QByteArray& paramBytes) {
    return le32(10) + QByteArray("SELECT 1\r\n") + paramBytes;
}

QByteArray requestFor(const TParam& p) {
    TParams params;
    TParam& q = params.CreateParam(p.DataType, "p");
    q.SetValue(p.Value());
    q.DataType = p.DataType;
    return BuildQueryRequest({"SELECT 1"}, params);
}

template <typename T>
QByteArray raw(T v) {
    return QByteArray(reinterpret_cast<const char*>(&v), sizeof v);
}

TEST(QueryRequest, TextLengthCountsCrLfOfEveryLine) {
    EXPECT_EQ(BuildQueryRequest({"SELECT 1"}, {}), withText({}));
    // Two lines and Cyrillic text in code page 1251, one byte per character.
    const QByteArray two = BuildQueryRequest({"SELECT", "'Иван'"}, {});
    EXPECT_EQ(two, le32(16) + "SELECT\r\n" + toCp1251("'Иван'") + "\r\n");
}

TEST(QueryRequest, NullOfAnyTypeSendsCodePlus128Only) {
    // Unsupported types too: a null value never reaches the type check.
    const TFieldType types[] = {ftString, ftInteger, ftBoolean, ftDateTime,
                                ftGuid,   ftBCD,     ftUnknown};
    for (TFieldType t : types) {
        TParams params;
        params.CreateParam(t, "p");
        EXPECT_EQ(BuildQueryRequest({"SELECT 1"}, params), withText(QByteArray(1, char(t + 128))))
            << int(t);
    }
}

TEST(QueryRequest, ValueFormsByType) {
    TDateTime date = 0, time = 0;
    ASSERT_TRUE(TryEncodeDate(2024, 3, 1, date));
    ASSERT_TRUE(TryEncodeTime(10, 20, 30, 400, time));
    const int32_t day = 738946;  // 2024-03-01 counted from 0001-01-01 = 1
    const int32_t ms = ((10 * 60 + 20) * 60 + 30) * 1000 + 400;
    struct Case {
        const char* what;
        TParam param;
        QByteArray wire;
    };
    auto param = [](TFieldType t, const Variant& v) {
        TParam p("p", t);
        p.SetValue(v);
        return p;
    };
    const Case cases[] = {
        {"boolean true is 16-bit 1", param(ftBoolean, true), "\x05" + raw<int16_t>(1)},
        {"boolean false", param(ftBoolean, false), "\x05" + raw<int16_t>(0)},
        {"smallint", param(ftSmallint, -2), "\x02" + raw<int16_t>(-2)},
        {"word", param(ftWord, 65535), "\x04" + raw<uint16_t>(65535)},
        {"integer", param(ftInteger, -7), "\x03" + raw<int32_t>(-7)},
        {"autoinc", param(ftAutoInc, 9), "\x0E" + raw<int32_t>(9)},
        {"float", param(ftFloat, 2.5), "\x06" + raw<double>(2.5)},
        {"largeint", param(ftLargeint, int64_t(1) << 40), "\x19" + raw<int64_t>(int64_t(1) << 40)},
        {"string in 1251", param(ftString, "Яa"), "\x01" + le32(2) + toCp1251("Яa")},
        {"empty string is length 0", param(ftString, ""), "\x01" + le32(0)},
        {"memo", param(ftMemo, "m"), "\x10" + le32(1) + "m"},
        {"date as day number", param(ftDate, Variant::FromDateTime(date)), "\x09" + raw(day)},
        {"time as milliseconds", param(ftTime, Variant::FromDateTime(time)), "\x0A" + raw(ms)},
        {"date-time", param(ftDateTime, Variant::FromDateTime(date + time)),
         "\x0B" + raw(double(day) * MSecsPerDay + ms)},
        {"empty guid is 16 zero bytes", param(ftGuid, ""), "\x23" + QByteArray(16, '\0')},
        {"guid from text", param(ftGuid, "{04030201-0605-0807-090A-0B0C0D0E0F10}"),
         "\x23" + QByteArray::fromHex("0102030405060708090A0B0C0D0E0F10")},
        {"bytes from a byte string", param(ftBytes, QByteArray("\x00\xFF", 2)),
         "\x0C" + le32(2) + QByteArray("\x00\xFF", 2)},
        {"bytes from an array", param(ftBytes, QList<Variant>{1, 2, 255}),
         "\x0C" + le32(3) + QByteArray("\x01\x02\xFF")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(requestFor(c.param), withText(c.wire)) << c.what;
}

TEST(QueryRequest, RefusedParametersRaiseBeforeBuilding) {
    struct Case {
        TFieldType type;
        Variant value;
        QString text;
    };
    const Case cases[] = {
        {ftBCD, 1, "TZTable.InnerSQLProcess: Неподдерживаемый тип параметра ftBCD"},
        {ftUnknown, 1, "TZTable.InnerSQLProcess: Неподдерживаемый тип параметра ftUnknown"},
        {ftBytes, 5, "TZTable.InnerSQLProcess: Bad Variant type of SQL parametr"},
        {ftBytes, QList<Variant>{QList<Variant>{1}},
         "TZTable.InnerSQLProcess: Bad dimension VarArray type of SQL parametr"},
    };
    for (const Case& c : cases) {
        TParams params;
        params.CreateParam(c.type, "p").SetValue(c.value);
        try {
            BuildQueryRequest({"SELECT 1"}, params);
            ADD_FAILURE() << "no exception for " << c.text.toStdString();
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.text);
        }
    }
    TParams bad;
    bad.CreateParam(ftGuid, "g").SetValue("not a guid");
    EXPECT_THROW(BuildQueryRequest({"SELECT 1"}, bad), EConvertError);
}

TEST(QueryRequest, RepeatedNameSendsTheFirstParametersValueForEveryMarker) {
    TParams params;
    ParseSQLParams("SELECT :a, :b, :a", params);
    params[0].SetAsInteger(5);
    params[1].SetAsBoolean(true);
    const QByteArray expected = le32(19) + "SELECT :a, :b, :a\r\n" + "\x03" + raw<int32_t>(5) +
                                "\x05" + raw<int16_t>(1) + "\x03" + raw<int32_t>(5);
    EXPECT_EQ(BuildQueryRequest({"SELECT :a, :b, :a"}, params), expected);
}

TEST(SQLParams, MarkersOutsideQuotedLiterals) {
    struct Case {
        const char* sql;
        QStringList names;
    };
    const Case cases[] = {
        {"SELECT * FROM t WHERE a = :a AND b = :B1", {"a", "B1"}},
        {"WHERE s = ':x' AND t = \":y\" AND u = :u", {"u"}},
        {"WHERE s = 'it''s :no' AND u = :u", {"u"}},  // a doubled quote stays inside
        {"SELECT a::int, :p FROM t", {"p"}},          // doubled colon is not a marker
        {"WHERE t = : AND x=:x_1", {"x_1"}},          // a bare colon names nothing
        {"WHERE Имя = :Имя AND :a=:a", {"Имя", "a", "a"}},
        {"WHERE a = ':unclosed :x", {}},
    };
    for (const Case& c : cases) {
        TParams params;
        params.CreateParam(ftInteger, "stale");
        ParseSQLParams(QString::fromUtf8(c.sql), params);
        QStringList names;
        for (int i = 0; i < params.Count(); ++i)
            names << params[i].Name;
        EXPECT_EQ(names, c.names) << c.sql;
    }
}

}  // namespace
