// Query request: marker scanning and the packed request.
#include "dataclient/UZRequest.h"

#include "dataclient/UZMemTable.h"

#include "platform/ConvertError.h"
#include "platform/Cp1251.h"
#include "platform/DataSet.h"
#include "platform/DateTime.h"

#include <QUuid>
#include <cstring>

namespace dataclient {

using namespace platform;

namespace {

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// The parameter whose value a marker sends: the first of its name, so that repeated markers of
// one name share a value.
const TParam& valueSource(const TParams& params, int index) {
    const TParam& p = params[index];
    const TParam* first = params.FindParam(p.Name);
    return first ? *first : p;
}

[[noreturn]] void raise(const QString& text) {
    throw EDatabaseError(QStringLiteral("TZTable.InnerSQLProcess: ") + text);
}

QByteArray textValue(const Variant& v) {
    return v.Type() == VarType::Bytes ? v.ToBytes() : toCp1251(v.ToString());
}

// The bytes of an ftBytes value: a byte string or a one-dimensional array of numbers.
QByteArray bytesValue(const Variant& v) {
    if (v.Type() == VarType::Bytes)
        return v.ToBytes();
    if (!v.IsArray())
        raise(QStringLiteral("Bad Variant type of SQL parametr"));
    QByteArray out;
    out.reserve(v.Items().size());
    for (const Variant& item : v.Items()) {
        if (item.IsArray())
            raise(QStringLiteral("Bad dimension VarArray type of SQL parametr"));
        if (!item.IsOrdinal())
            raise(QStringLiteral("Bad Variant type of SQL parametr"));
        out.append(char(uint8_t(item.ToInt())));
    }
    return out;
}

void guidValue(const Variant& v, uint8_t* out) {
    std::memset(out, 0, 16);
    const QString text = v.ToString();
    if (text.isEmpty())
        return;
    const QUuid uuid = QUuid::fromString(text);
    if (uuid.isNull() && text.trimmed() != QStringLiteral("{00000000-0000-0000-0000-000000000000}"))
        throw EConvertError(QStringLiteral("'%1' is not a valid GUID value").arg(text));
    std::memcpy(out, &uuid.data1, 4);
    std::memcpy(out + 4, &uuid.data2, 2);
    std::memcpy(out + 6, &uuid.data3, 2);
    std::memcpy(out + 8, uuid.data4, 8);
}

// One parameter's wire bytes after its type code; variable-length values are converted once
// here so that the total size is known before the buffer is allocated.
QByteArray encodeValue(int type, const Variant& v) {
    QByteArray out;
    auto fixed = [&out](const auto& x) {
        out.resize(sizeof x);
        std::memcpy(out.data(), &x, sizeof x);
    };
    auto counted = [&out](const QByteArray& bytes) {
        const int32_t n = int32_t(bytes.size());
        out.resize(4 + bytes.size());
        std::memcpy(out.data(), &n, 4);
        std::memcpy(out.data() + 4, bytes.constData(), size_t(bytes.size()));
    };
    switch (type) {
        case ftString:
        case ftBlob:
        case ftMemo:
        case ftGraphic:
            counted(textValue(v));
            break;
        case ftSmallint:
        case ftWord:
            fixed(int16_t(v.ToInt()));
            break;
        case ftBoolean:
            fixed(int16_t(v.ToBool() ? 1 : 0));
            break;
        case ftInteger:
        case ftAutoInc:
            fixed(int32_t(v.ToInt()));
            break;
        case ftFloat:
        case ftCurrency:
            fixed(v.ToDouble());
            break;
        case ftDate:
            fixed(int32_t(DateTimeToTimeStamp(v.ToDateTime()).Date));
            break;
        case ftTime:
            fixed(int32_t(DateTimeToTimeStamp(v.ToDateTime()).Time));
            break;
        case ftDateTime:
            fixed(DateTimeToMSecs(v.ToDateTime()));
            break;
        case ftLargeint:
            fixed(int64_t(v.ToInt64()));
            break;
        case ftGuid:
            out.resize(16);
            guidValue(v, reinterpret_cast<uint8_t*>(out.data()));
            break;
        case ftBytes:
            counted(bytesValue(v));
            break;
        default:
            raise(QStringLiteral("Неподдерживаемый тип параметра ") + FieldTypeName(type));
    }
    return out;
}

}  // namespace

QList<SQLMarker> FindSQLMarkers(const QString& sql) {
    QList<SQLMarker> markers;
    QChar quote;  // the open literal's quote, or null outside literals
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u':') {
            if (i + 1 < n && sql[i + 1] == u':') {
                ++i;  // "::" is a literal colon pair, as in casts
                continue;
            }
            qsizetype end = i + 1;
            while (end < n && isNameChar(sql[end]))
                ++end;
            if (end > i + 1)
                markers.append({i, end - i, sql.mid(i + 1, end - i - 1)});
            i = end - 1;
        }
    }
    return markers;
}

void ParseSQLParams(const QString& sql, TParams& params) {
    params.Clear();
    for (const SQLMarker& m : FindSQLMarkers(sql))
        params.CreateParam(ftUnknown, m.Name);
}

QByteArray SQLText(const QStringList& lines) {
    QByteArray text;
    for (const QString& line : lines) {
        text += toCp1251(line);
        text += "\r\n";
    }
    return text;
}

QByteArray BuildQueryRequest(const QStringList& lines, const TParams& params) {
    const QByteArray text = SQLText(lines);
    // Values first: an unsupported parameter raises before anything is built.
    std::vector<QByteArray> values(size_t(params.Count()));
    qsizetype size = 4 + text.size() + params.Count();
    for (int i = 0; i < params.Count(); ++i) {
        const TParam& p = valueSource(params, i);
        if (p.IsNull())
            continue;
        values[size_t(i)] = encodeValue(p.DataType, p.Value());
        size += values[size_t(i)].size();
    }
    QByteArray request(size, Qt::Uninitialized);
    char* out = request.data();
    const int32_t textLength = int32_t(text.size());
    std::memcpy(out, &textLength, 4);
    out += 4;
    std::memcpy(out, text.constData(), size_t(text.size()));
    out += text.size();
    for (int i = 0; i < params.Count(); ++i) {
        const TParam& p = valueSource(params, i);
        const bool null = p.IsNull();
        *out++ = char(uint8_t(p.DataType) + (null ? 128 : 0));
        const QByteArray& v = values[size_t(i)];
        std::memcpy(out, v.constData(), size_t(v.size()));
        out += v.size();
    }
    return request;
}

}  // namespace dataclient
