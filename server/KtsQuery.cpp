// Query execution on SQLite: request decoding, binding, column typing, row-stream encoding.
#include "KtsQuery.h"

#include "KtsSqlTranslate.h"
#include "dataclient/UZPacket.h"
#include "dataclient/UZRequest.h"
#include "dataclient/UZRowDecoder.h"
#include "platform/Cp1251.h"
#include "platform/DateTime.h"
#include "platform/Fields.h"

#include <sqlite3.h>
#include <QRegularExpression>
#include <QUuid>

#include <algorithm>
#include <cstring>
#include <optional>

namespace ktsd {

using namespace platform;
using dataclient::encodeErrorRecord;

namespace {

// A parameter value as SQLite binds it.
struct Bound {
    enum Kind { Null, Int, Double, Text, Blob } kind = Null;
    int64_t i = 0;
    double d = 0;
    QByteArray bytes;  // UTF-8 text or blob bytes
};

class Reader {
public:
    explicit Reader(const QByteArray& b) : FData(b) {}
    bool take(void* out, qsizetype n) {
        if (n < 0 || FData.size() - FPos < n)
            return false;
        std::memcpy(out, FData.constData() + FPos, size_t(n));
        FPos += n;
        return true;
    }
    bool bytes(QByteArray& out, qsizetype n) {
        if (n < 0 || FData.size() - FPos < n)
            return false;
        out = FData.mid(FPos, n);
        FPos += n;
        return true;
    }
    bool atEnd() const { return FPos == FData.size(); }

private:
    const QByteArray& FData;
    qsizetype FPos = 0;
};

QString dateTimeText(TDateTime value, bool date, bool time) {
    const QDateTime dt = DateTimeToQDateTime(value);
    QString out;
    if (date)
        out = dt.date().toString(QStringLiteral("yyyy-MM-dd"));
    if (time) {
        if (date)
            out += u' ';
        out += dt.time().toString(dt.time().msec() ? QStringLiteral("HH:mm:ss.zzz")
                                                   : QStringLiteral("HH:mm:ss"));
    }
    return out;
}

// One parameter from the request; false when the request is malformed or the type unknown.
bool readParam(Reader& r, Bound& out, QString* error) {
    uint8_t code = 0;
    if (!r.take(&code, 1))
        return false;
    if (code >= 128)
        return true;  // null
    auto fixed = [&r](auto& x) { return r.take(&x, sizeof x); };
    auto text = [&](bool blob) {
        int32_t n = 0;
        QByteArray b;
        if (!fixed(n) || !r.bytes(b, n))
            return false;
        out.kind = blob ? Bound::Blob : Bound::Text;
        out.bytes = blob ? b : fromCp1251(b).toUtf8();
        return true;
    };
    auto integer = [&](auto x) {
        if (!fixed(x))
            return false;
        out.kind = Bound::Int;
        out.i = int64_t(x);
        return true;
    };
    auto when = [&](TDateTime value, bool date, bool time) {
        out.kind = Bound::Text;
        out.bytes = dateTimeText(value, date, time).toUtf8();
        return true;
    };
    switch (code) {
        case ftString:
        case ftMemo:
            return text(false);
        case ftBlob:
        case ftGraphic:
        case ftBytes:
            return text(true);
        case ftSmallint:
            return integer(int16_t());
        case ftWord:
            return integer(uint16_t());
        case ftBoolean: {
            int16_t b = 0;
            if (!fixed(b))
                return false;
            out.kind = Bound::Int;
            out.i = b != 0;
            return true;
        }
        case ftInteger:
        case ftAutoInc:
            return integer(int32_t());
        case ftLargeint:
            return integer(int64_t());
        case ftFloat:
        case ftCurrency:
            out.kind = Bound::Double;
            return fixed(out.d);
        case ftDate: {
            int32_t day = 0;
            return fixed(day) && when(TimeStampToDateTime({day, 0}), true, false);
        }
        case ftTime: {
            int32_t ms = 0;
            return fixed(ms) && when(TimeStampToDateTime({DateDelta, ms}), false, true);
        }
        case ftDateTime: {
            double ms = 0;
            return fixed(ms) && when(MSecsToDateTime(ms), true, true);
        }
        case ftGuid: {
            uint8_t g[16];
            if (!r.take(g, 16))
                return false;
            QUuid u;
            std::memcpy(&u.data1, g, 4);
            std::memcpy(&u.data2, g + 4, 2);
            std::memcpy(&u.data3, g + 6, 2);
            std::memcpy(u.data4, g + 8, 8);
            out.kind = Bound::Text;
            out.bytes = u.toString(QUuid::WithBraces).toUpper().toUtf8();
            return true;
        }
        default:
            *error = QStringLiteral("unsupported parameter type %1").arg(code);
            return false;
    }
}

ReplyPart errorReply(const QString& text) {
    return {-1, encodeErrorRecord(text)};
}

// Markers become numbered placeholders ?1, ?2 ... so that every marker takes its own value even
// where names repeat, in the order the client sent them.
QString numberMarkers(const QString& sql) {
    QString out;
    qsizetype at = 0;
    int n = 0;
    for (const dataclient::SQLMarker& m : dataclient::FindSQLMarkers(sql)) {
        out += sql.mid(at, m.Position - at);
        out += QStringLiteral("?%1").arg(++n);
        at = m.Position + m.Length;
    }
    return out + sql.mid(at);
}

struct Column {
    ColumnType type;
    QByteArray name;       // code page 1251
    bool unsized = false;  // text without a declared size: sent with its longest value's size
};

QByteArray headerPayload(const std::vector<Column>& columns) {
    QByteArray head;
    const int32_t n = int32_t(columns.size());
    head.append(reinterpret_cast<const char*>(&n), 4);
    for (const Column& c : columns) {
        head += char(c.type.type);
        head.append(reinterpret_cast<const char*>(&c.type.size), 4);
        head += char(c.name.size());
        head += c.name;
    }
    return head;
}

ColumnType valueColumnType(sqlite3_stmt* stmt, int k, bool haveRow) {
    switch (haveRow ? sqlite3_column_type(stmt, k) : SQLITE_NULL) {
        case SQLITE_INTEGER: {
            const int64_t v = sqlite3_column_int64(stmt, k);
            return {uint8_t(v == int32_t(v) ? ftInteger : ftLargeint), 0};
        }
        case SQLITE_FLOAT:
            return {ftFloat, 0};
        case SQLITE_BLOB:
            return {ftBlob, 0};
        default:
            return {ftString, 0};
    }
}

// The row stream being built. Every value of every row passes through here, so appending is a
// bounds check and a copy, without QByteArray's per-call cost; full packets are taken off the
// front.
class RowBuffer {
public:
    qsizetype size() const { return FSize; }
    // n more bytes at the end, returned as an offset (the storage may move as it grows).
    qsizetype grow(qsizetype n) {
        if (size_t(FSize + n) > FData.size())
            FData.resize(std::max(FData.size() * 2, size_t(FSize + n)));
        const qsizetype at = FSize;
        FSize += n;
        return at;
    }
    void append(const void* bytes, qsizetype n) {
        const qsizetype at = grow(n);
        std::memcpy(FData.data() + at, bytes, size_t(n));
    }
    char* at(qsizetype offset) { return FData.data() + offset; }
    void truncate(qsizetype n) { FSize = std::min(FSize, n); }
    // The first n bytes (at most all) as a packet payload; the rest moves to the front.
    QByteArray take(qsizetype n) {
        n = std::min(n, FSize);
        QByteArray out(FData.data(), n);
        std::memmove(FData.data(), FData.data() + n, size_t(FSize - n));
        FSize -= n;
        return out;
    }

private:
    std::vector<char> FData = std::vector<char>(size_t(1) << 17);
    qsizetype FSize = 0;
};

template <typename T>
void put(RowBuffer& out, T v) {
    out.append(&v, sizeof v);
}

// Windows-1251 bytes of every code point of the basic plane, as the codec gives them.
const std::vector<uint8_t>& cp1251Bytes() {
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(0x10000, uint8_t('?'));
        for (char32_t c = 0; c < 0x10000; ++c)
            if (c < 0xD800 || c > 0xDFFF)
                t[c] = uint8_t(toCp1251(QString(QChar(char16_t(c)))).at(0));
        return t;
    }();
    return table;
}

// Appends the length-prefixed Windows-1251 form of UTF-8 text. Text is converted byte by byte
// through the table; what the table cannot take (malformed, outside the basic plane) goes through
// the codec, which gives the same bytes for everything else.
void appendCp1251(RowBuffer& out, const char* utf8, int n) {
    // Every character takes at least one byte of UTF-8 and exactly one of Windows-1251.
    const qsizetype lengthAt = out.grow(4 + n);
    char* to = out.at(lengthAt + 4);
    const auto* p = reinterpret_cast<const uint8_t*>(utf8);
    const auto* end = p + n;
    const std::vector<uint8_t>& table = cp1251Bytes();
    while (p < end) {
        char32_t c = *p;
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : -1;
        if (extra < 0 || end - p <= extra)
            break;
        if (extra)
            c &= extra == 1 ? 0x1F : 0x0F;
        bool ok = true;
        for (int i = 1; i <= extra; ++i) {
            ok = ok && (p[i] & 0xC0) == 0x80;
            c = (c << 6) | (p[i] & 0x3F);
        }
        if (!ok || (extra == 1 && c < 0x80) ||
            (extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))))
            break;
        *to++ = char(table[c]);
        p += 1 + extra;
    }
    int32_t length = int32_t(to - out.at(lengthAt + 4));
    out.truncate(lengthAt + 4 + length);
    if (p < end) {
        out.truncate(lengthAt + 4);
        const QByteArray b = toCp1251(QString::fromUtf8(utf8, n));
        out.append(b.constData(), b.size());
        length = int32_t(b.size());
    }
    std::memcpy(out.at(lengthAt), &length, 4);
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" and "YYYY-MM-DD HH:MM:SS.zzz", the forms dates are kept in,
// read without building a QDateTime; anything else is left to the general reading.
std::optional<TTimeStamp> plainTimeStamp(const char* p, int n) {
    if (n != 10 && n != 19 && n != 23)
        return std::nullopt;
    bool ok = true;
    auto number = [&](int at, int count) {
        int v = 0;
        for (int i = at; i < at + count; ++i) {
            ok = ok && p[i] >= '0' && p[i] <= '9';
            v = v * 10 + (p[i] - '0');
        }
        return v;
    };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    ok = ok && p[4] == '-' && p[7] == '-' && year >= 1 && month >= 1 && month <= 12 && day >= 1;
    int hour = 0, minute = 0, second = 0, msec = 0;
    if (n >= 19) {
        hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
        ok = ok && (p[10] == ' ' || p[10] == 'T') && p[13] == ':' && p[16] == ':' && hour < 24 &&
             minute < 60 && second < 60;
    }
    if (n == 23) {
        msec = number(20, 3);
        ok = ok && p[19] == '.';
    }
    if (!ok)
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kDays[month - 1] + (month == 2 && leap))
        return std::nullopt;
    // Days since 1970-01-01 (civil calendar), then the day number counted from 0001-01-01 = 1.
    const int y = year - (month <= 2);
    const int era = y / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    constexpr int kUnixDay = 719163;  // day number of 1970-01-01
    const int32_t date = int32_t(era * 146097 + doe - 719468 + kUnixDay);
    return TTimeStamp{date, int32_t(((hour * 60 + minute) * 60 + second) * 1000 + msec)};
}

std::optional<QDateTime> columnDateTime(sqlite3_stmt* stmt, int k) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, k)));
    QDateTime dt = QDateTime::fromString(QString(text).replace(u' ', u'T'), Qt::ISODateWithMs);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        const QTime t = QTime::fromString(text, Qt::ISODateWithMs);
        if (d.isValid())
            dt = QDateTime(d, QTime(0, 0));
        else if (t.isValid())
            dt = QDateTime(QDate(1899, 12, 30), t);
    }
    if (!dt.isValid())
        return std::nullopt;
    return dt;
}

// The column's value in its slot form (length-prefixed for text and blobs); false for null or a
// value that does not read as the column's type.
bool encodeValue(RowBuffer& out, sqlite3_stmt* stmt, int k, uint8_t type) {
    if (sqlite3_column_type(stmt, k) == SQLITE_NULL)
        return false;
    switch (type) {
        case ftString: {
            // The text first, then its length in bytes, as SQLite asks.
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, k));
            appendCp1251(out, text, sqlite3_column_bytes(stmt, k));
            return true;
        }
        case ftBlob: {
            const void* p = sqlite3_column_blob(stmt, k);
            const int n = sqlite3_column_bytes(stmt, k);
            put(out, int32_t(n));
            out.append(p, n);
            return true;
        }
        case ftSmallint:
            put(out, int16_t(sqlite3_column_int(stmt, k)));
            return true;
        case ftBoolean:
            put(out, int16_t(sqlite3_column_int64(stmt, k) != 0));
            return true;
        case ftInteger:
            put(out, int32_t(sqlite3_column_int64(stmt, k)));
            return true;
        case ftLargeint:
            put(out, int64_t(sqlite3_column_int64(stmt, k)));
            return true;
        case ftFloat:
        case ftCurrency:
            put(out, sqlite3_column_double(stmt, k));
            return true;
        case ftDate:
        case ftTime:
        case ftDateTime: {
            std::optional<TTimeStamp> stamp;
            if (sqlite3_column_type(stmt, k) == SQLITE_TEXT) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, k));
                stamp = plainTimeStamp(text, sqlite3_column_bytes(stmt, k));
            }
            if (!stamp) {
                const auto dt = columnDateTime(stmt, k);
                if (!dt)
                    return false;
                stamp = DateTimeToTimeStamp(QDateTimeToDateTime(*dt));
            }
            const TTimeStamp ts = *stamp;
            if (type == ftDate)
                put(out, ts.Date);
            else if (type == ftTime)
                put(out, ts.Time);
            else
                put(out, double(ts.Date) * MSecsPerDay + ts.Time);
            return true;
        }
        case ftGuid: {
            const QUuid u = QUuid::fromString(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, k))));
            put(out, u.data1);
            put(out, u.data2);
            put(out, u.data3);
            out.append(u.data4, 8);
            return true;
        }
        default:
            return false;
    }
}

// Steps the statement to its end, producing 133 and the 134 packets.
std::vector<ReplyPart> resultReplies(sqlite3* db, sqlite3_stmt* stmt, const QueryOptions& options,
                                     const ReplySink* sink) {
    int rc = sqlite3_step(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return {errorReply(QString::fromUtf8(sqlite3_errmsg(db)))};
    const int n = sqlite3_column_count(stmt);
    std::vector<Column> columns(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) {
        Column& c = columns[size_t(k)];
        const char* decl = sqlite3_column_decltype(stmt, k);
        c.type = declaredColumnType(QString::fromUtf8(decl ? decl : ""));
        if (c.type.type == 0)
            c.type = valueColumnType(stmt, k, rc == SQLITE_ROW);
        c.unsized = c.type.type == ftString && c.type.size == 0;
        c.name = toCp1251(QString::fromUtf8(sqlite3_column_name(stmt, k))).left(255);
    }
    // The header can lead only when no size depends on the rows still to come.
    const bool streaming =
        sink && !options.rowsOutOfOrder && !options.cutRow &&
        std::none_of(columns.begin(), columns.end(), [](const Column& c) { return c.unsized; });
    std::vector<ReplyPart> out;
    bool alive = true;
    auto deliver = [&](ReplyPart part) {
        if (streaming)
            alive = alive && (*sink)(std::move(part));
        else
            out.push_back(std::move(part));
    };
    // Without streaming the header is written once the sizes are known.
    deliver({dataclient::wire::kResultHeader, streaming ? headerPayload(columns) : QByteArray()});
    const int packetSize = std::max(1, options.rowPacketSize);
    RowBuffer stream;
    qsizetype lastRow = 0;
    int32_t sequence = 0;
    auto flush = [&](bool final) {
        deliver({dataclient::wire::kResultRows, stream.take(packetSize), ++sequence, final});
    };
    const int bitmapSize = (n + 7) / 8;
    while (rc == SQLITE_ROW && alive) {
        const qsizetype start = stream.grow(bitmapSize);
        std::memset(stream.at(start), 0, size_t(bitmapSize));
        for (int k = 0; k < n; ++k) {
            Column& c = columns[size_t(k)];
            const qsizetype before = stream.size();
            if (!encodeValue(stream, stmt, k, c.type.type))
                continue;
            *stream.at(start + k / 8) |= char(1u << (k % 8));
            if (c.unsized)
                c.type.size = std::clamp(int32_t(stream.size() - before - 4), c.type.size,
                                         dataclient::kMaxDeclaredSize);
        }
        lastRow = stream.size() - start;
        while (stream.size() > packetSize)
            flush(false);
        rc = sqlite3_step(stmt);
    }
    if (!alive)
        return {};
    // Streamed rows already sent are followed by the error, which ends the answer.
    if (rc != SQLITE_DONE)
        return {errorReply(QString::fromUtf8(sqlite3_errmsg(db)))};
    if (options.cutRow && lastRow > 1) {
        // The last row loses its second half (it may already be in an earlier packet: then the
        // cut falls in what is left here, or nothing is cut).
        stream.truncate(stream.size() - std::min<qsizetype>(lastRow / 2, stream.size()));
    }
    flush(true);
    if (streaming)
        return {};
    // A string field shows at most its size, so a column of size 0 would read as empty text.
    for (Column& c : columns)
        if (c.unsized && c.type.size == 0)
            c.type.size = 1;
    out.front().payload = headerPayload(columns);
    if (options.rowsOutOfOrder)
        std::reverse(out.begin(), out.end());
    return out;
}

}  // namespace

ColumnType declaredColumnType(const QString& declaration) {
    static const QRegularExpression re(QStringLiteral(R"(^\s*([A-Za-z]+)\s*(?:\(\s*(\d+))?)"));
    const auto m = re.match(declaration);
    if (!m.hasMatch())
        return {};
    const QString base = m.captured(1).toUpper();
    const int32_t size = m.captured(2).isEmpty() ? 0 : m.captured(2).toInt();
    struct Entry {
        const char* name;
        uint8_t type;
        bool sized;
    };
    static const Entry kTypes[] = {
        {"INTEGER", ftInteger, false},
        {"INT", ftInteger, false},
        {"BIGINT", ftLargeint, false},
        {"SMALLINT", ftSmallint, false},
        {"BIT", ftBoolean, false},
        {"BOOLEAN", ftBoolean, false},
        {"REAL", ftFloat, false},
        {"FLOAT", ftFloat, false},
        {"MONEY", ftCurrency, false},
        {"DATETIME", ftDateTime, false},
        {"DATE", ftDate, false},
        {"TIME", ftTime, false},
        {"VARCHAR", ftString, true},
        {"NVARCHAR", ftString, true},
        {"TEXT", ftString, true},
        {"BLOB", ftBlob, false},
        {"IMAGE", ftBlob, false},
        {"VARBINARY", ftBlob, false},
        {"UNIQUEIDENTIFIER", ftGuid, false},
    };
    // A GUID column is declared with the size of its braced text, as its field expects.
    constexpr int32_t kGuidTextSize = 38;
    for (const Entry& e : kTypes)
        if (base == QLatin1String(e.name))
            return {e.type, e.sized ? size : e.type == ftGuid ? kGuidTextSize : 0};
    return {};
}

std::vector<ReplyPart> runQuery(sqlite3* db, const QByteArray& request, const QueryOptions& options,
                                const ReplySink* sink) {
    Reader r(request);
    int32_t length = 0;
    QByteArray text;
    if (!r.take(&length, 4) || !r.bytes(text, length))
        return {errorReply(QStringLiteral("malformed query request"))};
    const QString sql = fromCp1251(text);
    const QList<dataclient::SQLMarker> markers = dataclient::FindSQLMarkers(sql);
    std::vector<Bound> values(size_t(markers.size()));
    for (Bound& v : values) {
        QString error;
        if (!readParam(r, v, &error))
            return {
                errorReply(error.isEmpty() ? QStringLiteral("malformed query request") : error)};
    }
    const QByteArray utf8 = translateSql(numberMarkers(sql)).toUtf8();
    const char* tail = utf8.constData();
    const char* end = tail + utf8.size();
    while (tail < end) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, tail, int(end - tail), &stmt, &tail) != SQLITE_OK)
            return {errorReply(QString::fromUtf8(sqlite3_errmsg(db)))};
        if (!stmt)
            continue;  // only white space or a comment was left
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);
        for (int i = 1; i <= sqlite3_bind_parameter_count(stmt); ++i) {
            const char* name = sqlite3_bind_parameter_name(stmt, i);
            const int index = name && name[0] == '?' ? std::atoi(name + 1) : 0;
            if (index < 1 || size_t(index) > values.size())
                return {errorReply(QStringLiteral("parameter %1 has no value").arg(i))};
            const Bound& v = values[size_t(index - 1)];
            switch (v.kind) {
                case Bound::Null:
                    sqlite3_bind_null(stmt, i);
                    break;
                case Bound::Int:
                    sqlite3_bind_int64(stmt, i, v.i);
                    break;
                case Bound::Double:
                    sqlite3_bind_double(stmt, i, v.d);
                    break;
                case Bound::Text:
                    sqlite3_bind_text(stmt, i, v.bytes.constData(), int(v.bytes.size()),
                                      SQLITE_TRANSIENT);
                    break;
                case Bound::Blob:
                    sqlite3_bind_blob(stmt, i, v.bytes.constData(), int(v.bytes.size()),
                                      SQLITE_TRANSIENT);
                    break;
            }
        }
        // The first statement with a result set answers; statements before it just run.
        if (sqlite3_column_count(stmt) > 0)
            return resultReplies(db, stmt, options, sink);
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE)
            return {errorReply(QString::fromUtf8(sqlite3_errmsg(db)))};
    }
    return {{dataclient::wire::kNoResultSet, {}}};
}

}  // namespace ktsd
