// Template reading and canonical writing: the test templates, each property kind, defaults,
// what old or foreign files carry (unknown attributes and elements, Windows-1251, bare '&',
// PropData lists) and damaged input.
#include "TestEnv.h"
#include "platform/Cp1251.h"
#include "reportengine/io/PropData.h"
#include "reportengine/io/TemplateFile.h"
#include "reportengine/model/Bands.h"
#include "reportengine/model/ClassRegistry.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Views.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

using namespace reportengine;

namespace {

QByteArray Doc(const QByteArray& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\n<TfrxReport>\n" + body +
           "</TfrxReport>\n";
}

template <class T>
T* Find(TfrxReport& r, const char* name) {
    return qobject_cast<T*>(r.FindObject(QString::fromLatin1(name)));
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

}  // namespace

TEST(TemplateFiles, EveryTestTemplateLoadsAndResavesByteIdentically) {
    QDir dir(QStringLiteral(VELLUMAR_SOURCE_DIR "/resources/templates"));
    const QStringList files = dir.entryList({QStringLiteral("*.fr3")});
    ASSERT_GE(files.size(), 3);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        TfrxReport report;
        ASSERT_TRUE(report.LoadFromFile(dir.filePath(name)));
        EXPECT_TRUE(report.LoadWarnings.isEmpty()) << report.LoadWarnings.join('\n').toStdString();
        EXPECT_EQ(report.FileName, dir.filePath(name));
        for (const TfrxDataSetItem& item : report.DataSets)
            EXPECT_TRUE(item.DataSet) << item.Name.toStdString();
        const QByteArray first = WriteTemplate(report);
        TfrxReport again;
        ReadTemplate(again, first, name);
        EXPECT_EQ(WriteTemplate(again), first);
    }
}

TEST(TemplateFiles, SaveToFileWritesTheCanonicalBytes) {
    testenv::Sandbox box;
    TfrxReport report;
    ASSERT_TRUE(
        report.LoadFromFile(QStringLiteral(VELLUMAR_SOURCE_DIR "/resources/templates/groups.fr3")));
    const QString path = QDir(box.path()).filePath(QStringLiteral("out.fr3"));
    report.SaveToFile(path);
    const QByteArray saved = ReadAll(path);
    EXPECT_TRUE(saved.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\n"));
    EXPECT_EQ(saved, WriteTemplate(report));
}

TEST(TemplateFiles, MissingFileIsNoErrorAndChangesNothing) {
    TfrxReport report;
    new TfrxReportPage(&report);
    EXPECT_FALSE(report.LoadFromFile(QStringLiteral("/nonexistent/x.fr3")));
    EXPECT_EQ(report.PagesCount(), 1);
    EXPECT_TRUE(report.FileName.isEmpty());
}

TEST(TemplateFiles, ValuesOfEveryKindReadBack) {
    TfrxReport report;
    ReadTemplate(report, Doc(R"(
<TfrxReportPage Name="P" Orientation="1" PaperWidth="297" PaperHeight="210" LeftMargin="12,5">
  <TfrxMasterData Name="M" Top="10" Height="20" Stretched="1" RowCount="3" Child="C"/>
  <TfrxChild Name="C" Top="40" Height="5"/>
  <TfrxMemoView Name="T" Left="1.5" Text="a&#13;&#10;b" HAlign="haCenter" WordWrap="False"
     ParentFont="False" Font.Height="-16" Font.Style="3" Frame.Typ="15" Frame.Style="fsDot"/>
  <TfrxPictureView Name="Pic" Picture="89504E47" KeepAspectRatio="false"/>
</TfrxReportPage>)"),
                 QStringLiteral("kinds"));
    auto* page = Find<TfrxReportPage>(report, "p");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Orientation(), poLandscape);  // a number for an enum
    EXPECT_EQ(page->PaperWidth(), 297);           // applied after the orientation
    EXPECT_EQ(page->PaperHeight(), 210);
    EXPECT_EQ(page->LeftMargin, 12.5);  // ',' as decimal separator
    auto* band = Find<TfrxMasterData>(report, "M");
    EXPECT_TRUE(band->Stretched);  // 1 for True
    EXPECT_EQ(band->RowCount, 3);
    EXPECT_EQ(band->Child(), Find<TfrxChild>(report, "C"));  // reference to a later object
    auto* memo = Find<TfrxMemoView>(report, "T");
    EXPECT_EQ(memo->Text, QStringLiteral("a\r\nb"));
    EXPECT_EQ(memo->Memo(), QStringList({"a", "b"}));
    EXPECT_EQ(memo->HAlign, haCenter);
    EXPECT_FALSE(memo->WordWrap);
    EXPECT_EQ(memo->Font.Height, -16);
    EXPECT_EQ(memo->Font.Style, 3);  // bold and italic
    EXPECT_EQ(memo->Frame.Style, fsDot);
    auto* pic = Find<TfrxPictureView>(report, "Pic");
    EXPECT_EQ(pic->Picture, QByteArray("\x89PNG"));
    EXPECT_FALSE(pic->KeepAspectRatio);

    const QString out = QString::fromUtf8(WriteTemplate(report));
    EXPECT_TRUE(out.contains(QLatin1String("Orientation=\"poLandscape\" PaperHeight=\"210\"")));
    EXPECT_TRUE(out.contains(QLatin1String("LeftMargin=\"12.5\"")));
    EXPECT_TRUE(out.contains(QLatin1String("Child=\"C\"")));
    EXPECT_TRUE(out.contains(QLatin1String("Text=\"a&#13;&#10;b\"")));
    EXPECT_TRUE(out.contains(QLatin1String("Picture=\"89504E47\"")));
    EXPECT_TRUE(out.contains(QLatin1String("Stretched=\"True\"")));
}

TEST(TemplateFiles, DefaultsAndDerivedValuesAreNotWritten) {
    TfrxReport report;
    auto* page = new TfrxReportPage(&report);
    page->setObjectName(QStringLiteral("Page1"));
    auto* band = new TfrxMasterData(page);
    band->setObjectName(QStringLiteral("M"));
    auto* memo = new TfrxMemoView(band);
    memo->setObjectName(QStringLiteral("T"));
    memo->Font.Height = -20;  // ignored while ParentFont is set
    const QString out = QString::fromUtf8(WriteTemplate(report));
    EXPECT_TRUE(out.contains(QLatin1String("<TfrxReportPage Name=\"Page1\">\n")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QLatin1String("<TfrxMemoView Name=\"T\"/>"))) << out.toStdString();
    EXPECT_FALSE(out.contains(QLatin1String("FileName")));
    memo->ParentFont = false;
    EXPECT_TRUE(
        QString::fromUtf8(WriteTemplate(report)).contains(QLatin1String("ParentFont=\"False\"")));
    EXPECT_TRUE(
        QString::fromUtf8(WriteTemplate(report)).contains(QLatin1String("Font.Height=\"-20\"")));
}

TEST(TemplateFiles, UnknownAttributesAreKeptAndUnknownElementsReportedWithTheirLine) {
    TfrxReport report;
    ReadTemplate(report, Doc(R"(<TfrxReportPage Name="P" Future="x &amp; y">
<TfrxMagicView Name="Q">
  <TfrxMemoView Name="Inner"/>
</TfrxMagicView>
<TfrxMemoView Name="T" Left="abc" DataSet="Nowhere"/>
</TfrxReportPage>
)"),
                 QStringLiteral("t.fr3"));
    ASSERT_EQ(report.LoadWarnings.size(), 2) << report.LoadWarnings.join('\n').toStdString();
    EXPECT_EQ(report.LoadWarnings[0],
              QStringLiteral("t.fr3:4: unknown element <TfrxMagicView> skipped"));
    EXPECT_TRUE(report.LoadWarnings[1].startsWith(QStringLiteral("t.fr3:7: bad value \"abc\"")));
    EXPECT_EQ(report.FindObject(QStringLiteral("Inner")), nullptr);
    const QString out = QString::fromUtf8(WriteTemplate(report));
    EXPECT_TRUE(out.contains(QLatin1String("Future=\"x &amp; y\"")));
    EXPECT_TRUE(out.contains(QLatin1String("Left=\"abc\"")));         // the bad value survives
    EXPECT_TRUE(out.contains(QLatin1String("DataSet=\"Nowhere\"")));  // so does a lost reference
}

TEST(TemplateFiles, OldFilesWindows1251AndBareAmpersand) {
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const QString title = QStringLiteral("Отчёт & итоги");
    const QByteArray cp = platform::toCp1251(title).replace("&", "&amp;");
    const QByteArray bare = platform::toCp1251(title);
    const Case cases[] = {
        {"declared windows-1251",
         "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<TfrxReport>"
         "<TfrxReportPage Name=\"P\"><TfrxMemoView Name=\"T\" Text=\"" +
             cp + "\"/></TfrxReportPage></TfrxReport>"},
        {"undeclared code page, bare &",
         "<?xml version=\"1.0\"?><TfrxReport><TfrxReportPage Name=\"P\">"
         "<TfrxMemoView Name=\"T\" Text=\"" +
             bare + "\"/></TfrxReportPage></TfrxReport>"},
        {"utf-8 memo text, no declaration",
         "<TfrxReport><TfrxReportPage Name=\"P\"><TfrxMemoView "
         "Name=\"T\" Text=\"" +
             title.toUtf8() + "\"/></TfrxReportPage></TfrxReport>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TfrxReport report;
        ReadTemplate(report, c.bytes, QStringLiteral("old.fr3"));
        auto* memo = Find<TfrxMemoView>(report, "T");
        ASSERT_TRUE(memo);
        EXPECT_EQ(memo->Text, title);
        EXPECT_TRUE(WriteTemplate(report).contains(title.toUtf8().replace("&", "&amp;")));
    }
}

TEST(TemplateFiles, PropDataListsAreRead) {
    // Datasets: a list of (component, user name) string pairs; Variables: (name, value) pairs.
    auto shortStr = [](const QByteArray& s) { return QByteArray(1, char(s.size())) + s; };
    auto str = [&](const QByteArray& s) { return QByteArray(1, char(6)) + shortStr(s); };
    QByteArray stream = shortStr("Datasets") + char(1) + str("Q1") + str("Query") + char(0) +
                        shortStr("Variables") + char(1) + str(" Cat") + str("") + str("V") +
                        str("1+2") + char(0) + shortStr("Left") + char(2) + char(40) + char(0);
    TfrxReport report;
    ReadTemplate(report,
                 Doc("<TfrxDataPage Name=\"D\"><TfrxDBDataset Name=\"Q1\" UserName=\"Query\" "
                     "PropData=\"" +
                     shortStr("Left").toHex() + "0228" + "\"/></TfrxDataPage>")
                     .replace("<TfrxReport>", "<TfrxReport PropData=\"" + stream.toHex() + "\">"),
                 QStringLiteral("p.fr3"));
    EXPECT_TRUE(report.LoadWarnings.isEmpty()) << report.LoadWarnings.join('\n').toStdString();
    ASSERT_EQ(report.DataSets.size(), 1u);
    EXPECT_EQ(report.DataSets[0].UserName, QStringLiteral("Query"));
    EXPECT_EQ(report.DataSets[0].DataSet, report.FindObject(QStringLiteral("Q1")));
    ASSERT_EQ(report.Variables.Count(), 2);
    EXPECT_TRUE(report.Variables.Items()[0].IsCategory);
    EXPECT_EQ(report.Variables.Get(QStringLiteral("v")).ToString(), QStringLiteral("1+2"));
    EXPECT_EQ(report.FindObject(QStringLiteral("Q1"))->Left, 40);
    // Written back in the element form.
    const QByteArray out = WriteTemplate(report);
    EXPECT_TRUE(out.contains("<item DataSet=\"Q1\" DataSetName=\"Query\"/>")) << out.toStdString();
    EXPECT_TRUE(out.contains("<item Name=\" Cat\"/>"));
    EXPECT_FALSE(out.contains("PropData"));
}

TEST(TemplateFiles, DamagedPropDataIsReportedNotFatal) {
    std::vector<PropEntry> entries;
    EXPECT_FALSE(DecodePropData(QStringLiteral("08446174617365747301060A"), entries));  // cut
    EXPECT_FALSE(DecodePropData(QStringLiteral("0C4C"), entries));
    EXPECT_FALSE(DecodePropData(QStringLiteral("zz"), entries));
    TfrxReport report;
    ReadTemplate(report, Doc("").replace("<TfrxReport>", "<TfrxReport PropData=\"0844617461\">"),
                 QStringLiteral("d.fr3"));
    EXPECT_EQ(report.LoadWarnings.size(), 1);
}

TEST(TemplateFiles, UnreadableInputThrowsWithTheLineAndLeavesTheReport) {
    struct Case {
        const char* what;
        QByteArray bytes;
        int line;
    };
    const Case cases[] = {
        {"unclosed element", "<?xml version=\"1.0\"?>\n<TfrxReport>\n<TfrxReportPage>\n", 4},
        {"not a template", "<?xml version=\"1.0\"?>\n<Catalog/>\n", 2},
        {"empty", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TfrxReport report;
        auto* page = new TfrxReportPage(&report);
        page->setObjectName(QStringLiteral("Kept"));
        try {
            ReadTemplate(report, c.bytes, QStringLiteral("bad.fr3"));
            ADD_FAILURE() << "no error";
        } catch (const EReportFileError& e) {
            if (c.line) {
                EXPECT_EQ(e.Line, c.line) << e.Message().toStdString();
            }
            EXPECT_TRUE(e.Message().startsWith(QStringLiteral("bad.fr3")));
        }
        EXPECT_TRUE(report.FindObject(QStringLiteral("Kept")));
    }
}

// The fuzz target's promise on its seeds: read, write, read again gives the same bytes.
TEST(TemplateFiles, FuzzSeedsRoundTrip) {
    QDir dir(QStringLiteral(VELLUMAR_SOURCE_DIR "/fuzz/corpus/fr3"));
    const QStringList files = dir.entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        TfrxReport report;
        ReadTemplate(report, ReadAll(dir.filePath(name)), name);
        const QByteArray first = WriteTemplate(report);
        TfrxReport again;
        ReadTemplate(again, first, name);
        EXPECT_EQ(WriteTemplate(again), first);
    }
}
