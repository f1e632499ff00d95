#include "reportengine/preview/Preview.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "platform/Exception.h"
#include "platform/MessageBox.h"
#include "reportengine/export/ExportFilter.h"
#include "reportengine/export/dialogs/ExportOptionsDialog.h"
#include "reportengine/model/Report.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/preview/PageSetupDialog.h"
#include "reportengine/preview/PageView.h"
#include "reportengine/preview/PreviewPrint.h"

namespace reportengine {

namespace {

constexpr qint64 kThumbnailCache = 16ll << 20;
const QString kFp3Filter = QStringLiteral("Подготовленный отчет (*.fp3)");

// Marks the preview busy for the length of an operation, also when it throws.
class OperationScope {
public:
    OperationScope(TfrxPreview::Operation& slot, bool& cancelled, TfrxPreview::Operation op)
        : FSlot(slot) {
        FSlot = op;
        cancelled = false;
    }
    ~OperationScope() { FSlot = TfrxPreview::Operation::None; }

private:
    TfrxPreview::Operation& FSlot;
};

QString AskFileName(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                    const QString& suffix) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(suffix);
    if (platform::runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

TfrxPreview::TfrxPreview(QWidget* parent) : QWidget(parent) {
    setObjectName("TfrxPreview");
    FView = new PageView(PageRenderCache::kDefaultBudget, this);
    FView->setObjectName("PreviewPages");
    FThumbnails = new PageView(kThumbnailCache, this);
    FThumbnails->setObjectName("PreviewThumbnails");
    FThumbnails->setMinimumWidth(60);
    FThumbnails->hide();
    FSplitter = new QSplitter(Qt::Horizontal, this);
    FSplitter->addWidget(FThumbnails);
    FSplitter->addWidget(FView);
    FSplitter->setStretchFactor(1, 1);
    FSplitter->setSizes({kThumbnailWidth, 600});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FSplitter);
    setFocusProxy(FView);

    connect(FView, &PageView::userScrolled, this, &TfrxPreview::FollowUserScroll);
    connect(FView, &PageView::resized, this, [this] {
        if (FZoomMode == zmWholePage || FZoomMode == zmPageWidth)
            ApplyZoom();
    });
    connect(FView, &PageView::pagePainted, this, &TfrxPreview::pagePainted);
    connect(FThumbnails, &PageView::resized, this,
            [this] { FThumbnails->SetScale(FThumbnails->PageWidthScale()); });
    connect(FThumbnails, &PageView::pageClicked, this,
            [this](int index) { SetCurrent(index + 1, true); });
    FView->SetHighlights([this](int page) { return HitsOn(page); });
    FView->viewport()->installEventFilter(this);
    // F3 and Shift+F3 step through the hits of the last search.
    auto* next = new QShortcut(QKeySequence::FindNext, this, [this] { FindNext(); });
    auto* prev = new QShortcut(QKeySequence::FindPrevious, this, [this] { FindPrev(); });
    next->setContext(Qt::WidgetWithChildrenShortcut);
    prev->setContext(Qt::WidgetWithChildrenShortcut);
    ShowBlankPage();
}

TfrxPreview::~TfrxPreview() = default;

// ---------------------------------------------------------------------------------------------
// Pages and navigation

void TfrxPreview::SetPages(std::shared_ptr<TfrxPreparedPages> pages) {
    SetPagesShown(std::move(pages), nullptr);
}

void TfrxPreview::SetPagesShown(std::shared_ptr<TfrxPreparedPages> pages, TfrxReport* report) {
    FShownReport = report;
    FHit = {};
    if (pages != FPages) {
        FPages = std::move(pages);
        FView->SetPages(FPages);
        FThumbnails->SetPages(FPages);
    } else {
        FView->Invalidate();
        FThumbnails->Invalidate();
    }
    FPageNo = 1;
    ApplyZoom();
    FThumbnails->SetScale(FThumbnails->PageWidthScale());
    SetCurrent(1, true);
}

void TfrxPreview::ShowBlankPage() {
    auto pages = std::make_shared<TfrxPreparedPages>();
    pages->AddPage(PreparedPage{});
    SetPages(std::move(pages));
}

void TfrxPreview::RefreshPages() {
    if (IsLocked())
        return;
    const QSizeF slot = FView->SlotSize();
    FView->RefreshCount();
    FThumbnails->RefreshCount();
    if (FView->SlotSize() != slot) {  // the first page fixed the size
        ApplyZoom();
        FThumbnails->SetScale(FThumbnails->PageWidthScale());
    }
    SetCurrent(FPageNo, false);
}

int TfrxPreview::PageCount() const {
    return FView->Count();
}

void TfrxPreview::SetPageNo(int pageNo) {
    SetCurrent(pageNo, true);
}

void TfrxPreview::SetCurrent(int pageNo, bool scroll) {
    FPageNo = std::clamp(pageNo, 1, std::max(1, PageCount()));
    if (scroll)
        FView->ScrollToPage(FPageNo - 1);
    FView->SetCurrent(FPageNo - 1);
    FThumbnails->SetCurrent(FPageNo - 1);
    if (FThumbnails->isVisible()) {
        const QRectF r = FThumbnails->PageRect(FPageNo - 1);
        if (r.top() < 0 || r.bottom() > FThumbnails->viewport()->height())
            FThumbnails->ScrollToPage(FPageNo - 1);
    }
    NotifyPageChanged();
}

void TfrxPreview::NotifyPageChanged() {
    if (FPageNo == FNotifiedPage && PageCount() == FNotifiedCount)
        return;
    FNotifiedPage = FPageNo;
    FNotifiedCount = PageCount();
    emit pageChanged(FPageNo);
}

void TfrxPreview::FollowUserScroll() {
    SetCurrent(FView->TopPage() + 1, false);
}

void TfrxPreview::First() {
    SetPageNo(1);
}
void TfrxPreview::Prior() {
    SetPageNo(FPageNo - 1);
}
void TfrxPreview::Next() {
    SetPageNo(FPageNo + 1);
}
void TfrxPreview::Last() {
    SetPageNo(PageCount());
}

// ---------------------------------------------------------------------------------------------
// Zoom

void TfrxPreview::SetZoom(double zoom) {
    FZoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    FZoomMode = zmDefault;
    ApplyZoom();
}

void TfrxPreview::SetZoomMode(TfrxZoomMode mode) {
    FZoomMode = mode;
    ApplyZoom();
}

double TfrxPreview::EffectiveZoom() const {
    switch (FZoomMode) {
        case zmWholePage:
            return FView->WholePageScale();
        case zmPageWidth:
            return FView->PageWidthScale();
        default:
            return FZoom;
    }
}

void TfrxPreview::ApplyZoom() {
    FView->SetScale(EffectiveZoom());
    FView->ScrollToPage(FPageNo - 1);
}

bool TfrxPreview::ThumbnailsVisible() const {
    return !FThumbnails->isHidden();
}

void TfrxPreview::SetThumbnailsVisible(bool visible) {
    FThumbnails->setVisible(visible);
    if (visible) {
        FThumbnails->SetScale(FThumbnails->PageWidthScale());
        FThumbnails->ScrollToPage(FPageNo - 1);
    }
}

void TfrxPreview::MouseWheelScroll(int delta) {
    FView->ScrollByWheel(delta);
}

// The wheel scrolls only; Ctrl does not turn it into a zoom, so the zoom box stays true.
bool TfrxPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FView->viewport() && event->type() == QEvent::Wheel) {
        MouseWheelScroll(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Reports

void TfrxPreview::AttachReport(TfrxReport* report) {
    if (!report || IsAttached(report))
        return;
    FAttached.emplace_back(report);
    ConnectReport(report);
}

void TfrxPreview::DetachReport(TfrxReport* report) {
    if (!report)
        return;
    std::erase_if(FAttached, [report](const QPointer<TfrxReport>& r) { return r == report; });
    disconnect(report, nullptr, this, nullptr);
}

bool TfrxPreview::IsAttached(const TfrxReport* report) const {
    return std::any_of(FAttached.begin(), FAttached.end(),
                       [report](const QPointer<TfrxReport>& r) { return r == report; });
}

void TfrxPreview::ConnectReport(TfrxReport* report) {
    connect(report, &TfrxReport::progressStarted, this,
            [this, report](int kind, int) { OnReportProgressStart(report, kind); });
    connect(report, &TfrxReport::progressed, this,
            [this, report](int kind, int) { OnReportProgress(report, kind); });
    connect(report, &TfrxReport::progressStopped, this, [this, report](int kind, int) {
        if (kind == ptRunning && report->SharedPreparedPages() == FPages)
            RefreshPages();
    });
}

void TfrxPreview::OnReportProgressStart(TfrxReport* report, int kind) {
    // A new preparation may have emptied the store: start again from the first page.
    if (kind == ptRunning && report->SharedPreparedPages() == FPages && !IsLocked())
        SetPagesShown(FPages, report);
}

// Pages appear while the report is prepared: the engine keeps the UI thread, so the preview
// takes the new count here and lets the event loop paint (and the cancel button answer) at once
// for the first page, then a few dozen times a second.
void TfrxPreview::OnReportProgress(TfrxReport* report, int kind) {
    if (kind != ptRunning || report->SharedPreparedPages() != FPages)
        return;
    RefreshPages();
    if (PageCount() <= 1 || !FEventsTimer.isValid() || FEventsTimer.elapsed() >= kEventsInterval) {
        FEventsTimer.start();
        QCoreApplication::processEvents();
    }
}

bool TfrxPreview::ShowReport(TfrxReport& report, bool clearLastReport) {
    if (FOperation != Operation::None)
        return false;
    const bool temporary = !IsAttached(&report);
    if (temporary)
        ConnectReport(&report);
    bool ok = false;
    {
        OperationScope scope(FOperation, FCancelled, Operation::Preparing);
        report.Terminated = false;
        SetPagesShown(report.SharedPreparedPages(), &report);
        try {
            ok = report.PrepareReport(clearLastReport);
        } catch (...) {
            if (temporary)
                disconnect(&report, nullptr, this, nullptr);
            RefreshPages();
            throw;
        }
    }
    if (temporary)
        disconnect(&report, nullptr, this, nullptr);
    FShownReport = &report;
    RefreshPages();
    return ok;
}

TfrxReport* TfrxPreview::ProgressReport() const {
    if (FShownReport)
        return FShownReport;
    for (const auto& r : FAttached)
        if (r)
            return r;
    return nullptr;
}

void TfrxPreview::Lock() {
    if (FLockCount++ == 0)
        FView->setUpdatesEnabled(false);
}

void TfrxPreview::Unlock() {
    if (FLockCount == 0 || --FLockCount > 0)
        return;
    FView->setUpdatesEnabled(true);
    RefreshPages();
    FView->viewport()->update();
}

void TfrxPreview::Cancel() {
    FCancelled = true;
    switch (FOperation) {
        case Operation::Preparing:
            if (FShownReport)
                FShownReport->Terminated = true;
            break;
        case Operation::Exporting:
            if (FExportFilter)
                FExportFilter->Terminate();
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// Files

void TfrxPreview::LoadFromFile() {
    const QString name = AskFileName(this, QFileDialog::AcceptOpen, kFp3Filter, "fp3");
    if (!name.isEmpty())
        LoadFromFile(name);
}

bool TfrxPreview::LoadFromFile(const QString& fileName) {
    if (FOperation != Operation::None)
        return false;
    auto pages = std::make_shared<TfrxPreparedPages>();
    if (!pages->LoadFromFile(fileName)) {
        platform::showError(this, pages->ErrorText());
        return false;
    }
    SetPages(std::move(pages));
    return true;
}

void TfrxPreview::SaveToFile() {
    const QString name = AskFileName(this, QFileDialog::AcceptSave, kFp3Filter, "fp3");
    if (!name.isEmpty())
        SaveToFile(name);
}

bool TfrxPreview::SaveToFile(const QString& fileName) {
    if (!FPages->SaveToFile(fileName)) {
        platform::showError(this, FPages->ErrorText());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Printing and page set-up

void TfrxPreview::ApplyPrintOptions(QPrinter& printer) const {
    TfrxReport* report = FShownReport;
    if (!report)
        return;
    const QString name = report->PrintOptions.Printer;
    // "Default" and "По умолчанию" both mean the system's default printer.
    if (!name.isEmpty() && name != QLatin1String("Default") &&
        name != QStringLiteral("По умолчанию") && QPrinterInfo::printerInfo(name).isNull() == false)
        printer.setPrinterName(name);
    printer.setCopyCount(std::max(1, report->PrintOptions.Copies));
    printer.setCollateCopies(report->PrintOptions.Collate);
}

void TfrxPreview::Print() {
    if (FOperation != Operation::None || PageCount() == 0)
        return;
    QPrinter printer(QPrinter::HighResolution);
    ApplyPrintOptions(printer);
    const int count = PageCount();
    PrintJob job;
    job.Copies = printer.copyCount();
    const QString numbers = FShownReport ? FShownReport->PrintOptions.PageNumbers : QString();
    const bool ask = !FShownReport || FShownReport->PrintOptions.ShowDialog;
    if (ask) {
        QPrintDialog dialog(&printer, this);
        dialog.setMinMax(1, count);
        dialog.setOption(QAbstractPrintDialog::PrintCurrentPage);
        if (platform::runModal(dialog) != QDialog::Accepted)
            return;
        job.Copies = std::max(1, printer.copyCount());
    }
    int from = 1, to = count;
    if (printer.printRange() == QPrinter::PageRange) {
        from = std::max(1, printer.fromPage());
        to = std::min(count, printer.toPage() > 0 ? printer.toPage() : count);
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        from = to = FPageNo;
    }
    if (printer.printRange() == QPrinter::AllPages && !numbers.isEmpty()) {
        job.Pages = TfrxCustomExportFilter::ParsePageNumbers(numbers, count);
    } else {
        for (int p = from; p <= to; ++p)
            job.Pages.push_back(p - 1);
    }
    Print(printer, job);
}

bool TfrxPreview::Print(QPrinter& printer, const PrintJob& job) {
    if (FOperation != Operation::None)
        return false;
    OperationScope scope(FOperation, FCancelled, Operation::Printing);
    TfrxReport* report = ProgressReport();
    if (report) {
        report->Terminated = false;
        report->DoProgressStart(ptPrinting, 0);
    }
    QString error;
    const bool ok = PrintPreparedPages(
        printer, *FPages, job,
        [&](int sheet) {
            if (report) {
                report->DoProgress(ptPrinting, sheet);
                QCoreApplication::processEvents();
            }
            return !FCancelled && !(report && report->Terminated);
        },
        &error);
    if (report)
        report->DoProgressStop(ptPrinting, 0);
    if (!error.isEmpty())
        platform::showError(this, error);
    return ok;
}

void TfrxPreview::PageSetup() {
    TfrxReport* report = FShownReport;
    PageSettings settings;
    if (FOperation != Operation::None || !report || !ReadPageSettings(*report, settings))
        return;
    TfrxPageSetupDialog dialog(this);
    dialog.SetSettings(settings);
    if (platform::runModal(dialog) != QDialog::Accepted || dialog.Settings() == settings)
        return;
    ApplyPageSettings(*report, dialog.Settings());
    const int page = FPageNo;
    if (!ShowReport(*report) && !report->ErrorText.isEmpty())
        platform::showError(this, report->ErrorText);
    SetPageNo(page);
}

// ---------------------------------------------------------------------------------------------
// Search

void TfrxPreview::Find() {
    TfrxSearchDialog dialog(this);
    dialog.SetQuery(FQuery);
    if (platform::runModal(dialog) != QDialog::Accepted || dialog.Query().Empty())
        return;
    if (!Find(dialog.Query()))
        platform::showMessage(
            this, {QString(), QStringLiteral("Текст не найден"), platform::MsgType::Information,
                   platform::MsgButtons::Ok, platform::MsgResult::Ok});
}

bool TfrxPreview::Find(const SearchQuery& query) {
    FQuery = query;
    // From the start of the current page, so a hit on the page shown is found first.
    FHit = {FPageNo - 1, -1};
    return FindNext();
}

bool TfrxPreview::FindNext() {
    if (FQuery.Empty())
        return false;
    const SearchHit next = FindNextHit(*FPages, FQuery, FHit, true);
    if (!next.Valid())
        return false;
    FHit = next;
    ShowHit();
    return true;
}

bool TfrxPreview::FindPrev() {
    if (FQuery.Empty())
        return false;
    const SearchHit prev = FindNextHit(*FPages, FQuery, FHit, false);
    if (!prev.Valid())
        return false;
    FHit = prev;
    ShowHit();
    return true;
}

void TfrxPreview::ShowHit() {
    if (FHit.Valid() && FHit.Page + 1 != FPageNo)
        SetPageNo(FHit.Page + 1);
    FView->viewport()->update();
}

std::vector<QRectF> TfrxPreview::HitsOn(int page) const {
    if (FQuery.Empty() || !FPages)
        return {};
    try {
        auto prepared = FPages->Page(page);
        return prepared ? FindOnPage(*prepared, FQuery) : std::vector<QRectF>{};
    } catch (const platform::Exception&) {
        return {};
    }
}

// ---------------------------------------------------------------------------------------------
// Export

void TfrxPreview::Export(TfrxCustomExportFilter* filter) {
    if (!filter || FOperation != Operation::None)
        return;
    bool openAfter = false;
    if (filter->property("ShowDialog").toBool()) {
        std::unique_ptr<ExportOptionsDialog> options =
            CreateExportOptionsDialog(*filter, FPageNo, this);
        if (platform::runModal(*options) != QDialog::Accepted)
            return;
        openAfter = options->OpenAfterExport();
    }
    QString name = filter->FileName();
    if (filter->property("ShowDialog").toBool() || name.isEmpty()) {
        name = AskFileName(this, QFileDialog::AcceptSave, filter->FilterText(),
                           filter->DefaultExt().mid(1));
        if (name.isEmpty())
            return;
    }
    if (Export(*filter, name) && openAfter)
        QDesktopServices::openUrl(QUrl::fromLocalFile(filter->TargetPath()));
}

bool TfrxPreview::Export(TfrxCustomExportFilter& filter, const QString& fileName) {
    if (FOperation != Operation::None)
        return false;
    filter.SetFileName(fileName);
    const bool ok = RunExport(filter);
    if (!ok && !FCancelled && !filter.ErrorText().isEmpty())
        platform::showError(this, filter.ErrorText());
    return ok;
}

bool TfrxPreview::RunExport(TfrxCustomExportFilter& filter) {
    OperationScope scope(FOperation, FCancelled, Operation::Exporting);
    FExportFilter = &filter;
    TfrxReport* report = ProgressReport();
    QList<QMetaObject::Connection> links;
    if (report) {
        report->Terminated = false;
        links << connect(&filter, &TfrxCustomExportFilter::progressStart, report,
                         [report](int kind, int) { report->DoProgressStart(kind, 0); });
        links << connect(&filter, &TfrxCustomExportFilter::progress, report,
                         [report, &filter](int kind, int page) {
                             report->DoProgress(kind, page);
                             QCoreApplication::processEvents();
                             if (report->Terminated)
                                 filter.Terminate();
                         });
        links << connect(&filter, &TfrxCustomExportFilter::progressStop, report,
                         [report](int kind) { report->DoProgressStop(kind, 0); });
    }
    bool ok = false;
    try {
        ok = filter.Export(*FPages);
    } catch (const platform::Exception& e) {
        platform::showError(this, e.Message());
    }
    for (const auto& link : links)
        disconnect(link);
    FExportFilter = nullptr;
    return ok;
}

}  // namespace reportengine
