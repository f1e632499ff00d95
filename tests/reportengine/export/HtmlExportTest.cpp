// The HTML export: one file the HTML parser reads without complaint, pages in order with a page
// break between them, Russian text escaped and intact, pictures embedded, options honoured.
#include "reportengine/export/HtmlExport.h"
#include "reportengine/pages/SamplePage.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include <libxml/HTMLparser.h>
#include <libxml/xpath.h>

#include "ExportSamples.h"
#include "TestEnv.h"

using namespace reportengine;

namespace {

// Parses the file as HTML and returns the parser's complaints plus the text of the nodes the
// XPath expression selects.
struct ParsedHtml {
    QStringList Errors;
    QStringList Selected;
};

void collectError(void* errors, const xmlError* e) {
    static_cast<QStringList*>(errors)->push_back(
        QStringLiteral("line %1: %2").arg(e->line).arg(QString::fromUtf8(e->message).trimmed()));
}

ParsedHtml parseHtml(const QByteArray& html, const char* xpath) {
    ParsedHtml out;
    xmlSetStructuredErrorFunc(&out.Errors, reinterpret_cast<xmlStructuredErrorFunc>(&collectError));
    htmlDocPtr doc =
        htmlReadMemory(html.constData(), int(html.size()), nullptr, "UTF-8", HTML_PARSE_NONET);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (!doc) {
        out.Errors.push_back("no document");
        return out;
    }
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    xmlXPathObjectPtr nodes = xmlXPathEvalExpression(BAD_CAST xpath, ctx);
    for (int i = 0; nodes && nodes->nodesetval && i < nodes->nodesetval->nodeNr; ++i) {
        xmlChar* text = xmlNodeGetContent(nodes->nodesetval->nodeTab[i]);
        out.Selected.push_back(QString::fromUtf8(reinterpret_cast<const char*>(text)));
        xmlFree(text);
    }
    xmlXPathFreeObject(nodes);
    xmlXPathFreeContext(ctx);
    xmlFreeDoc(doc);
    return out;
}

}  // namespace

TEST(HtmlExport, OneFilePagesInOrderParsesCleanly) {
    QTemporaryDir dir;
    TfrxPreparedPages pages;
    for (PreparedPage& p : exportsamples::eventReport())
        pages.AddPage(std::move(p));
    pages.AddPage(testpages::samplePage(QStringLiteral("Третья <страница> & всё")));

    TfrxHTMLExport filter;
    filter.SetFileName(dir.filePath("report.html"));
    ASSERT_TRUE(filter.Export(pages)) << filter.ErrorText().toStdString();
    const QByteArray html = testenv::Sandbox::readFile(dir.filePath("report.html"));

    ASSERT_FALSE(parseHtml("<p>a</b></i>", "//p").Errors.isEmpty()) << "the parser complains";
    const ParsedHtml pagesText = parseHtml(html, "//div[contains(@class,'page')]");
    EXPECT_TRUE(pagesText.Errors.isEmpty()) << pagesText.Errors.join("\n").toStdString();
    ASSERT_EQ(pagesText.Selected.size(), 3);
    EXPECT_TRUE(pagesText.Selected[0].contains(QStringLiteral("Журнал событий")));
    EXPECT_FALSE(pagesText.Selected[0].contains(QStringLiteral("Итого:")));
    EXPECT_TRUE(pagesText.Selected[1].contains(QStringLiteral("Итого:")));
    EXPECT_TRUE(pagesText.Selected[2].contains(QStringLiteral("Третья <страница> & всё")));
    EXPECT_TRUE(pagesText.Selected[2].contains(QStringLiteral("  Строка <1> & 2")))
        << "leading blanks kept";

    const ParsedHtml title = parseHtml(html, "//td[@colspan='3']");
    EXPECT_EQ(title.Selected.count(QStringLiteral("Журнал событий")), 2);
    EXPECT_EQ(parseHtml(html, "//div[contains(@class,'next')]").Selected.size(), 2)
        << "a page break before every page but the first";
    const ParsedHtml images = parseHtml(html, "//img/@src");
    ASSERT_FALSE(images.Selected.isEmpty());
    for (const QString& src : images.Selected)
        EXPECT_TRUE(src.startsWith("data:image/png;base64,iVBORw0KGgo"))
            << src.left(40).toStdString();
    EXPECT_EQ(parseHtml(html, "//a/@href").Selected,
              QStringList{QStringLiteral("https://example.org/a?b=1&c=<2>")});
    EXPECT_TRUE(html.contains("table-layout:fixed")) << "fixed width by default";
    EXPECT_TRUE(html.contains("margin:0 0 8px 0")) << "not centred by default";

    TfrxHTMLExport centred;
    centred.setProperty("Centered", true);
    centred.setProperty("ExportPictures", false);
    centred.setProperty("FixedWidth", false);
    centred.SetFileName(dir.filePath("centred.html"));
    ASSERT_TRUE(centred.Export(pages));
    const QByteArray loose = testenv::Sandbox::readFile(dir.filePath("centred.html"));
    EXPECT_TRUE(loose.contains("margin:0 auto 8px auto"));
    EXPECT_FALSE(loose.contains("<img"));
    EXPECT_FALSE(loose.contains("table-layout:fixed"));
}
