// The main window's preview side: the page box and zoom box rules, navigation enabling, zoom in
// and out at the floor, the export submenu, detaching the reports while a template is edited, the
// wheel, and the progress window driven by a report's progress events (with cancel).
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "AppFixture.h"
#include "app/ProgressForm.h"
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/model/Report.h"
#include "reportengine/preview/PageView.h"
#include "reportengine/preview/PreviewSamples.h"

using namespace reportengine;

namespace {

class PreviewCommandsTest : public AppTest {
protected:
    std::unique_ptr<TMainForm> startWithPages(int count) {
        auto form = startProgram();
        form->frPreview->SetPages(
            previewsamples::EventReport(count, TfrxPreparedPages::kDefaultBudget, 5));
        return form;
    }
    // The user picks zoom box item index.
    static void pickZoom(TMainForm& form, int index) {
        form.ZoomCB->setCurrentIndex(index);
        emit form.ZoomCB->activated(index);
    }
    // The user types text into the page box and presses Enter.
    static void typePage(TMainForm& form, const QString& text) {
        form.PageE->setText(text);
        emit form.PageE->returnPressed();
    }
};

}  // namespace

TEST_F(PreviewCommandsTest, StartsWithOneBlankPageWholeAndTheCommandsBound) {
    auto form = startProgram();
    EXPECT_EQ(form->frPreview->PageCount(), 1);
    EXPECT_EQ(form->frPreview->ZoomMode(), zmWholePage);
    EXPECT_EQ(form->PageE->text(), "1");
    EXPECT_EQ(form->ZoomCB->currentText(), "100%");
    EXPECT_EQ(form->frPreview->toolTip(), "Просмотр сформированного отчета");
}

TEST_F(PreviewCommandsTest, PageBoxGoesToThePageOrTheNearestEndAndRejectsText) {
    auto form = startWithPages(5);
    struct Case {
        const char* typed;
        int page;
        const char* box;
    } cases[] = {
        {"3", 3, "3"},  {"0", 1, "1"},    // below the first: the first page, and the box says so
        {"99", 5, "5"},                   // above the count: the last page
        {"4", 4, "4"},  {"abc", 4, "4"},  // rejected: the page and the box stay as they were
        {"", 4, "4"},                     // an emptied box is not a number either
        {"-2", 1, "1"},
    };
    for (const Case& c : cases) {
        typePage(*form, QString::fromUtf8(c.typed));
        EXPECT_EQ(form->frPreview->PageNo(), c.page) << "typed " << c.typed;
        EXPECT_EQ(form->PageE->text(), c.box) << "typed " << c.typed;
    }
    // The accept event itself: the replaced text is what the box takes.
    QString text = "42";
    EXPECT_TRUE(form->PageEAcceptText(text));
    EXPECT_EQ(text, "5");
    text = "x1";
    EXPECT_FALSE(form->PageEAcceptText(text));
}

TEST_F(PreviewCommandsTest, ZoomBoxSetsFactorOrModeAndFallsBackToPageWidth) {
    auto form = startWithPages(3);
    TfrxPreview& preview = *form->frPreview;
    pickZoom(*form, 4);  // "150%"
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.5);
    EXPECT_EQ(preview.ZoomMode(), zmDefault);
    pickZoom(*form, 6);  // "по ширине": the mode only
    EXPECT_EQ(preview.ZoomMode(), zmPageWidth);
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.5);
    pickZoom(*form, 7);  // "целиком"
    EXPECT_EQ(preview.ZoomMode(), zmWholePage);
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.5);

    // Items whose text is not a number (a translation could make one) select page width; a
    // comma is a decimal mark.
    form->ZoomCB->setItemText(0, "много%");
    form->ZoomCB->setItemText(1, "87,5 %");
    pickZoom(*form, 1);
    EXPECT_DOUBLE_EQ(preview.Zoom(), 0.875);
    pickZoom(*form, 0);
    EXPECT_EQ(preview.ZoomMode(), zmPageWidth);
    EXPECT_DOUBLE_EQ(preview.Zoom(), 0.875);
}

TEST_F(PreviewCommandsTest, ZoomBoxIsWrittenOnlyByUpdateZoomBoxAndPickingItsOwnTextDoesNothing) {
    auto form = startWithPages(3);
    TfrxPreview& preview = *form->frPreview;
    preview.SetZoom(0.87);
    form->UpdateZoomBox();
    EXPECT_EQ(form->ZoomCB->currentText(), "87%");
    EXPECT_DOUBLE_EQ(preview.Zoom(), 0.87);  // writing the box ran no change

    form->ZoomInExecute();
    EXPECT_EQ(form->ZoomCB->currentText(), "87%");  // zoom in leaves the box alone

    preview.SetZoom(1.5);
    form->UpdateZoomBox();
    preview.SetZoomMode(zmWholePage);
    pickZoom(*form, 4);  // "150%" again: the same text, so no change event
    EXPECT_EQ(preview.ZoomMode(), zmWholePage);
}

TEST_F(PreviewCommandsTest, ZoomInAndOutStepByAQuarterAndStopAtTheFloor) {
    auto form = startWithPages(1);
    TfrxPreview& preview = *form->frPreview;
    preview.SetZoom(0.25);
    form->ZoomOutExecute();
    EXPECT_DOUBLE_EQ(preview.Zoom(), 0.25);
    form->ZoomInExecute();
    EXPECT_DOUBLE_EQ(preview.Zoom(), 0.5);
    preview.SetZoom(0.4);
    form->ZoomOutExecute();  // 0.15 is raised to 0.25
    EXPECT_DOUBLE_EQ(preview.Zoom(), 0.25);
    // Whatever the mode, the step is from the factor, and it leaves the mode.
    preview.SetZoom(1.0);
    preview.SetZoomMode(zmWholePage);
    form->ZoomInExecute();
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.25);
    EXPECT_EQ(preview.ZoomMode(), zmDefault);
}

TEST_F(PreviewCommandsTest, NavigationIsEnabledByPage) {
    struct Case {
        int pages, page;
        bool firstPrev, nextLast;
    } cases[] = {
        {3, 1, false, true},
        {3, 2, true, true},
        {3, 3, true, false},
        {1, 1, false, false},
    };
    auto form = startProgram();
    for (const Case& c : cases) {
        form->frPreview->SetPages(
            previewsamples::EventReport(c.pages, TfrxPreparedPages::kDefaultBudget, 5));
        form->frPreview->SetPageNo(c.page);
        const std::string at = std::to_string(c.page) + " of " + std::to_string(c.pages);
        EXPECT_EQ(form->FirstPage->isEnabled(), c.firstPrev) << at;
        EXPECT_EQ(form->PrevPage->isEnabled(), c.firstPrev) << at;
        EXPECT_EQ(form->NextPage->isEnabled(), c.nextLast) << at;
        EXPECT_EQ(form->LastPage->isEnabled(), c.nextLast) << at;
        EXPECT_EQ(form->PageE->text(), QString::number(c.page)) << at;
    }
    form->frPreview->SetPages(previewsamples::EventReport(4, TfrxPreparedPages::kDefaultBudget, 5));
    form->LastPage->trigger();
    EXPECT_EQ(form->frPreview->PageNo(), 4);
    form->PrevPage->trigger();
    EXPECT_EQ(form->frPreview->PageNo(), 3);
    form->FirstPage->trigger();
    form->NextPage->trigger();
    EXPECT_EQ(form->frPreview->PageNo(), 2);
}

TEST_F(PreviewCommandsTest, ExportSubmenuListsEveryRegisteredFilterButDotMatrix) {
    auto form = startProgram();
    QStringList expected;
    QList<int> tags;
    for (const RegisteredExportFilter& f : RegisteredExportFilters()) {
        if (f.Slot->Format == ExportFormat::DotMatrix)
            continue;
        expected << f.Slot->Description + "...";
        tags << f.Position;
    }
    QStringList captions;
    QList<int> itemTags;
    for (QAction* item : form->ExportMenu->actions()) {
        captions << item->text();
        itemTags << item->data().toInt();
    }
    EXPECT_EQ(captions, expected);
    EXPECT_EQ(itemTags, tags);
    EXPECT_TRUE(captions.contains("Файл PDF..."));
    form->BuildExportMenu();  // built again (the host's set-up), not doubled
    EXPECT_EQ(form->ExportMenu->actions().size(), expected.size());
}

TEST_F(PreviewCommandsTest, EditingATemplateDetachesBothReportsAndKeepsWhatThePreviewShows) {
    auto form = startWithPages(3);
    TfrxReport first, second;
    form->AttachReports({&first, &second});
    form->frPreview->SetPageNo(2);
    const auto shown = form->frPreview->Pages();
    bool attachedWhileEditing = true, lockedWhileEditing = false;
    form->EditReportHook = [&] {
        attachedWhileEditing =
            form->frPreview->IsAttached(&first) || form->frPreview->IsAttached(&second);
        lockedWhileEditing = form->frPreview->IsLocked();
    };
    form->ReportFormEditReportExecute();
    EXPECT_FALSE(attachedWhileEditing);
    EXPECT_TRUE(lockedWhileEditing);
    EXPECT_TRUE(form->frPreview->IsAttached(&first));
    EXPECT_TRUE(form->frPreview->IsAttached(&second));
    EXPECT_FALSE(form->frPreview->IsLocked());
    EXPECT_EQ(form->frPreview->Pages(), shown);
    EXPECT_EQ(form->frPreview->PageNo(), 2);
}

TEST_F(PreviewCommandsTest, WheelOnTheWindowScrollsThePreviewWithoutZooming) {
    auto form = startWithPages(6);
    form->frPreview->SetZoom(1.0);
    form->show();
    QScrollBar* bar = form->frPreview->View()->verticalScrollBar();
    const int before = bar->value();
    form->FormMouseWheel(-360);
    EXPECT_GT(bar->value(), before);
    EXPECT_DOUBLE_EQ(form->frPreview->Zoom(), 1.0);
    EXPECT_EQ(bar->value() - before, 3 * 40);  // three notches
}

TEST_F(PreviewCommandsTest, ProgressWindowNamesTheOperationCountsPagesAndCancelStopsIt) {
    auto form = startWithPages(1);
    TFormProgress progress(form.get());
    progress.OnCancel = [&form] { form->CancelReportOperation(); };
    EXPECT_EQ(progress.windowTitle(), " Выполнение операции");
    EXPECT_EQ(progress.Label1->text(), "Обрабатывается страница :");
    EXPECT_EQ(progress.btCancel->text(), "Отменить");
    EXPECT_TRUE(progress.windowFlags() & Qt::WindowStaysOnTopHint);

    TfrxReport report;
    form->AttachReports({&report});
    const char* names[] = {"Формирование отчета", "Экспорт отчета", "Печать отчета"};
    for (int kind = 0; kind < 3; ++kind) {
        report.DoProgressStart(kind, 0);
        EXPECT_EQ(progress.lbWork->text(), names[kind]);
        EXPECT_FALSE(progress.isVisible()) << "start alone does not show the window";
        report.DoProgress(kind, 7);
        EXPECT_TRUE(progress.isVisible());
        EXPECT_EQ(progress.PageCount->text(), "7");
        report.DoProgressStop(kind, 7);
        EXPECT_FALSE(progress.isVisible());
    }
    report.DoProgressStart(5, 0);  // an unknown type leaves the name
    EXPECT_EQ(progress.lbWork->text(), "Печать отчета");

    // An export of the report's pages: pages numbered afresh, cancel stops it after page 2.
    for (int n = 1; n <= 6; ++n)
        report.PreparedPages().AddPage(previewsamples::EventPage(n, 6, 3));
    form->frPreview->SetPages(report.SharedPreparedPages());
    QStringList seen;
    QObject::connect(&report, &TfrxReport::progressed, &progress, [&](int, int page) {
        seen << progress.PageCount->text();
        if (page == 2)
            progress.btCancel->click();
    });
    QTemporaryDir dir;
    auto filter = CreateExportFilter(ExportFormat::PDF);
    EXPECT_FALSE(form->frPreview->Export(*filter, dir.filePath("x.pdf")));
    EXPECT_EQ(seen, (QStringList{"1", "2"}));
    EXPECT_EQ(progress.lbWork->text(), "Экспорт отчета");
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(messages.isEmpty());
}

// Also the screenshots of the preview: with VELLUMAR_PREVIEW_SHOTS naming a folder, the window is
// saved there at both zooms (run under a real display to look at it).
TEST_F(PreviewCommandsTest, WholePageFitsTheViewAnd150PercentIsWiderThanIt) {
    auto form = startWithPages(12);
    form->frPreview->SetPages(previewsamples::EventReport(12));
    form->resize(1200, 850);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    reportengine::PageView* view = form->frPreview->View();
    const QString shots = qEnvironmentVariable("VELLUMAR_PREVIEW_SHOTS");
    auto settle = [&](const char* name) {
        QCoreApplication::processEvents();  // scroll bars follow the new size
        view->viewport()->repaint();
        view->Cache().WaitForRenders();
        view->viewport()->repaint();
        if (!shots.isEmpty())
            form->grab().save(shots + "/" + name + ".png");
    };

    pickZoom(*form, 7);  // "целиком"
    settle("whole-page");
    const QRectF whole = view->PageRect(0);
    EXPECT_TRUE(QRectF(view->viewport()->rect()).contains(whole));
    EXPECT_NE(view->Cache().Picture(0), nullptr);

    pickZoom(*form, 4);  // "150%"
    form->NextPageExecute();
    settle("zoom-150");
    EXPECT_DOUBLE_EQ(view->Scale(), 1.5);
    EXPECT_GT(view->PageRect(1).height(), view->viewport()->height());
    EXPECT_EQ(form->PageE->text(), "2");
}
