// Filter expressions: the grammar (grouping, NOT, quoting, parentheses, positions in messages),
// constants under two regional settings, and evaluation with NULL and mixed types.
#include "MemTableFixture.h"
#include "dataclient/UZFilterParser.h"
#include "platform/FormatSettings.h"

#include <gtest/gtest.h>
#include <QDate>

#include "RegionalSettings.h"

using namespace memtest;

namespace {

using testenv::commaDmy;
using testenv::pointYmd;

struct TreeCase {
    const char* filter;
    const char* tree;   // expected TreeText, empty for no tree
    const char* error;  // expected parse error, empty for none
};

TEST(FilterGrammar, TreesAndMessages) {
    ScopedFormatSettings regional(pointYmd());
    FilledTable t(std::vector<Column>{{"a", ftInteger}});
    const TreeCase cases[] = {
        {"1 = 1 AND 2 = 2 OR 3 = 4", "(((1:w = 1:w) AND (2:w = 2:w)) OR (3:w = 4:w))", ""},
        {"a OR b AND c", "(a OR (b AND c))", ""},
        {"a AND b AND c", "((a AND b) AND c)", ""},
        {"Id>5", "(Id > 5:w)", ""},
        {"x<>y", "(x <> y)", ""},
        {"x<=-1", "(x <= -1:i)", ""},
        {"n >= 70000", "(n >= 70000:i)", ""},
        {"n < 2.5", "(n < 2.5:f)", ""},
        {"f = true", "(f = True)", ""},
        // A completed NOT inside an expression is a unit; at the root it lends its operand.
        {"x AND NOT a = b", "(x AND ((NOT a) = b))", ""},
        {"NOT a = b", "(NOT (a = b))", ""},
        {"NOT a = b AND c", "((NOT (a = b)) AND c)", ""},
        {"NOT NOT a", "(NOT (NOT a))", ""},
        {"NOT (a = b)", "(NOT [(a = b)])", ""},
        {"(a = 1) AND ((b = 2) OR c)", "([(a = 1:w)] AND [([(b = 2:w)] OR c)])", ""},
        {"s = 'it\"s'", "(s = 'it\"s')", ""},
        {"s = \"it's\"", "(s = 'it's')", ""},
        {"s = \"a(b\"", "(s = 'a(b')", ""},
        {"(s = \"a)b\")", "[(s = 'a)b')]", ""},
        {"a = 1 ()", "(a = 1:w)", ""},
        {"a\tb = 1", "(a\tb = 1:w)", ""},  // only the space separates
        // Incomplete or emptied texts give no tree without an error.
        {"a =", "", ""},
        {"(a = 1) OR ()", "", ""},
        {"a = 1 AND ()", "", ""},
        {"()", "", ""},
        {"a >", "", "TFilterParser.Parser: Нет второго операнда (позиция 2 )"},
        {"a<", "", "TFilterParser.Parser: Нет второго операнда (позиция 1 )"},
        {"a = 'x", "", "TFilterParser.Parser: Не найдена закрывающая кавычка (позиция 4 )"},
        {"a = (b", "", "TFilterParser.Parser: Не найдена закрывающая скобка (позиция 4 )"},
        {"a = = b", "",
         "TFilterParser.Parser.BuildThree: Две бинарные операции подряд (позиция 4 )"},
        {"a b", "",
         "TFilterParser.Parser.BuildThree: Здесь допустима только бинарная операция (позиция 2 )"},
        {"= b", "",
         "TFilterParser.Parser.BuildThree: Здесь допустима только унарная операция (позиция 0 )"},
        // Inside parentheses positions continue from the opening one.
        {"x AND (a = = b)", "",
         "TFilterParser.Parser.BuildThree: Две бинарные операции подряд (позиция 10 )"},
    };
    TZFilterParser& p = t.Parser();
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.filter);
        p.SetFilter(c.filter);
        EXPECT_EQ(p.TreeText(), QString(c.tree));
        EXPECT_EQ(p.LastError(), QString(c.error));
        EXPECT_EQ(p.FilterText(), QString(*c.error ? "" : c.filter));
    }
}

TEST(FilterGrammar, ConstantsFollowRegionalSettings) {
    TZFilterParser p(nullptr);
    EXPECT_THROW(p.SetFilter("a = 1"), Exception);

    FilledTable t(std::vector<Column>{{"a", ftInteger}});
    {
        ScopedFormatSettings regional(pointYmd());
        t.Parser().SetFilter("d = 2024-02-29");
        EXPECT_EQ(t.Parser().TreeText(), "(d = 45351:d)");
        t.Parser().SetFilter("d = 12:30");
        EXPECT_EQ(t.Parser().TreeText(), "(d = 0.520833333333:d)");
    }
    {
        // With a comma decimal separator 1.5 is the first of May of the current year.
        ScopedFormatSettings regional(commaDmy());
        TDateTime may1;
        TryEncodeDate(QDate::currentDate().year(), 5, 1, may1);
        t.Parser().SetFilter("d = 1.5");
        EXPECT_EQ(t.Parser().TreeText(), "(d = " + QString::number(may1) + ":d)");
        t.Parser().SetFilter("n = 2,5");
        EXPECT_EQ(t.Parser().TreeText(), "(n = 2.5:f)");
        t.Parser().SetFilter("d = 29.02.2023");  // not a date: a name
        EXPECT_EQ(t.Parser().TreeText(), "(d = 29.02.2023)");
    }
}

TEST(FilterGrammar, HostileTextsAreRefused) {
    FilledTable t(std::vector<Column>{{"a", ftInteger}});
    t.Parser().SetFilter(QString(5000, '(') + "a" + QString(5000, ')'));
    EXPECT_FALSE(t.Parser().HasTree());
    QString chain = "a";
    for (int i = 0; i < 30000; ++i)
        chain += " AND a";
    t.Parser().SetFilter(chain);
    EXPECT_FALSE(t.Parser().HasTree());
    EXPECT_FALSE(t.Parser().LastError().isEmpty());
}

// Ids 1..5 with Name, Status, Price, Day, Flag; row 2 has a present-empty name, row 3 a null one.
std::unique_ptr<FilledTable> mixedTable() {
    auto t = std::make_unique<FilledTable>(std::vector<Column>{{"Id", ftInteger},
                                                               {"Name", ftString, 20},
                                                               {"Status", ftSmallint},
                                                               {"Price", ftFloat},
                                                               {"Day", ftDateTime},
                                                               {"Flag", ftBoolean},
                                                               {"Big", ftLargeint},
                                                               {"Money", ftCurrency}});
    TDateTime d1, d2;
    TryEncodeDate(2024, 1, 15, d1);
    TryEncodeDate(2024, 3, 1, d2);
    t->addRow(
        {1, "Иванов", 2, 10.5, Variant::FromDateTime(d1 + 0.5), true, int64_t(1) << 40, 1.25});
    t->addRow({2, "", 1, 3.0, Variant::FromDateTime(d2), false, int64_t(7), 2.5});
    t->addRow({3, Variant::Null(), Variant::Null(), Variant::Null(), Variant::Null(),
               Variant::Null(), Variant::Null(), Variant::Null()});
    t->addRow({4, "Петров", 0, 100.0, Variant::FromDateTime(d1), true, int64_t(-5), 0.0});
    t->addRow({5, "abc", 2, 2.5, Variant::FromDateTime(d2 + 0.25), false, int64_t(0), 100.0});
    return t;
}

struct EvalCase {
    const char* filter;
    const char* ids;  // accepted ids, comma-separated
};

TEST(FilterEvaluation, NullRulesComparisonsAndLogic) {
    ScopedFormatSettings regional(pointYmd());
    auto t = mixedTable();
    t->Open();
    t->SetFiltered(true);
    const EvalCase cases[] = {
        {"Name = ''", "2,3"},  // empty and null both read as null
        {"Name <> ''", "1,4,5"},
        {"Name = NULL", "2,3"},
        {"Status = null", "3"},
        {"Status <> Null", "1,2,4,5"},
        {"Status < 1", "3,4"},  // null is below everything
        {"Status > NULL", "1,2,4,5"},
        {"Name > 'a'", "1,4,5"},  // by character code: Cyrillic above Latin
        {"Name = 'ABC'", ""},     // case-sensitive
        {"Price > 3", "1,4"},
        {"Price >= '3'", "1,2,4"},  // text against a number compares as numbers
        {"Id = '2'", "2"},
        {"Day > 2024-02-01", "2,5"},
        {"Day < '2024-01-15 12:00'", "3,4"},  // quoted text becomes a date-time against one
        {"Day = 2024-01-15", "4"},
        {"Flag = true", "1,4"},
        {"Flag = 'FALSE'", "2,5"},
        {"Flag = -1", "1,4"},  // true counts as -1 against integers
        {"Big > 65535", "1"},
        {"Big < 0", "3,4"},
        {"Money > 2", "2,5"},
        {"Money = 1.25", "1"},
        {"NOT Flag", "2,3,5"},  // null stays null, which converts to no boolean: accepted
        {"Status = 2 AND Name <> '' AND Id > 1", "5"},
        {"Status = 0 OR Status = 1", "2,4"},
        {"NOT (Status = 2)", "2,3,4"},
        {"NOT Status = 2", "2,3,4"},
        {"(Flag = true) AND (Status = NULL)", ""},  // comparisons never give null
        {"Status", "1,2,3,5"},                      // non-zero is true; null fails and is accepted
        {"Id AND 1", "1,3,5"},                      // bit by bit
    };
    CapturedErrors errors;
    for (const EvalCase& c : cases) {
        SCOPED_TRACE(c.filter);
        errors.texts.clear();
        t->SetFilter(c.filter);
        ASSERT_TRUE(t->Parser().HasTree());
        EXPECT_EQ(columnValues(*t, "Id").join(','), QString(c.ids));
    }
}

TEST(FilterEvaluation, ConversionErrorsReachTheHandler) {
    ScopedFormatSettings regional(pointYmd());
    auto t = mixedTable();
    t->Open();
    CapturedErrors errors;
    t->SetFilter("Price > 'abc'");
    t->SetFiltered(true);
    EXPECT_EQ(t->RecordCount(), 4);  // null is below the text; the others fail and are accepted
    ASSERT_FALSE(errors.texts.isEmpty());
    EXPECT_EQ(errors.texts.first(), "'abc' is not a valid floating point value");
    errors.texts.clear();
    t->SetFilter("Flag AND Flag");  // null AND null is null, which is no boolean
    EXPECT_EQ(t->RecordCount(), 3);
    EXPECT_TRUE(
        errors.texts.contains("Could not convert variant of type (Null) into type (Boolean)"));
}

TEST(FilterEvaluation, EvaluteValueAndNoTree) {
    auto t = mixedTable();
    t->Open();
    TZFilterParser& p = t->Parser();
    p.SetFilter("");
    EXPECT_TRUE(p.Evalute().IsEmpty());
    EXPECT_FALSE(p.EvaluteToBool());
    p.SetFilter("Name");
    // Evaluation reads the dataset's active record through its fields.
    EXPECT_EQ(p.Evalute(), Variant("Иванов"));
    p.SetFilter("NOT 5");
    EXPECT_EQ(p.Evalute(), Variant(uint16_t(~5)));
}

}  // namespace
