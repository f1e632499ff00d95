// The OpenDocument text export: the package structure (mimetype first and stored, manifest
// listing every part), well-formed XML parts holding the Russian text, one table per page with
// merged cells, and pictures stored in the package.
#include "reportengine/export/OdtExport.h"
#include "reportengine/pages/SamplePage.h"

#include "ExportSamples.h"
#include "ZipRead.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QXmlStreamReader>

using namespace reportengine;
using namespace exportsamples;

namespace {

// Empty when the XML is well-formed with every prefix declared, else the parser's message.
QString xmlProblem(const QByteArray& xml) {
    QXmlStreamReader r(xml);
    while (!r.atEnd())
        r.readNext();
    return r.hasError() ? QStringLiteral("%1 at line %2").arg(r.errorString()).arg(r.lineNumber())
                        : QString();
}

// The attributes of every element named `element` (qualified name), in document order, and the
// text of the paragraphs.
struct Parsed {
    std::vector<QXmlStreamAttributes> Elements;
    QStringList Paragraphs;
};
Parsed parse(const QByteArray& xml, const QString& element) {
    Parsed out;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (r.qualifiedName() == element)
            out.Elements.push_back(r.attributes());
        if (r.qualifiedName() == u"text:p")
            out.Paragraphs << r.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    return out;
}

std::vector<ZipEntry> exportOdt(const std::vector<PreparedPage>& source, const QString& path,
                                TfrxODTExport& filter) {
    TfrxPreparedPages pages;
    for (const PreparedPage& p : source)
        pages.AddPage(p);
    filter.SetFileName(path);
    EXPECT_TRUE(filter.Export(pages)) << filter.ErrorText().toStdString();
    return readZip(path);
}

}  // namespace

TEST(OdtExport, PackageIsWellFormedAndHoldsTheText) {
    QTemporaryDir dir;
    TfrxODTExport filter;
    for (const char* on : {"Background", "EmptyLines", "Wysiwyg", "ExportPageBreaks"})
        EXPECT_TRUE(filter.property(on).toBool()) << on;
    EXPECT_FALSE(filter.property("SuppressPageHeadersFooters").toBool());
    const auto zip = exportOdt(eventReport(), dir.filePath("r.odt"), filter);
    ASSERT_GE(zip.size(), 5u) << "a readable zip";
    EXPECT_EQ(zip[0].Name, "mimetype");
    EXPECT_TRUE(zip[0].Stored) << "the mimetype entry must be stored, not deflated";
    EXPECT_EQ(zip[0].Data, "application/vnd.oasis.opendocument.text");
    // The raw file starts with it too, so tools that sniff the first bytes see the type.
    QFile raw(dir.filePath("r.odt"));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    EXPECT_EQ(raw.read(30 + 8 + 39).mid(30),
              QByteArray("mimetypeapplication/vnd.oasis.opendocument.text"));

    for (const char* part : {"META-INF/manifest.xml", "content.xml", "styles.xml", "meta.xml"})
        EXPECT_EQ(xmlProblem(zipEntry(zip, part)), QString()) << part;
    const auto manifest = parse(zipEntry(zip, "META-INF/manifest.xml"), "manifest:file-entry");
    QStringList listed;
    for (const auto& a : manifest.Elements)
        listed << a.value("manifest:full-path").toString();
    EXPECT_EQ(listed, QStringList({"/", "content.xml", "styles.xml", "meta.xml"}));

    const QByteArray content = zipEntry(zip, "content.xml");
    const auto tables = parse(content, "table:table");
    ASSERT_EQ(tables.Elements.size(), 2u) << "one table per page";
    const QStringList& text = tables.Paragraphs;
    for (const char* expected :
         {"Журнал событий", "Сотрудник", "Петров Андрей", "1 234,50", "Итого:", "1 333,50"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    const auto cells = parse(content, "table:table-cell");
    int spanningThree = 0;
    for (const auto& a : cells.Elements)
        spanningThree += a.value("table:number-columns-spanned") == u"3";
    EXPECT_EQ(spanningThree, 2) << "the title on each page spans the three columns";
    EXPECT_TRUE(content.contains("fo:break-before=\"page\"")) << "page 2 starts a new page";
    EXPECT_TRUE(content.contains("fo:background-color=\"#c0c0c0\"") ||
                content.contains("fo:background-color=\"#C0C0C0\""))
        << "the header fill";
    const QByteArray styles = zipEntry(zip, "styles.xml");
    EXPECT_TRUE(styles.contains("fo:page-width=\"100.00mm\"")) << styles.toStdString();
}

TEST(OdtExport, PicturesAndOptions) {
    QTemporaryDir dir;
    TfrxODTExport filter;
    const auto zip = exportOdt({testpages::samplePage()}, dir.filePath("p.odt"), filter);
    const QByteArray manifest = zipEntry(zip, "META-INF/manifest.xml");
    int pictures = 0;
    for (const ZipEntry& e : zip)
        if (e.Name.startsWith("Pictures/")) {
            ++pictures;
            EXPECT_TRUE(e.Data.startsWith("\x89PNG")) << e.Name.toStdString();
            EXPECT_TRUE(manifest.contains(e.Name.toUtf8())) << e.Name.toStdString();
        }
    EXPECT_GE(pictures, 5) << "image, check boxes, barcode, shapes, gradient";
    const QByteArray content = zipEntry(zip, "content.xml");
    EXPECT_EQ(xmlProblem(content), QString());
    // "  Строка <1> & 2": the leading spaces kept as a space element, the markup escaped.
    EXPECT_TRUE(content.contains("<text:s text:c=\"2\"/>Строка &lt;1&gt; &amp; 2"))
        << content.toStdString();

    // The sample pages leave a gap between title and header: a row no cell touches.
    TfrxODTExport sparse, dense;
    dense.setProperty("EmptyLines", false);
    dense.setProperty("Background", false);
    const QByteArray all =
        zipEntry(exportOdt(eventReport(), dir.filePath("s.odt"), sparse), "content.xml");
    const QByteArray compact =
        zipEntry(exportOdt(eventReport(), dir.filePath("d.odt"), dense), "content.xml");
    EXPECT_EQ(xmlProblem(compact), QString());
    EXPECT_EQ(all.count("<table:table-row ") - compact.count("<table:table-row "), 2)
        << "one empty row dropped per page";
    EXPECT_TRUE(all.contains("fo:background-color"));
    EXPECT_FALSE(compact.contains("fo:background-color"));
}
