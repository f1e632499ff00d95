// The PDF filter: selectable Cyrillic text, byte-identical output, viewer settings, errors.
#include "reportengine/export/PdfExport.h"
#include "reportengine/pages/SamplePage.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "TestEnv.h"

using namespace reportengine;

namespace {

struct PdfFixture : ::testing::Test {
    QTemporaryDir dir;
    TfrxPreparedPages pages;
    void SetUp() override {
        pages.AddPage(testpages::samplePage(QStringLiteral("Привет, отчёт")));
        PreparedPage second = testpages::samplePage(QStringLiteral("Вторая страница"));
        second.PaperWidth = 120;  // pages may differ in size
        pages.AddPage(second);
    }
    QByteArray exportTo(const QString& name, TfrxPDFExport& filter) {
        filter.SetFileName(dir.filePath(name));
        EXPECT_TRUE(filter.Export(pages)) << filter.ErrorText().toStdString();
        return testenv::Sandbox::readFile(dir.filePath(name));
    }
    // The output of a poppler tool on a file; empty when the tool is missing.
    QString poppler(const char* tool, const QString& file) {
        const QString exe = QStandardPaths::findExecutable(tool);
        if (exe.isEmpty())
            return {};
        QProcess p;
        p.start(exe, tool == QLatin1String("pdfinfo") ? QStringList{file} : QStringList{file, "-"});
        p.waitForFinished(-1);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};

}  // namespace

TEST_F(PdfFixture, TextIsExtractableAndOutputIsByteIdentical) {
    TfrxPDFExport first, second;
    const QByteArray a = exportTo("a.pdf", first);
    const QByteArray b = exportTo("b.pdf", second);
    ASSERT_TRUE(a.startsWith("%PDF-1.4"));
    EXPECT_EQ(a, b) << "two exports of the same pages differ";
    EXPECT_TRUE(a.contains("/FontFile2")) << "fonts are embedded";
    EXPECT_TRUE(a.contains("/CreationDate (D:20000101000000")) << "fixed creation date";
    TfrxPDFExport volatileIds;
    volatileIds.setProperty("Deterministic", false);
    const QByteArray c = exportTo("c.pdf", volatileIds);
    EXPECT_EQ(c.size(), a.size()) << "only same-length fields differ";
    EXPECT_NE(c, a);

    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) not installed";
    const QString text = poppler("pdftotext", dir.filePath("a.pdf"));
    EXPECT_TRUE(text.contains(QStringLiteral("Привет, отчёт"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Вторая страница"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Строка <1> & 2"))) << text.toStdString();
    const QString info = poppler("pdfinfo", dir.filePath("a.pdf"));
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+2"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression("Page size:\\s+227 x 142 pts")))
        << info.toStdString();  // 80 x 50 mm, in whole points as Qt writes them
}

// Each process has its own hash seed, so sameness within one process proves little: the test
// runs itself twice as a child that writes the file, and compares the two.
TEST_F(PdfFixture, ByteIdenticalAcrossProcesses) {
    if (const QString out = qEnvironmentVariable("VELLUMAR_PDF_CHILD_OUT"); !out.isEmpty()) {
        TfrxPDFExport filter;
        filter.SetFileName(out);
        ASSERT_TRUE(filter.Export(pages));
        return;
    }
    QByteArray files[2];
    for (int run = 0; run < 2; ++run) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELLUMAR_PDF_CHILD_OUT", dir.filePath(QStringLiteral("child%1.pdf").arg(run)));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=PdfFixture.ByteIdenticalAcrossProcesses"});
        ASSERT_TRUE(child.waitForFinished(-1));
        ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
        files[run] =
            testenv::Sandbox::readFile(dir.filePath(QStringLiteral("child%1.pdf").arg(run)));
    }
    ASSERT_FALSE(files[0].isEmpty());
    EXPECT_TRUE(files[0] == files[1]) << "two processes wrote different files";
}

TEST_F(PdfFixture, ViewerOptionsReachTheCatalog) {
    TfrxPDFExport plain;
    const QByteArray defaults = exportTo("plain.pdf", plain);
    // Defaults: no print scaling, nothing else.
    EXPECT_TRUE(defaults.contains("/ViewerPreferences << /PrintScaling /None >>"));

    TfrxPDFExport filter;
    filter.setProperty("HideToolbar", true);
    filter.setProperty("CenterWindow", true);
    filter.setProperty("PrintScaling", true);
    const QByteArray pdf = exportTo("viewer.pdf", filter);
    EXPECT_TRUE(pdf.contains("/ViewerPreferences << /HideToolbar true /CenterWindow true >>"));
    EXPECT_TRUE(pdf.contains("/Prev ")) << "appended as an incremental update";
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) not installed";
    // The updated file still opens and reads whole.
    EXPECT_TRUE(
        poppler("pdftotext", dir.filePath("viewer.pdf")).contains(QStringLiteral("Вторая")));
}

TEST_F(PdfFixture, DefaultsFollowTheHostSettings) {
    TfrxPDFExport f;
    EXPECT_FALSE(f.property("PrintOptimized").toBool());
    EXPECT_FALSE(f.property("Outline").toBool());
    EXPECT_FALSE(f.property("Background").toBool());
    EXPECT_TRUE(f.property("HTMLTags").toBool());
    EXPECT_EQ(f.property("ProtectionFlags").toInt(), ePrint | eModify | eCopy | eAnnot);
    for (const char* off : {"HideToolbar", "HideMenubar", "HideWindowUI", "FitWindow",
                            "CenterWindow", "PrintScaling", "OverwritePrompt"})
        EXPECT_FALSE(f.property(off).toBool()) << off;
    EXPECT_TRUE(f.property("UseFileCache").toBool());
    EXPECT_TRUE(f.property("ShowProgress").toBool());
    EXPECT_EQ(f.GetDescription(), QStringLiteral("Файл PDF"));
}

TEST_F(PdfFixture, UnwritablePathFailsWithReason) {
    TfrxPDFExport filter;
    filter.SetFileName(dir.filePath("no/such/folder/x.pdf"));
    EXPECT_FALSE(filter.Export(pages));
    EXPECT_TRUE(filter.ErrorText().contains("x.pdf")) << filter.ErrorText().toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("no/such/folder/x.pdf")));

    TfrxPDFExport unnamed;
    EXPECT_FALSE(unnamed.Export(pages));
    EXPECT_FALSE(unnamed.ErrorText().isEmpty());
}

TEST(PdfPostProcessing, VolatileFieldsBecomeFixedAtTheSameLength) {
    const QByteArray in =
        "1 0 obj\n<< /CreationDate (D:20261211125733+03'00') /ModDate (D:20261211095733Z) >>\n"
        "trailer\n<< /Size 3 /ID "
        "[<0123456789ABCDEF0123456789ABCDEF><FEDCBA98765432100123456789ABCDEF>] >>\n";
    const QByteArray out = TfrxPDFExport::FixVolatileFields(in);
    ASSERT_EQ(out.size(), in.size());
    EXPECT_TRUE(out.contains("/CreationDate (D:20000101000000+00'00')"));
    EXPECT_TRUE(out.contains("/ModDate (D:20000101000000Z)"));
    EXPECT_FALSE(out.contains("0123456789ABCDEF0123456789ABCDEF"));
    // The id depends only on the rest of the file: another random id gives the same result.
    QByteArray other = in;
    other.replace("0123456789ABCDEF0123456789ABCDEF>", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA>");
    EXPECT_EQ(TfrxPDFExport::FixVolatileFields(other), out);
}
