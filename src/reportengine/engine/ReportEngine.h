// TfrxEngine: prepares one run of a report. It compiles and runs the script's main block, calls
// OnStartReport, runs the dialog pages (through the report's DialogRunner), then prints the bands
// of each report page into prepared pages: title, page and column headers and footers, data
// bands over their datasets with headers, footers, groups and details, the summary, child bands,
// stretching and page breaks; then OnStopReport, also after a cancel or an error.
//
// Two passes: when the report asks for it (EngineOptions.DoublePass) or when a text or the script
// uses TotalPages, a first pass only counts pages, so that the final pass knows the total.
//
// Scripts see the engine as "Engine" (CurY, FreeSpace, PageHeight, PageWidth, FinalPass,
// TotalPages, NewPage, ShowBand, StopReport). TfrxReport::PrepareReport creates one per run.
// Thread contract: used on one thread, the one that prepares (and owns the report's objects);
// only the pages it appends are read from other threads.
#pragma once

#include "platform/Variant.h"
#include "reportengine/engine/BandTree.h"
#include "reportengine/engine/ExpressionText.h"
#include "reportengine/engine/ViewItems.h"
#include "reportengine/model/Report.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <memory>
#include <unordered_map>

namespace script {
class Script;
}

namespace reportengine {

class TfrxReportPage;

class TfrxEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(double CurY READ CurY WRITE SetCurY)
    Q_PROPERTY(double FreeSpace READ FreeSpace)
    Q_PROPERTY(double PageHeight READ PageHeight)
    Q_PROPERTY(double PageWidth READ PageWidth)
    Q_PROPERTY(bool FinalPass READ FinalPass)
    Q_PROPERTY(int TotalPages READ TotalPages)
    Q_PROPERTY(int PageNo READ PageNo)

public:
    explicit TfrxEngine(TfrxReport& report);
    ~TfrxEngine() override;

    // The whole run. False when stopped: a dialog cancelled, Terminated set, or an error (the
    // report's ErrorText then says which).
    bool Run(bool clearLastReport);

    double CurY() const { return FCurY; }
    void SetCurY(double y) { FCurY = y; }
    double FreeSpace() const;
    double PageHeight() const { return FPageHeight; }
    double PageWidth() const { return FPageWidth; }
    bool FinalPass() const { return FFinalPass; }
    int TotalPages() const { return FTotalPages; }
    int PageNo() const { return FPageNo; }

    Q_INVOKABLE void NewPage();
    Q_INVOKABLE void ShowBand(QObject* band);
    Q_INVOKABLE void StopReport();

    // The value of aggregate number index, for the expression rewritten to call it.
    platform::Variant AggregateValue(int index) const;

private:
    struct MemoPlan;
    struct Aggregate;
    struct PlacedBand;

    void SetUpScript();
    void DetachScript();
    bool RunDialogs();
    void RunPass();
    void RunReportPage(TfrxReportPage& page);
    void RunDataBand(DataNode& node);
    bool PrintBand(TfrxBand* band);
    void PlaceOutput(BandOutput out, bool allowSplit);
    void Emit(const BandOutput& out, double y);
    BandOutput BuildBand(TfrxBand& band);
    void AddViewItems(TfrxComponent& view, BandOutput& out);
    void StartPage();
    void EndPage(bool last);
    void PrintPageBand(TfrxBand* band, double y);

    // Blocks that should not be broken across pages (KeepTogether, KeepHeader, KeepChild...): a
    // page break inside one moves what the block printed so far to the new page, once.
    struct KeepMark {
        int Page = 0;           // FPageCount when the block began
        std::size_t Items = 0;  // items on the page before the block
        double Y = 0;
        bool Moved = false;
        bool Ended = false;
    };
    std::size_t BeginKeep();
    void EndKeep(std::size_t depth);
    void BreakPage();

    bool Stopped() const;
    void FireEvent(const QString& handler, QObject* sender);
    platform::Variant Evaluate(const QString& expression, const QObject* owner);
    const MemoPlan& PlanOf(TfrxCustomMemoView& memo);
    // The memo's text; value and format: what it shows when it shows one value.
    QString MemoText(TfrxCustomMemoView& memo, platform::Variant& value, ValueFormat& format);
    bool SystemValue(const QString& name, platform::Variant& value) const;
    bool ResolveData(const QString& name, const QString& field, platform::Variant& value);
    TfrxDataSet* DataSetOf(TfrxDataBand& band) const;
    void OpenDataSet(TfrxDataSet& dataSet, bool reopen);
    void CollectAggregates(TfrxReportPage& page, const BandTree& tree);
    void Accumulate(TfrxDataBand& band, bool visible);
    void ResetAggregates(const TfrxBand* holder);
    bool NeedsTwoPasses() const;

    TfrxReport& FReport;
    script::Script* FScript = nullptr;  // owned by the report
    FontCache FFonts;

    bool FFinalPass = true;
    int FTotalPages = 0;
    int FPageNo = 0;        // page number shown by [Page#]
    int FPageCount = 0;     // pages produced in this pass
    bool FStopped = false;  // StopReport or a cancel
    bool FEmptyPage = true; // nothing but page-level bands on the current page yet

    // The report page being run and its geometry (px, relative to the top margin).
    TfrxReportPage* FPage = nullptr;
    BandTree FTree;
    std::unique_ptr<PreparedPage> FCurrent;
    double FCurY = 0;
    double FPageHeight = 0, FPageWidth = 0;
    double FOriginX = 0, FOriginY = 0;
    double FFooterReserve = 0;
    bool FInPageBand = false;
    std::vector<TfrxBand*> FReprint;
    std::vector<KeepMark> FKeeps;
    double FContentTop = 0;  // CurY after the page-level bands at the top of the page  // headers printed again at the top of each new page

    int FLine = 0;
    double FStartTime = 0;  // [Date] and [Time]: when the run started
    platform::Variant FMemoValue;  // <Value> while a memo's highlight is evaluated
    std::unordered_map<const TfrxCustomMemoView*, std::unique_ptr<MemoPlan>> FPlans;
    std::vector<std::unique_ptr<Aggregate>> FAggregates;
    QSet<const TfrxReportPage*> FCollected;  // pages whose aggregates are collected
    QSet<TfrxDataSet*> FOpened;
    QHash<QString, int> FVariableDepth;
};

}  // namespace reportengine
