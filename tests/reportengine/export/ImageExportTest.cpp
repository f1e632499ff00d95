// Picture filters: one readable file per page (or one multi-page TIFF) at the chosen resolution.
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/ImageExports.h"
#include "reportengine/pages/SamplePage.h"

#include <gtest/gtest.h>

#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <tiffio.h>

#include "TestEnv.h"

using namespace reportengine;

namespace {

struct ImageFixture : ::testing::Test {
    QTemporaryDir dir;
    TfrxPreparedPages pages;
    void SetUp() override {
        for (int i = 0; i < 3; ++i)
            pages.AddPage(testpages::samplePage(QStringLiteral("Страница %1").arg(i + 1)));
    }
};

}  // namespace

TEST_F(ImageFixture, SinglePageFormatsWriteOneReadableFilePerPage) {
    struct Case {
        ExportFormat format;
        const char* name;
        const char* readAs;
    };
    const Case cases[] = {{ExportFormat::BMP, "r.bmp", "bmp"},
                          {ExportFormat::JPEG, "r.jpg", "jpeg"},
                          {ExportFormat::GIF, "r.gif", "gif"}};
    for (const Case& c : cases) {
        auto filter = CreateExportFilter(c.format);
        ASSERT_TRUE(filter);
        filter->setProperty("Resolution", 150);
        filter->setProperty("PageNumbers", "1,3");
        filter->SetFileName(dir.filePath(c.name));
        ASSERT_TRUE(filter->Export(pages)) << c.name << ": " << filter->ErrorText().toStdString();
        const QString base = dir.filePath(QString(c.name).section('.', 0, 0));
        const QString ext = QString(c.name).section('.', 1);
        EXPECT_FALSE(QFile::exists(base + "_2." + ext)) << "page 2 not chosen";
        for (int page : {1, 3}) {
            QImageReader reader(QStringLiteral("%1_%2.%3").arg(base).arg(page).arg(ext), c.readAs);
            const QImage img = reader.read();
            ASSERT_FALSE(img.isNull())
                << c.name << " page " << page << ": " << reader.errorString().toStdString();
            // 80 x 50 mm at 150 dpi
            EXPECT_EQ(img.size(), QSize(473, 296)) << c.name;
            // The grey strip at the bottom survives every encoder.
            EXPECT_NEAR(qGray(img.pixel(236, 285)), 128, 12) << c.name;
        }
    }
}

TEST_F(ImageFixture, OnePageKeepsTheGivenName) {
    TfrxBMPExport filter;
    filter.setProperty("PageNumbers", "2");
    filter.SetFileName(dir.filePath("only.bmp"));
    ASSERT_TRUE(filter.Export(pages)) << filter.ErrorText().toStdString();
    EXPECT_FALSE(QImage(dir.filePath("only.bmp")).isNull());
}

TEST_F(ImageFixture, TiffHoldsEveryPageInOneFile) {
    TfrxTIFFExport filter;
    filter.SetFileName(dir.filePath("all.tif"));
    ASSERT_TRUE(filter.Export(pages)) << filter.ErrorText().toStdString();
    TIFF* tiff = TIFFOpen(QFile::encodeName(dir.filePath("all.tif")).constData(), "r");
    ASSERT_TRUE(tiff);
    int directories = 0;
    do {
        uint32_t w = 0, h = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &h);
        EXPECT_EQ(w, 303u);
        EXPECT_EQ(h, 189u);
        ++directories;
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
    EXPECT_EQ(directories, 3);
}

TEST_F(ImageFixture, ProgressAndFailures) {
    TfrxGIFExport filter;
    QSignalSpy start(&filter, &TfrxCustomExportFilter::progressStart);
    QSignalSpy step(&filter, &TfrxCustomExportFilter::progress);
    QSignalSpy stop(&filter, &TfrxCustomExportFilter::progressStop);
    filter.SetFileName(dir.filePath("p.gif"));
    ASSERT_TRUE(filter.Export(pages));
    ASSERT_EQ(start.count(), 1);
    EXPECT_EQ(start[0][0].toInt(), kProgressExporting);
    EXPECT_EQ(start[0][1].toInt(), 3);
    ASSERT_EQ(step.count(), 3);
    EXPECT_EQ(step[2][1].toInt(), 3) << "page numbers are 1-based";
    EXPECT_EQ(stop.count(), 1);

    // A handler that cancels stops the export after the current page, as a failure.
    QObject::connect(&filter, &TfrxCustomExportFilter::progress, [&] { filter.Terminate(); });
    EXPECT_FALSE(filter.Export(pages));
    EXPECT_TRUE(filter.ErrorText().contains("cancelled"));

    for (ExportFormat f :
         {ExportFormat::BMP, ExportFormat::JPEG, ExportFormat::GIF, ExportFormat::TIFF}) {
        auto bad = CreateExportFilter(f);
        bad->SetFileName(dir.filePath("missing/folder/x"));
        EXPECT_FALSE(bad->Export(pages)) << int(f);
        EXPECT_TRUE(bad->ErrorText().contains("missing/folder")) << bad->ErrorText().toStdString();
    }
}

TEST(ExportFilters, ParsePageNumbers) {
    struct Case {
        const char* text;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"", {0, 1, 2, 3, 4}},    {"2", {1}},
        {"1,3-4", {0, 2, 3}},     {" 4 - 9 , 1", {0, 3, 4}},  // clipped to the pages there are
        {"x,7", {0, 1, 2, 3, 4}},                             // nothing valid: every page
        {"3-2", {0, 1, 2, 3, 4}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TfrxCustomExportFilter::ParsePageNumbers(c.text, 5), c.expected) << c.text;
}

TEST(ExportFilters, RegistrationOrderAndDefaults) {
    const auto& table = ExportFilterSlots();
    ASSERT_EQ(int(table.size()), kExportFormatCount);
    const char* order[] = {"TfrxDotMatrixExport", "TfrxBMPExport", "TfrxJPEGExport",
                           "TfrxTIFFExport",      "TfrxRTFExport", "TfrxSimpleTextExport",
                           "TfrxHTMLExport",      "TfrxXLSExport", "TfrxXMLExport",
                           "TfrxPDFExport",       "TfrxODSExport", "TfrxODTExport",
                           "TfrxMailExport",      "TfrxGIFExport", "TfrxCSVExport"};
    for (int i = 0; i < kExportFormatCount; ++i) {
        EXPECT_STREQ(table[std::size_t(i)].ClassName, order[i]);
        EXPECT_EQ(int(table[std::size_t(i)].Format), i);
    }
    QStringList built;
    for (const RegisteredExportFilter& r : RegisteredExportFilters()) {
        auto f = r.Slot->Create();
        EXPECT_EQ(QString::fromLatin1(f->metaObject()->className()),
                  "reportengine::" + QString::fromLatin1(r.Slot->ClassName));
        built << r.Slot->ClassName;
        EXPECT_EQ(f->GetDescription(), r.Slot->Description);
        EXPECT_TRUE(f->property("UseFileCache").toBool());
        EXPECT_TRUE(f->property("ShowProgress").toBool());
        EXPECT_FALSE(f->property("OverwritePrompt").toBool());
    }
    for (const char* name :
         {"TfrxBMPExport", "TfrxJPEGExport", "TfrxTIFFExport", "TfrxHTMLExport", "TfrxXLSExport",
          "TfrxXMLExport", "TfrxPDFExport", "TfrxODSExport", "TfrxGIFExport", "TfrxCSVExport"})
        EXPECT_TRUE(built.contains(name)) << name;
}

TEST(ExportFilters, PageFileNames) {
    struct Case {
        const char* name;
        int index, count;
        const char* expected;
    };
    const Case cases[] = {
        {"/out/r.bmp", 0, 1, "/out/r.bmp"},  // one page: the name as given
        {"/out/r.bmp", 1, 3, "/out/r_2.bmp"},
        {"/out.d/r.v1.gif", 0, 2, "/out.d/r.v1_1.gif"},
        {"report", 4, 9, "report_5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TfrxCustomImageExport::PageFileName(c.name, c.index, c.count), c.expected)
            << c.name;
}

TEST(ExportRegistry, ShortNamesNameEveryFileFormatOnce) {
    const std::pair<const char*, ExportFormat> names[] = {
        {"pdf", ExportFormat::PDF},   {"HTML", ExportFormat::HTML},
        {"rtf", ExportFormat::RTF},   {"txt", ExportFormat::SimpleText},
        {"csv", ExportFormat::CSV},   {"xlsx", ExportFormat::XLS},
        {"xml", ExportFormat::XML},   {"ods", ExportFormat::ODS},
        {"odt", ExportFormat::ODT},   {"bmp", ExportFormat::BMP},
        {"jpeg", ExportFormat::JPEG}, {"tiff", ExportFormat::TIFF},
        {"gif", ExportFormat::GIF}};
    for (const auto& [name, expected] : names) {
        ExportFormat format{};
        EXPECT_TRUE(ExportFormatByShortName(QString::fromLatin1(name), format)) << name;
        EXPECT_EQ(format, expected) << name;
    }
    ExportFormat format{};
    for (const char* unknown : {"", "mail", "prn", "doc", "pdf "})
        EXPECT_FALSE(ExportFormatByShortName(QString::fromLatin1(unknown), format)) << unknown;
}
