#include "reportengine/export/OdsExport.h"

#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/OdfParts.h"
#include "reportengine/export/ZipPackage.h"

#include <QDateTime>
#include <QHash>
#include <QXmlStreamWriter>

#include <cmath>
#include <map>

namespace reportengine {

namespace {

const QString kOffice = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString kStyle = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
const QString kText = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString kTable = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString kDraw = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:drawing:1.0");
const QString kFo = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
const QString kXlink = QStringLiteral("http://www.w3.org/1999/xlink");
const QString kNumber = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0");
const QString kSvg = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0");
const QString kMime = QStringLiteral("application/vnd.oasis.opendocument.spreadsheet");

void declareNamespaces(QXmlStreamWriter& w) {
    const std::pair<const QString*, const char*> spaces[] = {
        {&kOffice, "office"}, {&kStyle, "style"},   {&kText, "text"},
        {&kTable, "table"},   {&kDraw, "draw"},     {&kFo, "fo"},
        {&kXlink, "xlink"},   {&kNumber, "number"}, {&kSvg, "svg"}};
    for (const auto& [uri, prefix] : spaces)
        w.writeNamespace(*uri, QString::fromLatin1(prefix));
}

// The ODF data style for an Excel number-format code; written into `w`.
void writeDataStyle(QXmlStreamWriter& w, const QString& name, const QString& code, bool date) {
    if (!date) {
        w.writeStartElement(kNumber, "number-style");
        w.writeAttribute(kStyle, "name", name);
        const qsizetype dot = code.indexOf(u'.');
        int decimals = 0;
        for (qsizetype i = dot + 1; dot >= 0 && i < code.size() && code[i] == u'0'; ++i)
            ++decimals;
        w.writeEmptyElement(kNumber, code.contains(u'E') ? "scientific-number" : "number");
        w.writeAttribute(kNumber, "decimal-places", QString::number(decimals));
        w.writeAttribute(kNumber, "min-decimal-places", QString::number(decimals));
        w.writeAttribute(kNumber, "min-integer-digits", "1");
        if (code.contains(u'E'))
            w.writeAttribute(kNumber, "min-exponent-digits", "2");
        else if (code.contains(u','))
            w.writeAttribute(kNumber, "grouping", "true");
        w.writeEndElement();
        return;
    }
    w.writeStartElement(kNumber, "date-style");
    w.writeAttribute(kStyle, "name", name);
    bool afterHours = false;
    for (qsizetype i = 0; i < code.size();) {
        const QChar ch = code[i].toLower();
        qsizetype n = 1;
        while (i + n < code.size() && code[i + n].toLower() == ch)
            ++n;
        const bool longForm = n >= 2;
        const bool minutes = ch == u'm' && (afterHours || code.mid(i + n).contains(u's'));
        const char* element = ch == u'd'   ? "day"
                              : ch == u'y' ? "year"
                              : ch == u'h' ? "hours"
                              : ch == u's' ? "seconds"
                              : minutes    ? "minutes"
                              : ch == u'm' ? "month"
                                           : nullptr;
        if (element) {
            w.writeEmptyElement(kNumber, element);
            w.writeAttribute(kNumber, "style", longForm ? "long" : "short");
            afterHours = ch == u'h';
            i += n;
        } else {
            w.writeTextElement(kNumber, "text", code.mid(i, 1));
            ++i;
        }
    }
    w.writeEndElement();
}

class ContentWriter {
public:
    ContentWriter(const ExportGrid& grid, const SheetRows& rows, bool background)
        : FGrid(grid), FRows(rows), FBackground(background) {}

    QByteArray Content() {
        QByteArray out;
        QXmlStreamWriter w(&out);
        w.writeStartDocument();
        declareNamespaces(w);
        w.writeStartElement(kOffice, "document-content");
        w.writeAttribute(kOffice, "version", "1.2");
        collectFonts();
        w.writeStartElement(kOffice, "font-face-decls");
        for (const QString& font : FFonts) {
            w.writeEmptyElement(kStyle, "font-face");
            w.writeAttribute(kStyle, "name", font);
            w.writeAttribute(kSvg, "font-family", font);
        }
        w.writeEndElement();
        w.writeStartElement(kOffice, "automatic-styles");
        writeStyles(w);
        w.writeEndElement();
        w.writeStartElement(kOffice, "body");
        w.writeStartElement(kOffice, "spreadsheet");
        w.writeStartElement(kTable, "table");
        w.writeAttribute(kTable, "name", QStringLiteral("Лист1"));
        for (int c = 0; c < FGrid.ColCount(); ++c) {
            w.writeEmptyElement(kTable, "table-column");
            w.writeAttribute(kTable, "style-name", FColumnStyle[std::size_t(c)]);
        }
        writeRows(w);
        w.writeEndElement();  // table
        w.writeEndElement();  // spreadsheet
        w.writeEndElement();  // body
        w.writeEndElement();
        w.writeEndDocument();
        return out;
    }

    // name -> PNG bytes of the pictures the content refers to.
    std::vector<std::pair<QString, QByteArray>> Pictures;

private:
    void collectFonts() {
        for (const GridCell& c : FGrid.Cells)
            if (c.Item && !FFonts.contains(c.Item->Font.Name))
                FFonts.push_back(c.Item->Font.Name);
        if (!FFonts.contains(QStringLiteral("Arial")))
            FFonts.push_back(QStringLiteral("Arial"));
    }

    void writeStyles(QXmlStreamWriter& w) {
        std::map<QString, QString> widths;
        for (int c = 0; c < FGrid.ColCount(); ++c) {
            const QString width = OdfPoints(FGrid.ColWidth(c));
            auto [it, added] = widths.emplace(width, QStringLiteral("co%1").arg(widths.size() + 1));
            if (added) {
                w.writeStartElement(kStyle, "style");
                w.writeAttribute(kStyle, "name", it->second);
                w.writeAttribute(kStyle, "family", "table-column");
                w.writeEmptyElement(kStyle, "table-column-properties");
                w.writeAttribute(kStyle, "column-width", width);
                w.writeEndElement();
            }
            FColumnStyle.push_back(it->second);
        }
        std::map<QString, QString> rowStyles;
        for (int r = 0; r < FGrid.RowCount(); ++r) {
            const int out = FRows.OutRow[std::size_t(r)];
            const bool pageBreak =
                out >= 0 && std::binary_search(FRows.Breaks.begin(), FRows.Breaks.end(), out);
            const QString height = OdfPoints(FGrid.RowHeight(r));
            const QString key = height + (pageBreak ? "|p" : "");
            auto [it, added] =
                rowStyles.emplace(key, QStringLiteral("ro%1").arg(rowStyles.size() + 1));
            if (added) {
                w.writeStartElement(kStyle, "style");
                w.writeAttribute(kStyle, "name", it->second);
                w.writeAttribute(kStyle, "family", "table-row");
                w.writeEmptyElement(kStyle, "table-row-properties");
                w.writeAttribute(kStyle, "row-height", height);
                w.writeAttribute(kStyle, "use-optimal-row-height", "false");
                w.writeAttribute(kFo, "break-before", pageBreak ? "page" : "auto");
                w.writeEndElement();
            }
            FRowStyle.push_back(it->second);
        }
        for (const GridCell& c : FGrid.Cells) {
            const SheetCellStyle s = SheetStyleOf(c, FBackground);
            const QString key = s.Key();
            if (FCellStyles.contains(key))
                continue;
            const QString name = QStringLiteral("ce%1").arg(FCellStyles.size() + 1);
            FCellStyles.insert(key, name);
            QString dataStyle;
            if (!s.NumberFormat.isEmpty()) {
                dataStyle = QStringLiteral("N%1").arg(FCellStyles.size());
                writeDataStyle(w, dataStyle, s.NumberFormat,
                               c.Item && c.Item->ValueKind == ItemValueKind::Date);
            }
            writeCellStyle(w, name, s, dataStyle);
        }
    }

    void writeCellStyle(QXmlStreamWriter& w, const QString& name, const SheetCellStyle& s,
                        const QString& dataStyle) {
        w.writeStartElement(kStyle, "style");
        w.writeAttribute(kStyle, "name", name);
        w.writeAttribute(kStyle, "family", "table-cell");
        if (!dataStyle.isEmpty())
            w.writeAttribute(kStyle, "data-style-name", dataStyle);
        w.writeEmptyElement(kStyle, "table-cell-properties");
        if (const QString fill = HtmlColor(s.Fill); !fill.isEmpty())
            w.writeAttribute(kFo, "background-color", fill);
        w.writeAttribute(kFo, "border-left", OdfBorder(s.Frame, ftLeft));
        w.writeAttribute(kFo, "border-right", OdfBorder(s.Frame, ftRight));
        w.writeAttribute(kFo, "border-top", OdfBorder(s.Frame, ftTop));
        w.writeAttribute(kFo, "border-bottom", OdfBorder(s.Frame, ftBottom));
        static const char* const v[] = {"top", "bottom", "middle"};
        w.writeAttribute(kStyle, "vertical-align", v[int(s.VAlignment)]);
        w.writeAttribute(kStyle, "text-align-source", "fix");
        if (s.Wrap)
            w.writeAttribute(kFo, "wrap-option", "wrap");
        if (s.Rotation)
            w.writeAttribute(kStyle, "rotation-angle", QString::number(s.Rotation));
        w.writeEmptyElement(kStyle, "paragraph-properties");
        static const char* const h[] = {"start", "end", "center", "justify"};
        w.writeAttribute(kFo, "text-align", h[int(s.HAlignment)]);
        w.writeEmptyElement(kStyle, "text-properties");
        w.writeAttribute(kStyle, "font-name", s.Font.Name);
        w.writeAttribute(kFo, "font-size", QString::number(s.Font.Size) + "pt");
        if (const QString c = HtmlColor(s.Font.Color); !c.isEmpty())
            w.writeAttribute(kFo, "color", c);
        if (s.Font.Style & fsBold)
            w.writeAttribute(kFo, "font-weight", "bold");
        if (s.Font.Style & fsItalic)
            w.writeAttribute(kFo, "font-style", "italic");
        if (s.Font.Style & fsUnderline) {
            w.writeAttribute(kStyle, "text-underline-style", "solid");
            w.writeAttribute(kStyle, "text-underline-width", "auto");
            w.writeAttribute(kStyle, "text-underline-color", "font-color");
        }
        if (s.Font.Style & fsStrikeOut)
            w.writeAttribute(kStyle, "text-line-through-style", "solid");
        w.writeEndElement();
    }

    void writeRows(QXmlStreamWriter& w) {
        for (GridRowCursor cur(FGrid); !cur.AtEnd(); cur.Next())
            if (FRows.OutRow[std::size_t(cur.Row())] >= 0)
                writeRow(w, cur);
    }

    void writeRow(QXmlStreamWriter& w, const GridRowCursor& cur) {
        w.writeStartElement(kTable, "table-row");
        w.writeAttribute(kTable, "style-name", FRowStyle[std::size_t(cur.Row())]);
        int empty = 0;
        auto flushEmpty = [&] {
            if (!empty)
                return;
            w.writeEmptyElement(kTable, "table-cell");
            if (empty > 1)
                w.writeAttribute(kTable, "number-columns-repeated", QString::number(empty));
            empty = 0;
        };
        for (int c = 0; c < FGrid.ColCount(); ++c) {
            if (const GridCell* cell = cur.StartAt(c)) {
                flushEmpty();
                writeCell(w, *cell);
            } else if (cur.Covered(c)) {
                flushEmpty();
                w.writeEmptyElement(kTable, "covered-table-cell");
            } else {
                ++empty;
            }
        }
        flushEmpty();
        w.writeEndElement();
    }

    void writeCell(QXmlStreamWriter& w, const GridCell& c) {
        w.writeStartElement(kTable, "table-cell");
        w.writeAttribute(kTable, "style-name",
                         FCellStyles.value(SheetStyleOf(c, FBackground).Key()));
        const int down =
            FRows.OutRow[std::size_t(c.Row + c.RowSpan - 1)] - FRows.OutRow[std::size_t(c.Row)];
        if (c.ColSpan > 1 || down > 0) {
            w.writeAttribute(kTable, "number-columns-spanned", QString::number(c.ColSpan));
            w.writeAttribute(kTable, "number-rows-spanned", QString::number(down + 1));
        }
        const CellValue v = CellValueOf(c);
        if (v.Kind == ItemValueKind::Number) {
            w.writeAttribute(kOffice, "value-type", "float");
            w.writeAttribute(kOffice, "value", QString::number(v.Value, 'g', 17));
        } else if (v.Kind == ItemValueKind::Date) {
            const QDateTime base(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
            w.writeAttribute(kOffice, "value-type", "date");
            w.writeAttribute(kOffice, "date-value",
                             base.addMSecs(qint64(std::llround(v.Value * 86400000.0)))
                                 .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
        } else if (!v.Text.isEmpty()) {
            w.writeAttribute(kOffice, "value-type", "string");
        }
        if (c.Item && !c.IsFiller && IsPictureItem(*c.Item))
            writePicture(w, *c.Item);
        for (const QString& line : v.Text.split(u'\n', Qt::KeepEmptyParts))
            if (!v.Text.isEmpty())
                w.writeTextElement(kText, "p", line);
        w.writeEndElement();
    }

    void writePicture(QXmlStreamWriter& w, const PreparedItem& it) {
        const QString name = QStringLiteral("Pictures/%1.png").arg(Pictures.size() + 1);
        Pictures.emplace_back(name, ItemPicturePng(it, 2));
        w.writeStartElement(kDraw, "frame");
        w.writeAttribute(kDraw, "z-index", "0");
        w.writeAttribute(kSvg, "width", OdfPoints(it.W));
        w.writeAttribute(kSvg, "height", OdfPoints(it.H));
        w.writeAttribute(kSvg, "x", "0pt");
        w.writeAttribute(kSvg, "y", "0pt");
        w.writeEmptyElement(kDraw, "image");
        w.writeAttribute(kXlink, "href", name);
        w.writeAttribute(kXlink, "type", "simple");
        w.writeAttribute(kXlink, "show", "embed");
        w.writeAttribute(kXlink, "actuate", "onLoad");
        w.writeEndElement();
    }

    const ExportGrid& FGrid;
    const SheetRows& FRows;
    const bool FBackground;
    QStringList FFonts;
    std::vector<QString> FColumnStyle, FRowStyle;
    QHash<QString, QString> FCellStyles;
};

QByteArray stylesXml() {
    QByteArray out;
    QXmlStreamWriter w(&out);
    w.writeStartDocument();
    declareNamespaces(w);
    w.writeStartElement(kOffice, "document-styles");
    w.writeAttribute(kOffice, "version", "1.2");
    w.writeStartElement(kOffice, "font-face-decls");
    w.writeEmptyElement(kStyle, "font-face");
    w.writeAttribute(kStyle, "name", "Arial");
    w.writeAttribute(kSvg, "font-family", "Arial");
    w.writeEndElement();
    w.writeStartElement(kOffice, "styles");
    w.writeStartElement(kStyle, "default-style");
    w.writeAttribute(kStyle, "family", "table-cell");
    w.writeEmptyElement(kStyle, "text-properties");
    w.writeAttribute(kStyle, "font-name", "Arial");
    w.writeAttribute(kFo, "font-size", "10pt");
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndDocument();
    return out;
}

}  // namespace

QString TfrxODSExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::ODS);
}

bool TfrxODSExport::WriteSheet(const ExportGrid& grid, const SheetRows& rows) {
    ContentWriter content(grid, rows, FBackground);
    const QByteArray contentXml = content.Content();
    ZipPackage zip;
    QString error;
    bool ok =
        zip.Open(StagingPath(), &error) && zip.Add("mimetype", kMime.toLatin1(), false, &error) &&
        zip.Add("META-INF/manifest.xml",
                OdfManifest(kMime, {QStringLiteral("content.xml"), QStringLiteral("styles.xml")},
                            content.Pictures),
                true, &error) &&
        zip.Add("content.xml", contentXml, true, &error) &&
        zip.Add("styles.xml", stylesXml(), true, &error);
    for (std::size_t i = 0; ok && i < content.Pictures.size(); ++i)
        ok = zip.Add(content.Pictures[i].first, content.Pictures[i].second, false, &error);
    ok = ok && zip.Close(&error);
    return ok || SetError(QStringLiteral("%1: %2").arg(TargetPath(), error));
}

}  // namespace reportengine
