// Operators over variants; see VarOps.h.
#include "reportengine/script/VarOps.h"

#include <cmath>
#include <limits>

namespace script {

using platform::Variant;
using platform::VarType;

namespace {

bool IsIntegral(const Variant& v) {
    return v.IsOrdinal() || v.Type() == VarType::Bool || v.Type() == VarType::Empty;
}

bool IsStringLike(const Variant& v) {
    return v.Type() == VarType::String;
}

[[noreturn]] void Overflow() {
    throw EScriptRuntime(QStringLiteral("Целочисленное переполнение"));
}
[[noreturn]] void DivByZero() {
    throw EScriptRuntime(QStringLiteral("Деление на ноль"));
}

// Integer results stay 32-bit while they fit, widen to Int64 past that, and fail past 64 bits:
// report totals must not wrap silently.
Variant IntResult(int64_t v, bool wide) {
    if (!wide && v >= std::numeric_limits<int32_t>::min() &&
        v <= std::numeric_limits<int32_t>::max())
        return Variant(int(v));
    return Variant(int64_t(v));
}

bool Wide(const Variant& a, const Variant& b) {
    return a.Type() == VarType::Int64 || b.Type() == VarType::Int64;
}

Variant Arith(Tok op, const Variant& a, const Variant& b) {
    // Dates move by days; the difference of two dates is a number of days.
    const bool aDate = a.Type() == VarType::Date, bDate = b.Type() == VarType::Date;
    if ((aDate || bDate) && (op == Tok::Plus || op == Tok::Minus)) {
        double r = op == Tok::Plus ? a.ToDouble() + b.ToDouble() : a.ToDouble() - b.ToDouble();
        if (aDate && bDate && op == Tok::Minus)
            return Variant(r);
        return Variant::FromDateTime(r);
    }
    if (IsIntegral(a) && IsIntegral(b)) {
        int64_t x = a.IsEmpty() ? 0 : a.ToInt64(), y = b.IsEmpty() ? 0 : b.ToInt64(), r = 0;
        bool overflow = false;
        switch (op) {
            case Tok::Plus:
                overflow = __builtin_add_overflow(x, y, &r);
                break;
            case Tok::Minus:
                overflow = __builtin_sub_overflow(x, y, &r);
                break;
            default:
                overflow = __builtin_mul_overflow(x, y, &r);
                break;
        }
        if (overflow)
            Overflow();
        return IntResult(r, Wide(a, b));
    }
    if (a.Type() == VarType::Currency || b.Type() == VarType::Currency) {
        if (a.Type() != VarType::Double && b.Type() != VarType::Double) {
            double x = a.ToCurrency(), y = b.ToCurrency();
            return Variant::FromCurrency(op == Tok::Plus    ? x + y
                                         : op == Tok::Minus ? x - y
                                                            : x * y);
        }
    }
    double x = a.IsEmpty() ? 0.0 : a.ToDouble(), y = b.IsEmpty() ? 0.0 : b.ToDouble();
    return Variant(op == Tok::Plus ? x + y : op == Tok::Minus ? x - y : x * y);
}

Variant Logical(Tok op, const Variant& a, const Variant& b) {
    if (a.Type() == VarType::Bool && b.Type() == VarType::Bool) {
        bool x = a.ToBool(), y = b.ToBool();
        return Variant(op == Tok::KwAnd ? (x && y) : op == Tok::KwOr ? (x || y) : (x != y));
    }
    int64_t x = a.ToInt64(), y = b.ToInt64();
    int64_t r = op == Tok::KwAnd ? (x & y) : op == Tok::KwOr ? (x | y) : (x ^ y);
    return IntResult(r, Wide(a, b));
}

Variant Shift(Tok op, const Variant& a, const Variant& b) {
    int64_t count = b.ToInt64();
    if (a.Type() == VarType::Int64) {
        uint64_t x = uint64_t(a.ToInt64());
        count &= 63;
        return Variant(int64_t(op == Tok::KwShl ? x << count : x >> count));
    }
    // A 32-bit operand shifts as 32 bits, as compiled code does.
    uint32_t x = uint32_t(a.ToInt64());
    count &= 31;
    return Variant(int(int32_t(op == Tok::KwShl ? x << count : x >> count)));
}

}  // namespace

bool TypeKindByName(const QString& name, TypeKind& kind) {
    static const struct {
        const char* Name;
        TypeKind Kind;
    } names[] = {
        {"variant", TypeKind::Variant},   {"olevariant", TypeKind::Variant},
        {"integer", TypeKind::Integer},   {"longint", TypeKind::Integer},
        {"smallint", TypeKind::Integer},  {"shortint", TypeKind::Integer},
        {"byte", TypeKind::Integer},      {"word", TypeKind::Integer},
        {"cardinal", TypeKind::Int64},    {"longword", TypeKind::Int64},
        {"int64", TypeKind::Int64},       {"double", TypeKind::Double},
        {"extended", TypeKind::Double},   {"real", TypeKind::Double},
        {"single", TypeKind::Double},     {"currency", TypeKind::Currency},
        {"string", TypeKind::String},     {"char", TypeKind::String},
        {"widestring", TypeKind::String}, {"ansistring", TypeKind::String},
        {"boolean", TypeKind::Boolean},   {"tdatetime", TypeKind::Date},
        {"tdate", TypeKind::Date},        {"ttime", TypeKind::Date},
        {"date", TypeKind::Date},
    };
    for (const auto& n : names) {
        if (name.compare(QLatin1String(n.Name), Qt::CaseInsensitive) == 0) {
            kind = n.Kind;
            return true;
        }
    }
    return false;
}

Variant DefaultValue(TypeKind kind) {
    switch (kind) {
        case TypeKind::Integer:
            return Variant(0);
        case TypeKind::Int64:
            return Variant(int64_t(0));
        case TypeKind::Double:
            return Variant(0.0);
        case TypeKind::Currency:
            return Variant::FromCurrency(0);
        case TypeKind::String:
            return Variant(QString());
        case TypeKind::Boolean:
            return Variant(false);
        case TypeKind::Date:
            return Variant::FromDateTime(0);
        case TypeKind::Array:
            return Variant(QList<Variant>());
        case TypeKind::Variant:
            break;
    }
    return Variant();
}

// A fractional value becomes an integer by rounding halves to even, as the platform's variant
// conversion does (Round), not away from zero.
static int64_t RoundToInteger(const Variant& value) {
    if (value.Type() != VarType::Double && value.Type() != VarType::Date)
        return value.ToInt64();
    return Variant(std::nearbyint(value.ToDouble())).ToInt64();
}

Variant Coerce(const Variant& value, TypeKind kind) {
    switch (kind) {
        case TypeKind::Variant:
            return value;
        case TypeKind::Integer:
            if (value.Type() == VarType::Integer)
                return value;
            return Variant(Variant(RoundToInteger(value)).ToInt());
        case TypeKind::Int64:
            return value.Type() == VarType::Int64 ? value : Variant(RoundToInteger(value));
        case TypeKind::Double:
            return value.Type() == VarType::Double ? value : Variant(value.ToDouble());
        case TypeKind::Currency:
            return Variant::FromCurrency(value.ToCurrency());
        case TypeKind::String:
            return value.Type() == VarType::String ? value : Variant(value.ToString());
        case TypeKind::Boolean:
            return value.Type() == VarType::Bool ? value : Variant(value.ToBool());
        case TypeKind::Date:
            return value.Type() == VarType::Date ? value
                                                 : Variant::FromDateTime(value.ToDateTime());
        case TypeKind::Array:
            // nil empties a dynamic array, as in compiled code.
            if (value.IsArray())
                return value;
            if (value.IsNullOrEmpty())
                return Variant(QList<Variant>());
            throw EScriptRuntime(QStringLiteral("ожидается массив"));
    }
    return value;
}

bool VarEquals(const Variant& a, const Variant& b) {
    // Objects compare by identity; a destroyed object equals nil.
    if (a.IsObject() || b.IsObject()) {
        QObject* x = a.IsObject() ? a.ToObject() : nullptr;
        QObject* y = b.IsObject() ? b.ToObject() : nullptr;
        if ((!a.IsObject() && !a.IsNullOrEmpty()) || (!b.IsObject() && !b.IsNullOrEmpty()))
            return false;
        return x == y;
    }
    if (a.IsNullOrEmpty() || b.IsNullOrEmpty())
        return a.IsNullOrEmpty() && b.IsNullOrEmpty();
    return VarCompare(a, b) == 0;
}

int VarCompare(const Variant& a, const Variant& b) {
    if (a.IsNullOrEmpty() || b.IsNullOrEmpty())
        return int(!a.IsNullOrEmpty()) - int(!b.IsNullOrEmpty());
    if (IsStringLike(a) && IsStringLike(b)) {
        int c = a.ToString().compare(b.ToString());
        return c < 0 ? -1 : c > 0;
    }
    if (a.Type() == VarType::Bool && b.Type() == VarType::Bool)
        return int(a.ToBool()) - int(b.ToBool());
    if (IsIntegral(a) && IsIntegral(b)) {
        int64_t x = a.ToInt64(), y = b.ToInt64();
        return x < y ? -1 : x > y;
    }
    double x = a.ToDouble(), y = b.ToDouble();
    return x < y ? -1 : x > y;
}

Variant BinaryOp(Tok op, const Variant& a, const Variant& b) {
    switch (op) {
        case Tok::Equal:
            return Variant(VarEquals(a, b));
        case Tok::NotEqual:
            return Variant(!VarEquals(a, b));
        case Tok::Less:
        case Tok::LessEqual:
        case Tok::Greater:
        case Tok::GreaterEqual: {
            // An unknown value is neither smaller nor greater than anything.
            if (a.IsNull() || b.IsNull())
                return Variant(false);
            int c = VarCompare(a, b);
            bool r = op == Tok::Less        ? c < 0
                     : op == Tok::LessEqual ? c <= 0
                     : op == Tok::Greater   ? c > 0
                                            : c >= 0;
            return Variant(r);
        }
        default:
            break;
    }
    // Every other operator gives NULL when an operand is NULL, as database values do.
    if (a.IsNull() || b.IsNull())
        return Variant::Null();
    switch (op) {
        case Tok::Plus:
            if (IsStringLike(a) && IsStringLike(b))
                return Variant(a.ToString() + b.ToString());
            if (IsStringLike(a) && b.IsEmpty())
                return a;
            if (IsStringLike(b) && a.IsEmpty())
                return b;
            return Arith(op, a, b);
        case Tok::Minus:
        case Tok::Star:
            return Arith(op, a, b);
        case Tok::Slash: {
            double y = b.IsEmpty() ? 0.0 : b.ToDouble();
            if (y == 0.0)
                DivByZero();
            return Variant((a.IsEmpty() ? 0.0 : a.ToDouble()) / y);
        }
        case Tok::KwDiv:
        case Tok::KwMod: {
            int64_t x = a.IsEmpty() ? 0 : a.ToInt64(), y = b.IsEmpty() ? 0 : b.ToInt64();
            if (y == 0)
                DivByZero();
            if (x == std::numeric_limits<int64_t>::min() && y == -1) {
                if (op == Tok::KwMod)
                    return IntResult(0, Wide(a, b));
                Overflow();
            }
            // Both truncate toward zero: -7 div 2 = -3 and -7 mod 2 = -1.
            return IntResult(op == Tok::KwDiv ? x / y : x % y, Wide(a, b));
        }
        case Tok::KwAnd:
        case Tok::KwOr:
        case Tok::KwXor:
            return Logical(op, a, b);
        case Tok::KwShl:
        case Tok::KwShr:
            return Shift(op, a, b);
        default:
            throw EScriptRuntime(
                QStringLiteral("Операция \"%1\" здесь недопустима").arg(TokenName(op)));
    }
}

Variant UnaryOp(Tok op, const Variant& a) {
    if (a.IsNull())
        return a;
    switch (op) {
        case Tok::Minus:
            if (IsIntegral(a)) {
                int64_t r = 0;
                if (__builtin_sub_overflow(int64_t(0), a.IsEmpty() ? 0 : a.ToInt64(), &r))
                    Overflow();
                return IntResult(r, a.Type() == VarType::Int64);
            }
            if (a.Type() == VarType::Currency)
                return Variant::FromCurrency(-a.ToCurrency());
            return Variant(-a.ToDouble());
        case Tok::Plus:
            return a;
        case Tok::KwNot:
            if (a.Type() == VarType::Bool)
                return Variant(!a.ToBool());
            return IntResult(~a.ToInt64(), a.Type() == VarType::Int64);
        default:
            throw EScriptRuntime(
                QStringLiteral("Операция \"%1\" здесь недопустима").arg(TokenName(op)));
    }
}

}  // namespace script
