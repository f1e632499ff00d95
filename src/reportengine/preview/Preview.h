// TfrxPreview: the preview control. It shows the pages of a TfrxPreparedPages store in a scrolling
// column (PageView: only visible pages rendered, off the UI thread, cached per zoom), keeps the
// current page within 1..page count and reports every change of it or of the page count through
// `pageChanged`, zooms by a factor (never under 0.25) or by mode (whole page, page width), shows
// an optional thumbnails panel, and runs the commands that act on the shown report: load and save
// .fp3, print, page set-up, text search, export through a filter, and cancelling the operation
// under way.
//
// Reports: ShowReport prepares a report into the preview; the report's pages appear while it is
// still being prepared, since the preview follows the report's progress events and lets the event
// loop run there. AttachReport keeps a report bound (its preparations always refresh the view and
// its progress events carry the preview's exports and printing); DetachReport unbinds it.
//
// Thread contract: UI thread only. The preview shares the page store with the report that fills
// it; a store being appended to by another thread is read through Count()/Page() only.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

#include "reportengine/export/ExportFilter.h"
#include "reportengine/model/ModelTypes.h"
#include "reportengine/model/Report.h"
#include "reportengine/preview/PreviewSearch.h"

class QPrinter;
class QSplitter;

namespace reportengine {

class PageView;
struct PrintJob;

class TfrxPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr double kMinZoom = 0.25;
    static constexpr double kMaxZoom = 10.0;  // beyond it a page is tens of thousands of pixels
    static constexpr double kZoomStep = 0.25;
    static constexpr int kThumbnailWidth = 150;
    static constexpr int kEventsInterval = 30;  // ms between event-loop turns while preparing

    enum class Operation { None, Preparing, Exporting, Printing };

    explicit TfrxPreview(QWidget* parent = nullptr);
    ~TfrxPreview() override;

    // --- Pages
    void SetPages(std::shared_ptr<TfrxPreparedPages> pages);
    const std::shared_ptr<TfrxPreparedPages>& Pages() const { return FPages; }
    // One empty A4 page of its own: what the preview shows before any report.
    void ShowBlankPage();
    // Re-reads the page count of the store (it may have grown).
    void RefreshPages();
    int PageCount() const;
    int PageNo() const { return FPageNo; }
    void SetPageNo(int pageNo);  // kept within 1..PageCount
    void First();
    void Prior();
    void Next();
    void Last();

    // --- Zoom: the factor is kept between kMinZoom and kMaxZoom; setting it leaves the zoom modes.
    // The modes fit the page to the view without changing the factor.
    double Zoom() const { return FZoom; }
    void SetZoom(double zoom);
    TfrxZoomMode ZoomMode() const { return FZoomMode; }
    void SetZoomMode(TfrxZoomMode mode);
    double EffectiveZoom() const;  // the scale the pages are drawn at
    bool ThumbnailsVisible() const;
    void SetThumbnailsVisible(bool visible);
    // Scrolls vertically by a mouse-wheel amount (120 per notch, positive = up).
    void MouseWheelScroll(int delta);

    // --- Reports
    void AttachReport(TfrxReport* report);
    void DetachReport(TfrxReport* report);
    bool IsAttached(const TfrxReport* report) const;
    // Prepares the report and shows its pages as they come; false when the preparation failed or
    // was cancelled (report.ErrorText says why) or another operation is running.
    bool ShowReport(TfrxReport& report, bool clearLastReport = true);
    // The report whose pages are shown (null for a loaded file or the blank page).
    TfrxReport* ShownReport() const { return FShownReport; }

    // --- Commands. Each reports its own errors in a message box; the ones with a file name or
    // a printer run without any window and return success.
    void LoadFromFile();
    bool LoadFromFile(const QString& fileName);
    void SaveToFile();
    bool SaveToFile(const QString& fileName);
    void Print();
    bool Print(QPrinter& printer, const PrintJob& job);
    void PageSetup();
    void Find();
    bool Find(const SearchQuery& query);  // from the current page on
    bool FindNext();
    bool FindPrev();
    SearchQuery LastQuery() const { return FQuery; }
    SearchHit CurrentHit() const { return FHit; }
    void Export(TfrxCustomExportFilter* filter);
    bool Export(TfrxCustomExportFilter& filter, const QString& fileName);

    // While locked the preview neither follows its pages nor repaints (a template is being
    // designed); locks nest.
    void Lock();
    void Unlock();
    bool IsLocked() const { return FLockCount > 0; }
    // Stops the preparation, export or printing under way (it ends after the current page).
    void Cancel();
    Operation CurrentOperation() const { return FOperation; }

    PageView* View() const { return FView; }
    PageView* Thumbnails() const { return FThumbnails; }

signals:
    // The current page number or the page count changed.
    void pageChanged(int pageNo);
    // A page's picture was drawn (index 0-based).
    void pagePainted(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetPagesShown(std::shared_ptr<TfrxPreparedPages> pages, TfrxReport* report);
    void ApplyZoom();
    void SetCurrent(int pageNo, bool scroll);
    void NotifyPageChanged();
    void FollowUserScroll();
    void ConnectReport(TfrxReport* report);
    void OnReportProgressStart(TfrxReport* report, int kind);
    void OnReportProgress(TfrxReport* report, int kind);
    TfrxReport* ProgressReport() const;
    void ShowHit();
    std::vector<QRectF> HitsOn(int page) const;
    bool RunExport(TfrxCustomExportFilter& filter);
    void ApplyPrintOptions(QPrinter& printer) const;

    PageView* FView = nullptr;
    PageView* FThumbnails = nullptr;
    QSplitter* FSplitter = nullptr;
    std::shared_ptr<TfrxPreparedPages> FPages;
    QPointer<TfrxReport> FShownReport;
    std::vector<QPointer<TfrxReport>> FAttached;
    int FPageNo = 1;
    int FNotifiedPage = 0, FNotifiedCount = -1;
    double FZoom = 1.0;
    TfrxZoomMode FZoomMode = zmDefault;
    int FLockCount = 0;
    Operation FOperation = Operation::None;
    bool FCancelled = false;
    QPointer<TfrxCustomExportFilter> FExportFilter;
    SearchQuery FQuery;
    SearchHit FHit;
    QElapsedTimer FEventsTimer;  // since the event loop last ran during a preparation
};

}  // namespace reportengine
