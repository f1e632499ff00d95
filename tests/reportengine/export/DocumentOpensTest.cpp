// The RTF and OpenDocument text files open in an office suite: LibreOffice, where installed,
// converts them to PDF headless, and the PDF's text holds the report's Russian text on the
// right number of pages, and the pictures survive. Skipped where the suite or pdftotext is missing
// (neither is needed to build or test the program).
#include "reportengine/export/OdtExport.h"
#include "reportengine/export/RtfExport.h"
#include "reportengine/pages/SamplePage.h"

#include "ExportSamples.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

using namespace reportengine;

namespace {

QString run(const QString& exe, const QStringList& args) {
    QProcess p;
    p.start(exe, args);
    p.waitForFinished(-1);
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace

TEST(DocumentOpens, LibreOfficeReadsRtfAndOdt) {
    const QString office = QStandardPaths::findExecutable("soffice");
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    const QString pdfimages = QStandardPaths::findExecutable("pdfimages");
    if (office.isEmpty() || pdftotext.isEmpty() || pdfimages.isEmpty())
        GTEST_SKIP() << "LibreOffice or pdftotext not installed";
    QTemporaryDir dir;
    TfrxPreparedPages pages;
    for (const PreparedPage& p : exportsamples::eventReport())
        pages.AddPage(p);
    pages.AddPage(testpages::samplePage());  // pictures, check boxes, a barcode
    TfrxRTFExport rtf;
    TfrxODTExport odt;
    for (TfrxCustomExportFilter* filter :
         {static_cast<TfrxCustomExportFilter*>(&rtf), static_cast<TfrxCustomExportFilter*>(&odt)}) {
        SCOPED_TRACE(filter->GetDescription().toStdString());
        const QString name = QStringLiteral("report") + filter->DefaultExt();
        filter->SetFileName(dir.filePath(name));
        ASSERT_TRUE(filter->Export(pages)) << filter->ErrorText().toStdString();
        const QString out = dir.filePath("pdf" + filter->DefaultExt().mid(1));
        run(office,
            {"-env:UserInstallation=" + QUrl::fromLocalFile(dir.filePath("profile")).toString(),
             "--headless", "--convert-to", "pdf", "--outdir", out, dir.filePath(name)});
        const QString pdf = QDir(out).filePath("report.pdf");
        ASSERT_TRUE(QFile::exists(pdf)) << "the office suite could not read the file";
        const QString text = run(pdftotext, {pdf, "-"});
        for (const char* expected :
             {"Журнал событий", "Петров Андрей", "Итого:", "1 333,50", "Привет, отчёт"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                    << text.toStdString();
        // The report's pages break where the preview breaks them.
        const QStringList pageTexts = text.split(u'\f');
        ASSERT_GE(pageTexts.size(), 3);
        EXPECT_TRUE(pageTexts[0].contains(QStringLiteral("Смирнова Ольга")));
        EXPECT_FALSE(pageTexts[0].contains(QStringLiteral("Итого:")));
        EXPECT_TRUE(pageTexts[1].contains(QStringLiteral("Итого:")));
        EXPECT_TRUE(pageTexts[2].contains(QStringLiteral("Привет, отчёт")));
        // The sample page fills its paper to the very edges, margins included; the word
        // processor's RTF reader then moves its last row onto a page of its own (known, see the
        // RTF export's notes), while the OpenDocument text keeps it.
        if (filter == &odt) {
            EXPECT_EQ(pageTexts.size(), 4) << "three pages, as in the preview";
        }
        const QString images = run(pdfimages, {"-list", pdf});
        EXPECT_GE(images.count(QStringLiteral("\n")), 2 + 5) << "the pictures came through\n"
                                                             << images.toStdString();
    }
}
