// Variant conversions; see Variant.h.
#include "platform/Variant.h"

#include "platform/Cp1251.h"
#include "platform/TextToValue.h"

#include <cmath>
#include <limits>

namespace platform {

Variant Variant::FromDateTime(TDateTime value) {
    Variant v(value);
    v.FType = VarType::Date;
    return v;
}

Variant Variant::FromCurrency(double value) {
    Variant v;
    v.FType = VarType::Currency;
    v.FData = int64_t(std::llround(value * 10000.0));
    return v;
}

Variant Variant::FromObject(QObject* object) {
    Variant v;
    v.FType = VarType::Object;
    v.FData = QPointer<QObject>(object);
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

bool Variant::ToBool() const {
    switch (FType) {
        case VarType::Bool:
            return std::get<bool>(FData);
        case VarType::Word:
        case VarType::Integer:
        case VarType::Int64:
        case VarType::Currency:
            return std::get<int64_t>(FData) != 0;
        case VarType::Double:
        case VarType::Date:
            return std::get<double>(FData) != 0;
        case VarType::String:
            return StrToBool(std::get<QString>(FData));
        default:
            cannotConvert(VarType::Bool);
    }
}

int64_t Variant::ToInt64() const {
    switch (FType) {
        case VarType::Bool:
            return std::get<bool>(FData) ? -1 : 0;
        case VarType::Word:
        case VarType::Integer:
        case VarType::Int64:
            return std::get<int64_t>(FData);
        case VarType::Currency:
            return std::llround(double(std::get<int64_t>(FData)) / 10000.0);
        case VarType::Double:
        case VarType::Date: {
            const double d = std::round(std::get<double>(FData));
            if (!(std::fabs(d) < 9.2e18))
                cannotConvert(VarType::Int64);
            return int64_t(d);
        }
        case VarType::String: {
            const QString& s = std::get<QString>(FData);
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

double Variant::ToDouble() const {
    switch (FType) {
        case VarType::Bool:
            return std::get<bool>(FData) ? -1 : 0;
        case VarType::Word:
        case VarType::Integer:
        case VarType::Int64:
            return double(std::get<int64_t>(FData));
        case VarType::Currency:
            return double(std::get<int64_t>(FData)) / 10000.0;
        case VarType::Double:
        case VarType::Date:
            return std::get<double>(FData);
        case VarType::String:
            return StrToFloat(std::get<QString>(FData));
        default:
            cannotConvert(VarType::Double);
    }
}

double Variant::ToCurrency() const {
    if (FType == VarType::Currency)
        return double(std::get<int64_t>(FData)) / 10000.0;
    return std::round(ToDouble() * 10000.0) / 10000.0;
}

TDateTime Variant::ToDateTime() const {
    if (FType == VarType::String)
        return StrToDateTime(std::get<QString>(FData));
    if (FType == VarType::Null || FType == VarType::Empty || FType == VarType::Bytes ||
        FType == VarType::Array || FType == VarType::Object)
        cannotConvert(VarType::Date);
    return ToDouble();
}

QString Variant::ToString() const {
    switch (FType) {
        case VarType::Empty:
        case VarType::Null:
            return {};
        case VarType::Bool:
            return BoolToStr(std::get<bool>(FData));
        case VarType::Word:
        case VarType::Integer:
        case VarType::Int64:
            return QString::number(std::get<int64_t>(FData));
        case VarType::Currency:
        case VarType::Double:
            return FloatToStr(ToDouble());
        case VarType::Date:
            return DateTimeToStr(std::get<double>(FData));
        case VarType::String:
            return std::get<QString>(FData);
        default:
            cannotConvert(VarType::String);
    }
}

QByteArray Variant::ToBytes() const {
    if (FType == VarType::Bytes)
        return std::get<QByteArray>(FData);
    if (FType == VarType::String)
        return toCp1251(std::get<QString>(FData));
    cannotConvert(VarType::Bytes);
}

const QList<Variant>& Variant::Items() const {
    if (FType != VarType::Array)
        cannotConvert(VarType::Array);
    return std::get<QList<Variant>>(FData);
}

QList<Variant>& Variant::MutableItems() {
    if (FType != VarType::Array)
        cannotConvert(VarType::Array);
    return std::get<QList<Variant>>(FData);
}

QObject* Variant::ToObject() const {
    if (FType != VarType::Object)
        cannotConvert(VarType::Object);
    return std::get<QPointer<QObject>>(FData).data();
}

bool Variant::operator==(const Variant& other) const {
    if (FType == VarType::Object || other.FType == VarType::Object)
        return FType == other.FType && ToObject() == other.ToObject();
    return FType == other.FType && FData == other.FData;
}

}  // namespace platform
