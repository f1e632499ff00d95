// The preview control on the offscreen platform: navigation and its page-change event, zoom
// limits and modes, pages that arrive while a report is prepared, drawing from the render cache,
// search across pages, .fp3 load and save, printing to PDF, export cancel, page set-up, locking.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "PreviewSamples.h"
#include "platform/MessageBox.h"
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/io/TemplateFile.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"
#include "reportengine/preview/PageSetupDialog.h"
#include "reportengine/preview/PageView.h"
#include "reportengine/preview/Preview.h"
#include "reportengine/preview/PreviewPrint.h"

using namespace reportengine;
using previewsamples::EventReport;

namespace {

// Page count and paper size of a PDF, read back with pdfinfo.
struct PdfInfo {
    int Pages = -1;
    QString PageSize;
};
PdfInfo ReadPdfInfo(const QString& file) {
    QProcess p;
    p.start("pdfinfo", {file});
    p.waitForFinished();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    PdfInfo info;
    const auto pages = QRegularExpression(R"(Pages:\s+(\d+))").match(out);
    if (pages.hasMatch())
        info.Pages = pages.captured(1).toInt();
    const auto size = QRegularExpression(R"(Page size:\s+(.*))").match(out);
    if (size.hasMatch())
        info.PageSize = size.captured(1).trimmed();
    return info;
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        preview.resize(800, 600);
        platform::setMessageHandler([this](const platform::MessageRequest& r) {
            messages.append(r.text);
            return platform::MsgResult::Ok;
        });
    }
    void TearDown() override {
        platform::setMessageHandler(nullptr);
        platform::setModalHandler(nullptr);
    }
    // Paints the view once and delivers the renders it queued, then paints again.
    void PaintSettled() {
        if (!QTest::qWaitForWindowExposed(&preview))
            ADD_FAILURE() << "the preview window was never exposed";
        preview.View()->viewport()->repaint();
        preview.View()->Cache().WaitForRenders();
        preview.View()->viewport()->repaint();
    }

    TfrxPreview preview;
    QStringList messages;
    QTemporaryDir dir;
};

}  // namespace

TEST_F(PreviewTest, PageNumberStaysWithinOneToCountAndEveryChangeIsReported) {
    preview.SetPages(EventReport(5));
    QSignalSpy changes(&preview, &TfrxPreview::pageChanged);
    struct Case {
        int set, expected;
    } cases[] = {{3, 3}, {0, 1}, {-7, 1}, {99, 5}, {5, 5}};
    for (const Case& c : cases) {
        preview.SetPageNo(c.set);
        EXPECT_EQ(preview.PageNo(), c.expected) << "set " << c.set;
    }
    // 3, 1, 5: setting the page already shown reports nothing.
    ASSERT_EQ(changes.count(), 3);
    EXPECT_EQ(changes.at(2).at(0).toInt(), 5);

    preview.First();
    preview.Next();
    preview.Next();
    EXPECT_EQ(preview.PageNo(), 3);
    preview.Prior();
    EXPECT_EQ(preview.PageNo(), 2);
    preview.Last();
    EXPECT_EQ(preview.PageNo(), 5);
    preview.Next();
    EXPECT_EQ(preview.PageNo(), 5);
}

TEST_F(PreviewTest, ZoomFactorHasAFloorAndModesLeaveItAlone) {
    preview.SetPages(EventReport(2));
    preview.SetZoom(1.5);
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.5);
    EXPECT_DOUBLE_EQ(preview.View()->Scale(), 1.5);

    preview.SetZoomMode(zmWholePage);
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.5);
    const double whole = preview.EffectiveZoom();
    EXPECT_LE(PageHeightPx(PreparedPage{}) * whole, preview.View()->viewport()->height());
    preview.SetZoomMode(zmPageWidth);
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.5);
    EXPECT_GE(preview.EffectiveZoom(), whole);  // a landscape-shaped view: width fits later

    preview.SetZoom(0.1);  // raised to the floor, and back to the plain factor
    EXPECT_DOUBLE_EQ(preview.Zoom(), 0.25);
    EXPECT_EQ(preview.ZoomMode(), zmDefault);
    preview.SetZoom(1000);
    EXPECT_DOUBLE_EQ(preview.Zoom(), TfrxPreview::kMaxZoom);
}

TEST_F(PreviewTest, PagesOfAReportBeingPreparedAppearAndAreDrawnAsTheyCome) {
    // The engine's side is played here: it appends to the report's store and reports progress.
    TfrxReport report;
    preview.AttachReport(&report);
    preview.show();
    preview.SetPages(report.SharedPreparedPages());
    QSignalSpy painted(&preview, &TfrxPreview::pagePainted);
    QList<int> countsSeen;
    report.DoProgressStart(ptRunning, 0);
    for (int n = 1; n <= 3; ++n) {
        report.PreparedPages().AddPage(previewsamples::EventPage(n, 3));
        report.DoProgress(ptRunning, n);
        countsSeen << preview.PageCount();
        if (n == 1) {
            PaintSettled();
            EXPECT_TRUE(painted.contains(QVariantList{0})) << "first page drawn before the rest";
        }
    }
    report.DoProgressStop(ptRunning, 3);
    EXPECT_EQ(countsSeen, (QList<int>{1, 2, 3}));
    EXPECT_EQ(preview.PageNo(), 1);

    // A new run empties the store: the preview starts over from its first page.
    preview.SetPageNo(3);
    report.PreparedPages().Clear();
    report.DoProgressStart(ptRunning, 0);
    EXPECT_EQ(preview.PageCount(), 0);
    EXPECT_EQ(preview.PageNo(), 1);

    // Detached, its preparations no longer reach the preview.
    preview.DetachReport(&report);
    report.PreparedPages().AddPage(previewsamples::EventPage(1, 1));
    report.DoProgress(ptRunning, 1);
    EXPECT_EQ(preview.PageCount(), 0);
}

TEST_F(PreviewTest, VisiblePagesAreRenderedAndOnlyThoseAndZoomDropsThePictures) {
    preview.SetPages(EventReport(50));
    preview.SetZoom(1.0);
    preview.show();
    PaintSettled();
    PageRenderCache& cache = preview.View()->Cache();
    // Page 1 at 100% fills the 600-pixel view: only it (and perhaps page 2) was drawn.
    const QImage* first = cache.Picture(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cache.Picture(40), nullptr);  // never shown: not rendered
    // The picture holds ink: the renderer drew the text, not just the white paper.
    bool ink = false;
    for (int y = 30; y < 80 && !ink; ++y)
        for (int x = 30; x < 400 && !ink; ++x)
            ink = qGray(first->pixel(x, y)) < 100;
    EXPECT_TRUE(ink);

    preview.SetZoom(2.0);
    EXPECT_EQ(cache.Picture(0), nullptr);  // a picture at the old scale is never shown
    PaintSettled();
    ASSERT_NE(cache.Picture(0), nullptr);
    EXPECT_NEAR(cache.Picture(0)->width(), PageWidthPx(PreparedPage{}) * 2, 2);
}

TEST_F(PreviewTest, WheelScrollsAndTheCurrentPageFollowsTheScroll) {
    preview.SetPages(EventReport(10));
    preview.SetZoom(1.0);
    preview.show();
    QSignalSpy changes(&preview, &TfrxPreview::pageChanged);
    const int before = preview.View()->verticalScrollBar()->value();
    preview.MouseWheelScroll(-120 * 30);  // down
    EXPECT_GT(preview.View()->verticalScrollBar()->value(), before);
    EXPECT_GT(preview.PageNo(), 1);
    EXPECT_FALSE(changes.isEmpty());
    EXPECT_DOUBLE_EQ(preview.Zoom(), 1.0);  // the wheel never zooms
}

TEST_F(PreviewTest, SearchFindsAcrossPagesForwardAndBackwardWithoutWrapping) {
    auto pages = std::make_shared<TfrxPreparedPages>();
    for (int n = 1; n <= 4; ++n) {
        PreparedPage page;
        page.Items.push_back(previewsamples::Text(40, 40, 500, 22, QStringLiteral("Страница")));
        if (n == 2 || n == 4)  // two hits on page 2, one on page 4
            page.Items.push_back(previewsamples::Text(
                40, 80, 500, 22,
                n == 2 ? QStringLiteral("Турникет 1, ТУРНИКЕТ 2") : QStringLiteral("турникет")));
        pages->AddPage(std::move(page));
    }
    preview.SetPages(pages);

    EXPECT_TRUE(preview.Find({QStringLiteral("турникет"), false}));
    EXPECT_EQ(preview.PageNo(), 2);
    EXPECT_EQ(preview.CurrentHit(), (SearchHit{1, 0}));
    EXPECT_TRUE(preview.FindNext());
    EXPECT_EQ(preview.CurrentHit(), (SearchHit{1, 1}));
    EXPECT_TRUE(preview.FindNext());
    EXPECT_EQ(preview.PageNo(), 4);
    EXPECT_FALSE(preview.FindNext());  // the end: no wrap, the hit stays
    EXPECT_EQ(preview.PageNo(), 4);
    EXPECT_TRUE(preview.FindPrev());
    EXPECT_EQ(preview.CurrentHit(), (SearchHit{1, 1}));
    EXPECT_TRUE(preview.FindPrev());
    EXPECT_FALSE(preview.FindPrev());
    EXPECT_EQ(preview.CurrentHit(), (SearchHit{1, 0}));

    // Case matters when asked; the highlight sits on the word, inside its item.
    EXPECT_EQ(FindOnPage(*pages->Page(1), {QStringLiteral("ТУРНИКЕТ"), true}).size(), 1u);
    const auto hits = FindOnPage(*pages->Page(1), {QStringLiteral("турникет"), false});
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_GT(hits[1].left(), hits[0].right());
    EXPECT_GE(hits[0].top(), 80);
    EXPECT_LE(hits[0].bottom(), 102 + 1);
    EXPECT_FALSE(preview.Find({QStringLiteral("нет такого"), false}));
}

TEST_F(PreviewTest, SavedPagesLoadBackAndABadFileLeavesThePreviewAsItWas) {
    preview.SetPages(EventReport(3));
    const QString file = dir.filePath("report.fp3");
    ASSERT_TRUE(preview.SaveToFile(file));

    TfrxPreview other;
    ASSERT_TRUE(other.LoadFromFile(file));
    EXPECT_EQ(other.PageCount(), 3);
    EXPECT_EQ(*other.Pages()->Page(2), *preview.Pages()->Page(2));

    QFile broken(dir.filePath("broken.fp3"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<preparedreport version=\"1\"><page><bogus/></page>");
    broken.close();
    EXPECT_FALSE(other.LoadFromFile(broken.fileName()));
    EXPECT_EQ(other.PageCount(), 3);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_FALSE(messages[0].isEmpty());

    // The command's own dialog: the chosen file is the one loaded.
    platform::setModalHandler([&](QDialog& d) {
        auto& files = dynamic_cast<QFileDialog&>(d);
        files.selectFile(file);
        return int(QDialog::Accepted);
    });
    TfrxPreview third;
    third.LoadFromFile();
    EXPECT_EQ(third.PageCount(), 3);
}

TEST_F(PreviewTest, PrintingToPdfGivesEveryChosenPageOnItsPaper) {
    preview.SetPages(EventReport(3));
    struct Case {
        const char* name;
        PrintJob job;
        int sheets;
    } cases[] = {
        {"all", {{0, 1, 2}, 1}, 3},
        {"range 2-3, two copies", {{1, 2}, 2}, 4},
        {"nothing", {{}, 1}, -1},  // no file at all
    };
    for (const Case& c : cases) {
        const QString file = dir.filePath(QString("%1.pdf").arg(c.name));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        EXPECT_TRUE(preview.Print(printer, c.job)) << c.name;
        EXPECT_EQ(ReadPdfInfo(file).Pages, c.sheets) << c.name;
    }

    // A landscape page prints on landscape paper.
    auto wide = std::make_shared<TfrxPreparedPages>();
    PreparedPage landscape;
    landscape.PaperWidth = 297, landscape.PaperHeight = 210, landscape.Landscape = true;
    wide->AddPage(landscape);
    preview.SetPages(wide);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("wide.pdf"));
    ASSERT_TRUE(preview.Print(printer, {{0}, 1}));
    EXPECT_TRUE(ReadPdfInfo(dir.filePath("wide.pdf")).PageSize.startsWith("842 x 595"))
        << ReadPdfInfo(dir.filePath("wide.pdf")).PageSize.toStdString();
}

TEST_F(PreviewTest, PrintCommandUsesTheDialogsRangeAndTheReportsProgress) {
    TfrxReport report;
    for (int n = 1; n <= 4; ++n)
        report.PreparedPages().AddPage(previewsamples::EventPage(n, 4));
    preview.AttachReport(&report);
    preview.SetPages(report.SharedPreparedPages());
    QList<QPair<int, int>> progress;
    report.OnProgress = [&](int kind, int page) { progress.append({kind, page}); };
    const QString file = dir.filePath("dialog.pdf");
    platform::setModalHandler([&](QDialog& d) {
        QPrinter* printer = dynamic_cast<QPrintDialog&>(d).printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(file);
        printer->setPrintRange(QPrinter::PageRange);
        printer->setFromTo(2, 3);
        return int(QDialog::Accepted);
    });
    preview.Print();
    EXPECT_EQ(ReadPdfInfo(file).Pages, 2);
    EXPECT_EQ(progress, (QList<QPair<int, int>>{{ptPrinting, 1}, {ptPrinting, 2}}));
}

TEST_F(PreviewTest, CancelStopsAnExportAfterThePageUnderWayWithoutAnErrorBox) {
    TfrxReport report;
    for (int n = 1; n <= 5; ++n)
        report.PreparedPages().AddPage(previewsamples::EventPage(n, 5, 5));
    preview.AttachReport(&report);
    preview.SetPages(report.SharedPreparedPages());
    QList<int> kinds;
    int pages = 0;
    report.OnProgressStart = [&](int kind, int) { kinds << kind; };
    report.OnProgress = [&](int kind, int) {
        if (++pages == 2)
            preview.Cancel();
        EXPECT_EQ(kind, ptExporting);
    };
    auto filter = CreateExportFilter(ExportFormat::PDF);
    ASSERT_TRUE(filter);
    EXPECT_FALSE(preview.Export(*filter, dir.filePath("cancelled.pdf")));
    EXPECT_EQ(kinds, QList<int>{ptExporting});
    EXPECT_EQ(pages, 2);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(preview.CurrentOperation(), TfrxPreview::Operation::None);

    // Uncancelled, the same filter writes every page.
    report.OnProgress = nullptr;
    EXPECT_TRUE(preview.Export(*filter, dir.filePath("whole.pdf")));
    EXPECT_EQ(ReadPdfInfo(dir.filePath("whole.pdf")).Pages, 5);
}

TEST_F(PreviewTest, PageSetupWritesPaperOrientationAndMarginsToEveryReportPage) {
    TfrxReport report;
    auto* first = new TfrxReportPage(&report);
    auto* second = new TfrxReportPage(&report);
    preview.ShowReport(report);
    PageSettings wanted;
    wanted.PaperSize = 8;  // A3
    wanted.Width = 297, wanted.Height = 420, wanted.Landscape = true;
    wanted.Left = 20, wanted.Top = 15, wanted.Right = 5, wanted.Bottom = 25;
    platform::setModalHandler([&](QDialog& d) {
        dynamic_cast<TfrxPageSetupDialog&>(d).SetSettings(wanted);
        return int(QDialog::Accepted);
    });
    preview.PageSetup();
    for (TfrxReportPage* page : {first, second}) {
        EXPECT_EQ(page->Orientation(), poLandscape);
        EXPECT_DOUBLE_EQ(page->PaperWidth(), 420);
        EXPECT_DOUBLE_EQ(page->PaperHeight(), 297);
        EXPECT_DOUBLE_EQ(page->LeftMargin, 20);
        EXPECT_DOUBLE_EQ(page->BottomMargin, 25);
        EXPECT_EQ(page->PaperSize, 8);
    }
    PageSettings read;
    ASSERT_TRUE(ReadPageSettings(report, read));
    EXPECT_EQ(read, wanted);
}

TEST_F(PreviewTest, ALockedPreviewIgnoresNewPagesUntilUnlocked) {
    auto pages = EventReport(1);
    preview.SetPages(pages);
    preview.Lock();
    preview.Lock();
    pages->AddPage(previewsamples::EventPage(2, 2));
    preview.RefreshPages();
    EXPECT_EQ(preview.PageCount(), 1);
    preview.Unlock();
    EXPECT_EQ(preview.PageCount(), 1);  // locks nest
    preview.Unlock();
    EXPECT_EQ(preview.PageCount(), 2);
}

TEST_F(PreviewTest, ThumbnailsShowTheCurrentPageAndAClickChoosesOne) {
    preview.SetPages(EventReport(6));
    preview.show();
    preview.SetThumbnailsVisible(true);
    EXPECT_TRUE(preview.ThumbnailsVisible());
    PageView* thumbs = preview.Thumbnails();
    EXPECT_LT(thumbs->Scale(), 0.3);
    emit thumbs->pageClicked(3);
    EXPECT_EQ(preview.PageNo(), 4);
    preview.SetThumbnailsVisible(false);
    EXPECT_FALSE(preview.ThumbnailsVisible());
}

TEST_F(PreviewTest, ExportCommandAsksForOptionsThenForTheFile) {
    preview.SetPages(EventReport(3, TfrxPreparedPages::kDefaultBudget, 5));
    const QString file = dir.filePath("chosen.pdf");
    QStringList asked;
    platform::setModalHandler([&](QDialog& d) {
        asked << d.metaObject()->className();
        if (auto* files = dynamic_cast<QFileDialog*>(&d))
            files->selectFile(file);
        return int(QDialog::Accepted);
    });
    auto filter = CreateExportFilter(ExportFormat::PDF);
    preview.Export(filter.get());
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[1], "QFileDialog");
    EXPECT_EQ(ReadPdfInfo(file).Pages, 3);

    // Cancel in the options dialog: nothing is asked or written after it.
    asked.clear();
    platform::setModalHandler([&](QDialog& d) {
        asked << d.metaObject()->className();
        return int(QDialog::Rejected);
    });
    QFile::remove(file);
    preview.Export(filter.get());
    EXPECT_EQ(asked.size(), 1);
    EXPECT_FALSE(QFile::exists(file));
}

namespace {

// A template of `rows` tall rows (about five to a page), no data needed.
void ReadTallRows(TfrxReport& report, int rows) {
    const QString xml =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<TfrxReport><TfrxReportPage "
            "Name=\"Page1\">"
            "<TfrxMasterData Name=\"M\" Height=\"200\" Top=\"30\" Width=\"700\" RowCount=\"%1\">"
            "<TfrxMemoView Name=\"Row\" Width=\"300\" Height=\"18\" Text=\"[Line#]\"/>"
            "</TfrxMasterData></TfrxReportPage></TfrxReport>")
            .arg(rows);
    ReadTemplate(report, xml.toUtf8(), QStringLiteral("tall.fr3"));
}

}  // namespace

TEST_F(PreviewTest, ShowReportShowsPagesAsThePreparationAddsThemAndCancelStopsIt) {
    TfrxReport report;
    ReadTallRows(report, 40);
    QList<int> counts;
    auto link = QObject::connect(&preview, &TfrxPreview::pageChanged,
                                 [&](int) { counts << preview.PageCount(); });
    ASSERT_TRUE(preview.ShowReport(report)) << report.ErrorText.toStdString();
    QObject::disconnect(link);
    const int all = preview.PageCount();
    ASSERT_GE(all, 4);
    EXPECT_EQ(all, report.PreparedPages().Count());
    // Every page count from the first page on was seen while the run went on.
    for (int n = 1; n <= all; ++n)
        EXPECT_TRUE(counts.contains(n)) << "count " << n << " never shown";
    EXPECT_EQ(preview.ShownReport(), &report);

    // Cancel once the third page is there: the run stops early and says so.
    link = QObject::connect(&preview, &TfrxPreview::pageChanged, [&](int) {
        if (preview.PageCount() == 3)
            preview.Cancel();
    });
    EXPECT_FALSE(preview.ShowReport(report));
    QObject::disconnect(link);
    EXPECT_LT(preview.PageCount(), all);
    EXPECT_EQ(preview.CurrentOperation(), TfrxPreview::Operation::None);
}
