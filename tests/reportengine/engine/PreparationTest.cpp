// Preparation end to end on templates: the band rules, groups, master-detail, aggregates, page
// numbering with the total, stretching across page breaks, the script's part in the run, and
// stopping.
#include "EngineFixture.h"

#include "reportengine/model/DialogRunner.h"
#include "reportengine/script/Script.h"
#include "reportengine/model/Pages.h"

#include <gtest/gtest.h>

using namespace enginetest;
using platform::Variant;

namespace {

std::vector<dataclient::FilledColumn> PeopleColumns() {
    return {{"ID", platform::ftInteger}, {"Name", platform::ftString, 40},
            {"Status", platform::ftInteger}};
}

Rows NumberedPeople(int count) {
    Rows rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({i, QStringLiteral("Сотрудник %1").arg(i), i % 4 + 1});
    return rows;
}

}  // namespace

TEST(Preparation, ListWithPageHeaderFooterAndTotalPages) {
    TfrxReport report;
    ASSERT_TRUE(report.LoadFromFile(TemplatePath("simple_list.fr3")));
    auto table = Bind(report, "People", PeopleColumns(), NumberedPeople(120));
    ASSERT_TRUE(report.PrepareReport()) << report.ErrorText.toStdString();

    const TfrxPreparedPages& pages = report.PreparedPages();
    // 297 mm less 20 mm of margins holds 1046.9 px: header 22.7 + footer 22.7 leave room for
    // 53 rows of 18.9 px.
    ASSERT_EQ(pages.Count(), 3);
    EXPECT_EQ(AllTexts(pages, "PageNo"), QStringList({"1 / 3", "2 / 3", "3 / 3"}));
    EXPECT_EQ(AllTexts(pages, "Title").size(), 3);
    const QStringList names = AllTexts(pages, "PersonName");
    ASSERT_EQ(names.size(), 120);
    EXPECT_EQ(names.front(), "Сотрудник 1");
    EXPECT_EQ(names.back(), "Сотрудник 120");
    EXPECT_EQ(Texts(*pages.Page(0), "PersonName").size(), 53);

    // Items sit on the paper: margins added, rows one band height apart, footer at the bottom.
    const PreparedPage& first = *pages.Page(0);
    std::vector<double> rowTops;
    double footerTop = 0;
    for (const PreparedItem& item : first.Items) {
        if (item.Name == "PersonName")
            rowTops.push_back(item.Y);
        if (item.Name == "PageNo")
            footerTop = item.Y;
    }
    EXPECT_NEAR(rowTops[0], 10 * fr01cm + 22.67718, 0.01);
    EXPECT_NEAR(rowTops[1] - rowTops[0], 18.89765, 0.01);
    EXPECT_NEAR(footerTop, (297 - 10) * fr01cm - 22.67718, 0.01);
    EXPECT_EQ(Texts(first, "PersonStatus")[0], "2");
}

TEST(Preparation, GroupsWithFootersAndAggregates) {
    const QString bands = QStringLiteral(R"(
<TfrxGroupHeader Name="GH" Height="20" Top="10" Width="700" Condition="Sales.&quot;Dept&quot;">
  <TfrxMemoView Name="Dept" Width="300" Height="18" Text="Отдел [Sales.&quot;Dept&quot;]"/>
</TfrxGroupHeader>
<TfrxMasterData Name="MD" Height="18" Top="40" Width="700" DataSet="Sales" DataSetName="Sales">
  <TfrxMemoView Name="Row" Width="300" Height="18" Text="[Line#]. [Sales.&quot;Amount&quot;]"/>
</TfrxMasterData>
<TfrxGroupFooter Name="GF" Height="20" Top="70" Width="700">
  <TfrxMemoView Name="GroupEnd" Left="600" Width="100" Height="18" Text="[Sales.&quot;Dept&quot;]"/>
  <TfrxMemoView Name="GroupTotals" Width="600" Height="18" Text="[SUM(&lt;Sales.&quot;Amount&quot;&gt;)] [COUNT(MD)] [MIN(&lt;Sales.&quot;Amount&quot;&gt;, MD)] [MAX(&lt;Sales.&quot;Amount&quot;&gt;, MD)] [AVG(&lt;Sales.&quot;Amount&quot;&gt;) #n%2.1f] [Max(1, 5)]"/>
</TfrxGroupFooter>
<TfrxReportSummary Name="RS" Height="20" Top="100" Width="700">
  <TfrxMemoView Name="Grand" Width="300" Height="18" Text="[SUM(&lt;Sales.&quot;Amount&quot;&gt;, MD)]" DisplayFormat.Kind="fkNumeric" DisplayFormat.FormatStr="%2.2n" DisplayFormat.DecimalSeparator=","/>
  <TfrxMemoView Name="Running" Left="300" Width="300" Height="18" Text="[SUM(&lt;Sales.&quot;Amount&quot;&gt;, MD, 2)]"/>
</TfrxReportSummary>)");
    TfrxReport report;
    Read(report, Template(bands, QStringLiteral(R"(<TfrxDBDataset Name="Sales"/>)")));
    auto table = Bind(report, "Sales", {{"Dept", platform::ftString, 20}, {"Amount", platform::ftInteger}},
                      {{"Склад", 10}, {"Склад", 30}, {"Офис", 5}, {"Цех", 7}, {"Цех", Variant::Null()}, {"Цех", 1}});
    ASSERT_TRUE(report.PrepareReport()) << report.ErrorText.toStdString();
    const PreparedPage& page = *report.PreparedPages().Page(0);
    EXPECT_EQ(Texts(page, "Dept"), QStringList({"Отдел Склад", "Отдел Офис", "Отдел Цех"}));
    EXPECT_EQ(Texts(page, "Row"), QStringList({"1. 10", "2. 30", "1. 5", "1. 7", "2.", "3. 1"}));
    // Nulls count for COUNT of rows, not for the value aggregates.
    EXPECT_EQ(Texts(page, "GroupTotals"),
              QStringList({"40 2 10 30 20.0 5", "5 1 5 5 5.0 5", "8 3 1 7 4.0 5"}));
    // A footer shows its own group's values, not those of the row that ended the group.
    EXPECT_EQ(Texts(page, "GroupEnd"), QStringList({"Склад", "Офис", "Цех"}));
    EXPECT_EQ(Texts(page, "Grand"), QStringList({"53,00"}));
    EXPECT_EQ(Texts(page, "Running"), QStringList({"53"}));
    // A text showing one value keeps it typed for spreadsheets; mixed text does not.
    for (const PreparedItem& item : page.Items) {
        if (item.Name == "Grand") {
            EXPECT_EQ(item.ValueKind, ItemValueKind::Number);
            EXPECT_EQ(item.Value, 53);
            EXPECT_EQ(item.ValueFormat, "%2.2n");
        } else if (item.Name == "Dept" || item.Name == "Row") {
            EXPECT_EQ(item.ValueKind, ItemValueKind::None);
        }
    }

    // Bands follow each other in print order.
    QStringList order;
    for (const PreparedItem& item : page.Items)
        order << item.Name;
    EXPECT_EQ(order.mid(0, 5), QStringList({"Dept", "Row", "Row", "GroupEnd", "GroupTotals"}));
}

TEST(Preparation, MasterDetailWithHeadersFootersAndChild) {
    const QString bands = QStringLiteral(R"(
<TfrxHeader Name="H" Height="20" Top="5" Width="700"><TfrxMemoView Name="Head" Width="300" Height="18" Text="Люди"/></TfrxHeader>
<TfrxMasterData Name="M" Height="20" Top="30" Width="700" DataSet="People" DataSetName="People" Child="C">
  <TfrxMemoView Name="Person" Width="300" Height="18" Text="[People.&quot;Name&quot;]"/>
</TfrxMasterData>
<TfrxChild Name="C" Height="6" Top="55" Width="700"><TfrxMemoView Name="Sep" Width="10" Height="5" Text="-"/></TfrxChild>
<TfrxDetailData Name="D" Height="18" Top="70" Width="700" DataSet="Marks" DataSetName="Marks" Filter="&lt;Marks.&quot;PersonID&quot;&gt; = &lt;People.&quot;ID&quot;&gt;">
  <TfrxMemoView Name="Mark" Left="20" Width="300" Height="18" Text="[Marks.&quot;Code&quot;]"/>
</TfrxDetailData>
<TfrxFooter Name="DF" Height="18" Top="95" Width="700"><TfrxMemoView Name="MarkCount" Width="300" Height="18" Text="[COUNT(D)]"/></TfrxFooter>
<TfrxFooter Name="F" Height="18" Top="120" Width="700"><TfrxMemoView Name="PeopleCount" Width="300" Height="18" Text="[COUNT(M)]"/></TfrxFooter>)");
    TfrxReport report;
    Read(report, Template(bands, QStringLiteral(R"(<TfrxDBDataset Name="People"/><TfrxDBDataset Name="Marks"/>)")));
    auto people = Bind(report, "People", PeopleColumns(), NumberedPeople(3));
    auto marks = Bind(report, "Marks", {{"PersonID", platform::ftInteger}, {"Code", platform::ftString, 10}},
                      {{1, "A1"}, {3, "C1"}, {1, "A2"}, {3, "C2"}});
    ASSERT_TRUE(report.PrepareReport()) << report.ErrorText.toStdString();
    QStringList order;
    for (const PreparedItem& item : report.PreparedPages().Page(0)->Items)
        order << ItemText(item);
    // Person 2 has no marks: the detail prints nothing, header and footer included.
    EXPECT_EQ(order, QStringList({"Люди", "Сотрудник 1", "-", "A1", "A2", "2", "Сотрудник 2", "-",
                                  "Сотрудник 3", "-", "C1", "C2", "2", "3"}));
}

TEST(Preparation, StretchedTextSplitsAcrossPagesWithoutLosingLines) {
    QStringList words;
    for (int i = 1; i <= 700; ++i)
        words << QStringLiteral("слово%1").arg(i);
    const QString bands = QStringLiteral(R"(
<TfrxPageHeader Name="PH" Height="20" Top="1" Width="700"><TfrxMemoView Name="Head" Width="300" Height="18" Text="Шапка"/></TfrxPageHeader>
<TfrxMasterData Name="M" Height="18" Top="30" Width="700" RowCount="2" AllowSplit="True" Stretched="True">
  <TfrxMemoView Name="Long" Width="300" Height="18" StretchMode="smActualHeight" Text="%1"/>
</TfrxMasterData>)").arg(words.join(u' '));
    TfrxReport report;
    Read(report, Template(bands));
    ASSERT_TRUE(report.PrepareReport()) << report.ErrorText.toStdString();
    const TfrxPreparedPages& pages = report.PreparedPages();
    ASSERT_GE(pages.Count(), 2);
    QStringList seen;
    double pageBottom = (297 - 10) * fr01cm;
    for (int p = 0; p < pages.Count(); ++p) {
        EXPECT_EQ(Texts(*pages.Page(p), "Head"), QStringList{"Шапка"}) << p;
        for (const PreparedItem& item : pages.Page(p)->Items) {
            if (item.Name != "Long")
                continue;
            EXPECT_LE(item.Y + item.H, pageBottom + 0.5) << p;
            for (const TextLine& line : item.Lines)
                seen << line.Text.split(u' ', Qt::SkipEmptyParts);
        }
    }
    // Both rows, every word once per row, in order.
    EXPECT_EQ(seen, words + words);
}

TEST(Preparation, ScriptRunsFirstAndDrivesTheRun) {
    const QString script = QStringLiteral(
        "var Log: String;\n"
        "procedure Start(Sender: TfrxComponent);\n"
        "begin Log := Log + 'start;'; Report.Variables['Greeting'] := '''Привет'''; end;\n"
        "procedure RowBefore(Sender: TfrxComponent);\n"
        "begin Row.Visible := <Line#> mod 2 = 1; end;\n"
        "procedure Stop(Sender: TfrxComponent);\n"
        "begin Log := Log + 'stop;'; end;\n"
        "begin Log := 'main;'; end.");
    const QString bands = QStringLiteral(R"(
<TfrxReportTitle Name="T" Height="20" Top="1" Width="700"><TfrxMemoView Name="Title" Width="300" Height="18" Text="[Greeting] [FinalText]"/></TfrxReportTitle>
<TfrxMasterData Name="M" Height="18" Top="30" Width="700" RowCount="5" OnBeforePrint="RowBefore">
  <TfrxMemoView Name="Row" Width="300" Height="18" Text="[Line#]"/>
</TfrxMasterData>)");
    TfrxReport report;
    Read(report, Template(bands, QString(), script,
                          QStringLiteral(" OnStartReport=\"Start\" OnStopReport=\"Stop\"")));
    report.Variables.Set(QStringLiteral("FinalText"), Variant(QStringLiteral("Greeting + '!'")));
    ASSERT_TRUE(report.PrepareReport()) << report.ErrorText.toStdString();
    const PreparedPage& page = *report.PreparedPages().Page(0);
    EXPECT_EQ(Texts(page, "Title"), QStringList({"Привет Привет!"}));
    EXPECT_EQ(Texts(page, "Row"), QStringList({"1", "3", "5"}));
    EXPECT_EQ(report.ScriptEngine()->Global(QStringLiteral("Log")).ToString(), "main;start;stop;");
}

namespace {

class CancellingRunner : public TfrxDialogRunner {
public:
    int RunDialogPage(TfrxDialogPage& page) override {
        shown << page.Name();
        return mrCancel;
    }
    QStringList shown;
};

}  // namespace

TEST(Preparation, StopsCleanly) {
    const QString rows = QStringLiteral(R"(
<TfrxMasterData Name="M" Height="100" Top="30" Width="700" RowCount="1000">
  <TfrxMemoView Name="Row" Width="300" Height="18" Text="[Line#]"/>
</TfrxMasterData>)");
    {  // Terminated from a progress handler: the pages so far stay, the run says it stopped.
        TfrxReport report;
        Read(report, Template(rows));
        std::vector<int> progress;
        report.OnProgress = [&](int kind, int page) {
            progress.push_back(page);
            if (page == 3)
                report.Terminated = true;
        };
        EXPECT_FALSE(report.PrepareReport());
        EXPECT_TRUE(report.ErrorText.isEmpty());
        EXPECT_EQ(progress, (std::vector<int>{1, 2, 3}));
        EXPECT_EQ(report.PreparedPages().Count(), 3);
    }
    {  // A cancelled dialog: no pages, OnStopReport still runs.
        TfrxReport report;
        const QByteArray withDialog = Template(rows, QString(), QStringLiteral(
            "var Stopped: Boolean;\nprocedure Stop(Sender: TfrxComponent); begin Stopped := True; end;\nbegin end."),
            QStringLiteral(" OnStopReport=\"Stop\""))
            .replace("</TfrxReport>", "<TfrxDialogPage Name=\"Ask\"><TfrxButtonControl Name=\"Ok\" ModalResult=\"1\"/></TfrxDialogPage></TfrxReport>");
        Read(report, withDialog);
        CancellingRunner runner;
        report.DialogRunner = &runner;
        EXPECT_FALSE(report.PrepareReport());
        EXPECT_EQ(runner.shown, QStringList{"Ask"});
        EXPECT_EQ(report.PreparedPages().Count(), 0);
        EXPECT_TRUE(report.ScriptEngine()->Global(QStringLiteral("Stopped")).ToBool());
    }
    {  // A script error names the object and stops the run.
        TfrxReport report;
        Read(report, Template(QStringLiteral(R"(<TfrxMasterData Name="M" Height="18" Top="30" Width="700" RowCount="1">
  <TfrxMemoView Name="Broken" Width="300" Height="18" Text="[1 div 0]"/></TfrxMasterData>)")));
        EXPECT_FALSE(report.PrepareReport());
        EXPECT_TRUE(report.ErrorText.startsWith("Broken: ")) << report.ErrorText.toStdString();
    }
}

TEST(Preparation, KeptTogetherGroupsMoveWholeToTheNextPage) {
    // Groups of 12 rows of 30 px (about 400 px each) on 1047 px pages: the third group would
    // start low on the first page and moves, header and rows, to the second.
    const QString bands = QStringLiteral(R"(
<TfrxGroupHeader Name="GH" Height="30" Top="10" Width="700" Condition="Rows.&quot;G&quot;" KeepTogether="%1">
  <TfrxMemoView Name="Group" Width="300" Height="18" Text="[Rows.&quot;G&quot;]"/>
</TfrxGroupHeader>
<TfrxMasterData Name="MD" Height="30" Top="40" Width="700" DataSet="Rows" DataSetName="Rows">
  <TfrxMemoView Name="Row" Width="300" Height="18" Text="[Rows.&quot;G&quot;]-[Rows.&quot;N&quot;]"/>
</TfrxMasterData>)");
    Rows rows;
    for (int g = 1; g <= 4; ++g)
        for (int n = 1; n <= 12; ++n)
            rows.push_back({QStringLiteral("G%1").arg(g), n});
    for (const bool keep : {false, true}) {
        TfrxReport report;
        Read(report, Template(bands.arg(keep ? "True" : "False"),
                              QStringLiteral(R"(<TfrxDBDataset Name="Rows"/>)")));
        auto table = Bind(report, "Rows", {{"G", platform::ftString, 5}, {"N", platform::ftInteger}}, rows);
        ASSERT_TRUE(report.PrepareReport()) << report.ErrorText.toStdString();
        const TfrxPreparedPages& pages = report.PreparedPages();
        ASSERT_EQ(pages.Count(), 2);
        const QStringList first = Texts(*pages.Page(0), "Row");
        if (keep) {
            EXPECT_EQ(Texts(*pages.Page(0), "Group"), QStringList({"G1", "G2"}));
            EXPECT_EQ(first.size(), 24);
            EXPECT_EQ(Texts(*pages.Page(1), "Row").front(), "G3-1");
            // The moved block starts at the top of the page.
            EXPECT_NEAR(pages.Page(1)->Items.front().Y, 10 * fr01cm, 0.01);
        } else {
            EXPECT_EQ(Texts(*pages.Page(0), "Group"), QStringList({"G1", "G2", "G3"}));
            EXPECT_GT(first.size(), 24);
        }
        EXPECT_EQ(AllTexts(pages, "Row").size(), 48);
    }
}

TEST(Preparation, EveryReportPageAddsUpItsOwnAggregates) {
    // Two report pages, each with its own rows and summary; the second starts a new page.
    auto page = [](const char* name, int rows) {
        return QStringLiteral(R"(<TfrxReportPage Name="%1">
<TfrxMasterData Name="%1Rows" Height="18" Top="10" Width="700" RowCount="%2">
  <TfrxMemoView Name="%1Row" Width="300" Height="18" Text="[Line#]"/></TfrxMasterData>
<TfrxReportSummary Name="%1Sum" Height="18" Top="40" Width="700">
  <TfrxMemoView Name="%1Total" Width="300" Height="18" Text="[SUM(&lt;Line#&gt;, %1Rows)] [COUNT(%1Rows)]"/>
</TfrxReportSummary></TfrxReportPage>)").arg(QLatin1String(name)).arg(rows);
    };
    TfrxReport report;
    Read(report, (QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<TfrxReport>") +
                  page("A", 3) + page("B", 4) + QStringLiteral("</TfrxReport>"))
                     .toUtf8());
    ASSERT_TRUE(report.PrepareReport()) << report.ErrorText.toStdString();
    ASSERT_EQ(report.PreparedPages().Count(), 2);
    EXPECT_EQ(Texts(*report.PreparedPages().Page(0), "ATotal"), QStringList({"6 3"}));
    EXPECT_EQ(Texts(*report.PreparedPages().Page(1), "BTotal"), QStringList({"10 4"}));
}

TEST(Preparation, TheScriptStaysUsableAfterTheRun) {
    // Dialog and preview events call the script after the engine is gone.
    const QString script = QStringLiteral(
        "function Describe: String; begin Result := <Greeting> + ' ' + IntToStr(<Line#>); end;\n"
        "begin end.");
    TfrxReport report;
    Read(report, Template(QStringLiteral(R"(<TfrxMasterData Name="M" Height="18" Top="30" Width="700" RowCount="2">
  <TfrxMemoView Name="Row" Width="300" Height="18" Text="[Describe]"/></TfrxMasterData>)"),
                          QString(), script));
    report.Variables.Set(QStringLiteral("Greeting"), Variant(QStringLiteral("'Строка'")));
    ASSERT_TRUE(report.PrepareReport()) << report.ErrorText.toStdString();
    EXPECT_EQ(Texts(*report.PreparedPages().Page(0), "Row"), QStringList({"Строка 1", "Строка 2"}));
    // Afterwards the variable reads as it is stored; a system value is an error, not a crash.
    EXPECT_EQ(report.ScriptEngine()->Evaluate(QStringLiteral("<Greeting>")).ToString(), "'Строка'");
    EXPECT_THROW(report.ScriptEngine()->CallProcedure(QStringLiteral("Describe")), platform::Exception);
}
