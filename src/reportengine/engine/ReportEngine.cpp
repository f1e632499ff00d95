#include "reportengine/engine/ReportEngine.h"

#include "reportengine/model/DialogRunner.h"
#include "reportengine/model/Pages.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/script/Script.h"
#include "reportengine/script/VarOps.h"

#include "platform/DateTime.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace reportengine {

using platform::Variant;

namespace {

thread_local TfrxEngine* tEngine = nullptr;

// The standard library plus what only a preparing report offers.
std::shared_ptr<const script::FunctionLibrary> EngineLibrary() {
    static const std::shared_ptr<const script::FunctionLibrary> library = [] {
        auto lib = std::make_shared<script::FunctionLibrary>(*script::FunctionLibrary::Default());
        lib->AddFunction(QStringLiteral("function __Aggregate(Index: Integer): Variant"),
                         QString(), QString(),
                         [](script::Script&, const QString&, std::vector<Variant>& args) {
                             return tEngine ? tEngine->AggregateValue(args[0].ToInt()) : Variant();
                         });
        return lib;
    }();
    return library;
}

const QString kTotalPages = QStringLiteral("TotalPages");

class ActiveEngine {
public:
    explicit ActiveEngine(TfrxEngine* engine) : FPrevious(tEngine) { tEngine = engine; }
    ~ActiveEngine() { tEngine = FPrevious; }

private:
    TfrxEngine* FPrevious;
};

class EReportStopped : public std::exception {};

// Spreadsheet exports keep numbers and dates typed: a text showing one value remembers it.
void SetTypedValue(PreparedItem& item, const Variant& value, const ValueFormat& format) {
    const bool date = value.Type() == platform::VarType::Date || format.Kind == fkDateTime;
    bool number = value.IsNumeric();
    if (!number && format.Kind == fkNumeric && value.Type() == platform::VarType::String) {
        bool ok = false;
        value.ToString().toDouble(&ok);
        number = ok;
    }
    if (!number && !date)
        return;
    try {
        item.Value = date ? value.ToDateTime() : value.ToDouble();
    } catch (const std::exception&) {
        return;  // a text the format could not take stays text
    }
    item.ValueKind = date ? ItemValueKind::Date : ItemValueKind::Number;
    item.ValueFormat = format.FormatStr;
}

bool IsPlainName(const QString& text) {
    if (text.isEmpty() || !(text[0].isLetter() || text[0] == u'_'))
        return false;
    for (QChar c : text)
        if (!(c.isLetterOrNumber() || c == u'_' || c == u'#'))
            return false;
    return true;
}

}  // namespace

struct TfrxEngine::MemoPlan {
    std::vector<TextPart> Parts;
    bool SingleExpression = false;
};

struct TfrxEngine::Aggregate {
    AggregateCall Call;
    TfrxDataBand* Band = nullptr;
    const TfrxBand* Holder = nullptr;
    double Sum = 0;
    bool AllWhole = true;
    int64_t WholeSum = 0;
    int Count = 0;
    Variant Extreme;

    void Reset() {
        Sum = 0, AllWhole = true, WholeSum = 0, Count = 0, Extreme = Variant();
    }
};

TfrxEngine::TfrxEngine(TfrxReport& report) : FReport(report) {
    setObjectName(QStringLiteral("Engine"));
}

TfrxEngine::~TfrxEngine() = default;

// ---- the run ----

bool TfrxEngine::NeedsTwoPasses() const {
    if (FReport.EngineOptions.DoublePass)
        return true;
    if (FReport.ScriptText.join(u'\n').contains(kTotalPages, Qt::CaseInsensitive))
        return true;
    for (TfrxComponent* c : FReport.AllObjects())
        if (auto* memo = qobject_cast<TfrxCustomMemoView*>(c))
            if (memo->Text.contains(kTotalPages, Qt::CaseInsensitive))
                return true;
    return false;
}

bool TfrxEngine::Run(bool clearLastReport) {
    ActiveEngine active(this);
    FStartTime = platform::QDateTimeToDateTime(QDateTime::currentDateTime());
    FReport.Terminated = false;
    FReport.ErrorText.clear();
    if (clearLastReport)
        FReport.PreparedPages().Clear();
    FReport.DoProgressStart(ptRunning, 0);
    bool ok = false;
    try {
        for (TfrxComponent* c : FReport.AllObjects())
            if (auto* query = qobject_cast<TfrxCustomQuery*>(c))
                query->BeforeStartReport();
        SetUpScript();
        FScript->Run();
        FireEvent(FReport.OnStartReport, &FReport);
        if (RunDialogs() && !Stopped()) {
            if (NeedsTwoPasses()) {
                FFinalPass = false;
                RunPass();
                FTotalPages = FPageCount;
            }
            if (!Stopped()) {
                FFinalPass = true;
                RunPass();
                FTotalPages = FPageCount;
            }
        }
        ok = !Stopped();
    } catch (const EReportStopped&) {
        ok = false;
    } catch (const std::exception& e) {
        FReport.ErrorText = QString::fromUtf8(e.what());
        ok = false;
    }
    try {
        FireEvent(FReport.OnStopReport, &FReport);
    } catch (const std::exception& e) {
        if (FReport.ErrorText.isEmpty())
            FReport.ErrorText = QString::fromUtf8(e.what());
        ok = false;
    }
    for (TfrxDataSet* ds : std::as_const(FOpened))
        if (auto* db = qobject_cast<TfrxDBDataset*>(ds); db && db->CloseDataSource)
            db->Close();
    DetachScript();
    FReport.DoProgressStop(ptRunning, FReport.PreparedPages().Count());
    return ok;
}

// The script outlives this run (dialog and preview events may still call it): its resolvers must
// not reach the engine any more. Fields and plain variables stay readable through the report.
void TfrxEngine::DetachScript() {
    if (!FScript)
        return;
    TfrxReport* report = &FReport;
    FScript->SetDataResolver([report](const QString& name, const QString& field, Variant& value) {
        if (field.isNull()) {
            if (report->Variables.IndexOf(name) < 0)
                return false;
            value = report->Variables.Get(name);
            return true;
        }
        TfrxDataSet* ds = report->GetDataset(name);
        if (!ds)
            return false;
        value = ds->Value(field);
        return true;
    });
    FScript->SetNameResolver([report](const QString& name, Variant& value) {
        if (report->Variables.IndexOf(name) < 0)
            return false;
        value = report->Variables.Get(name);
        return true;
    });
}

void TfrxEngine::SetUpScript() {
    auto owned = std::make_unique<script::Script>(EngineLibrary());
    FScript = owned.get();
    FReport.SetScriptEngine(std::move(owned));
    FScript->AddObject(QStringLiteral("Report"), &FReport);
    FScript->AddObject(QStringLiteral("Engine"), this);
    FScript->SetRootObject(&FReport);
    FScript->SetDataResolver([this](const QString& name, const QString& field, Variant& value) {
        return ResolveData(name, field, value);
    });
    FScript->SetNameResolver([this](const QString& name, Variant& value) {
        return ResolveData(name, QString(), value);
    });
    FScript->Compile(FReport.ScriptText.join(u'\n'));
}

bool TfrxEngine::RunDialogs() {
    if (!FReport.OnRunDialogs.isEmpty()) {
        // The report's own handler replaces the default loop; it stops the report through
        // Terminated or Engine.StopReport.
        FireEvent(FReport.OnRunDialogs, &FReport);
        return !Stopped();
    }
    for (TfrxPage* page : FReport.Pages()) {
        auto* dialog = qobject_cast<TfrxDialogPage*>(page);
        if (!dialog || !dialog->Visible || dialog->Objects().empty())
            continue;
        if (!FReport.DialogRunner)
            continue;
        if (FReport.DialogRunner->RunDialogPage(*dialog) == mrCancel) {
            FStopped = true;
            return false;
        }
        if (Stopped())
            return false;
    }
    return true;
}

void TfrxEngine::RunPass() {
    FPageCount = 0;
    FPageNo = 0;
    for (auto& aggregate : FAggregates)
        aggregate->Reset();
    for (TfrxReportPage* page : FReport.ReportPages()) {
        if (!page->Visible)
            continue;
        RunReportPage(*page);
        if (Stopped())
            return;
    }
}

bool TfrxEngine::Stopped() const {
    return FStopped || FReport.Terminated;
}

void TfrxEngine::StopReport() {
    FStopped = true;
}

void TfrxEngine::FireEvent(const QString& handler, QObject* sender) {
    if (!handler.isEmpty())
        FReport.DoEvent(handler, sender);
}

// ---- report pages ----

void TfrxEngine::RunReportPage(TfrxReportPage& page) {
    FPage = &page;
    FTree = BuildBandTree(page);
    FPageWidth = page.PrintableWidth();
    FPageHeight = (page.PaperHeight() - page.TopMargin - page.BottomMargin) * fr01cm;
    FOriginX = page.LeftMargin * fr01cm;
    FOriginY = page.TopMargin * fr01cm;
    FFooterReserve = (FTree.PageFooter && FTree.PageFooter->Visible ? FTree.PageFooter->Height : 0) +
                     (FTree.ColumnFooter && FTree.ColumnFooter->Visible ? FTree.ColumnFooter->Height : 0);
    if (page.ResetPageNumbers)
        FPageNo = 0;
    FReprint.clear();
    if (!FCollected.contains(&page)) {  // once per page: the second pass reuses them
        FCollected.insert(&page);
        CollectAggregates(page, FTree);
    }
    FireEvent(page.OnBeforePrint, &page);
    StartPage();
    for (auto& master : FTree.Masters) {
        RunDataBand(*master);
        if (Stopped())
            break;
    }
    if (!Stopped() && FTree.Summary) {
        if (FTree.Summary->PrintAtBottom) {
            BandOutput out = BuildBand(*FTree.Summary);
            if (out.Height <= FreeSpace())
                FCurY = FPageHeight - FFooterReserve - out.Height;
            PlaceOutput(std::move(out), FTree.Summary->AllowSplit);
        } else {
            PrintBand(FTree.Summary);
        }
    }
    EndPage(true);
    FireEvent(page.OnAfterPrint, &page);
}

void TfrxEngine::StartPage() {
    FCurrent = std::make_unique<PreparedPage>();
    PreparedPage& p = *FCurrent;
    p.PaperWidth = FPage->PaperWidth();
    p.PaperHeight = FPage->PaperHeight();
    p.LeftMargin = FPage->LeftMargin;
    p.TopMargin = FPage->TopMargin;
    p.RightMargin = FPage->RightMargin;
    p.BottomMargin = FPage->BottomMargin;
    p.Landscape = FPage->Orientation() == poLandscape;
    FCurY = 0;
    ++FPageNo;
    FInPageBand = true;
    for (TfrxOverlay* overlay : FTree.Overlays)
        if (!overlay->PrintOnTop)
            PrintPageBand(overlay, 0);
    const bool first = FPageCount == 0;
    auto header = [&] {
        if (FTree.PageHeader && (!first || FTree.PageHeader->PrintOnFirstPage))
            PrintBand(FTree.PageHeader);
    };
    if (first && FTree.Title && FPage->TitleBeforeHeader) {
        PrintBand(FTree.Title);
        header();
    } else {
        header();
        if (first && FTree.Title)
            PrintBand(FTree.Title);
    }
    if (FTree.ColumnHeader)
        PrintBand(FTree.ColumnHeader);
    for (TfrxBand* band : std::vector<TfrxBand*>(FReprint))
        if (band)
            PrintBand(band);
    FInPageBand = false;
    FEmptyPage = true;
    FContentTop = FCurY;
}

void TfrxEngine::EndPage(bool last) {
    FInPageBand = true;
    if (FTree.ColumnFooter)
        PrintBand(FTree.ColumnFooter);
    const bool first = FPageCount == 0;
    if (TfrxPageFooter* footer = FTree.PageFooter;
        footer && (!first || footer->PrintOnFirstPage) && (!last || footer->PrintOnLastPage))
        PrintPageBand(footer, FPageHeight - footer->Height);
    for (TfrxOverlay* overlay : FTree.Overlays)
        if (overlay->PrintOnTop)
            PrintPageBand(overlay, 0);
    FInPageBand = false;
    ++FPageCount;
    if (FFinalPass) {
        FReport.PreparedPages().AddPage(std::move(*FCurrent));
        FReport.DoProgress(ptRunning, FPageCount);
    }
    FCurrent.reset();
}

void TfrxEngine::NewPage() {
    EndPage(false);
    StartPage();
}

double TfrxEngine::FreeSpace() const {
    return FPageHeight - FFooterReserve - FCurY;
}

// A band at a fixed place on the page (page footer, overlays): printed without moving CurY.
void TfrxEngine::PrintPageBand(TfrxBand* band, double y) {
    if (!band->Visible)
        return;
    FireEvent(band->OnBeforePrint, band);
    if (!band->Visible)
        return;
    BandOutput out = BuildBand(*band);
    Emit(out, y);
    FireEvent(band->OnAfterPrint, band);
    ResetAggregates(band);
}

// ---- bands ----

bool TfrxEngine::PrintBand(TfrxBand* band) {
    if (!band)
        return false;
    FireEvent(band->OnBeforePrint, band);
    const bool visible = band->Visible;
    const std::size_t keep = band->KeepChild && band->Child() ? BeginKeep() : FKeeps.size();
    if (visible) {
        if (band->StartNewPage && !FEmptyPage && !FInPageBand)
            NewPage();
        PlaceOutput(BuildBand(*band), band->AllowSplit);
        FireEvent(band->OnAfterPrint, band);
        ResetAggregates(band);
    }
    if (TfrxBand* child = band->Child(); child && (visible || band->PrintChildIfInvisible))
        PrintBand(child);
    EndKeep(keep);
    if (Stopped())
        throw EReportStopped();
    return visible;
}

void TfrxEngine::PlaceOutput(BandOutput out, bool allowSplit) {
    for (int guard = 0; guard < 100000; ++guard) {
        const double free = FreeSpace();
        if (out.Height <= free + 0.01 || FInPageBand) {
            Emit(out, FCurY);
            FCurY += out.Height;
            if (!FInPageBand)
                FEmptyPage = false;
            return;
        }
        const double fullRoom = FPageHeight - FFooterReserve;
        if ((allowSplit || out.Height > fullRoom) && free > 1) {
            BandOutput rest = SplitBandOutput(out, free, fullRoom);
            Emit(out, FCurY);
            FCurY += out.Height;
            FEmptyPage = false;
            out = std::move(rest);
            NewPage();
            continue;
        }
        if (FEmptyPage) {  // nothing more can be done on an empty page: print what fits
            Emit(out, FCurY);
            FCurY += out.Height;
            FEmptyPage = false;
            return;
        }
        BreakPage();
    }
}

std::size_t TfrxEngine::BeginKeep() {
    FKeeps.push_back(KeepMark{FPageCount, FCurrent ? FCurrent->Items.size() : 0, FCurY, false});
    return FKeeps.size() - 1;
}

// Ends the block begun at index (and any still open inside it); blocks begun before it stay.
void TfrxEngine::EndKeep(std::size_t index) {
    for (std::size_t i = index; i < FKeeps.size(); ++i)
        FKeeps[i].Ended = true;
    while (!FKeeps.empty() && FKeeps.back().Ended)
        FKeeps.pop_back();
}

void TfrxEngine::BreakPage() {
    // The outermost block begun on this page below its top moves whole to the next page.
    auto block = std::find_if(FKeeps.begin(), FKeeps.end(), [&](const KeepMark& k) {
        return !k.Ended && k.Page == FPageCount && !k.Moved && k.Y > FContentTop + 0.01;
    });
    if (block == FKeeps.end()) {
        NewPage();
        return;
    }
    std::vector<PreparedItem> moved;
    if (FCurrent && block->Items < FCurrent->Items.size()) {
        auto first = FCurrent->Items.begin() + std::ptrdiff_t(block->Items);
        moved.assign(std::make_move_iterator(first), std::make_move_iterator(FCurrent->Items.end()));
        FCurrent->Items.erase(first, FCurrent->Items.end());
    }
    const double height = FCurY - block->Y;
    const double from = block->Y;
    const std::size_t cut = block->Items;
    FCurY = from;
    NewPage();
    const double shift = FCurY - from;
    const std::size_t base = FCurrent ? FCurrent->Items.size() : 0;
    for (PreparedItem& item : moved) {
        item.Y += shift;
        if (FCurrent)
            FCurrent->Items.push_back(std::move(item));
    }
    for (auto k = block; k != FKeeps.end(); ++k) {
        k->Items = k->Items - cut + base;
        k->Y += shift;
        k->Page = FPageCount;
        k->Moved = true;
    }
    FCurY += height;
    FEmptyPage = false;
}

void TfrxEngine::Emit(const BandOutput& out, double y) {
    if (!FFinalPass || !FCurrent)
        return;
    for (const PreparedItem& item : out.Items) {
        PreparedItem placed = item;
        placed.X += FOriginX;
        placed.Y += FOriginY + y;
        FCurrent->Items.push_back(std::move(placed));
    }
}

BandOutput TfrxEngine::BuildBand(TfrxBand& band) {
    BandOutput out;
    out.Height = band.Height;
    const bool needItems = FFinalPass;
    double bottom = band.Height;
    std::vector<std::pair<std::size_t, TfrxCustomMemoView*>> maxHeight;
    for (TfrxComponent* c : band.Objects()) {
        auto* view = qobject_cast<TfrxView*>(c);
        if (!view)
            continue;
        FireEvent(view->OnBeforePrint, view);
        if (!view->Visible || !view->Printable)
            continue;
        auto* memo = qobject_cast<TfrxCustomMemoView*>(view);
        const bool stretches = memo && memo->StretchMode != smDontStretch;
        if (!needItems && !stretches)
            continue;
        const std::size_t before = out.Items.size();
        try {
            AddViewItems(*view, out);
        } catch (const platform::Exception& e) {
            const QString prefix = view->Name() + QStringLiteral(": ");
            if (e.Message().startsWith(prefix))
                throw;
            throw platform::Exception(prefix + e.Message());
        }
        if (stretches && out.Items.size() > before) {
            const PreparedItem& item = out.Items[before];
            bottom = std::max(bottom, item.Y + item.H);
            if (memo->StretchMode == smMaxHeight)
                maxHeight.emplace_back(before, memo);
        }
        FireEvent(view->OnAfterPrint, view);
    }
    out.Height = bottom;
    for (auto& [index, memo] : maxHeight) {
        PreparedItem& item = out.Items[index];
        item.H = out.Height - item.Y;
    }
    if (!needItems)
        out.Items.clear();
    return out;
}

void TfrxEngine::AddViewItems(TfrxComponent& c, BandOutput& out) {
    if (auto* memo = qobject_cast<TfrxCustomMemoView*>(&c)) {
        Variant value;
        ValueFormat used;
        QString text = MemoText(*memo, value, used);
        FontSpec font = FontSpecOf(memo->UsedFont());
        std::int32_t fill = memo->Color;
        if (!memo->Highlight.Condition.trimmed().isEmpty()) {
            FMemoValue = value;
            if (Evaluate(memo->Highlight.Condition, memo).ToBool()) {
                font = FontSpecOf(memo->Highlight.Font);
                if (memo->Highlight.Color != clNone)
                    fill = memo->Highlight.Color;
            }
            FMemoValue = Variant();
        }
        out.Items.push_back(MemoItem(*memo, text, font, fill, FFonts));
        if (!text.isEmpty())
            SetTypedValue(out.Items.back(), value, used);
    } else if (auto* line = qobject_cast<TfrxLineView*>(&c)) {
        out.Items.push_back(LineItem(*line));
    } else if (auto* shape = qobject_cast<TfrxShapeView*>(&c)) {
        out.Items.push_back(ShapeItem(*shape));
    } else if (auto* picture = qobject_cast<TfrxPictureView*>(&c)) {
        out.Items.push_back(PictureItem(*picture));
    } else if (auto* box = qobject_cast<TfrxCheckBoxView*>(&c)) {
        bool checked = box->Checked;
        if (box->IsDataBound()) {
            if (TfrxDataSet* ds = FReport.GetDataset(box->DataSetName()))
                checked = ds->Value(box->DataField).ToBool();
        } else if (!box->Expression.trimmed().isEmpty()) {
            checked = Evaluate(box->Expression, box).ToBool();
        }
        out.Items.push_back(CheckBoxItem(*box, checked));
    } else if (auto* gradient = qobject_cast<TfrxGradientView*>(&c)) {
        out.Items.push_back(GradientItem(*gradient));
    } else if (auto* barcode = qobject_cast<TfrxBarCodeView*>(&c)) {
        QString text = barcode->Text;
        if (barcode->IsDataBound()) {
            if (TfrxDataSet* ds = FReport.GetDataset(barcode->DataSetName()))
                text = ds->Value(barcode->DataField).ToString();
        } else if (!barcode->Expression.trimmed().isEmpty()) {
            text = Evaluate(barcode->Expression, barcode).ToString();
        } else {
            QString joined;
            for (const TextPart& part : SplitExpressionText(text))
                joined += part.IsExpression ? Evaluate(part.Text, barcode).ToString() : part.Text;
            text = joined;
        }
        out.Items.push_back(BarcodeItem(*barcode, text, FFonts));
    }
}

// ---- data bands ----

TfrxDataSet* TfrxEngine::DataSetOf(TfrxDataBand& band) const {
    if (TfrxDataSet* ds = band.DataSet())
        return ds;
    const QString name = band.DataSetName();
    return name.isEmpty() ? nullptr : FReport.GetDataset(name);
}

void TfrxEngine::OpenDataSet(TfrxDataSet& dataSet, bool reopen) {
    if (reopen && FOpened.contains(&dataSet))
        dataSet.Close();
    if (reopen || !FOpened.contains(&dataSet)) {
        dataSet.Open();
        FOpened.insert(&dataSet);
    }
}

void TfrxEngine::RunDataBand(DataNode& node) {
    TfrxDataBand& band = *node.Band;
    TfrxDataSet* ds = DataSetOf(band);
    if (!ds && band.RowCount <= 0)
        return;
    if (ds) {
        // A detail query follows its master by opening again with the master's current values.
        auto* query = qobject_cast<TfrxCustomQuery*>(ds);
        OpenDataSet(*ds, node.Master && query && query->Master());
        ds->First();
    }
    int row = 0;
    auto atEnd = [&] { return ds ? ds->Eof() : row >= band.RowCount; };
    auto advance = [&] {
        if (ds)
            ds->Next();
        ++row;
    };
    // The header waits for the first row that passes the filter; without one neither the header
    // nor the footer prints.
    const std::size_t outerReprint = FReprint.size();
    std::size_t groupReprint = outerReprint;  // where the group headers' entries start
    std::vector<Variant> groupValues(node.Groups.size());
    std::vector<std::size_t> groupKeeps(node.Groups.size(), SIZE_MAX);  // by group level
    std::size_t headerKeep = SIZE_MAX;
    KeepMark lastRow;
    TfrxDataSet::RowMark lastPrinted;  // the group's last row, for its footers
    bool firstRow = true;
    int line = 0;
    while (!atEnd()) {
        if (!band.Filter.trimmed().isEmpty() && !Evaluate(band.Filter, &band).ToBool()) {
            advance();
            continue;
        }
        if (firstRow && node.Header) {
            if (band.KeepHeader)
                headerKeep = BeginKeep();
            PrintBand(node.Header);
            if (node.Header->ReprintOnNewPage)
                FReprint.push_back(node.Header);
        }
        if (firstRow)
            groupReprint = FReprint.size();
        // Groups: the outermost changed condition closes the groups inside it and opens them
        // again.
        std::size_t changed = node.Groups.size();
        std::vector<Variant> values(node.Groups.size());
        for (std::size_t g = 0; g < node.Groups.size(); ++g) {
            values[g] = Evaluate(node.Groups[g].Header->Condition, node.Groups[g].Header);
            if (changed == node.Groups.size() &&
                (firstRow || !script::VarEquals(values[g], groupValues[g])))
                changed = g;
        }
        if (changed < node.Groups.size()) {
            if (!firstRow) {
                // The footers belong to the group that ended: they show its last row.
                TfrxDataSet::RowMark here;
                if (ds && lastPrinted.Valid) {
                    here = ds->MarkRow();
                    ds->GotoRow(lastPrinted);
                }
                for (std::size_t g = node.Groups.size(); g-- > changed;) {
                    PrintBand(node.Groups[g].Footer);
                    if (groupKeeps[g] != SIZE_MAX)
                        EndKeep(std::exchange(groupKeeps[g], SIZE_MAX));
                }
                if (ds && lastPrinted.Valid)
                    ds->GotoRow(here);
            }
            line = 0;
            FReprint.resize(std::min(FReprint.size(), groupReprint + changed));
            for (std::size_t g = changed; g < node.Groups.size(); ++g) {
                TfrxGroupHeader* header = node.Groups[g].Header;
                if (header->StartNewPage && !FEmptyPage)
                    NewPage();
                if (header->KeepTogether)
                    groupKeeps[g] = BeginKeep();
                PrintBand(header);
                // Every open group keeps its slot, so that the slots stay by group level.
                FReprint.push_back(header->ReprintOnNewPage ? header : nullptr);
            }
            groupValues = std::move(values);
        }
        firstRow = false;
        FLine = ++line;
        lastRow = KeepMark{FPageCount, FCurrent ? FCurrent->Items.size() : 0, FCurY, false};
        const std::size_t rowKeep = band.KeepTogether ? BeginKeep() : FKeeps.size();
        const bool visible = PrintBand(&band);
        Accumulate(band, visible);
        for (auto& detail : node.Details) {
            RunDataBand(*detail);
            FLine = line;
        }
        EndKeep(rowKeep);
        if (ds && !node.Groups.empty())
            lastPrinted = ds->MarkRow();
        if (headerKeep != SIZE_MAX)
            FKeeps[std::exchange(headerKeep, SIZE_MAX)].Ended = true;
        if (Stopped())
            throw EReportStopped();
        advance();
    }
    if (firstRow)
        return;
    for (std::size_t g = node.Groups.size(); g-- > 0;) {
        PrintBand(node.Groups[g].Footer);
        if (groupKeeps[g] != SIZE_MAX)
            EndKeep(std::exchange(groupKeeps[g], SIZE_MAX));
    }
    FReprint.resize(outerReprint);
    // KeepFooter: a footer that does not fit takes the last row with it.
    const std::size_t footerKeep = FKeeps.size();
    if (band.KeepFooter && node.Footer && lastRow.Page == FPageCount)
        FKeeps.push_back(lastRow);
    PrintBand(node.Footer);
    EndKeep(footerKeep);
}

void TfrxEngine::ShowBand(QObject* object) {
    if (auto* band = qobject_cast<TfrxBand*>(object))
        PrintBand(band);
}

// ---- values ----

Variant TfrxEngine::Evaluate(const QString& expression, const QObject* owner) {
    try {
        return FScript->Evaluate(expression);
    } catch (const platform::Exception& e) {
        const QString who = owner ? owner->objectName() : QString();
        throw platform::Exception(who.isEmpty() ? e.Message() : who + QStringLiteral(": ") + e.Message());
    }
}

bool TfrxEngine::SystemValue(const QString& name, Variant& value) const {
    const QString key = name.toLower();
    if (key == u"page#" || key == u"page") {
        value = Variant(FPageNo);
    } else if (key == u"totalpages#" || key == u"totalpages") {
        value = Variant(FTotalPages);
    } else if (key == u"line#" || key == u"line") {
        value = Variant(FLine);
    } else if (key == u"date") {
        value = Variant::FromDateTime(std::floor(FStartTime));
    } else if (key == u"time") {
        value = Variant::FromDateTime(FStartTime - std::floor(FStartTime));
    } else if (key == u"value") {
        value = FMemoValue;
    } else {
        return false;
    }
    return true;
}

bool TfrxEngine::ResolveData(const QString& name, const QString& field, Variant& value) {
    if (!field.isNull()) {
        TfrxDataSet* ds = FReport.GetDataset(name);
        if (!ds)
            return false;
        if (!FOpened.contains(ds))
            OpenDataSet(*ds, false);
        value = ds->Value(field);
        return true;
    }
    if (SystemValue(name, value))
        return true;
    const int index = FReport.Variables.IndexOf(name);
    if (index < 0)
        return false;
    const Variant stored = FReport.Variables.Items()[std::size_t(index)].Value;
    if (stored.Type() != platform::VarType::String) {
        value = stored;
        return true;
    }
    // A variable holding text is an expression; one that refers to itself is an error, not a
    // stack overflow.
    int& depth = FVariableDepth[name.toLower()];
    if (depth > 0)
        throw platform::Exception(QStringLiteral("Переменная \"%1\" ссылается на себя").arg(name));
    ++depth;
    try {
        value = stored.ToString().trimmed().isEmpty() ? Variant() : FScript->Evaluate(stored.ToString());
    } catch (...) {
        --depth;
        throw;
    }
    --depth;
    return true;
}

const TfrxEngine::MemoPlan& TfrxEngine::PlanOf(TfrxCustomMemoView& memo) {
    auto it = FPlans.find(&memo);
    if (it != FPlans.end())
        return *it->second;
    auto plan = std::make_unique<MemoPlan>();
    const QString delimiters = memo.ExpressionDelimiters;
    const QChar open = delimiters.size() >= 1 ? delimiters[0] : u'[';
    const QChar close = delimiters.size() >= 3 ? delimiters[2] : u']';
    plan->Parts = memo.AllowExpressions ? SplitExpressionText(memo.Text, open, close)
                                        : std::vector<TextPart>{TextPart{false, memo.Text, false, {}}};
    plan->SingleExpression = plan->Parts.size() == 1 && plan->Parts[0].IsExpression;
    return *FPlans.emplace(&memo, std::move(plan)).first->second;
}

QString TfrxEngine::MemoText(TfrxCustomMemoView& memo, Variant& value, ValueFormat& used) {
    ValueFormat display{memo.DisplayFormat.Kind, memo.DisplayFormat.FormatStr,
                        memo.DisplayFormat.DecimalSeparator};
    auto shown = [&](const Variant& v, const ValueFormat& format) {
        if (memo.HideZeros && IsZeroValue(v))
            return QString();
        if (v.IsNullOrEmpty() && !FReport.EngineOptions.ConvertNulls)
            return QString();
        return FormatValue(v, format);
    };
    if (memo.IsDataBound()) {
        if (TfrxDataSet* ds = FReport.GetDataset(memo.DataSetName())) {
            if (!FOpened.contains(ds))
                OpenDataSet(*ds, false);
            value = ds->Value(memo.DataField);
            used = display;
            return shown(value, display);
        }
    }
    const MemoPlan& plan = PlanOf(memo);
    QString text;
    for (const TextPart& part : plan.Parts) {
        if (!part.IsExpression) {
            text += part.Text;
            continue;
        }
        // A bare name is a system value or a report variable before it is an object: a memo
        // named "Caption" showing [Caption] shows the variable.
        Variant v;
        if (!IsPlainName(part.Text) || !ResolveData(part.Text, QString(), v))
            v = Evaluate(part.Text, &memo);
        if (plan.SingleExpression) {
            value = v;
            used = part.HasFormat ? part.Format : display;
        }
        text += shown(v, part.HasFormat ? part.Format : display);
    }
    return text;
}

// ---- aggregates ----

void TfrxEngine::CollectAggregates(TfrxReportPage& page, const BandTree& tree) {
    auto isBand = [&](const QString& name) {
        return qobject_cast<TfrxDataBand*>(page.FindObject(name)) != nullptr;
    };
    TfrxDataBand* firstMaster = tree.Masters.empty() ? nullptr : tree.Masters.front()->Band;
    for (TfrxBand* band : page.Bands()) {
        if (band->IsDataBand())
            continue;
        for (TfrxComponent* c : band->AllObjects()) {
            auto* memo = qobject_cast<TfrxCustomMemoView*>(c);
            if (!memo)
                continue;
            auto& plan = const_cast<MemoPlan&>(PlanOf(*memo));
            for (TextPart& part : plan.Parts) {
                if (!part.IsExpression)
                    continue;
                std::vector<AggregateCall> calls = FindAggregateCalls(part.Text, isBand);
                for (auto call = calls.rbegin(); call != calls.rend(); ++call) {
                    auto aggregate = std::make_unique<Aggregate>();
                    aggregate->Call = *call;
                    aggregate->Holder = band;
                    aggregate->Band = call->BandName.isEmpty()
                                          ? tree.DataBandOf(band)
                                          : qobject_cast<TfrxDataBand*>(page.FindObject(call->BandName));
                    if (!aggregate->Band)
                        aggregate->Band = firstMaster;
                    part.Text.replace(call->Start, call->Length,
                                      QStringLiteral("__Aggregate(%1)").arg(FAggregates.size()));
                    FAggregates.push_back(std::move(aggregate));
                }
            }
            plan.SingleExpression = plan.Parts.size() == 1 && plan.Parts[0].IsExpression;
        }
    }
}

void TfrxEngine::Accumulate(TfrxDataBand& band, bool visible) {
    for (auto& a : FAggregates) {
        if (a->Band != &band || (!visible && !(a->Call.Flags & 1)))
            continue;
        if (a->Call.Function == u"COUNT") {
            ++a->Count;
            continue;
        }
        const Variant v = Evaluate(a->Call.Expression, a->Holder);
        if (v.IsNullOrEmpty())
            continue;
        ++a->Count;
        if (a->Call.Function == u"MIN" || a->Call.Function == u"MAX") {
            const bool isMin = a->Call.Function == u"MIN";
            if (a->Extreme.IsNullOrEmpty() ||
                (isMin ? script::VarCompare(v, a->Extreme) < 0 : script::VarCompare(v, a->Extreme) > 0))
                a->Extreme = v;
            continue;
        }
        if (a->AllWhole && v.IsOrdinal())
            a->WholeSum += v.ToInt64();
        else
            a->AllWhole = false;
        a->Sum += v.ToDouble();
    }
}

void TfrxEngine::ResetAggregates(const TfrxBand* holder) {
    for (auto& a : FAggregates)
        if (a->Holder == holder && !(a->Call.Flags & 2))
            a->Reset();
}

Variant TfrxEngine::AggregateValue(int index) const {
    if (index < 0 || index >= int(FAggregates.size()))
        return Variant();
    const Aggregate& a = *FAggregates[std::size_t(index)];
    const QString& f = a.Call.Function;
    if (f == u"COUNT")
        return Variant(a.Count);
    if (f == u"MIN" || f == u"MAX")
        return a.Extreme;
    if (f == u"AVG")
        return a.Count ? Variant(a.Sum / a.Count) : Variant(0.0);
    return a.AllWhole ? Variant(int64_t(a.WholeSum)) : Variant(a.Sum);
}

// ---- the report's entry point ----

bool TfrxReport::PrepareReport(bool ClearLastReport) {
    TfrxEngine engine(*this);
    return engine.Run(ClearLastReport);
}

}  // namespace reportengine
