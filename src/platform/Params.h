// Query parameters: TParam (name, data type, value, null, bound) and the ordered TParams.
// Thread contract: the owning dataset's thread.
#pragma once

#include "platform/Fields.h"
#include "platform/Variant.h"

#include <QString>
#include <memory>
#include <vector>

namespace platform {

class TParam {
public:
    TParam() = default;
    TParam(const QString& name, TFieldType type) : Name(name), DataType(type) {}

    QString Name;
    TFieldType DataType = ftUnknown;
    // Bound: given a value explicitly (not to be taken from a master dataset).
    bool Bound = false;

    const Variant& Value() const { return FValue; }
    // Keeps the data type; marks the parameter bound unless the value is unassigned.
    void SetValue(const Variant& value);
    bool IsNull() const { return FValue.IsNullOrEmpty(); }
    void Clear() { FValue = Variant::Null(); }

    // Setters choose the data type as the platform does.
    void SetAsString(const QString& v) { setTyped(ftString, v); }
    void SetAsInteger(int32_t v) { setTyped(ftInteger, int(v)); }
    void SetAsSmallInt(int16_t v) { setTyped(ftSmallint, int(v)); }
    void SetAsWord(uint16_t v) { setTyped(ftWord, v); }
    void SetAsLargeInt(int64_t v) { setTyped(ftLargeint, v); }
    void SetAsFloat(double v) { setTyped(ftFloat, v); }
    void SetAsCurrency(double v) { setTyped(ftCurrency, Variant::FromCurrency(v)); }
    void SetAsBoolean(bool v) { setTyped(ftBoolean, v); }
    void SetAsDate(TDateTime v) { setTyped(ftDate, Variant::FromDateTime(v)); }
    void SetAsTime(TDateTime v) { setTyped(ftTime, Variant::FromDateTime(v)); }
    void SetAsDateTime(TDateTime v) { setTyped(ftDateTime, Variant::FromDateTime(v)); }
    void SetAsBytes(const QByteArray& v) { setTyped(ftBytes, v); }

    // Null reads as "", 0, false.
    QString AsString() const { return FValue.ToString(); }
    int32_t AsInteger() const { return IsNull() ? 0 : FValue.ToInt(); }
    int64_t AsLargeInt() const { return IsNull() ? 0 : FValue.ToInt64(); }
    double AsFloat() const { return IsNull() ? 0 : FValue.ToDouble(); }
    bool AsBoolean() const { return IsNull() ? false : FValue.ToBool(); }
    TDateTime AsDateTime() const { return IsNull() ? 0 : FValue.ToDateTime(); }

private:
    void setTyped(TFieldType type, const Variant& v) {
        DataType = type;
        SetValue(v);
    }
    Variant FValue;
};

class TParams {
public:
    TParams() = default;
    TParams(const TParams& other) { Assign(other); }
    TParams& operator=(const TParams& other) {
        Assign(other);
        return *this;
    }

    int Count() const { return int(FItems.size()); }
    TParam& operator[](int i) { return *FItems[size_t(i)]; }
    const TParam& operator[](int i) const { return *FItems[size_t(i)]; }
    TParam& CreateParam(TFieldType type, const QString& name);
    // Ignoring case; nullptr / "Parameter 'X' not found".
    TParam* FindParam(const QString& name) const;
    TParam& ParamByName(const QString& name) const;
    void Clear() { FItems.clear(); }
    void Assign(const TParams& other);

private:
    std::vector<std::unique_ptr<TParam>> FItems;
};

}  // namespace platform
