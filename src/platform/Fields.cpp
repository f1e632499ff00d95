// Field classes; see Fields.h.
#include "platform/Fields.h"

#include "platform/Cp1251.h"
#include "platform/DataSet.h"

#include <QUuid>
#include <cmath>
#include <cstring>
#include <vector>

namespace platform {

namespace {

const char* const TypeNames[FieldTypeCount] = {
    "ftUnknown",    "ftString",     "ftSmallint", "ftInteger",     "ftWord",      "ftBoolean",
    "ftFloat",      "ftCurrency",   "ftBCD",      "ftDate",        "ftTime",      "ftDateTime",
    "ftBytes",      "ftVarBytes",   "ftAutoInc",  "ftBlob",        "ftMemo",      "ftGraphic",
    "ftFmtMemo",    "ftParadoxOle", "ftDBaseOle", "ftTypedBinary", "ftCursor",    "ftFixedChar",
    "ftWideString", "ftLargeint",   "ftADT",      "ftArray",       "ftReference", "ftDataSet",
    "ftOraBlob",    "ftOraClob",    "ftVariant",  "ftInterface",   "ftIDispatch", "ftGuid",
    "ftTimeStamp",  "ftFMTBcd"};

}  // namespace

QString FieldTypeName(int code) {
    if (code < 0 || code >= FieldTypeCount)
        return QString::number(code);
    return QString::fromLatin1(TypeNames[code]);
}

int FieldTypeFromName(const QString& name) {
    for (int i = 0; i < FieldTypeCount; ++i)
        if (name.compare(QLatin1String(TypeNames[i]), Qt::CaseInsensitive) == 0)
            return i;
    bool ok = false;
    const int code = name.toInt(&ok);
    return ok && code >= 0 && code < 256 ? code : -1;
}

TFieldDef& TFieldDefs::Add(const QString& name, TFieldType type, int size, bool required) {
    TFieldDef def;
    def.Name = name;
    def.DataType = type;
    def.Size = size;
    def.Required = required;
    def.FieldNo = int(FItems.size()) + 1;
    FItems.push_back(def);
    return FItems.back();
}

int TFieldDefs::IndexOf(const QString& name) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

TField::TField(QObject* owner, TFieldType type, int size)
    : QObject(owner), FDataType(type), FSize(size) {}

TField::~TField() {
    SetDataSet(nullptr);
}

void TField::SetDataSet(TDataSet* dataSet) {
    if (dataSet == FDataSet)
        return;
    if (FDataSet)
        FDataSet->removeField(this);
    FDataSet = nullptr;
    if (dataSet)
        dataSet->addField(this);
}

int TField::DataSize() const {
    switch (FDataType) {
        case ftSmallint:
        case ftWord:
        case ftBoolean:
            return 2;
        case ftInteger:
        case ftAutoInc:
        case ftDate:
        case ftTime:
            return 4;
        case ftFloat:
        case ftCurrency:
        case ftDateTime:
        case ftLargeint:
            return 8;
        default:
            return 0;
    }
}

bool TField::GetData(void* buffer) const {
    if (!FDataSet)
        DatabaseError("Field '" + FieldName + "' has no dataset", this);
    return FDataSet->GetFieldData(const_cast<TField*>(this), buffer);
}

void TField::SetData(const void* buffer) {
    if (!FDataSet)
        DatabaseError("Field '" + FieldName + "' has no dataset", this);
    switch (FDataSet->State()) {
        case dsEdit:
        case dsInsert:
        case dsSetKey:
        case dsCalcFields:
        case dsFilter:
            break;
        default:
            DatabaseError("Dataset not in edit or insert mode", FDataSet);
    }
    FDataSet->SetFieldData(this, buffer);
}

QString TField::AsString() const {
    return Value().ToString();
}

int32_t TField::AsInteger() const {
    const Variant v = Value();
    return v.IsNull() ? 0 : v.ToInt();
}

int64_t TField::AsLargeInt() const {
    const Variant v = Value();
    return v.IsNull() ? 0 : v.ToInt64();
}

double TField::AsFloat() const {
    const Variant v = Value();
    return v.IsNull() ? 0 : v.ToDouble();
}

TDateTime TField::AsDateTime() const {
    const Variant v = Value();
    return v.IsNull() ? 0 : v.ToDateTime();
}

bool TField::AsBoolean() const {
    const Variant v = Value();
    return v.IsNull() ? false : v.ToBool();
}

// --- strings and GUIDs

Variant TStringField::Value() const {
    std::vector<char> buf(size_t(DataSize()) + 1, '\0');
    if (!GetData(buf.data()))
        return Variant::Null();
    return fromCp1251(QByteArray(buf.data()));
}

QString TStringField::AsString() const {
    return Value().ToString();
}

void TStringField::SetValue(const Variant& value) {
    if (value.IsNullOrEmpty()) {
        SetData(nullptr);
        return;
    }
    QByteArray bytes = toCp1251(value.ToString());
    if (DataType() == ftGuid && !bytes.isEmpty() &&
        QUuid::fromString(QString::fromLatin1(bytes)).isNull())
        throw EConvertError("'" + value.ToString() + "' is not a valid GUID value");
    bytes.truncate(Size());
    bytes.append('\0');
    SetData(bytes.constData());
}

// --- integers

Variant TIntegerFieldBase::Value() const {
    switch (DataType()) {
        case ftSmallint: {
            int16_t v;
            return readNative(&v) ? Variant(int(v)) : Variant::Null();
        }
        case ftWord: {
            uint16_t v;
            return readNative(&v) ? Variant(v) : Variant::Null();
        }
        case ftLargeint: {
            int64_t v;
            return readNative(&v) ? Variant(v) : Variant::Null();
        }
        default: {
            int32_t v;
            return readNative(&v) ? Variant(int(v)) : Variant::Null();
        }
    }
}

void TIntegerFieldBase::SetValue(const Variant& value) {
    if (value.IsNullOrEmpty()) {
        SetData(nullptr);
        return;
    }
    const int64_t v = value.ToInt64();
    auto outOfRange = [&] {
        throw EConvertError(QString::number(v) + " is not a valid value for field '" + FieldName +
                            "'");
    };
    switch (DataType()) {
        case ftSmallint: {
            if (v < INT16_MIN || v > INT16_MAX)
                outOfRange();
            const int16_t n = int16_t(v);
            SetData(&n);
            break;
        }
        case ftWord: {
            if (v < 0 || v > UINT16_MAX)
                outOfRange();
            const uint16_t n = uint16_t(v);
            SetData(&n);
            break;
        }
        case ftLargeint:
            SetData(&v);
            break;
        default: {
            if (v < INT32_MIN || v > INT32_MAX)
                outOfRange();
            const int32_t n = int32_t(v);
            SetData(&n);
            break;
        }
    }
}

// --- boolean, float, date-time

Variant TBooleanField::Value() const {
    int16_t v;
    return readNative(&v) ? Variant(v != 0) : Variant::Null();
}

void TBooleanField::SetValue(const Variant& value) {
    if (value.IsNullOrEmpty()) {
        SetData(nullptr);
        return;
    }
    const int16_t v = value.ToBool() ? 1 : 0;
    SetData(&v);
}

Variant TFloatField::Value() const {
    double v;
    if (!readNative(&v))
        return Variant::Null();
    return DataType() == ftCurrency ? Variant::FromCurrency(v) : Variant(v);
}

void TFloatField::SetValue(const Variant& value) {
    if (value.IsNullOrEmpty()) {
        SetData(nullptr);
        return;
    }
    const double v = DataType() == ftCurrency ? value.ToCurrency() : value.ToDouble();
    SetData(&v);
}

Variant TDateTimeField::Value() const {
    switch (DataType()) {
        case ftDate: {
            int32_t day;
            return readNative(&day) ? Variant::FromDateTime(TimeStampToDateTime({day, 0}))
                                    : Variant::Null();
        }
        case ftTime: {
            int32_t ms;
            return readNative(&ms) ? Variant::FromDateTime(double(ms) / MSecsPerDay)
                                   : Variant::Null();
        }
        default: {
            double ms;
            return readNative(&ms) ? Variant::FromDateTime(MSecsToDateTime(ms)) : Variant::Null();
        }
    }
}

void TDateTimeField::SetValue(const Variant& value) {
    if (value.IsNullOrEmpty()) {
        SetData(nullptr);
        return;
    }
    const TDateTime dt = value.ToDateTime();
    const TTimeStamp ts = DateTimeToTimeStamp(dt);
    switch (DataType()) {
        case ftDate:
            SetData(&ts.Date);
            break;
        case ftTime:
            SetData(&ts.Time);
            break;
        default: {
            const double ms = DateTimeToMSecs(dt);
            SetData(&ms);
            break;
        }
    }
}

// --- bytes and blobs

Variant TVarBytesField::Value() const {
    std::vector<char> buf(size_t(DataSize()), '\0');
    if (!GetData(buf.data()))
        return Variant::Null();
    uint16_t len;
    std::memcpy(&len, buf.data(), 2);
    return QByteArray(buf.data() + 2, std::min<int>(len, Size()));
}

void TVarBytesField::SetValue(const Variant& value) {
    if (value.IsNullOrEmpty()) {
        SetData(nullptr);
        return;
    }
    QByteArray bytes = value.ToBytes();
    bytes.truncate(Size());
    std::vector<char> buf(size_t(bytes.size()) + 2);
    const uint16_t len = uint16_t(bytes.size());
    std::memcpy(buf.data(), &len, 2);
    std::memcpy(buf.data() + 2, bytes.constData(), size_t(bytes.size()));
    SetData(buf.data());
}

QByteArray TBlobField::AsBytes() const {
    if (!DataSet())
        DatabaseError("Field '" + FieldName + "' has no dataset", this);
    auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
    return stream ? stream->ReadAll() : QByteArray();
}

void TBlobField::SetAsBytes(const QByteArray& bytes) {
    if (!DataSet())
        DatabaseError("Field '" + FieldName + "' has no dataset", this);
    auto stream = DataSet()->CreateBlobStream(this, bmWrite);
    if (stream && !bytes.isEmpty())
        stream->WriteBytes(bytes);
}

Variant TBlobField::Value() const {
    if (IsNull())
        return Variant::Null();
    return AsBytes();
}

Variant TMemoField::Value() const {
    if (IsNull())
        return Variant::Null();
    return fromCp1251(AsBytes());
}

void TBlobField::SetValue(const Variant& value) {
    if (value.IsNullOrEmpty())
        SetAsBytes({});
    else if (value.Type() == VarType::Bytes)
        SetAsBytes(value.ToBytes());
    else
        SetAsBytes(toCp1251(value.ToString()));
}

TField* CreateFieldOfType(TFieldType type, QObject* owner, int size) {
    switch (type) {
        case ftString:
            return new TStringField(owner, size);
        case ftSmallint:
            return new TSmallintField(owner);
        case ftInteger:
            return new TIntegerField(owner);
        case ftWord:
            return new TWordField(owner);
        case ftBoolean:
            return new TBooleanField(owner);
        case ftFloat:
            return new TFloatField(owner);
        case ftCurrency:
            return new TCurrencyField(owner);
        case ftDate:
            return new TDateField(owner);
        case ftTime:
            return new TTimeField(owner);
        case ftDateTime:
            return new TDateTimeField(owner);
        case ftVarBytes:
            return new TVarBytesField(owner, size);
        case ftAutoInc:
            return new TAutoIncField(owner);
        case ftBlob:
            return new TBlobField(owner);
        case ftMemo:
            return new TMemoField(owner);
        case ftGraphic:
            return new TGraphicField(owner);
        case ftLargeint:
            return new TLargeintField(owner);
        case ftGuid:
            return new TGuidField(owner);
        default:
            return nullptr;
    }
}

}  // namespace platform
