// .fp3 files: a save and load gives identical pages; bad files are refused with an error and
// leave the loaded pages alone.
#include "reportengine/pages/Fp3File.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/pages/SamplePage.h"

#include <gtest/gtest.h>

#include "TestEnv.h"

using namespace reportengine;

namespace {

QByteArray fp3(const QString& body) {
    return GzipBytes(("<?xml version=\"1.0\"?>" + body).toUtf8());
}

}  // namespace

TEST(Fp3File, SaveAndLoadGiveIdenticalPages) {
    QTemporaryDir dir;
    TfrxPreparedPages pages;
    PreparedPage odd =
        testpages::samplePage(QStringLiteral("\ttab, \"quotes\", 'apos' & <tags>  "));
    odd.Landscape = true;
    odd.Color = -16777201;
    odd.Items[0].X = 0.1 + 0.2;  // not exactly representable in short decimal
    odd.Items[0].Y = -0.0;
    odd.Items[0].Tag = "line 1\r\nline 2\r\t end ";  // attribute white space must survive
    odd.Items[1].Lines[0].Text = " \r lead and trail \n";
    odd.Items[1].ValueKind = ItemValueKind::Date;  // a typed value, as spreadsheets need
    odd.Items[1].Value = 46174.75;
    odd.Items[1].ValueFormat = "dd.mm.yyyy hh:nn";
    pages.AddPage(testpages::samplePage());
    pages.AddPage(odd);
    pages.AddPage(PreparedPage{});
    const QString path = dir.filePath("report.fp3");
    ASSERT_TRUE(pages.SaveToFile(path)) << pages.ErrorText().toStdString();
    EXPECT_TRUE(testenv::Sandbox::readFile(path).startsWith("\x1f\x8b")) << "gzip";

    TfrxPreparedPages loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path)) << loaded.ErrorText().toStdString();
    ASSERT_EQ(loaded.Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(*loaded.Page(i), *pages.Page(i)) << i;
    // Saving the loaded pages writes the same bytes.
    EXPECT_EQ(WriteFp3(loaded), WriteFp3(pages));
}

TEST(Fp3File, BadInputIsRefusedWithAnError) {
    const QByteArray good = WriteFp3([] {
        static TfrxPreparedPages p;
        if (p.Count() == 0)
            p.AddPage(testpages::samplePage());
        return std::cref(p);
    }());
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* errorPart;
    };
    const Case cases[] = {
        {"empty file", "", "line 1"},
        {"not XML", "garbage\x01\x02", "line"},
        {"truncated compression", good.left(good.size() / 2), "damaged compression"},
        {"corrupt compression", good.left(20) + QByteArray(40, '\xAA') + good.mid(60),
         "compression"},
        {"other root", fp3("<TfrxReport/>"), "no <preparedreport>"},
        {"future version", fp3("<preparedreport version=\"9\"/>"), "version"},
        {"unknown element",
         fp3("<preparedreport version=\"1\"><page><blob/></page></preparedreport>"), "<blob>"},
        {"bad number",
         fp3("<preparedreport version=\"1\"><page><text x=\"1,5\"/></page></preparedreport>"),
         "x=\"1,5\""},
        {"not finite", fp3("<preparedreport version=\"1\"><page width=\"nan\"/></preparedreport>"),
         "width"},
        {"enumeration out of range",
         fp3("<preparedreport version=\"1\"><page><shape shape=\"9\"/></page></preparedreport>"),
         "shape"},
        {"unknown attribute",
         fp3("<preparedreport version=\"1\"><page><rect z=\"1\"/></page></preparedreport>"), "z="},
        {"bad picture",
         fp3("<preparedreport version=\"1\"><page><image>@@@</image></page></preparedreport>"),
         "image data"},
        {"unclosed element", fp3("<preparedreport version=\"1\"><page>"), "line"},
    };
    for (const Case& c : cases) {
        QString error;
        int pages = 0;
        EXPECT_FALSE(ReadFp3(
            c.bytes, [&](PreparedPage&&) { ++pages; }, &error))
            << c.name;
        EXPECT_TRUE(error.contains(QLatin1String(c.errorPart)))
            << c.name << ": " << error.toStdString();
    }
}

TEST(Fp3File, FailedLoadKeepsThePagesAndNamesTheProblem) {
    QTemporaryDir dir;
    TfrxPreparedPages pages;
    pages.AddPage(testpages::samplePage());
    const QString bad = dir.filePath("bad.fp3");
    testenv::Sandbox::writeFile(
        bad, fp3("<preparedreport version=\"1\"><page/><page><x/></page></preparedreport>"));
    EXPECT_FALSE(pages.LoadFromFile(bad));
    EXPECT_TRUE(pages.ErrorText().contains("line")) << pages.ErrorText().toStdString();
    EXPECT_FALSE(pages.LoadFromFile(dir.filePath("missing.fp3")));
    EXPECT_TRUE(pages.ErrorText().contains("missing.fp3"));
    ASSERT_EQ(pages.Count(), 1);
    EXPECT_EQ(*pages.Page(0), testpages::samplePage());
    EXPECT_FALSE(pages.SaveToFile(dir.filePath("no/such/folder/x.fp3")));
    EXPECT_FALSE(pages.ErrorText().isEmpty());
}

TEST(Fp3File, HandWrittenSeedReads) {
    std::vector<PreparedPage> pages;
    QString error;
    ASSERT_TRUE(ReadFp3File(
        VELLUMAR_SOURCE_DIR "/fuzz/corpus/fp3/items.fp3",
        [&](PreparedPage&& p) { pages.push_back(std::move(p)); }, &error))
        << error.toStdString();
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_EQ(pages[0].Items.size(), 8u);
    const PreparedItem& text = pages[0].Items[0];
    EXPECT_EQ(text.Font.Name, "Times New Roman");
    EXPECT_EQ(text.Lines[1].Text, "  <1> & 2");
    EXPECT_EQ(text.Rotation, 90);
    EXPECT_TRUE(pages[0].Items[4].ImageData.startsWith("\x89PNG"));
    EXPECT_EQ(pages[0].Items[6].Bars.size(), 2u);
    EXPECT_EQ(pages[1], PreparedPage{});
}
