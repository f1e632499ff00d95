// The XML document wrapper under the catalog: byte-exact round trips of the forms a catalog file
// comes in, the layout of edits, parse errors with their source line, and the element API.
#include <gtest/gtest.h>

#include <QFile>

#include "platform/Exception.h"
#include "platform/XmlDocument.h"
#include "TestEnv.h"

namespace {

using platform::XmlDocument;
using platform::XmlElement;

QByteArray roundTrip(const QByteArray& source) {
    XmlDocument doc;
    if (!doc.loadFromBytes(source, "mem.xml"))
        return "parse error: " + doc.parseError().reason.toUtf8();
    return doc.toBytes();
}

TEST(XmlDocument, UntouchedDocumentsComeBackByteForByte) {
    const QByteArray cases[] = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a Name=\"Отчеты\"><b/></a>\n",
        "<?xml version=\"1.0\"?>\n<a Name=\"Отчеты\"/>\n",  // declaration without encoding
        "<a Name=\"Отчеты\"/>\n",                           // no declaration at all
        "\xEF\xBB\xBF<a Name=\"Отчеты\"/>\n",               // UTF-8 byte order mark
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<a/>\n",
        "<?xml version=\"1.0\" standalone=\"yes\"?>\n<a/>\n",
        // CR LF line ends, also inside a comment; &#13; stays a reference.
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<a>\r\n  <b x=\"1\"/>\r\n  <!-- c\r\n "
        "-->\r\n"
        "  <c>x&#13;y</c>\r\n</a>\r\n",
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<?pi data?>\n<!-- \xCA -->\n"
        "<a Name=\"\xCE\xF2\xF7\xE5\xF2\xFB &amp; &lt;&gt;&quot;\"><![CDATA[ < ]]>&amp;</a>\n",
    };
    for (const QByteArray& source : cases)
        EXPECT_EQ(roundTrip(source), source) << source.toStdString();
}

// Edits keep a one-child-per-line layout; a parent written on one line stays on one line.
TEST(XmlDocument, EditsKeepTheLayout) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.loadFromBytes("<r>\n"
                          "  <g Name=\"1\">\n"
                          "    <p/>\n"
                          "  </g>\n"
                          "  <g Name=\"2\"/>\n"
                          "  <g Name=\"3\"><p/></g>\n"
                          "</r>\n",
                          "mem.xml"));
    XmlElement root = doc.documentElement();
    QList<XmlElement> folders = root.childElements();
    root.removeChild(folders[0]);
    folders[1].appendChild(doc.createElement("p"));
    folders[2].appendChild(doc.createElement("q"));
    XmlElement added = doc.createElement("g");
    root.appendChild(added);
    added.appendChild(doc.createElement("p"));
    EXPECT_EQ(doc.toBytes(),
              "<r>\n"
              "  <g Name=\"2\">\n"
              "    <p/>\n"
              "  </g>\n"
              "  <g Name=\"3\"><p/><q/></g>\n"
              "  <g>\n"
              "    <p/>\n"
              "  </g>\n"
              "</r>\n");
}

TEST(XmlDocument, ParseErrorsNameTheLineInTheFilesOwnEncoding) {
    XmlDocument doc;
    EXPECT_FALSE(
        doc.loadFromBytes("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<a>\n"
                          "  <b Name=\"\xCF\xF0\xE8\"></c>\n</a>\n",
                          "x.xml"));
    EXPECT_NE(doc.parseError().errorCode, 0);
    EXPECT_EQ(doc.parseError().url, "x.xml");
    EXPECT_EQ(doc.parseError().line, 3);
    EXPECT_EQ(doc.parseError().linepos, 21);
    EXPECT_EQ(doc.parseError().srcText, "  <b Name=\"При\"></c>");
    EXPECT_FALSE(doc.parseError().reason.endsWith('\n'));
    EXPECT_TRUE(doc.documentElement().isNull());

    EXPECT_FALSE(doc.loadFromBytes("", "empty.xml"));
    EXPECT_NE(doc.parseError().errorCode, 0);
    EXPECT_FALSE(doc.parseError().reason.isEmpty());

    // A failed load drops what was loaded before: nothing stale can be saved.
    ASSERT_TRUE(doc.loadFromBytes("<a/>", "ok.xml"));
    EXPECT_FALSE(doc.load("/nonexistent/folder/Reports.XML"));
    EXPECT_NE(doc.parseError().errorCode, 0);
    EXPECT_EQ(doc.parseError().reason, "Файл не найден");
    EXPECT_EQ(doc.parseError().line, 0);
    EXPECT_TRUE(doc.documentElement().isNull());
    EXPECT_TRUE(doc.toBytes().isEmpty());
    EXPECT_THROW(doc.save("/tmp/never-written.xml"), platform::EFileError);
}

TEST(XmlDocument, ElementApi) {
    XmlDocument doc;
    ASSERT_TRUE(doc.loadFromBytes(
        "<r xmlns:x=\"urn:x\"><p Name=\"1\" x:extra=\"e\" b=\"2\"><p Name=\"1.1\"/></p>"
        "<!-- c --><q><p Name=\"2\"/></q></r>",
        "mem.xml"));
    XmlElement root = doc.documentElement();
    EXPECT_TRUE(root.parentElement().isNull());
    const QList<XmlElement> ps = root.elementsByTagName("p");
    ASSERT_EQ(ps.size(), 3);  // depth first, document order
    EXPECT_EQ(ps[1].attribute("Name"), "1.1");
    EXPECT_EQ(ps[2].parentElement().tagName(), "q");
    EXPECT_EQ(root.childElements().size(), 2);  // the comment is skipped

    XmlElement first = ps[0];
    EXPECT_EQ(first.attributes(),
              (QList<QPair<QString, QString>>{{"Name", "1"}, {"x:extra", "e"}, {"b", "2"}}));
    EXPECT_TRUE(first.hasAttribute("x:extra"));
    EXPECT_FALSE(first.hasAttribute("missing"));
    EXPECT_EQ(first.attribute("missing"), "");
    first.setAttribute("Name", "новое & <имя>");             // keeps its place
    first.setAttribute("c", QString("a") + QChar(1) + "b");  // not representable in XML 1.0
    EXPECT_EQ(first.attributes().first().second, "новое & <имя>");

    XmlDocument again;
    ASSERT_TRUE(again.loadFromBytes(doc.toBytes(), "again.xml"));
    const XmlElement reread = again.documentElement().childElements().first();
    EXPECT_EQ(reread.attribute("Name"), "новое & <имя>");
    EXPECT_EQ(reread.attribute("c"), QString("a") + QChar(QChar::ReplacementCharacter) + "b");
    EXPECT_EQ(reread.attribute("x:extra"), "e");

    // Removing frees the subtree; a child of another parent is refused.
    root.removeChild(ps[1]);  // not a direct child of root
    EXPECT_EQ(root.elementsByTagName("p").size(), 3);
    first.removeChild(ps[1]);
    EXPECT_EQ(root.elementsByTagName("p").size(), 2);
}

TEST(XmlDocument, SaveReplacesTheFile) {
    testenv::Sandbox sandbox;
    const QString path = sandbox.appDir() + "doc.xml";
    const QByteArray source = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<a/>\r\n";
    sandbox.writeFile(path, source);
    XmlDocument doc;
    ASSERT_TRUE(doc.load(path));
    XmlElement child = doc.createElement("b");
    child.setAttribute("Name", "Я");
    doc.documentElement().appendChild(child);
    doc.save(path);
    EXPECT_EQ(testenv::Sandbox::readFile(path),
              "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<a>\r\n  <b Name=\"\xDF\"/>\r\n"
              "</a>\r\n");
}

}  // namespace
