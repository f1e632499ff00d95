// Fields of the dataset framework: the field-type codes (their ordinals travel on the wire), field
// definitions, and TField with one subclass per supported type. A field reads and writes its value
// through its dataset's GetFieldData / SetFieldData in the native forms below; AsString, AsInteger
// and the other accessors convert from that.
// Native forms: strings Size + 1 bytes (Windows-1251, zero-terminated); smallint, word, boolean
// 16-bit; integer, autoinc 32-bit; largeint 64-bit; float, currency double; date int32 day number
// (0001-01-01 = 1); time int32 milliseconds; date-time double milliseconds (day * 86400000 + ms);
// var-bytes 16-bit length + Size bytes; GUID 38-character braced text + zero; blobs via streams.
// Lifetime: a field is a QObject owned by its owner (a form, the dataset for default fields); it
// leaves its dataset's field list when destroyed. Thread contract: the dataset's thread.
#pragma once

#include "platform/Variant.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

namespace platform {

class TDataSet;

// Ordinals are the wire's type codes; keep the order.
enum TFieldType : uint8_t {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid,
    ftTimeStamp,
    ftFMTBcd
};
constexpr int FieldTypeCount = ftFMTBcd + 1;

// "ftInteger" for ftInteger (the number as text for a code outside the list), for messages and
// template files; and back, from the name in any letter case or the number; -1 when unknown.
QString FieldTypeName(int code);
int FieldTypeFromName(const QString& name);

enum TFieldKind : uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

struct TFieldDef {
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
    bool Required = false;
    int FieldNo = 0;  // 1-based position
};

class TFieldDefs {
public:
    void Clear() { FItems.clear(); }
    TFieldDef& Add(const QString& name, TFieldType type, int size = 0, bool required = false);
    int Count() const { return int(FItems.size()); }
    const TFieldDef& operator[](int i) const { return FItems[size_t(i)]; }
    // Ignoring case; -1 when absent.
    int IndexOf(const QString& name) const;

private:
    std::vector<TFieldDef> FItems;
};

class TField : public QObject {
public:
    ~TField() override;

    TDataSet* DataSet() const { return FDataSet; }
    // Joins the dataset's field list (leaving the previous one); nullptr leaves.
    void SetDataSet(TDataSet* dataSet);

    QString FieldName;
    bool Required = false;
    TFieldKind FieldKind = fkData;

    TFieldType DataType() const { return FDataType; }
    int Size() const { return FSize; }
    virtual void SetSize(int size) { FSize = size; }
    // Positive for data fields (the field definition's number), 0 or less for calculated ones.
    int FieldNo() const { return FFieldNo; }
    void SetFieldNo(int no) { FFieldNo = no; }
    // Bytes of the native form that GetData fills.
    virtual int DataSize() const;
    virtual bool IsBlob() const { return false; }
    bool Calculated() const { return FieldKind == fkCalculated; }

    // Raw access through the dataset; GetData(nullptr) only tells whether there is a value.
    bool GetData(void* buffer) const;
    // nullptr makes the field null. The dataset must be in a state that allows writing.
    void SetData(const void* buffer);

    bool IsNull() const { return !GetData(nullptr); }
    void Clear() { SetData(nullptr); }

    // Null for a field without a value.
    virtual Variant Value() const = 0;
    virtual void SetValue(const Variant& value) = 0;
    Variant AsVariant() const { return Value(); }
    void SetAsVariant(const Variant& v) { SetValue(v); }

    // Null reads as "", 0, 0.0, false.
    virtual QString AsString() const;
    int32_t AsInteger() const;
    int64_t AsLargeInt() const;
    double AsFloat() const;
    TDateTime AsDateTime() const;
    bool AsBoolean() const;
    void SetAsString(const QString& v) { SetValue(v); }
    void SetAsInteger(int32_t v) { SetValue(int(v)); }
    void SetAsLargeInt(int64_t v) { SetValue(v); }
    void SetAsFloat(double v) { SetValue(v); }
    void SetAsDateTime(TDateTime v) { SetValue(Variant::FromDateTime(v)); }
    void SetAsBoolean(bool v) { SetValue(v); }

protected:
    TField(QObject* owner, TFieldType type, int size = 0);
    // Reads the native form into a local buffer; false when null.
    bool readNative(void* buffer) const { return GetData(buffer); }

private:
    friend class TDataSet;
    TDataSet* FDataSet = nullptr;
    TFieldType FDataType;
    int FSize;
    int FFieldNo = 0;
};

class TStringField : public TField {
public:
    explicit TStringField(QObject* owner = nullptr, int size = 20)
        : TField(owner, ftString, size) {}
    int DataSize() const override { return Size() + 1; }
    Variant Value() const override;
    void SetValue(const Variant& value) override;
    QString AsString() const override;

protected:
    TStringField(QObject* owner, TFieldType type, int size) : TField(owner, type, size) {}
};

class TGuidField : public TStringField {
public:
    explicit TGuidField(QObject* owner = nullptr) : TStringField(owner, ftGuid, 38) {}
};

// All 16-, 32- and 64-bit integer kinds, by type code.
class TIntegerFieldBase : public TField {
public:
    Variant Value() const override;
    void SetValue(const Variant& value) override;

protected:
    using TField::TField;
};

class TSmallintField : public TIntegerFieldBase {
public:
    explicit TSmallintField(QObject* owner = nullptr) : TIntegerFieldBase(owner, ftSmallint) {}
};
class TWordField : public TIntegerFieldBase {
public:
    explicit TWordField(QObject* owner = nullptr) : TIntegerFieldBase(owner, ftWord) {}
};
class TIntegerField : public TIntegerFieldBase {
public:
    explicit TIntegerField(QObject* owner = nullptr) : TIntegerFieldBase(owner, ftInteger) {}

protected:
    TIntegerField(QObject* owner, TFieldType type) : TIntegerFieldBase(owner, type) {}
};
class TAutoIncField : public TIntegerField {
public:
    explicit TAutoIncField(QObject* owner = nullptr) : TIntegerField(owner, ftAutoInc) {}
};
class TLargeintField : public TIntegerFieldBase {
public:
    explicit TLargeintField(QObject* owner = nullptr) : TIntegerFieldBase(owner, ftLargeint) {}
};

class TBooleanField : public TField {
public:
    explicit TBooleanField(QObject* owner = nullptr) : TField(owner, ftBoolean) {}
    Variant Value() const override;
    void SetValue(const Variant& value) override;
};

class TFloatField : public TField {
public:
    explicit TFloatField(QObject* owner = nullptr) : TField(owner, ftFloat) {}
    Variant Value() const override;
    void SetValue(const Variant& value) override;

protected:
    TFloatField(QObject* owner, TFieldType type) : TField(owner, type) {}
};
class TCurrencyField : public TFloatField {
public:
    explicit TCurrencyField(QObject* owner = nullptr) : TFloatField(owner, ftCurrency) {}
};

// ftDate, ftTime and ftDateTime.
class TDateTimeField : public TField {
public:
    explicit TDateTimeField(QObject* owner = nullptr) : TField(owner, ftDateTime) {}
    Variant Value() const override;
    void SetValue(const Variant& value) override;

protected:
    TDateTimeField(QObject* owner, TFieldType type) : TField(owner, type) {}
};
class TDateField : public TDateTimeField {
public:
    explicit TDateField(QObject* owner = nullptr) : TDateTimeField(owner, ftDate) {}
};
class TTimeField : public TDateTimeField {
public:
    explicit TTimeField(QObject* owner = nullptr) : TDateTimeField(owner, ftTime) {}
};

class TVarBytesField : public TField {
public:
    explicit TVarBytesField(QObject* owner = nullptr, int size = 16)
        : TField(owner, ftVarBytes, size) {}
    int DataSize() const override { return Size() + 2; }
    Variant Value() const override;
    void SetValue(const Variant& value) override;
};

// ftBlob and ftGraphic give bytes; ftMemo (TMemoField) gives text.
class TBlobField : public TField {
public:
    explicit TBlobField(QObject* owner = nullptr) : TField(owner, ftBlob) {}
    int DataSize() const override { return 0; }
    bool IsBlob() const override { return true; }
    Variant Value() const override;
    void SetValue(const Variant& value) override;
    QByteArray AsBytes() const;
    void SetAsBytes(const QByteArray& bytes);

protected:
    TBlobField(QObject* owner, TFieldType type) : TField(owner, type) {}
};
class TMemoField : public TBlobField {
public:
    explicit TMemoField(QObject* owner = nullptr) : TBlobField(owner, ftMemo) {}
    Variant Value() const override;
};
class TGraphicField : public TBlobField {
public:
    explicit TGraphicField(QObject* owner = nullptr) : TBlobField(owner, ftGraphic) {}
};

// The field class for a type code; nullptr for types without one.
TField* CreateFieldOfType(TFieldType type, QObject* owner, int size);

}  // namespace platform
