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
#include <new>

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
    Variant() { FData.I = 0; }
    Variant(bool v) : FType(VarType::Bool) {
        FData.I = 0;
        FData.B = v;
    }
    Variant(uint16_t v) : FType(VarType::Word) { FData.I = v; }
    Variant(int v) : FType(VarType::Integer) { FData.I = v; }
    Variant(int64_t v) : FType(VarType::Int64) { FData.I = v; }
    Variant(double v) : FType(VarType::Double) { FData.D = v; }
    Variant(const QString& v) : FType(VarType::String) { new (&FData.S) QString(v); }
    Variant(QString&& v) : FType(VarType::String) { new (&FData.S) QString(std::move(v)); }
    Variant(const char* v) : Variant(QString::fromUtf8(v)) {}
    Variant(const QByteArray& v) : FType(VarType::Bytes) { new (&FData.Y) QByteArray(v); }
    Variant(const QList<Variant>& items) : FType(VarType::Array) {
        new (&FData.L) QList<Variant>(items);
    }

    // Plain kinds copy as bits; only texts, bytes, arrays and objects go out of line.
    Variant(const Variant& other) : FType(other.FType) {
        if (other.HoldsStorage())
            CopyStorage(other);
        else
            FData.I = other.FData.I;
    }
    Variant(Variant&& other) noexcept : FType(other.FType) {
        if (other.HoldsStorage())
            MoveStorage(std::move(other));
        else
            FData.I = other.FData.I;
    }
    // A value that holds no storage cannot own the source, so it takes it directly.
    Variant& operator=(const Variant& other) {
        if (!HoldsStorage()) {
            if (other.HoldsStorage())
                CopyStorage(other);
            else
                FData.I = other.FData.I;
            FType = other.FType;
        } else if (this != &other) {
            *this = Variant(other);
        }
        return *this;
    }
    Variant& operator=(Variant&& other) noexcept {
        if (!HoldsStorage()) {
            if (other.HoldsStorage())
                MoveStorage(std::move(other));
            else
                FData.I = other.FData.I;
            FType = other.FType;
        } else if (this != &other) {
            AssignStorage(std::move(other));
        }
        return *this;
    }
    ~Variant() {
        if (HoldsStorage())
            ReleaseStorage();
    }

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

    // The common kinds convert inline; the rest (and the errors) out of line.
    bool ToBool() const { return FType == VarType::Bool ? FData.B : ToBoolSlow(); }
    int32_t ToInt() const;
    int64_t ToInt64() const { return IsOrdinal() ? FData.I : ToInt64Slow(); }
    double ToDouble() const {
        return FType == VarType::Double || FType == VarType::Date ? FData.D : ToDoubleSlow();
    }
    double ToCurrency() const;
    TDateTime ToDateTime() const;
    // Null and unassigned give an empty text (the platform's VarToStr).
    QString ToString() const { return FType == VarType::String ? FData.S : ToStringSlow(); }
    QByteArray ToBytes() const;
    const QList<Variant>& Items() const;
    // The items of an array for changing them in place (detached from other copies).
    QList<Variant>& MutableItems();
    // The referenced object; nullptr once it is destroyed. Raises EVariantError for non-objects.
    QObject* ToObject() const;

    // Hot paths of the script interpreter: overwrite with an ordinal (Word, Integer or Int64)
    // without going through a temporary, and append to a text in place (false when not a
    // String). Both keep the value's invariants: an ordinal holds its number as int64.
    void SetOrdinal(VarType type, int64_t value) {
        if (HoldsStorage())
            ReleaseStorage();
        FType = type;
        FData.I = value;
    }
    bool AppendString(const QString& tail) {
        if (FType != VarType::String)
            return false;
        FData.S.append(tail);
        return true;
    }
    // True for values that hold shared storage (text, bytes, arrays, objects).
    bool HoldsStorage() const { return FType >= VarType::String; }

    // The platform's name of the type, as error texts show it.
    static QString TypeName(VarType type);

    // Same type and same value; for tests and change detection, not the filter's comparison.
    bool operator==(const Variant& other) const;
    bool operator!=(const Variant& other) const { return !(*this == other); }

private:
    [[noreturn]] void cannotConvert(VarType to) const;
    void CopyStorage(const Variant& other);
    void MoveStorage(Variant&& other) noexcept;
    void AssignStorage(Variant&& other) noexcept;
    void ReleaseStorage() noexcept;
    bool ToBoolSlow() const;
    int64_t ToInt64Slow() const;
    double ToDoubleSlow() const;
    QString ToStringSlow() const;

    VarType FType = VarType::Empty;
    // By FType: B for Bool; I for the ordinals and currency (scaled); D for double and date;
    // S, Y, L, P for the kinds that hold storage; nothing for Empty and Null (I kept 0).
    union Payload {
        Payload() {}
        ~Payload() {}
        bool B;
        int64_t I;
        double D;
        QString S;
        QByteArray Y;
        QList<Variant> L;
        QPointer<QObject> P;
    } FData;
};

}  // namespace platform
