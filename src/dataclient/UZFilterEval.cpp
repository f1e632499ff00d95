// Evaluation of filter trees: field values, NULL rules, comparison rules and logic.
// See UZFilterParser.h for the grammar and UZFilterNodes.h for the value form.
#include "dataclient/UZFilterNodes.h"

#include "platform/ConvertError.h"
#include "platform/Cp1251.h"
#include "platform/DataSet.h"
#include "platform/TextToValue.h"

#include <cmath>
#include <cstring>

namespace dataclient {

using namespace platform;

namespace {

QString textOf(const FilterValue& v) {
    return fromCp1251(QByteArray(v.text, v.length));
}

[[noreturn]] void cannotConvert(const QString& from, const QString& to) {
    throw EVariantError("Could not convert variant of type (" + from + ") into type (" + to + ")");
}

double toDouble(const FilterValue& v) {
    switch (v.kind) {
        case FilterValue::Date:
        case FilterValue::Double:
            return v.d;
        case FilterValue::Text:
            return StrToFloat(textOf(v));
        case FilterValue::Currency:
            return double(v.i) / 10000.0;
        case FilterValue::Bool:
            return v.b ? -1 : 0;
        default:
            return double(v.i);
    }
}

// Only text reads differently as a date: through the date converter instead of the number one.
double toDateTime(const FilterValue& v) {
    return v.kind == FilterValue::Text ? StrToDateTime(textOf(v)) : toDouble(v);
}

int64_t toCurrency(const FilterValue& v) {
    switch (v.kind) {
        case FilterValue::Currency:
            return v.i;
        case FilterValue::Word:
        case FilterValue::Int:
        case FilterValue::Int64:
            return v.i * 10000;
        case FilterValue::Bool:
            return v.b ? -10000 : 0;
        default:
            return std::llround(toDouble(v) * 10000.0);
    }
}

bool textToBool(const FilterValue& v) {
    return StrToBool(textOf(v));
}

int64_t toInteger(const FilterValue& v) {
    switch (v.kind) {
        case FilterValue::Bool:
            return v.b ? -1 : 0;
        case FilterValue::Word:
        case FilterValue::Int:
        case FilterValue::Int64:
            return v.i;
        case FilterValue::Currency:
            return std::llround(double(v.i) / 10000.0);
        case FilterValue::Text: {
            bool flag;
            if (TryTextToBool(textOf(v), flag))
                return flag ? -1 : 0;
            return std::llround(StrToFloat(textOf(v)));
        }
        default:
            return std::llround(v.d);
    }
}

template <typename T>
int order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// -1, 0 or 1: null equals null and is below everything else.
int compare(const FilterValue& a, const FilterValue& b) {
    const bool aNull = a.kind == FilterValue::Null || a.kind == FilterValue::Empty;
    const bool bNull = b.kind == FilterValue::Null || b.kind == FilterValue::Empty;
    if (aNull || bNull)
        return aNull && bNull ? 0 : (aNull ? -1 : 1);
    using K = FilterValue;
    if (a.kind == K::Text && b.kind == K::Text) {
        const int common = std::min(a.length, b.length);
        const int c = common ? std::memcmp(a.text, b.text, size_t(common)) : 0;
        return c != 0 ? (c < 0 ? -1 : 1) : order(a.length, b.length);
    }
    if (a.kind == K::Date || b.kind == K::Date)
        return order(toDateTime(a), toDateTime(b));
    if (a.kind == K::Currency || b.kind == K::Currency)
        return order(toCurrency(a), toCurrency(b));
    const bool textAndNumber =
        (a.kind == K::Text && b.isInteger()) || (b.kind == K::Text && a.isInteger());
    if (a.kind == K::Double || b.kind == K::Double || textAndNumber)
        return order(toDouble(a), toDouble(b));
    if (a.isInteger() || b.isInteger())
        return order(toInteger(a), toInteger(b));
    // Booleans, or text against a boolean: false < true.
    const bool x = a.kind == K::Text ? textToBool(a) : a.b;
    const bool y = b.kind == K::Text ? textToBool(b) : b.b;
    return order(int(x), int(y));
}

bool isLogical(const FilterValue& v) {
    return v.kind == FilterValue::Bool || v.kind == FilterValue::Null ||
           v.kind == FilterValue::Text || v.kind == FilterValue::Empty;
}

// AND / OR with null as unknown for booleans, bit by bit for integers.
FilterValue combine(NodeKind kind, const FilterValue& a, const FilterValue& b) {
    using K = FilterValue;
    const bool aNull = a.kind == K::Null || a.kind == K::Empty;
    const bool bNull = b.kind == K::Null || b.kind == K::Empty;
    if ((a.kind == K::Bool || b.kind == K::Bool) && isLogical(a) && isLogical(b)) {
        const bool x = a.kind == K::Text ? textToBool(a) : a.b;
        const bool y = b.kind == K::Text ? textToBool(b) : b.b;
        if (kind == NodeKind::And) {
            if ((!aNull && !x) || (!bNull && !y))
                return K::boolean(false);
            return aNull || bNull ? K::null() : K::boolean(true);
        }
        if ((!aNull && x) || (!bNull && y))
            return K::boolean(true);
        return aNull || bNull ? K::null() : K::boolean(false);
    }
    if (aNull || bNull)
        return K::null();
    const int64_t x = toInteger(a), y = toInteger(b);
    return K::integer(K::Int64, kind == NodeKind::And ? (x & y) : (x | y));
}

FilterValue negate(const FilterValue& v) {
    using K = FilterValue;
    switch (v.kind) {
        case K::Null:
        case K::Empty:
            return K::null();
        case K::Bool:
            return K::boolean(!v.b);
        case K::Word:
            return K::integer(K::Word, uint16_t(~uint16_t(v.i)));
        case K::Int:
            return K::integer(K::Int, ~int32_t(v.i));
        case K::Text: {
            bool flag;
            if (TryTextToBool(textOf(v), flag))
                return K::boolean(!flag);
            return K::integer(K::Int64, ~toInteger(v));
        }
        default:
            return K::integer(K::Int64, ~toInteger(v));
    }
}

// The field's current value in the filter's value form; text points into node.scratch.
FilterValue fieldValue(FilterNode& node, TDataSet& dataSet) {
    if (!node.field || node.fieldGeneration != dataSet.FieldsGeneration()) {
        node.field = dataSet.FieldByName(node.word);
        node.fieldGeneration = dataSet.FieldsGeneration();
        node.scratch.assign(size_t(std::max(node.field->DataSize(), 0)) + 2, '\0');
    }
    TField* f = node.field;
    char* buf = node.scratch.data();
    using K = FilterValue;
    switch (f->DataType()) {
        case ftString:
        case ftGuid: {
            if (!f->GetData(buf))
                return K::null();
            const int n = int(strnlen(buf, node.scratch.size()));
            return n == 0 && f->DataType() == ftString ? K::null() : K::bytes(buf, n);
        }
        case ftSmallint: {
            int16_t v;
            return f->GetData(&v) ? K::integer(K::Int, v) : K::null();
        }
        case ftWord: {
            uint16_t v;
            return f->GetData(&v) ? K::integer(K::Word, v) : K::null();
        }
        case ftInteger:
        case ftAutoInc: {
            int32_t v;
            return f->GetData(&v) ? K::integer(K::Int, v) : K::null();
        }
        case ftLargeint: {
            int64_t v;
            return f->GetData(&v) ? K::integer(K::Int64, v) : K::null();
        }
        case ftBoolean: {
            int16_t v;
            return f->GetData(&v) ? K::boolean(v != 0) : K::null();
        }
        case ftFloat: {
            double v;
            return f->GetData(&v) ? K::real(K::Double, v) : K::null();
        }
        case ftCurrency: {
            double v;
            return f->GetData(&v) ? K::integer(K::Currency, std::llround(v * 10000.0)) : K::null();
        }
        case ftDate:
        case ftTime:
        case ftDateTime: {
            const Variant v = f->Value();
            return v.IsNull() ? K::null() : K::real(K::Date, v.ToDateTime());
        }
        default: {
            // Blobs, memos and byte arrays: their bytes as text.
            const Variant v = f->Value();
            if (v.IsNull())
                return K::null();
            const QByteArray bytes =
                v.Type() == VarType::Bytes ? v.ToBytes() : toCp1251(v.ToString());
            node.scratch.assign(bytes.begin(), bytes.end());
            node.scratch.push_back('\0');
            return K::bytes(node.scratch.data(), int(bytes.size()));
        }
    }
}

}  // namespace

bool filterValueToBool(const FilterValue& v) {
    switch (v.kind) {
        case FilterValue::Empty:
            return false;
        case FilterValue::Null:
            cannotConvert("Null", "Boolean");
        case FilterValue::Bool:
            return v.b;
        case FilterValue::Double:
        case FilterValue::Date:
            return v.d != 0;
        case FilterValue::Text:
            return textToBool(v);
        default:
            return v.i != 0;
    }
}

FilterValue EvaluteKnot(FilterNode& node, TDataSet& dataSet) {
    switch (node.kind) {
        case NodeKind::Less:
        case NodeKind::LessEqual:
        case NodeKind::Equal:
        case NodeKind::GreaterEqual:
        case NodeKind::NotEqual:
        case NodeKind::Greater: {
            const FilterValue a = EvaluteKnot(*node.left, dataSet);
            const FilterValue b = EvaluteKnot(*node.right, dataSet);
            const int c = compare(a, b);
            switch (node.kind) {
                case NodeKind::Less:
                    return FilterValue::boolean(c < 0);
                case NodeKind::LessEqual:
                    return FilterValue::boolean(c <= 0);
                case NodeKind::Equal:
                    return FilterValue::boolean(c == 0);
                case NodeKind::GreaterEqual:
                    return FilterValue::boolean(c >= 0);
                case NodeKind::NotEqual:
                    return FilterValue::boolean(c != 0);
                default:
                    return FilterValue::boolean(c > 0);
            }
        }
        case NodeKind::Not:
            return negate(EvaluteKnot(*node.left, dataSet));
        case NodeKind::And:
        case NodeKind::Or: {
            const FilterValue a = EvaluteKnot(*node.left, dataSet);
            const FilterValue b = EvaluteKnot(*node.right, dataSet);
            return FilterValue::boolean(filterValueToBool(combine(node.kind, a, b)));
        }
        case NodeKind::Constant:
            return node.constant;
        case NodeKind::Name:
            return node.isNullWord ? FilterValue::null() : fieldValue(node, dataSet);
        case NodeKind::Quoted:
            return node.text.isEmpty()
                       ? FilterValue::null()
                       : FilterValue::bytes(node.text.constData(), int(node.text.size()));
        case NodeKind::Group:
            return EvaluteKnot(*node.left, dataSet);
    }
    throw Exception("TFilterParser.Evalute.EvaluteKnot такого не может быть!");
}

}  // namespace dataclient
