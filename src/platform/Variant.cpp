// Variant conversions; see Variant.h.
#include "platform/Variant.h"

#include "platform/Cp1251.h"
#include "platform/TextToValue.h"

#include <cmath>
#include <limits>

namespace platform {

void Variant::CopyStorage(const Variant& other) {
    switch (other.FType) {
        case VarType::String:
            new (&FData.S) QString(other.FData.S);
            break;
        case VarType::Bytes:
            new (&FData.Y) QByteArray(other.FData.Y);
            break;
        case VarType::Array:
            new (&FData.L) QList<Variant>(other.FData.L);
            break;
        default:
            new (&FData.P) QPointer<QObject>(other.FData.P);
            break;
    }
}

// The source stays a valid value of its kind (an empty text, list...), as moved-from Qt values do.
void Variant::MoveStorage(Variant&& other) noexcept {
    switch (other.FType) {
        case VarType::String:
            new (&FData.S) QString(std::move(other.FData.S));
            break;
        case VarType::Bytes:
            new (&FData.Y) QByteArray(std::move(other.FData.Y));
            break;
        case VarType::Array:
            new (&FData.L) QList<Variant>(std::move(other.FData.L));
            break;
        default:
            new (&FData.P) QPointer<QObject>(std::move(other.FData.P));
            break;
    }
}

// The source may live inside this value (an item of its array): take it out before releasing.
void Variant::AssignStorage(Variant&& other) noexcept {
    Variant taken(std::move(other));
    if (HoldsStorage())
        ReleaseStorage();
    FType = taken.FType;
    if (taken.HoldsStorage())
        MoveStorage(std::move(taken));
    else
        FData.I = taken.FData.I;
}

void Variant::ReleaseStorage() noexcept {
    switch (FType) {
        case VarType::String:
            FData.S.~QString();
            break;
        case VarType::Bytes:
            FData.Y.~QByteArray();
            break;
        case VarType::Array:
            FData.L.~QList<Variant>();
            break;
        default:
            FData.P.~QPointer<QObject>();
            break;
    }
    FType = VarType::Empty;
    FData.I = 0;
}

Variant Variant::FromDateTime(TDateTime value) {
    Variant v(value);
    v.FType = VarType::Date;
    return v;
}

Variant Variant::FromCurrency(double value) {
    Variant v;
    v.FType = VarType::Currency;
    v.FData.I = int64_t(std::llround(value * 10000.0));
    return v;
}

Variant Variant::FromObject(QObject* object) {
    Variant v;
    v.FType = VarType::Object;
    new (&v.FData.P) QPointer<QObject>(object);
    return v;
}

bool Variant::IsNumeric() const {
    switch (FType) {
        case VarType::Word:
        case VarType::Integer:
        case VarType::Int64:
        case VarType::Double:
        case VarType::Currency:
            return true;
        default:
            return false;
    }
}

QString Variant::TypeName(VarType type) {
    switch (type) {
        case VarType::Empty:
            return "Empty";
        case VarType::Null:
            return "Null";
        case VarType::Bool:
            return "Boolean";
        case VarType::Word:
            return "Word";
        case VarType::Integer:
            return "Integer";
        case VarType::Int64:
            return "Int64";
        case VarType::Double:
            return "Double";
        case VarType::Currency:
            return "Currency";
        case VarType::Date:
            return "Date";
        case VarType::String:
            return "String";
        case VarType::Bytes:
            return "Array Byte";
        case VarType::Array:
            return "Array Variant";
        case VarType::Object:
            return "Object";
    }
    return "Unknown";
}

void Variant::cannotConvert(VarType to) const {
    throw EVariantError("Could not convert variant of type (" + TypeName(FType) + ") into type (" +
                        TypeName(to) + ")");
}

bool Variant::ToBoolSlow() const {
    switch (FType) {
        case VarType::Bool:
            return FData.B;
        case VarType::Word:
        case VarType::Integer:
        case VarType::Int64:
        case VarType::Currency:
            return FData.I != 0;
        case VarType::Double:
        case VarType::Date:
            return FData.D != 0;
        case VarType::String:
            return StrToBool(FData.S);
        default:
            cannotConvert(VarType::Bool);
    }
}

int64_t Variant::ToInt64Slow() const {
    switch (FType) {
        case VarType::Bool:
            return FData.B ? -1 : 0;
        case VarType::Word:
        case VarType::Integer:
        case VarType::Int64:
            return FData.I;
        case VarType::Currency:
            return std::llround(double(FData.I) / 10000.0);
        case VarType::Double:
        case VarType::Date: {
            const double d = std::round(FData.D);
            if (!(std::fabs(d) < 9.2e18))
                cannotConvert(VarType::Int64);
            return int64_t(d);
        }
        case VarType::String: {
            const QString& s = FData.S;
            bool ok = false;
            const qlonglong v = s.trimmed().toLongLong(&ok);
            if (ok)
                return v;
            const double d = std::round(StrToFloat(s));
            if (!(std::fabs(d) < 9.2e18))
                throw EConvertError("'" + s + "' is not a valid integer value");
            return int64_t(d);
        }
        default:
            cannotConvert(VarType::Int64);
    }
}

int32_t Variant::ToInt() const {
    const int64_t v = ToInt64();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        cannotConvert(VarType::Integer);
    return int32_t(v);
}

double Variant::ToDoubleSlow() const {
    switch (FType) {
        case VarType::Bool:
            return FData.B ? -1 : 0;
        case VarType::Word:
        case VarType::Integer:
        case VarType::Int64:
            return double(FData.I);
        case VarType::Currency:
            return double(FData.I) / 10000.0;
        case VarType::Double:
        case VarType::Date:
            return FData.D;
        case VarType::String:
            return StrToFloat(FData.S);
        default:
            cannotConvert(VarType::Double);
    }
}

double Variant::ToCurrency() const {
    if (FType == VarType::Currency)
        return double(FData.I) / 10000.0;
    return std::round(ToDouble() * 10000.0) / 10000.0;
}

TDateTime Variant::ToDateTime() const {
    if (FType == VarType::String)
        return StrToDateTime(FData.S);
    if (FType == VarType::Null || FType == VarType::Empty || FType == VarType::Bytes ||
        FType == VarType::Array || FType == VarType::Object)
        cannotConvert(VarType::Date);
    return ToDouble();
}

QString Variant::ToStringSlow() const {
    switch (FType) {
        case VarType::Empty:
        case VarType::Null:
            return {};
        case VarType::Bool:
            return BoolToStr(FData.B);
        case VarType::Word:
        case VarType::Integer:
        case VarType::Int64:
            return QString::number(FData.I);
        case VarType::Currency:
        case VarType::Double:
            return FloatToStr(ToDouble());
        case VarType::Date:
            return DateTimeToStr(FData.D);
        case VarType::String:
            return FData.S;
        default:
            cannotConvert(VarType::String);
    }
}

QByteArray Variant::ToBytes() const {
    if (FType == VarType::Bytes)
        return FData.Y;
    if (FType == VarType::String)
        return toCp1251(FData.S);
    cannotConvert(VarType::Bytes);
}

const QList<Variant>& Variant::Items() const {
    if (FType != VarType::Array)
        cannotConvert(VarType::Array);
    return FData.L;
}

QList<Variant>& Variant::MutableItems() {
    if (FType != VarType::Array)
        cannotConvert(VarType::Array);
    return FData.L;
}

QObject* Variant::ToObject() const {
    if (FType != VarType::Object)
        cannotConvert(VarType::Object);
    return FData.P.data();
}

bool Variant::operator==(const Variant& other) const {
    if (FType == VarType::Object || other.FType == VarType::Object)
        return FType == other.FType && ToObject() == other.ToObject();
    if (FType != other.FType)
        return false;
    switch (FType) {
        case VarType::Empty:
        case VarType::Null:
            return true;
        case VarType::Bool:
            return FData.B == other.FData.B;
        case VarType::Double:
        case VarType::Date:
            return FData.D == other.FData.D;
        case VarType::String:
            return FData.S == other.FData.S;
        case VarType::Bytes:
            return FData.Y == other.FData.Y;
        case VarType::Array:
            return FData.L == other.FData.L;
        default:
            return FData.I == other.FData.I;
    }
}

}  // namespace platform
