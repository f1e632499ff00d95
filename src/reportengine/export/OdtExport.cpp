#include "reportengine/export/OdtExport.h"

#include "reportengine/export/ExportGrid.h"
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/OdfParts.h"
#include "reportengine/export/ZipPackage.h"

#include <QXmlStreamWriter>

namespace reportengine {

namespace {

const QString kMime = QStringLiteral("application/vnd.oasis.opendocument.text");

// The namespaces every part declares on its root element.
const char* const kNamespaces =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
    " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
    " xmlns:xlink=\"http://www.w3.org/1999/xlink\""
    " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
    " xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\"";

QString mm(double value) {
    return QString::number(value, 'f', 2) + QStringLiteral("mm");
}

QString attr(const char* name, const QString& value) {
    return QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), value.toHtmlEscaped());
}

// XML 1.0 has no place for most control characters.
QString xmlSafe(QString text) {
    text.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\t'; });
    return text;
}

// One line of text as ODF paragraph content: runs of spaces and tabs as their elements, since
// ODF collapses plain white space.
void writeLine(QXmlStreamWriter& w, const QString& line) {
    QString run;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == u'\t') {
            w.writeCharacters(run), run.clear();
            w.writeEmptyElement("text:tab");
            continue;
        }
        if (line[i] != u' ' ||
            (i > 0 && line[i - 1] != u' ' && i + 1 < line.size() && line[i + 1] != u' ')) {
            run += line[i];
            continue;
        }
        qsizetype n = 1;
        while (i + n < line.size() && line[i + n] == u' ')
            ++n;
        w.writeCharacters(run), run.clear();
        w.writeEmptyElement("text:s");
        if (n > 1)
            w.writeAttribute("text:c", QString::number(n));
        i += n - 1;
    }
    w.writeCharacters(run);
}

}  // namespace

TfrxODTExport::TfrxODTExport(QObject* parent) : TfrxCustomExportFilter(parent) {}
TfrxODTExport::~TfrxODTExport() = default;

QString TfrxODTExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::ODT);
}

bool TfrxODTExport::Start(int) {
    FBody.clear();
    FStyleXml.clear();
    FStyleNames.clear();
    FFonts.clear();
    FPictures.clear();
    FFirstPage.reset();
    return true;
}

QString TfrxODTExport::style(const QString& family, const QString& properties) {
    const QString key = family + u'\n' + properties;
    if (const auto it = FStyleNames.constFind(key); it != FStyleNames.cend())
        return *it;
    const QString name = QStringLiteral("%1%2").arg(family.left(2)).arg(FStyleXml.size() + 1);
    FStyleNames.insert(key, name);
    FStyleXml << QStringLiteral(
                     "<style:style style:name=\"%1\" style:family=\"%2\">%3</style:style>")
                     .arg(name, family, properties);
    return name;
}

QString TfrxODTExport::cellStyle(const GridCell& cell) {
    QString p = QStringLiteral(
        "<style:table-cell-properties fo:padding-left=\"1.5pt\" "
        "fo:padding-right=\"1.5pt\" fo:padding-top=\"0pt\" "
        "fo:padding-bottom=\"0pt\"");
    p += attr("fo:border-left", OdfBorder(cell.Frame, ftLeft));
    p += attr("fo:border-right", OdfBorder(cell.Frame, ftRight));
    p += attr("fo:border-top", OdfBorder(cell.Frame, ftTop));
    p += attr("fo:border-bottom", OdfBorder(cell.Frame, ftBottom));
    if (FBackground && cell.Fill != kColorNone)
        p += attr("fo:background-color", HtmlColor(cell.Fill));
    if (cell.Item) {
        const VAlign v = cell.Item->VAlignment;
        p += attr("style:vertical-align", v == VAlign::Bottom   ? QStringLiteral("bottom")
                                          : v == VAlign::Center ? QStringLiteral("middle")
                                                                : QStringLiteral("top"));
    }
    return style(QStringLiteral("table-cell"), p + QStringLiteral("/>"));
}

QString TfrxODTExport::paragraphStyle(const PreparedItem& item) {
    const HAlign h = item.HAlignment;
    QString p = QStringLiteral("<style:paragraph-properties") +
                attr("fo:text-align", h == HAlign::Right    ? QStringLiteral("end")
                                      : h == HAlign::Center ? QStringLiteral("center")
                                      : h == HAlign::Block  ? QStringLiteral("justify")
                                                            : QStringLiteral("start")) +
                QStringLiteral(" fo:margin-top=\"0pt\" fo:margin-bottom=\"0pt\"/>");
    const FontSpec& f = item.Font;
    if (!FFonts.contains(f.Name))
        FFonts << f.Name;
    p += QStringLiteral("<style:text-properties") + attr("style:font-name", f.Name) +
         attr("fo:font-size", QString::number(f.Size) + QStringLiteral("pt"));
    const QString color = HtmlColor(f.Color);
    if (!color.isEmpty())
        p += attr("fo:color", color);
    if (f.Style & fsBold)
        p += QStringLiteral(" fo:font-weight=\"bold\"");
    if (f.Style & fsItalic)
        p += QStringLiteral(" fo:font-style=\"italic\"");
    if (f.Style & fsUnderline)
        p += QStringLiteral(
            " style:text-underline-style=\"solid\" style:text-underline-width=\"auto\""
            " style:text-underline-color=\"font-color\"");
    if (f.Style & fsStrikeOut)
        p += QStringLiteral(" style:text-line-through-style=\"solid\"");
    return style(QStringLiteral("paragraph"), p + QStringLiteral("/>"));
}

void TfrxODTExport::writeCell(QXmlStreamWriter& w, const GridCell& cell) {
    w.writeStartElement("table:table-cell");
    w.writeAttribute("table:style-name", cellStyle(cell));
    if (cell.ColSpan > 1)
        w.writeAttribute("table:number-columns-spanned", QString::number(cell.ColSpan));
    if (cell.RowSpan > 1)
        w.writeAttribute("table:number-rows-spanned", QString::number(cell.RowSpan));
    const PreparedItem* it = cell.IsFiller ? nullptr : cell.Item;
    if (it && IsPictureItem(*it)) {
        const QString path = QStringLiteral("Pictures/%1.png").arg(FPictures.size() + 1);
        FPictures.emplace_back(path, ItemPicturePng(*it, 2));
        w.writeStartElement("text:p");
        w.writeStartElement("draw:frame");
        w.writeAttribute("draw:name", QStringLiteral("Picture%1").arg(FPictures.size()));
        w.writeAttribute("text:anchor-type", "as-char");
        w.writeAttribute("svg:width", OdfPoints(it->W));
        w.writeAttribute("svg:height", OdfPoints(it->H));
        w.writeEmptyElement("draw:image");
        w.writeAttribute("xlink:href", path);
        w.writeAttribute("xlink:type", "simple");
        w.writeAttribute("xlink:show", "embed");
        w.writeAttribute("xlink:actuate", "onLoad");
        w.writeEndElement();  // frame
        w.writeEndElement();  // p
    } else if (it) {
        const QString paragraph = paragraphStyle(*it);
        for (const QString& line : xmlSafe(CellText(cell)).split(u'\n')) {
            w.writeStartElement("text:p");
            w.writeAttribute("text:style-name", paragraph);
            writeLine(w, line);
            w.writeEndElement();
        }
    }
    w.writeEndElement();
    for (int i = 1; i < cell.ColSpan; ++i)
        w.writeEmptyElement("table:covered-table-cell");
}

void TfrxODTExport::writeTable(QXmlStreamWriter& w, const PreparedPage& page,
                               const ExportGrid& grid, int ordinal) {
    if (grid.ColCount() <= 0 || grid.RowCount() <= 0)
        return;
    const double left = page.LeftMargin * kPixelsPerMm, top = page.TopMargin * kPixelsPerMm;
    QString tp = QStringLiteral("<style:table-properties table:align=\"left\"") +
                 attr("style:width", OdfPoints(grid.ColX.back() - grid.ColX.front())) +
                 attr("fo:margin-left", OdfPoints(grid.ColX.front() - left)) +
                 attr("fo:margin-top", OdfPoints(std::max(0.0, grid.RowY.front() - top)));
    if (ordinal > 0 && FExportPageBreaks)
        tp += QStringLiteral(" fo:break-before=\"page\"");
    w.writeStartElement("table:table");
    w.writeAttribute("table:name", QStringLiteral("Page%1").arg(ordinal + 1));
    w.writeAttribute("table:style-name", style(QStringLiteral("table"), tp + QStringLiteral("/>")));
    for (int c = 0; c < grid.ColCount(); ++c) {
        w.writeEmptyElement("table:table-column");
        w.writeAttribute("table:style-name",
                         style(QStringLiteral("table-column"),
                               QStringLiteral("<style:table-column-properties") +
                                   attr("style:column-width", OdfPoints(grid.ColWidth(c))) +
                                   QStringLiteral("/>")));
    }
    const std::vector<bool> inUse = grid.RowsInUse();
    for (GridRowCursor cursor(grid); !cursor.AtEnd(); cursor.Next()) {
        const int r = cursor.Row();
        if (!FEmptyLines && !inUse[std::size_t(r)])
            continue;
        w.writeStartElement("table:table-row");
        w.writeAttribute("table:style-name",
                         style(QStringLiteral("table-row"),
                               QStringLiteral("<style:table-row-properties") +
                                   attr(FWysiwyg ? "style:row-height" : "style:min-row-height",
                                        OdfPoints(grid.RowHeight(r))) +
                                   QStringLiteral(" fo:keep-together=\"always\"/>")));
        for (int c = 0; c < grid.ColCount(); ++c) {
            if (const GridCell* cell = cursor.StartAt(c)) {
                writeCell(w, *cell);
                c += cell->ColSpan - 1;
            } else if (cursor.Covered(c)) {
                w.writeEmptyElement("table:covered-table-cell");
            } else {
                w.writeEmptyElement("table:table-cell");
            }
        }
        w.writeEndElement();
    }
    w.writeEndElement();
}

bool TfrxODTExport::ExportPage(const PreparedPage& page, int, int ordinal) {
    if (!FFirstPage) {
        FFirstPage = page;
        FFirstPage->Items.clear();
    }
    GridOptions options;
    options.Background = FBackground;
    const ExportGrid grid = BuildExportGrid(page, options);
    QByteArray part;
    QXmlStreamWriter w(&part);
    writeTable(w, page, grid, ordinal);
    FBody += part;
    return true;
}

QByteArray TfrxODTExport::content() const {
    QString head = QStringLiteral(
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<office:document-content") +
                   QLatin1String(kNamespaces) +
                   QStringLiteral(" office:version=\"1.2\"><office:font-face-decls>");
    for (const QString& font : FFonts)
        head += QStringLiteral("<style:font-face") + attr("style:name", font) +
                attr("svg:font-family", font) + QStringLiteral("/>");
    head += QStringLiteral("</office:font-face-decls><office:automatic-styles>") +
            FStyleXml.join(QString()) +
            QStringLiteral("</office:automatic-styles><office:body><office:text>");
    // An empty paragraph after the last table, as word processors keep one.
    return head.toUtf8() + FBody +
           "<text:p/></office:text></office:body></office:document-content>\n";
}

QByteArray TfrxODTExport::styles() const {
    const PreparedPage& p = *FFirstPage;
    QString s =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<office:document-styles") +
        QLatin1String(kNamespaces) +
        QStringLiteral(
            " office:version=\"1.2\"><office:styles>"
            "<style:default-style style:family=\"paragraph\">"
            "<style:text-properties style:font-name=\"Arial\" "
            "fo:font-size=\"10pt\"/></style:default-style></office:styles>"
            "<office:automatic-styles><style:page-layout style:name=\"pm1\">"
            "<style:page-layout-properties") +
        attr("fo:page-width", mm(p.PaperWidth)) + attr("fo:page-height", mm(p.PaperHeight)) +
        attr("fo:margin-left", mm(p.LeftMargin)) + attr("fo:margin-right", mm(p.RightMargin)) +
        attr("fo:margin-top", mm(p.TopMargin)) + attr("fo:margin-bottom", mm(p.BottomMargin)) +
        attr("style:print-orientation",
             p.Landscape ? QStringLiteral("landscape") : QStringLiteral("portrait")) +
        QStringLiteral(
            "/></style:page-layout></office:automatic-styles>"
            "<office:master-styles><style:master-page style:name=\"Standard\" "
            "style:page-layout-name=\"pm1\"/></office:master-styles>"
            "</office:document-styles>\n");
    return s.toUtf8();
}

bool TfrxODTExport::Finish(bool ok) {
    if (!ok || !FFirstPage)
        return ok;
    const QByteArray meta =
        (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-meta") +
         QLatin1String(kNamespaces) +
         QStringLiteral(" office:version=\"1.2\"><office:meta><meta:generator>%1</meta:generator>"
                        "</office:meta></office:document-meta>\n")
             .arg(FCreator.toHtmlEscaped()))
            .toUtf8();
    ZipPackage zip;
    QString error;
    bool done =
        zip.Open(StagingPath(), &error) && zip.Add("mimetype", kMime.toLatin1(), false, &error) &&
        zip.Add("META-INF/manifest.xml",
                OdfManifest(kMime,
                            {QStringLiteral("content.xml"), QStringLiteral("styles.xml"),
                             QStringLiteral("meta.xml")},
                            FPictures),
                true, &error) &&
        zip.Add("content.xml", content(), true, &error) &&
        zip.Add("styles.xml", styles(), true, &error) && zip.Add("meta.xml", meta, true, &error);
    for (std::size_t i = 0; done && i < FPictures.size(); ++i)
        done = zip.Add(FPictures[i].first, FPictures[i].second, false, &error);
    done = done && zip.Close(&error);
    FBody.clear();
    FPictures.clear();
    return done || SetError(QStringLiteral("%1: %2").arg(TargetPath(), error));
}

}  // namespace reportengine
