// The main window's preview side: the preview commands, the page and zoom boxes, the export
// submenu, the wheel, template editing with the reports detached, and the progress handlers.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QWheelEvent>

#include <algorithm>

#include "app/Main.h"
#include "app/ProgressForm.h"
#include "catalog/Report.h"
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/model/Report.h"

using reportengine::TfrxReport;

namespace {

constexpr int kZoomPageWidthItem = 6;
constexpr int kZoomWholePageItem = 7;

}  // namespace

void TMainForm::BindPreviewCommands() {
    const std::pair<QAction*, void (TMainForm::*)()> commands[] = {
        {LoadPreview, &TMainForm::LoadPreviewExecute},
        {SavePreview, &TMainForm::SavePreviewExecute},
        {PrintPreview, &TMainForm::PrintPreviewExecute},
        {FindPreview, &TMainForm::FindPreviewExecute},
        {PageSetup, &TMainForm::PageSetupExecute},
        {FirstPage, &TMainForm::FirstPageExecute},
        {PrevPage, &TMainForm::PrevPageExecute},
        {NextPage, &TMainForm::NextPageExecute},
        {LastPage, &TMainForm::LastPageExecute},
        {ZoomIn, &TMainForm::ZoomInExecute},
        {ZoomOut, &TMainForm::ZoomOutExecute},
        {Miniature, &TMainForm::MiniatureExecute},
    };
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this, handler);
    connect(frPreview, &reportengine::TfrxPreview::pageChanged, this,
            &TMainForm::frPreviewPageChanged);
    connect(PageE, &QLineEdit::returnPressed, this, &TMainForm::AcceptPageBox);
    connect(ZoomCB, &QComboBox::activated, this, [this](int index) {
        const QString text = ZoomCB->itemText(index);
        if (text != FZoomCBText)
            ZoomCBChange(text);
    });
    connect(ReportForm->EditReport, &QAction::triggered, this,
            &TMainForm::ReportFormEditReportExecute);
    BuildExportMenu();
    frPreviewPageChanged(frPreview->PageNo());
    UpdateZoomBox();
}

// ---------------------------------------------------------------------------------------------
// Commands

void TMainForm::LoadPreviewExecute() {
    frPreview->LoadFromFile();
}
void TMainForm::SavePreviewExecute() {
    frPreview->SaveToFile();
}
void TMainForm::PrintPreviewExecute() {
    frPreview->Print();
}
void TMainForm::FindPreviewExecute() {
    frPreview->Find();
}
void TMainForm::PageSetupExecute() {
    frPreview->PageSetup();
}
void TMainForm::FirstPageExecute() {
    frPreview->First();
}
void TMainForm::PrevPageExecute() {
    frPreview->SetPageNo(frPreview->PageNo() - 1);
}
void TMainForm::NextPageExecute() {
    frPreview->SetPageNo(frPreview->PageNo() + 1);
}
void TMainForm::LastPageExecute() {
    frPreview->SetPageNo(frPreview->PageCount());
}
void TMainForm::ZoomInExecute() {
    frPreview->SetZoom(frPreview->Zoom() + reportengine::TfrxPreview::kZoomStep);
}
void TMainForm::ZoomOutExecute() {
    frPreview->SetZoom(frPreview->Zoom() - reportengine::TfrxPreview::kZoomStep);
}
void TMainForm::MiniatureExecute() {
    frPreview->SetThumbnailsVisible(Miniature->isChecked());
}

// ---------------------------------------------------------------------------------------------
// Page box

void TMainForm::frPreviewPageChanged(int PageNo) {
    const int count = frPreview->PageCount();
    FirstPage->setEnabled(PageNo != 1);
    PrevPage->setEnabled(PageNo != 1);
    LastPage->setEnabled(PageNo != count);
    NextPage->setEnabled(PageNo != count);
    FPageEText = QString::number(PageNo);
    PageE->setText(FPageEText);
}

bool TMainForm::PageEAcceptText(QString& NewText) {
    bool ok = false;
    const int n = NewText.toInt(&ok);
    bool accepted = false;
    if (!ok) {
        // Back to the page in the box; an empty or non-numeric box (before any page change)
        // leaves the page as it is.
        bool previousOk = false;
        const int previous = FPageEText.toInt(&previousOk);
        if (previousOk)
            frPreview->SetPageNo(previous);
    } else {
        frPreview->SetPageNo(n);
        if (n >= frPreview->PageCount() || n < 1)
            NewText = QString::number(frPreview->PageNo());
        accepted = true;
    }
    frPreview->setFocus();
    return accepted;
}

void TMainForm::AcceptPageBox() {
    QString text = PageE->text();
    if (PageEAcceptText(text))
        FPageEText = text;
    PageE->setText(FPageEText);
}

// ---------------------------------------------------------------------------------------------
// Zoom box

void TMainForm::ZoomCBChange(const QString& Text) {
    FZoomCBText = Text;
    PreviewZoomExecute();
}

void TMainForm::PreviewZoomExecute() {
    frPreview->setFocus();
    const int index = ZoomCB->currentIndex();
    if (index == kZoomPageWidthItem || index < 0) {
        frPreview->SetZoomMode(reportengine::zmPageWidth);
        return;
    }
    if (index == kZoomWholePageItem) {
        frPreview->SetZoomMode(reportengine::zmWholePage);
        return;
    }
    QString text = ZoomCB->currentText();
    const qsizetype percent = text.indexOf(u'%');
    if (percent >= 0)
        text[percent] = u' ';
    text.remove(u' ');
    if (text.isEmpty())
        return;
    bool ok = false;
    const double value = text.replace(u',', u'.').toDouble(&ok);
    if (ok)
        frPreview->SetZoom(value / 100);
    else
        frPreview->SetZoomMode(reportengine::zmPageWidth);
}

void TMainForm::UpdateZoomBox() {
    FZoomCBText = QString::number(qRound(frPreview->Zoom() * 100)) + u'%';
    const QSignalBlocker quiet(ZoomCB);
    ZoomCB->setCurrentIndex(-1);
    ZoomCB->setEditText(FZoomCBText);
}

// ---------------------------------------------------------------------------------------------
// Export

void TMainForm::BuildExportMenu() {
    ExportMenu->clear();
    for (const reportengine::RegisteredExportFilter& filter :
         reportengine::RegisteredExportFilters()) {
        if (filter.Slot->Format == reportengine::ExportFormat::DotMatrix)
            continue;
        QAction* item = ExportMenu->addAction(filter.Slot->Description + QStringLiteral("..."));
        item->setObjectName(QString::fromLatin1(filter.Slot->ClassName));
        item->setData(filter.Position);
        const int tag = filter.Position;
        connect(item, &QAction::triggered, this, [this, tag] { ExportItemClick(tag); });
    }
}

void TMainForm::ExportItemClick(int tag) {
    const auto filters = reportengine::RegisteredExportFilters();
    const auto found = std::find_if(filters.begin(), filters.end(),
                                    [tag](const auto& f) { return f.Position == tag; });
    if (found == filters.end())
        return;
    std::unique_ptr<reportengine::TfrxCustomExportFilter> filter =
        reportengine::CreateExportFilter(found->Slot->Format);
    if (filter)
        frPreview->Export(filter.get());
}

// ---------------------------------------------------------------------------------------------
// Wheel and template editing

void TMainForm::FormMouseWheel(int delta) {
    frPreview->MouseWheelScroll(delta);
}

void TMainForm::wheelEvent(QWheelEvent* event) {
    FormMouseWheel(event->angleDelta().y());
    event->accept();
}

void TMainForm::ReportFormEditReportExecute() {
    const std::vector<TfrxReport*> reports = AttachedReports();
    for (TfrxReport* report : reports)
        frPreview->DetachReport(report);
    frPreview->Lock();
    // The reports come back to the preview however the edit ends.
    struct Reattach {
        TMainForm* form;
        const std::vector<TfrxReport*>& reports;
        ~Reattach() {
            form->frPreview->Unlock();
            for (TfrxReport* report : reports)
                form->frPreview->AttachReport(report);
        }
    } reattach{this, reports};
    if (EditReportHook)
        EditReportHook();
}

void TMainForm::AttachReports(const std::vector<TfrxReport*>& reports) {
    for (TfrxReport* report : reports) {
        if (!report)
            continue;
        FReports.emplace_back(report);
        frPreview->AttachReport(report);
        report->OnProgressStart = [this, report](int kind, int page) {
            ReportProgressStart(report, kind, page);
        };
        report->OnProgress = [this, report](int kind, int page) {
            ReportProgress(report, kind, page);
        };
        report->OnProgressStop = [this, report](int kind, int page) {
            ReportProgressStop(report, kind, page);
        };
    }
}

std::vector<TfrxReport*> TMainForm::AttachedReports() const {
    std::vector<TfrxReport*> reports;
    for (const auto& report : FReports)
        if (report)
            reports.push_back(report);
    return reports;
}

// ---------------------------------------------------------------------------------------------
// Progress

void TMainForm::ReportProgressStart(TfrxReport*, int ProgressType, int) {
    static const char* const keys[] = {"IDS_4", "IDS_5", "IDS_6"};
    if (!FormProgress || ProgressType < 0 || ProgressType > 2)
        return;
    FormProgress->lbWork->setText(MainTexts()(keys[ProgressType]));
}

void TMainForm::ReportProgress(TfrxReport*, int, int Progress) {
    if (!FormProgress)
        return;
    if (!FormProgress->isVisible())
        FormProgress->show();
    FormProgress->PageCount->setText(QString::number(Progress));
    FormProgress->repaint();
}

void TMainForm::ReportProgressStop(TfrxReport*, int, int) {
    if (FormProgress)
        FormProgress->hide();
}

void TMainForm::CancelReportOperation() {
    frPreview->Cancel();
}
