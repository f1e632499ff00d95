// Tokenising and tree building of filter texts; see UZFilterParser.h. Evaluation is in
// UZFilterEval.cpp.
#include "dataclient/UZFilterParser.h"

#include "dataclient/UZFilterNodes.h"
#include "platform/Cp1251.h"
#include "platform/DataSet.h"
#include "platform/TextToValue.h"

#include <cmath>

namespace dataclient {

using namespace platform;

namespace {

// Deeply nested or very long texts would make evaluation and destruction recurse without bound.
constexpr int MaxNesting = 200;
constexpr int MaxNodes = 20000;

class ParseError : public Exception {
    using Exception::Exception;
};

QString at(int position) {
    return " (позиция " + QString::number(position) + " )";
}

std::unique_ptr<FilterNode> MakeNode(const QString& word) {
    const QString upper = word.toUpper();
    if (upper == "NOT")
        return std::make_unique<FilterNode>(NodeKind::Not);
    if (upper == "AND")
        return std::make_unique<FilterNode>(NodeKind::And);
    if (upper == "OR")
        return std::make_unique<FilterNode>(NodeKind::Or);
    auto constant = std::make_unique<FilterNode>(NodeKind::Constant);
    double number;
    TDateTime dateTime;
    bool flag;
    if (TryTextToNumber(word, number)) {
        if (number == std::trunc(number) && number >= -2147483647.0 && number <= 2147483647.0) {
            const auto n = int64_t(number);
            constant->constant = FilterValue::integer(
                n >= 0 && n <= 65535 ? FilterValue::Word : FilterValue::Int, n);
        } else {
            constant->constant = FilterValue::real(FilterValue::Double, number);
        }
        return constant;
    }
    if (TryTextToDateTime(word, dateTime)) {
        constant->constant = FilterValue::real(FilterValue::Date, dateTime);
        return constant;
    }
    if (TryTextToBool(word, flag)) {
        constant->constant = FilterValue::boolean(flag);
        return constant;
    }
    auto name = std::make_unique<FilterNode>(NodeKind::Name);
    name->word = word;
    name->isNullWord = upper == "NULL";
    return name;
}

// BuildThree: inserts each node as it is read, by precedence.
class TreeBuilder {
public:
    explicit TreeBuilder(int& nodes) : FNodes(nodes) {}

    void BuildThree(std::unique_ptr<FilterNode> node, int position) {
        if (++FNodes > MaxNodes)
            throw ParseError("TFilterParser.Parser: Слишком длинное выражение" + at(position));
        const bool binary = isBinary(node->kind);
        FilterNode* raw = node.get();
        if (FPending) {
            if (binary)
                throw ParseError("TFilterParser.Parser.BuildThree: Две бинарные операции подряд" +
                                 at(position));
            (FPending->kind == NodeKind::Not ? FPending->left : FPending->right) = std::move(node);
            FPending = raw->kind == NodeKind::Not ? raw : nullptr;
            return;
        }
        if (FRoot) {
            if (!binary)
                throw ParseError(
                    "TFilterParser.Parser.BuildThree: Здесь допустима только бинарная операция" +
                    at(position));
            const int p = precedence(raw->kind);
            FilterNode* insertion = nullptr;
            for (FilterNode* w = FRoot.get(); w && isBinary(w->kind); w = w->right.get())
                if (precedence(w->kind) < p)
                    insertion = w;
            // A NOT standing at the root lends its operand to a tighter operator: NOT a = b is
            // NOT (a = b).
            if (!insertion && FRoot->kind == NodeKind::Not && precedence(NodeKind::Not) < p)
                insertion = FRoot.get();
            if (insertion) {
                auto& slot = insertion->kind == NodeKind::Not ? insertion->left : insertion->right;
                node->left = std::move(slot);
                slot = std::move(node);
            } else {
                node->left = std::move(FRoot);
                FRoot = std::move(node);
            }
            FPending = raw;
            return;
        }
        if (binary)
            throw ParseError(
                "TFilterParser.Parser.BuildThree: Здесь допустима только унарная операция" +
                at(position));
        FRoot = std::move(node);
        FPending = raw->kind == NodeKind::Not ? raw : nullptr;
    }

    // The tree when no operator still waits for an operand.
    std::unique_ptr<FilterNode> result() { return FPending ? nullptr : std::move(FRoot); }

private:
    std::unique_ptr<FilterNode> FRoot;
    FilterNode* FPending = nullptr;
    int& FNodes;
};

std::unique_ptr<FilterNode> Parser(const QString& text, int start, int depth, int& nodes) {
    if (depth > MaxNesting)
        throw ParseError("TFilterParser.Parser: Слишком глубокая вложенность скобок" + at(start));
    TreeBuilder tree(nodes);
    int pos = start;
    QString word;
    auto flush = [&] {
        if (word.isEmpty())
            return;
        tree.BuildThree(MakeNode(word), pos);
        pos += int(word.size());
        word.clear();
    };
    auto op = [&](NodeKind kind, int width) {
        tree.BuildThree(std::make_unique<FilterNode>(kind), pos);
        pos += width;
    };
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == ' ') {
            flush();
            ++pos;
            ++i;
        } else if (c == '>' || c == '<') {
            flush();
            if (i == n - 1)
                throw ParseError("TFilterParser.Parser: Нет второго операнда" + at(pos));
            const QChar next = text[i + 1];
            if (next == '=')
                op(c == '>' ? NodeKind::GreaterEqual : NodeKind::LessEqual, 2);
            else if (c == '<' && next == '>')
                op(NodeKind::NotEqual, 2);
            else
                op(c == '>' ? NodeKind::Greater : NodeKind::Less, 1);
            i += (next == '=' || (c == '<' && next == '>')) ? 2 : 1;
        } else if (c == '=') {
            flush();
            op(NodeKind::Equal, 1);
            ++i;
        } else if (c == '\'' || c == '"') {
            flush();
            const qsizetype close = text.indexOf(c, i + 1);
            if (close < 0)
                throw ParseError("TFilterParser.Parser: Не найдена закрывающая кавычка" + at(pos));
            const QString content = text.mid(i + 1, close - i - 1);
            auto quoted = std::make_unique<FilterNode>(NodeKind::Quoted);
            quoted->text = toCp1251(content);
            tree.BuildThree(std::move(quoted), pos);
            pos += int(content.size()) + 2;
            i = close + 1;
        } else if (c == '(') {
            flush();
            int level = 1;
            bool inQuotes = false;
            qsizetype j = i + 1;
            for (; j < n; ++j) {
                const QChar ch = text[j];
                if (ch == '"')
                    inQuotes = !inQuotes;
                else if (!inQuotes && ch == '(')
                    ++level;
                else if (!inQuotes && ch == ')' && --level == 0)
                    break;
            }
            if (j >= n)
                throw ParseError("TFilterParser.Parser: Не найдена закрывающая скобка" + at(pos));
            const QString inner = text.mid(i + 1, j - i - 1);
            auto sub = Parser(inner, pos, depth + 1, nodes);
            if (!sub)
                return tree.result();  // empty parentheses end the reading
            auto group = std::make_unique<FilterNode>(NodeKind::Group);
            group->left = std::move(sub);
            tree.BuildThree(std::move(group), pos);
            pos += int(inner.size()) + 2;
            i = j + 1;
        } else {
            word += c;
            ++i;
        }
    }
    flush();
    return tree.result();
}

void describe(const FilterNode* node, QString& out) {
    static const char* const ops[] = {"<", "<=", "=", ">=", "<>", ">", "NOT", "AND", "OR"};
    switch (node->kind) {
        case NodeKind::Not:
            out += "(NOT ";
            describe(node->left.get(), out);
            out += ')';
            return;
        case NodeKind::Constant: {
            const FilterValue& v = node->constant;
            switch (v.kind) {
                case FilterValue::Bool:
                    out += v.b ? "True" : "False";
                    break;
                case FilterValue::Word:
                    out += QString::number(v.i) + ":w";
                    break;
                case FilterValue::Int:
                    out += QString::number(v.i) + ":i";
                    break;
                case FilterValue::Date:
                    out += QString::number(v.d, 'g', 12) + ":d";
                    break;
                default:
                    out += QString::number(v.d, 'g', 15) + ":f";
                    break;
            }
            return;
        }
        case NodeKind::Name:
            out += node->word;
            return;
        case NodeKind::Quoted:
            out += '\'' + fromCp1251(node->text) + '\'';
            return;
        case NodeKind::Group:
            out += '[';
            describe(node->left.get(), out);
            out += ']';
            return;
        default:
            out += '(';
            describe(node->left.get(), out);
            out += QString(" ") + ops[int(node->kind)] + ' ';
            describe(node->right.get(), out);
            out += ')';
            return;
    }
}

}  // namespace

TZFilterParser::TZFilterParser(TDataSet* dataSet) : FDataSet(dataSet) {}

TZFilterParser::~TZFilterParser() = default;

void TZFilterParser::SetFilter(const QString& text) {
    if (!FDataSet)
        throw Exception("TFilterParser.SetFilter: DataSet is not assigned");
    FRoot.reset();
    FLastError.clear();
    if (text.trimmed().isEmpty()) {
        FFilterText = text;
    } else {
        try {
            int nodes = 0;
            FRoot = Parser(text, 0, 0, nodes);
            FFilterText = text;
        } catch (const Exception& e) {
            FRoot.reset();
            FFilterText.clear();
            FLastError = e.Message();
        }
    }
    if (FDataSet->Filtered() && FDataSet->Active())
        FDataSet->Refresh();
}

QString TZFilterParser::TreeText() const {
    QString out;
    if (FRoot)
        describe(FRoot.get(), out);
    return out;
}

bool TZFilterParser::EvaluteToBool() {
    if (!FRoot)
        return false;
    return filterValueToBool(EvaluteKnot(*FRoot, *FDataSet));
}

Variant TZFilterParser::Evalute() {
    if (!FRoot)
        return {};
    const FilterValue v = EvaluteKnot(*FRoot, *FDataSet);
    switch (v.kind) {
        case FilterValue::Empty:
            return {};
        case FilterValue::Null:
            return Variant::Null();
        case FilterValue::Bool:
            return v.b;
        case FilterValue::Word:
            return uint16_t(v.i);
        case FilterValue::Int:
            return int(v.i);
        case FilterValue::Int64:
            return v.i;
        case FilterValue::Double:
            return v.d;
        case FilterValue::Currency:
            return Variant::FromCurrency(double(v.i) / 10000.0);
        case FilterValue::Date:
            return Variant::FromDateTime(v.d);
        case FilterValue::Text:
            return fromCp1251(QByteArray(v.text, v.length));
    }
    return {};
}

}  // namespace dataclient
