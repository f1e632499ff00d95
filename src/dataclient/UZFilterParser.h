// TZFilterParser turns a table's Filter text into an expression tree and evaluates it over the
// record the table is testing. Grammar: comparisons (< <= = >= <> >), NOT, AND, OR, parentheses,
// field names, numbers, dates, times, booleans, quoted text and NULL; comparisons bind tighter
// than NOT, NOT tighter than AND, AND tighter than OR; equal operators group from the left.
// A text that does not parse leaves no tree and raises nothing (the table then accepts no record
// while filtered). The parser reads the table only through the dataset framework (field lookup
// by name, field values, the Filtered flag, refresh).
//
// NOT at the root: in the whole filter NOT a = b the comparison applies to the operand of the
// NOT, i.e. NOT (a = b), which is what such a filter means to its writer. Inside a larger
// expression a completed NOT is a unit: x AND NOT a = b is x AND ((NOT a) = b).
//
// Lifetime: owned by its table, bound to it at creation; the tree survives close and open.
// Thread contract: the table's thread.
#pragma once

#include "platform/Variant.h"

#include <QString>
#include <memory>

namespace platform {
class TDataSet;
}

namespace dataclient {

struct FilterNode;

class TZFilterParser {
public:
    explicit TZFilterParser(platform::TDataSet* dataSet);
    ~TZFilterParser();
    TZFilterParser(const TZFilterParser&) = delete;
    TZFilterParser& operator=(const TZFilterParser&) = delete;

    // Never raises for a bad text; only "TFilterParser.SetFilter: DataSet is not assigned".
    void SetFilter(const QString& text);
    // The last text that parsed (empty after a failure).
    const QString& FilterText() const { return FFilterText; }
    bool HasTree() const { return FRoot != nullptr; }
    // The parse error of the last SetFilter, empty when it parsed; for diagnostics and tests.
    const QString& LastError() const { return FLastError; }

    // The value of the tree over the current record; unassigned when there is no tree.
    platform::Variant Evalute();
    // The same converted to a boolean: no tree gives false; a null result raises EVariantError.
    bool EvaluteToBool();

    // The tree fully parenthesised, e.g. "((a = 1) AND (b = 2))"; empty without a tree.
    QString TreeText() const;

private:
    QString FFilterText;
    QString FLastError;
    std::unique_ptr<FilterNode> FRoot;
    platform::TDataSet* const FDataSet;
};

}  // namespace dataclient
