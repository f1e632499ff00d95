// A dynamically typed value with the conversions of the report scripts and the dataset framework:
// unassigned, null, boolean, 16-bit unsigned, 32-bit and 64-bit integers, double, currency
// (fixed point, four decimals), date-time, text, byte array and an array of values (the key list
// of a record search), and a reference to a host object (guarded: it reads as nil once the object
// is destroyed, never dangles). Failed conversions raise EVariantError (type to type) or
// EConvertError (text that does not read as the value). Thread contract: a value type; no shared
// state.
#pragma once

#include "platform/ConvertError.h"
#include "platform/DateTime.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <variant>

namespace platform {

enum class VarType {
    Empty,
    Null,
    Bool,
    Word,
    Integer,
    Int64,
    Double,
    Currency,
    Date,
    String,
    Bytes,
    Array,
    Object
};

class Variant {
public:
    Variant() = default;
    Variant(bool v) : FType(VarType::Bool), FData(v) {}
    Variant(uint16_t v) : FType(VarType::Word), FData(int64_t(v)) {}
    Variant(int v) : FType(VarType::Integer), FData(int64_t(v)) {}
    Variant(int64_t v) : FType(VarType::Int64), FData(v) {}
    Variant(double v) : FType(VarType::Double), FData(v) {}
    Variant(const QString& v) : FType(VarType::String), FData(v) {}
    Variant(const char* v) : Variant(QString::fromUtf8(v)) {}
    Variant(const QByteArray& v) : FType(VarType::Bytes), FData(v) {}
    Variant(const QList<Variant>& items) : FType(VarType::Array), FData(items) {}

    static Variant Null() {
        Variant v;
        v.FType = VarType::Null;
        return v;
    }
    static Variant FromDateTime(TDateTime value);
    // A reference to a host object; nullptr gives an object value that reads as nil.
    static Variant FromObject(QObject* object);
    // Currency is kept as an integer count of 1/10000 units, like the platform's.
    static Variant FromCurrency(double value);

    VarType Type() const { return FType; }
    bool IsNull() const { return FType == VarType::Null; }
    bool IsEmpty() const { return FType == VarType::Empty; }
    bool IsNullOrEmpty() const { return IsNull() || IsEmpty(); }
    bool IsArray() const { return FType == VarType::Array; }
    bool IsObject() const { return FType == VarType::Object; }
    bool IsNumeric() const;  // boolean excluded
    bool IsOrdinal() const {
        return FType == VarType::Word || FType == VarType::Integer || FType == VarType::Int64;
    }

    bool ToBool() const;
    int32_t ToInt() const;
    int64_t ToInt64() const;
    double ToDouble() const;
    double ToCurrency() const;
    TDateTime ToDateTime() const;
    // Null and unassigned give an empty text (the platform's VarToStr).
    QString ToString() const;
    QByteArray ToBytes() const;
    const QList<Variant>& Items() const;
    // The items of an array for changing them in place (detached from other copies).
    QList<Variant>& MutableItems();
    // The referenced object; nullptr once it is destroyed. Raises EVariantError for non-objects.
    QObject* ToObject() const;

    // The platform's name of the type, as error texts show it.
    static QString TypeName(VarType type);

    // Same type and same value; for tests and change detection, not the filter's comparison.
    bool operator==(const Variant& other) const;
    bool operator!=(const Variant& other) const { return !(*this == other); }

private:
    [[noreturn]] void cannotConvert(VarType to) const;

    VarType FType = VarType::Empty;
    // bool; integers and currency (scaled) as int64; double and date as double.
    std::variant<std::monostate, bool, int64_t, double, QString, QByteArray, QList<Variant>,
                 QPointer<QObject>>
        FData;
};

}  // namespace platform
