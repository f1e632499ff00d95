// The object model: ownership and look-up, the class registry, datasets over the range rules,
// and what scripts reach through the model's host classes.
#include "reportengine/model/Bands.h"
#include "reportengine/model/ClassRegistry.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"
#include "reportengine/model/ScriptBinding.h"
#include "reportengine/model/Views.h"
#include "reportengine/script/Script.h"

#include <gtest/gtest.h>

using namespace reportengine;
using platform::Variant;

namespace {

// A user dataset over a fixed column of numbers.
struct Numbers {
    std::vector<int> Rows;
    int At = 0;
    void Attach(TfrxUserDataSet& ds) {
        ds.Fields = QStringList{QStringLiteral("N")};
        ds.OnFirst = [this] { At = 0; };
        ds.OnNext = [this] { ++At; };
        ds.OnCheckEOF = [this] { return At >= int(Rows.size()); };
        ds.OnGetValue = [this](const QString&) { return Variant(Rows[size_t(At)]); };
        ds.OnGetRecordCount = [this] { return int(Rows.size()); };
    }
};

std::vector<int> Walk(TfrxDataSet& ds) {
    std::vector<int> seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen.push_back(ds.Value(QStringLiteral("n")).ToInt());
    return seen;
}

}  // namespace

TEST(Model, OwnershipOrderAndLookUp) {
    TfrxReport report;
    auto* page = new TfrxReportPage(&report);
    auto* a = new TfrxMasterData(page);
    auto* b = new TfrxPageFooter(page);
    auto* memo = new TfrxMemoView(a);
    memo->setObjectName(QStringLiteral("Memo1"));
    b->SetParent(page, 0);  // moved to the front
    EXPECT_EQ(page->Objects(), (std::vector<TfrxComponent*>{b, a}));
    EXPECT_EQ(memo->Report(), &report);
    EXPECT_EQ(memo->Page(), page);
    EXPECT_EQ(b->FindObject(QStringLiteral("MEMO1")), memo);
    delete a;  // takes the memo with it and leaves the page's list
    EXPECT_EQ(page->Objects(), (std::vector<TfrxComponent*>{b}));
    EXPECT_EQ(report.FindObject(QStringLiteral("memo1")), nullptr);
}

TEST(Model, PageGeometryFollowsPaperAndOrientation) {
    TfrxReportPage page;
    EXPECT_NEAR(page.Width, 210 * fr01cm, 1e-9);
    page.SetOrientation(poLandscape);
    EXPECT_EQ(page.PaperWidth(), 297);
    EXPECT_NEAR(page.Height, 210 * fr01cm, 1e-9);
    EXPECT_NEAR(page.PrintableWidth(), 277 * fr01cm, 1e-9);
}

TEST(Model, ChildMustBeAChildBand) {
    TfrxMasterData band;
    TfrxHeader header;
    TfrxChild child;
    band.SetChild(&header);
    EXPECT_EQ(band.Child(), nullptr);
    band.SetChild(&child);
    EXPECT_EQ(band.Child(), &child);
}

TEST(Model, ParentFontUsesTheBandFont) {
    TfrxMasterData band;
    band.Font.Name = QStringLiteral("Courier New");
    auto* memo = new TfrxMemoView(&band);
    EXPECT_EQ(memo->UsedFont().Name, QStringLiteral("Courier New"));
    memo->ParentFont = false;
    EXPECT_EQ(memo->UsedFont().Name, QStringLiteral("Arial"));
}

TEST(Model, RegistryCreatesKnownClassesAndReportsUnknownOnes) {
    auto& registry = TfrxClassRegistry::Instance();
    TfrxReportPage page;
    TfrxComponent* c = registry.Create(QStringLiteral("tfrxmemoview"), &page);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->ClassName(), QStringLiteral("TfrxMemoView"));
    EXPECT_EQ(c->Parent(), &page);
    EXPECT_EQ(registry.Create(QStringLiteral("TfrxNoSuchView"), &page), nullptr);
    EXPECT_EQ(registry.Find(QStringLiteral("TfrxNoSuchView")), nullptr);
    EXPECT_EQ(registry.Find(QStringLiteral("TfrxGroupHeader"))->Category, TfrxClassCategory::Band);

    // A host class registered later is created like the engine's own.
    registry.Register<TfrxMemoView>(TfrxClassCategory::View, QStringLiteral("Again"));
    EXPECT_EQ(registry.Find(QStringLiteral("TfrxMemoView"))->Description, QStringLiteral("Again"));
}

TEST(Model, DataSetRanges) {
    struct Case {
        TfrxRangeEnd End;
        int Count;
        std::vector<int> Expected;
    };
    const Case cases[] = {
        {reLast, 0, {1, 2, 3}},
        {reCount, 2, {1, 2}},
        {reCount, 9, {1, 2, 3}},  // more than there are
        {reCurrent, 0, {1}},
    };
    for (const Case& c : cases) {
        Numbers n{{1, 2, 3}};
        TfrxUserDataSet ds;
        n.Attach(ds);
        ds.RangeEnd = c.End;
        ds.RangeEndCount = c.Count;
        EXPECT_EQ(Walk(ds), c.Expected);
    }
    Numbers n{{1}};
    TfrxUserDataSet ds;
    n.Attach(ds);
    EXPECT_THROW(ds.Value(QStringLiteral("Missing")), platform::Exception);
}

TEST(Model, VariablesIgnoreCaseAndCategories) {
    TfrxReport report;
    report.Variables.AddCategory(QStringLiteral("X"));
    report.Variables.Set(QStringLiteral("X"), QStringLiteral("1 + 1"));
    report.Variables.Set(QStringLiteral("x"), QStringLiteral("2"));
    EXPECT_EQ(report.Variables.Count(), 2);
    EXPECT_EQ(report.Variables.Get(QStringLiteral("X")).ToString(), QStringLiteral("2"));
}

TEST(Model, ClearRestoresDefaults) {
    TfrxReport report;
    new TfrxReportPage(&report);
    report.EngineOptions.DoublePass = true;
    report.PreviewOptions.Buttons = pbPrint;
    report.ScriptText = QStringList{QStringLiteral("begin end.")};
    report.Variables.Set(QStringLiteral("a"), 1);
    report.Clear();
    EXPECT_EQ(report.PagesCount(), 0);
    EXPECT_FALSE(report.EngineOptions.DoublePass);
    EXPECT_EQ(report.PreviewOptions.Buttons, pbDefault);
    EXPECT_TRUE(report.ScriptText.isEmpty());
    EXPECT_EQ(report.Variables.Count(), 0);
}

TEST(Model, ProgressReachesCallbacksAndSignals) {
    TfrxReport report;
    std::vector<std::pair<int, int>> calls;
    report.OnProgress = [&](int kind, int page) { calls.emplace_back(kind, page); };
    int signalled = 0;
    QObject::connect(&report, &TfrxReport::progressed, [&](int kind, int) { signalled += kind; });
    report.DoProgress(ptPrinting, 3);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{2, 3}}));
    EXPECT_EQ(signalled, 2);
}

TEST(Model, ScriptsReachDataSetsAndVariablesThroughTheHostClasses) {
    RegisterModelScriptBinding();
    TfrxReport report;
    report.setObjectName(QStringLiteral("Report"));
    auto* data = new TfrxDataPage(&report);
    auto* ds = new TfrxUserDataSet(data);
    ds->setObjectName(QStringLiteral("Nums"));
    Numbers n{{4, 5, 6}};
    n.Attach(*ds);
    report.AddDataSet(ds);
    report.Variables.Set(QStringLiteral("Limit"), 100);
    auto* page = new TfrxReportPage(&report);
    auto* memo = new TfrxMemoView(new TfrxMasterData(page));
    memo->setObjectName(QStringLiteral("Memo1"));

    script::Script s;
    s.AddObject(QStringLiteral("Report"), &report);
    s.SetRootObject(&report);
    s.Compile(
        QStringLiteral("var t: Integer;\n"
                       "begin\n"
                       "  Nums.First;\n"
                       "  while not Nums.Eof do begin t := t + Nums.Value['N']; Nums.Next; end;\n"
                       "  Report.Variables['Sum'] := t + Nums.RecordCount;\n"
                       "  if Report.GetDataset('nums') = nil then t := -1;\n"
                       "  t := t + Report.Variables['Limit'];\n"
                       "  Memo1.HAlign := haCenter; Memo1.Font.Style := 1; Memo1.Memo.Add('x');\n"
                       "  Memo1.Frame.Typ := Memo1.Parent.Page.Columns + 15;\n"
                       "end."));
    s.Run();
    EXPECT_EQ(report.Variables.Get(QStringLiteral("Sum")).ToInt(), 18);
    EXPECT_EQ(s.Global(QStringLiteral("t")).ToInt(), 115);
    EXPECT_EQ(memo->HAlign, haCenter);
    EXPECT_EQ(memo->Font.Style, 1);
    EXPECT_EQ(memo->Text, QStringLiteral("x"));
    EXPECT_EQ(memo->Frame.Typ, 15);
}

// A host query class declared with ancestor "TfrxCustomQuery" answers the dataset members.
namespace {
class TfrxHostQuery : public TfrxCustomQuery {
    Q_OBJECT
public:
    using TfrxCustomQuery::TfrxCustomQuery;
};
}  // namespace

TEST(Model, HostQueryClassInheritsTheDataSetMembers) {
    RegisterModelScriptBinding();
    auto lib = std::make_shared<script::FunctionLibrary>(*script::FunctionLibrary::Default());
    lib->AddClass(QStringLiteral("TfrxHostQuery"), QStringLiteral("TfrxCustomQuery"));
    EXPECT_TRUE(lib->ClassInherits(lib->FindClass(QStringLiteral("TfrxHostQuery")),
                                   QStringLiteral("TfrxDataSet")));
    TfrxReport report;
    auto* q = new TfrxHostQuery(new TfrxDataPage(&report));
    q->setObjectName(QStringLiteral("Q"));
    q->SetSQL(QStringList{QStringLiteral("select 1")});
    script::Script s(lib);
    s.SetRootObject(&report);
    s.Compile(
        QStringLiteral("var n: Integer; begin Q.Open; if Q.Eof then n := Q.RecordCount + 7; "
                       "Q.SQL.Add('x'); end."));
    s.Run();
    EXPECT_EQ(s.Global(QStringLiteral("n")).ToInt(), 7);  // no dataset attached: empty, 0 rows
    EXPECT_EQ(q->SQL(), QStringList({QStringLiteral("select 1"), QStringLiteral("x")}));
}

#include "ModelTest.moc"
