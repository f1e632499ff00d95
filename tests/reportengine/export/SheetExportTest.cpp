// The spreadsheet exports and CSV read back: packages and XML parse, Russian text survives,
// numbers and dates stay typed with their formats, merged cells and page breaks are where the
// pages have them.
#include "reportengine/export/CsvExport.h"
#include "reportengine/export/ExcelXmlExport.h"
#include "reportengine/export/OdsExport.h"
#include "reportengine/export/OemCodepage.h"
#include "reportengine/export/XlsxExport.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "ExportSamples.h"
#include "TestEnv.h"
#include "ZipRead.h"

using namespace reportengine;
using namespace exportsamples;

namespace {

struct SheetFixture : ::testing::Test {
    QTemporaryDir dir;
    TfrxPreparedPages pages;
    void SetUp() override {
        for (PreparedPage& p : eventReport())
            pages.AddPage(std::move(p));
    }
    QString exportTo(TfrxCustomExportFilter& filter, const QString& name) {
        const QString path = dir.filePath(name);
        filter.SetFileName(path);
        EXPECT_TRUE(filter.Export(pages)) << filter.ErrorText().toStdString();
        return path;
    }
};

// Empty when the XML is well-formed, else the parser's message.
QString xmlProblem(const QByteArray& xml) {
    QXmlStreamReader r(xml);
    while (!r.atEnd())
        r.readNext();
    return r.hasError() ? QStringLiteral("%1 at line %2").arg(r.errorString()).arg(r.lineNumber())
                        : QString();
}

// The attributes of every element named `element` (qualified name), in document order.
std::vector<QXmlStreamAttributes> elements(const QByteArray& xml, const QString& element) {
    std::vector<QXmlStreamAttributes> out;
    QXmlStreamReader r(xml);
    while (!r.atEnd())
        if (r.readNext() == QXmlStreamReader::StartElement && r.qualifiedName() == element)
            out.push_back(r.attributes());
    return out;
}

int count(const QByteArray& text, const QString& pattern) {
    return int(QString::fromUtf8(text).count(QRegularExpression(pattern)));
}

}  // namespace

TEST_F(SheetFixture, XlsxKeepsNumbersDatesMergesAndBreaks) {
    for (bool fast : {true, false}) {
        SCOPED_TRACE(fast ? "fast export" : "in-memory workbook");
        TfrxXLSExport filter;
        filter.setProperty("FastExport", fast);
        const auto zip = readZip(exportTo(filter, fast ? "fast.xlsx" : "slow.xlsx"));
        ASSERT_FALSE(zip.empty()) << "not a readable zip";
        const QByteArray sheet = zipEntry(zip, "xl/worksheets/sheet1.xml");
        const QByteArray styles = zipEntry(zip, "xl/styles.xml");
        const QByteArray strings = zipEntry(zip, "xl/sharedStrings.xml");
        const QByteArray types = zipEntry(zip, "[Content_Types].xml");
        for (const QByteArray* part : {&sheet, &styles, &types})
            EXPECT_EQ(xmlProblem(*part), "");

        // C4 is 1 234,50: a number cell (no t attribute), its raw value.
        const QRegularExpression c4("<c r=\"C4\" s=\"(\\d+)\"><v>1234.5</v></c>");
        EXPECT_TRUE(c4.match(QString::fromUtf8(sheet)).hasMatch()) << sheet.toStdString();
        // A4 is 01.06.2026: a number with a date format.
        const QRegularExpressionMatch a4 =
            QRegularExpression("<c r=\"A4\" s=\"(\\d+)\"><v>46174</v></c>").match(sheet);
        ASSERT_TRUE(a4.hasMatch()) << sheet.toStdString();
        const auto xfs = elements(styles, "xf");
        const auto formats = elements(styles, "numFmt");
        // cellXfs follow the one cellStyleXfs entry.
        const int xf = a4.captured(1).toInt() + 1;
        ASSERT_LT(xf, int(xfs.size()));
        const QString fmtId = xfs[std::size_t(xf)].value("numFmtId").toString();
        bool dateFormat = false;
        for (const auto& f : formats)
            dateFormat |= f.value("numFmtId") == fmtId && f.value("formatCode") == u"dd.mm.yyyy";
        EXPECT_TRUE(dateFormat) << styles.toStdString();

        const QString text = QString::fromUtf8(sheet + strings);
        for (const char* s : {"Журнал событий", "Петров Андрей", "Смирнова Ольга", "Итого:"})
            EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s;
        EXPECT_TRUE(sheet.contains("<mergeCell ref=\"A1:C1\"/>"));
        EXPECT_TRUE(sheet.contains("<mergeCell ref=\"A11:B11\"/>"));
        EXPECT_TRUE(sheet.contains("<brk id=\"5\"")) << "a break above the second page's title";
        EXPECT_EQ(count(sheet, "<row "), 11);
    }
}

TEST_F(SheetFixture, XlsxAsTextWritesWhatThePreviewShows) {
    TfrxXLSExport filter;
    filter.setProperty("AsText", true);
    filter.setProperty("FastExport", false);  // shared strings: the cell holds an index
    const auto zip = readZip(exportTo(filter, "text.xlsx"));
    const QByteArray sheet = zipEntry(zip, "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(QRegularExpression("<c r=\"C4\" s=\"\\d+\" t=\"s\">").match(sheet).hasMatch())
        << sheet.toStdString();
    EXPECT_TRUE(zipEntry(zip, "xl/sharedStrings.xml").contains("<t>1 234,50</t>"));
    EXPECT_FALSE(zipEntry(zip, "xl/styles.xml").contains("dd.mm.yyyy"));
}

// A cell merged over rows cannot be declared by the row-by-row writer; fast export must still
// keep the merge and every value.
TEST_F(SheetFixture, XlsxFastExportKeepsTallMerges) {
    PreparedPage page;
    page.Items = {text(0, 0, 40, 40, QStringLiteral("высокая")), number(40, 0, 60, 20, 7, "7,00"),
                  text(40, 20, 60, 20, QStringLiteral("ниже"))};
    TfrxPreparedPages tall;
    tall.AddPage(page);
    TfrxXLSExport filter;
    filter.SetFileName(dir.filePath("tall.xlsx"));
    ASSERT_TRUE(filter.Export(tall)) << filter.ErrorText().toStdString();
    const auto zip = readZip(dir.filePath("tall.xlsx"));
    const QByteArray sheet = zipEntry(zip, "xl/worksheets/sheet1.xml");
    const QString text = QString::fromUtf8(sheet + zipEntry(zip, "xl/sharedStrings.xml"));
    EXPECT_TRUE(sheet.contains("<mergeCell ref=\"A1:A2\"/>")) << sheet.toStdString();
    EXPECT_TRUE(QRegularExpression("<c r=\"B1\" s=\"\\d+\"><v>7</v></c>").match(text).hasMatch());
    EXPECT_TRUE(text.contains(QStringLiteral("высокая")));
    EXPECT_TRUE(text.contains(QStringLiteral("ниже")));
}

TEST_F(SheetFixture, ExcelXmlIsWellFormedAndTyped) {
    TfrxXMLExport filter;
    filter.setProperty("EmptyLines", false);
    const QByteArray xml = testenv::Sandbox::readFile(exportTo(filter, "book.xml"));
    ASSERT_EQ(xmlProblem(xml), "");
    EXPECT_TRUE(xml.contains("<?mso-application progid=\"Excel.Sheet\"?>"));
    EXPECT_EQ(count(xml, "<Row "), 9) << "the two gap rows dropped";
    EXPECT_TRUE(xml.contains("<Data ss:Type=\"Number\">1234.5</Data>"));
    EXPECT_TRUE(xml.contains("<Data ss:Type=\"DateTime\">2026-06-01T00:00:00.000</Data>"));
    EXPECT_TRUE(xml.contains("<Data ss:Type=\"String\">Петров Андрей</Data>"));
    EXPECT_TRUE(xml.contains("ss:MergeAcross=\"2\""));
    EXPECT_TRUE(xml.contains("<x:Row>4</x:Row>")) << "page 2 starts on sheet row 5";

    // The date cell's style carries the date format.
    const QRegularExpressionMatch dateCell =
        QRegularExpression("ss:StyleID=\"(s\\d+)\">\\s*<Data ss:Type=\"DateTime\"").match(xml);
    ASSERT_TRUE(dateCell.hasMatch());
    const QRegularExpression style(
        "<Style ss:ID=\"" + dateCell.captured(1) +
            "\">(?:(?!</Style>).)*<NumberFormat ss:Format=\"dd.mm.yyyy\"/>",
        QRegularExpression::DotMatchesEverythingOption);
    EXPECT_TRUE(style.match(xml).hasMatch());
}

TEST_F(SheetFixture, OdsPackageIsValidAndTyped) {
    TfrxODSExport filter;
    const auto zip = readZip(exportTo(filter, "book.ods"));
    ASSERT_GE(zip.size(), 4u);
    EXPECT_EQ(zip[0].Name, "mimetype");
    EXPECT_TRUE(zip[0].Stored) << "mimetype must be stored uncompressed";
    EXPECT_EQ(zip[0].Data, "application/vnd.oasis.opendocument.spreadsheet");

    const QByteArray manifest = zipEntry(zip, "META-INF/manifest.xml");
    const QByteArray content = zipEntry(zip, "content.xml");
    const QByteArray styles = zipEntry(zip, "styles.xml");
    for (const QByteArray* part : {&manifest, &content, &styles}) {
        ASSERT_FALSE(part->isEmpty());
        EXPECT_EQ(xmlProblem(*part), "");
    }
    std::vector<QString> listed;
    for (const auto& e : elements(manifest, "manifest:file-entry"))
        listed.push_back(e.value("manifest:full-path").toString());
    EXPECT_EQ(listed, (std::vector<QString>{"/", "content.xml", "styles.xml"}));

    EXPECT_EQ(count(content, "<table:table-row "), 11);
    EXPECT_TRUE(content.contains("office:value-type=\"float\" office:value=\"1234.5\""));
    EXPECT_TRUE(
        content.contains("office:value-type=\"date\" office:date-value=\"2026-06-01T00:00:00\""));
    EXPECT_TRUE(content.contains("<text:p>Смирнова Ольга</text:p>"));
    EXPECT_TRUE(content.contains("table:number-columns-spanned=\"3\""));
    EXPECT_EQ(count(content, "fo:break-before=\"page\""), 1);
    // Every row lists all three columns: cells, covered cells or repeated empty ones.
    QXmlStreamReader r(content);
    int rowWidth = -1;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == u"table-row") {
            rowWidth = 0;
        } else if (r.isStartElement() && r.name().endsWith(u"table-cell")) {
            rowWidth += std::max(1, r.attributes().value("table:number-columns-repeated").toInt());
        } else if (r.isEndElement() && r.name() == u"table-row") {
            EXPECT_EQ(rowWidth, 3) << "row ending at line " << r.lineNumber();
        }
    }
}

TEST_F(SheetFixture, CsvQuotesAndEncodes) {
    PreparedPage tricky = eventPage(false);
    tricky.Items.push_back(text(kCol0, 130, kCol3 - kCol0, 20, QStringLiteral("a;b \"c\"")));
    pages.AddPage(tricky);

    TfrxCSVExport utf8;
    const QByteArray bytes = testenv::Sandbox::readFile(exportTo(utf8, "t.csv"));
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("Журнал событий;;"));
    EXPECT_EQ(lines[1], QStringLiteral("Дата;Сотрудник;Сумма"));
    EXPECT_EQ(lines[2], QStringLiteral("01.06.2026;Петров Андрей;1 234,50"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Итого:;;1 333,50")));
    EXPECT_TRUE(lines.contains(QStringLiteral("\"a;b \"\"c\"\"\";;")));
    EXPECT_EQ(lines.last(), "") << "every line ends in CR LF";

    TfrxCSVExport oem;
    oem.setProperty("OEMCodepage", true);
    oem.setProperty("Separator", ",");
    const QByteArray cp866 = testenv::Sandbox::readFile(exportTo(oem, "o.csv"));
    EXPECT_TRUE(fromCp866(cp866).startsWith(QStringLiteral("Журнал событий,,\r\nДата,Сотрудник,")));
}

// Text from the database may hold control characters, which XML cannot carry: every XML-based
// file must still parse, with the rest of the text intact.
TEST_F(SheetFixture, ControlCharactersKeepTheXmlReadable) {
    PreparedPage page;
    page.Items = {text(0, 0, 100, 20, QStringLiteral("код\x01\x0B\x1Fконец\tтаб"))};
    pages.Clear();
    pages.AddPage(page);
    TfrxXMLExport xml;
    const QByteArray book = testenv::Sandbox::readFile(exportTo(xml, "c.xml"));
    EXPECT_EQ(xmlProblem(book), "");
    EXPECT_TRUE(
        QString::fromUtf8(book).contains(QStringLiteral("код\uFFFD\uFFFD\uFFFDконец\tтаб")));
    TfrxODSExport ods;
    const QByteArray content = zipEntry(readZip(exportTo(ods, "c.ods")), "content.xml");
    EXPECT_EQ(xmlProblem(content), "");
    TfrxXLSExport xlsx;
    const auto zip = readZip(exportTo(xlsx, "c.xlsx"));
    const QByteArray sheet = zipEntry(zip, "xl/worksheets/sheet1.xml");  // fast: strings inline
    EXPECT_EQ(xmlProblem(sheet), "");
    EXPECT_TRUE(QString::fromUtf8(sheet).contains(QStringLiteral("конец\tтаб")));
}
