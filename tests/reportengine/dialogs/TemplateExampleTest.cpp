// The dialog example template (resources/templates/dialog_events.fr3) end to end: its OK handler
// reads the dates, the combo and the check boxes and narrows the events query, through the
// headless runner and through preparation; Cancel stops preparation with no pages.
#include "DialogTestSupport.h"
#include "dataclient/UZMemTableBuilder.h"
#include "platform/MessageBox.h"
#include "reportengine/dialogs/DialogForm.h"
#include "reportengine/dialogs/DialogRunners.h"
#include "reportengine/model/DataSets.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/script/Library.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <QTest>

using namespace dialogtest;
using platform::Variant;

namespace {

// The query component of the program gives scripts its table's Filter and Filtered; here a
// TfrxDBDataset over an in-memory table stands in for it.
Variant ServeFilter(script::HostCall& call) {
    auto* ds = qobject_cast<TfrxDBDataset*>(call.Object);
    platform::TDataSet* table = ds ? ds->DataSet() : nullptr;
    if (!table)
        return Variant();
    const bool filtered = call.Member.compare(QLatin1String("Filtered"), Qt::CaseInsensitive) == 0;
    if (call.IsWrite) {
        if (filtered)
            table->SetFiltered(call.Value.ToBool());
        else
            table->SetFilter(call.Value.ToString());
        return Variant();
    }
    return filtered ? Variant(table->Filtered()) : Variant(table->Filter());
}

const bool kFilterBinding = [] {
    script::FunctionLibrary::RegisterModule([](script::FunctionLibrary& lib) {
        lib.AddClass(QStringLiteral("TfrxDBDataset"), QStringLiteral("TfrxDataSet"))
            .AddProperty(QStringLiteral("property Filter: String"), false, ServeFilter)
            .AddProperty(QStringLiteral("property Filtered: Boolean"), false, ServeFilter);
    });
    return true;
}();

double Day(int y, int m, int d, int hour = 0) {
    return platform::QDateTimeToDateTime(QDateTime(QDate(y, m, d), QTime(hour, 0)));
}

class EventTable : public dataclient::FilledMemTable {
public:
    EventTable()
        : FilledMemTable({{"ID", platform::ftInteger},
                          {"EventTime", platform::ftDateTime},
                          {"Kind", platform::ftInteger},
                          {"Direction", platform::ftInteger},
                          {"Text", platform::ftString, 40}}) {
        addRow({1, Day(2026, 6, 30, 23), 1, 1, "до периода"});
        addRow({2, Day(2026, 7, 1, 8), 1, 1, "дверь, вход"});
        addRow({3, Day(2026, 7, 1, 9), 1, 2, "дверь, выход"});
        addRow({4, Day(2026, 7, 10, 12), 2, 1, "турникет, вход"});
        addRow({5, Day(2026, 7, 15, 18), 4, 1, "тревога, вход"});
        addRow({6, Day(2026, 7, 31, 23), 3, 1, "шлагбаум, вход"});
        addRow({7, Day(2026, 8, 1, 0), 1, 1, "после периода"});
    }
};

struct Example {
    std::unique_ptr<TfrxReport> Report = std::make_unique<TfrxReport>();
    EventTable Table;
    TfrxDBDataset* Events = nullptr;
    Example() {
        EXPECT_TRUE(Report->LoadFromFile(
            QStringLiteral(VELLUMAR_SOURCE_DIR "/resources/templates/dialog_events.fr3")));
        Events = &Find<TfrxDBDataset>(*Report, "Events");
        Events->SetDataSet(&Table);
        Table.Open();
    }
    QList<int> Ids() {
        QList<int> ids;
        for (Events->First(); !Events->Eof(); Events->Next())
            ids << Events->Value(QStringLiteral("ID")).ToInt();
        return ids;
    }
};

}  // namespace

TEST(DialogExample, OkNarrowsTheQueryToTheAnswers) {
    ASSERT_TRUE(kFilterBinding);
    struct Case {
        std::vector<std::pair<const char*, Variant>> Answers;
        QList<int> Ids;
    };
    const Case cases[] = {
        // July, doors and turnstiles (the template's boxes), both directions.
        {{{"DateFrom", "2026-07-01"}, {"DateTo", "2026-07-31"}}, {2, 3, 4}},
        // Entries only, doors off, alarm zones and barriers on.
        {{{"DateFrom", "2026-07-01"},
          {"DateTo", "2026-07-31"},
          {"DirectionBox.ItemIndex", 1},
          {"DoorsBox", false},
          {"TurnstilesBox", false},
          {"BarriersBox", true},
          {"AlarmsBox", true}},
         {5, 6}},
        // Exits of the first of July.
        {{{"DateFrom", "01.07.2026"}, {"DateTo", "01.07.2026"}, {"DirectionBox", "Только выход"}},
         {3}},
    };
    for (const Case& c : cases) {
        Example ex;
        StartScript(*ex.Report);
        TfrxHeadlessDialogRunner runner;
        for (const auto& [key, value] : c.Answers)
            runner.SetAnswer(key, value);
        EXPECT_EQ(runner.RunDialogPage(Find<TfrxDialogPage>(*ex.Report, "Ask")), mrOk);
        EXPECT_TRUE(ex.Table.Filtered());
        EXPECT_EQ(ex.Ids(), c.Ids) << ex.Table.Filter().toStdString();
    }
}

TEST(DialogExample, RefusedAnswersStopTheHeadlessRun) {
    Example ex;
    StartScript(*ex.Report);
    TfrxHeadlessDialogRunner runner;
    runner.SetAnswer("DoorsBox", false);
    runner.SetAnswer("TurnstilesBox", false);
    EXPECT_THROW(runner.RunDialogPage(Find<TfrxDialogPage>(*ex.Report, "Ask")),
                 platform::Exception);
    EXPECT_FALSE(ex.Table.Filtered());
}

TEST(DialogExample, PreparationRunsTheDialogFirstAndCancelStopsIt) {
    {
        Example ex;
        TfrxHeadlessDialogRunner runner;
        runner.SetAnswer("DateFrom", "2026-07-01");
        runner.SetAnswer("DateTo", "2026-07-31");
        ex.Report->DialogRunner = &runner;
        EXPECT_TRUE(ex.Report->PrepareReport()) << ex.Report->ErrorText.toStdString();
        EXPECT_EQ(ex.Report->PreparedPages().Count(), 1);
        EXPECT_EQ(ex.Ids(), QList<int>({2, 3, 4}));
    }
    {
        Example ex;
        platform::setModalHandler([](QDialog& d) {
            d.show();
            QTest::keyClick(&d, Qt::Key_Escape);
            return d.result();
        });
        TfrxModalDialogRunner runner;
        ex.Report->DialogRunner = &runner;
        EXPECT_FALSE(ex.Report->PrepareReport());
        platform::setModalHandler(nullptr);
        EXPECT_EQ(ex.Report->ErrorText, "");
        EXPECT_EQ(ex.Report->PreparedPages().Count(), 0);
        EXPECT_FALSE(ex.Table.Filtered());
    }
}

// For looking at the dialog on a real display: VELLUMAR_SHOW_DIALOG=<seconds> (and
// QT_QPA_PLATFORM=xcb) shows the example's dialog for that long; skipped otherwise.
TEST(DialogExample, ShowOnScreen) {
    const int seconds = qEnvironmentVariableIntValue("VELLUMAR_SHOW_DIALOG");
    if (seconds <= 0)
        GTEST_SKIP() << "set VELLUMAR_SHOW_DIALOG=<seconds> to look at the dialog";
    Example ex;
    StartScript(*ex.Report);
    TfrxDialogForm form(Find<TfrxDialogPage>(*ex.Report, "Ask"));
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(seconds * 1000);
}
