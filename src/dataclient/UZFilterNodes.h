// The expression tree of TZFilterParser and the dynamically typed value its evaluation works
// with. Private to the parser's units (UZFilterParser.cpp builds, UZFilterEval.cpp evaluates).
// Texts are kept as Windows-1251 bytes, so text comparison is by character code as stored.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {
class TDataSet;
class TField;
}  // namespace platform

namespace dataclient {

// Kinds in this order; precedence() below follows it.
enum class NodeKind : uint8_t {
    Less,
    LessEqual,
    Equal,
    GreaterEqual,
    NotEqual,
    Greater,
    Not,
    And,
    Or,
    Constant,
    Name,
    Quoted,
    Group
};

inline bool isBinary(NodeKind k) {
    return k <= NodeKind::Greater || k == NodeKind::And || k == NodeKind::Or;
}

inline int precedence(NodeKind k) {
    if (k <= NodeKind::Greater)
        return 6;
    switch (k) {
        case NodeKind::Not:
            return 5;
        case NodeKind::And:
            return 4;
        case NodeKind::Or:
            return 3;
        default:
            return 10;
    }
}

struct FilterValue {
    enum Kind : uint8_t { Empty, Null, Bool, Word, Int, Int64, Double, Currency, Date, Text };
    Kind kind = Empty;
    bool b = false;
    int64_t i = 0;  // integers; currency in 1/10000 units
    double d = 0;   // double, date-time
    const char* text = nullptr;
    int length = 0;

    static FilterValue null() { return FilterValue{Null}; }
    static FilterValue boolean(bool v) {
        FilterValue r{Bool};
        r.b = v;
        return r;
    }
    static FilterValue integer(Kind k, int64_t v) {
        FilterValue r{k};
        r.i = v;
        return r;
    }
    static FilterValue real(Kind k, double v) {
        FilterValue r{k};
        r.d = v;
        return r;
    }
    static FilterValue bytes(const char* p, int n) {
        FilterValue r{Text};
        r.text = p;
        r.length = n;
        return r;
    }
    bool isInteger() const { return kind == Word || kind == Int || kind == Int64; }
};

struct FilterNode {
    explicit FilterNode(NodeKind k) : kind(k) {}
    NodeKind kind;
    // Binary: left and right. NOT: left is the operand. Group: left is the inner tree.
    std::unique_ptr<FilterNode> left, right;
    FilterValue constant;  // Constant
    QString word;          // Name, as written
    bool isNullWord = false;
    QByteArray text;  // Quoted, Windows-1251

    // A name's field, looked up again when the dataset's fields change.
    platform::TField* field = nullptr;
    unsigned fieldGeneration = ~0u;
    std::vector<char> scratch;  // the field's native value; text values point into it
};

// Evaluation of a tree over the dataset's current record (UZFilterEval.cpp).
FilterValue EvaluteKnot(FilterNode& node, platform::TDataSet& dataSet);
// The platform's conversion of a value to a boolean.
bool filterValueToBool(const FilterValue& v);

}  // namespace dataclient
