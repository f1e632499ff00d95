#include "reportengine/export/ExcelXmlExport.h"

#include "reportengine/export/ExportRegistry.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QXmlStreamWriter>

#include <cmath>

namespace reportengine {

namespace {

const char* const kSheetNs = "urn:schemas-microsoft-com:office:spreadsheet";
const char* const kExcelNs = "urn:schemas-microsoft-com:office:excel";

QString lineStyle(FrameStyle s) {
    switch (s) {
        case FrameStyle::Dash:
            return QStringLiteral("Dash");
        case FrameStyle::Dot:
            return QStringLiteral("Dot");
        case FrameStyle::DashDot:
            return QStringLiteral("DashDot");
        case FrameStyle::DashDotDot:
            return QStringLiteral("DashDotDot");
        case FrameStyle::Double:
            return QStringLiteral("Double");
        case FrameStyle::Solid:
            break;
    }
    return QStringLiteral("Continuous");
}

int weight(double px) {
    return px <= 1.5 ? 1 : px <= 2.5 ? 2 : 3;
}

QString number(double v) {
    return QString::number(v, 'g', 17);
}

class Writer {
public:
    Writer(QIODevice* out, const ExportGrid& grid, const SheetRows& rows, bool background)
        : w(out), FGrid(grid), FRows(rows), FBackground(background) {}

    void Write() {
        w.setAutoFormatting(true);
        w.writeStartDocument();
        w.writeProcessingInstruction(QStringLiteral("mso-application"),
                                     QStringLiteral("progid=\"Excel.Sheet\""));
        w.writeDefaultNamespace(kSheetNs);
        w.writeNamespace(QString::fromLatin1(kSheetNs), QStringLiteral("ss"));
        w.writeNamespace(QString::fromLatin1(kExcelNs), QStringLiteral("x"));
        w.writeStartElement(QStringLiteral("Workbook"));
        collectStyles();
        writeStyles();
        w.writeStartElement(QStringLiteral("Worksheet"));
        w.writeAttribute(kSheetNs, QStringLiteral("Name"), QStringLiteral("Лист1"));
        writeTable();
        writeOptions();
        w.writeEndElement();  // Worksheet
        w.writeEndElement();  // Workbook
        w.writeEndDocument();
    }

private:
    void collectStyles() {
        for (const GridCell& c : FGrid.Cells) {
            const SheetCellStyle s = SheetStyleOf(c, FBackground);
            const QString key = s.Key();
            if (!FStyleIds.contains(key)) {
                FStyleIds.insert(key, QStringLiteral("s%1").arg(FStyles.size() + 1));
                FStyles.push_back(s);
            }
        }
    }

    void writeStyles() {
        w.writeStartElement(QStringLiteral("Styles"));
        for (std::size_t i = 0; i < FStyles.size(); ++i)
            writeStyle(FStyles[i], QStringLiteral("s%1").arg(i + 1));
        w.writeEndElement();
    }

    void writeStyle(const SheetCellStyle& s, const QString& id) {
        w.writeStartElement(QStringLiteral("Style"));
        w.writeAttribute(kSheetNs, QStringLiteral("ID"), id);
        w.writeEmptyElement(QStringLiteral("Alignment"));
        static const char* const h[] = {"Left", "Right", "Center", "Justify"};
        static const char* const v[] = {"Top", "Bottom", "Center"};
        w.writeAttribute(kSheetNs, QStringLiteral("Horizontal"), h[int(s.HAlignment)]);
        w.writeAttribute(kSheetNs, QStringLiteral("Vertical"), v[int(s.VAlignment)]);
        if (s.Wrap)
            w.writeAttribute(kSheetNs, QStringLiteral("WrapText"), QStringLiteral("1"));
        if (s.Rotation == 90 || s.Rotation == 270)  // the format turns text by -90..90 only
            w.writeAttribute(kSheetNs, QStringLiteral("Rotate"),
                             QString::number(s.Rotation == 90 ? 90 : -90));
        writeBorders(s.Frame);
        w.writeEmptyElement(QStringLiteral("Font"));
        w.writeAttribute(kSheetNs, QStringLiteral("FontName"), s.Font.Name);
        w.writeAttribute(kExcelNs, QStringLiteral("CharSet"), QStringLiteral("204"));
        w.writeAttribute(kSheetNs, QStringLiteral("Size"), number(s.Font.Size));
        if (const QString c = HtmlColor(s.Font.Color); !c.isEmpty())
            w.writeAttribute(kSheetNs, QStringLiteral("Color"), c);
        if (s.Font.Style & fsBold)
            w.writeAttribute(kSheetNs, QStringLiteral("Bold"), QStringLiteral("1"));
        if (s.Font.Style & fsItalic)
            w.writeAttribute(kSheetNs, QStringLiteral("Italic"), QStringLiteral("1"));
        if (s.Font.Style & fsUnderline)
            w.writeAttribute(kSheetNs, QStringLiteral("Underline"), QStringLiteral("Single"));
        if (s.Font.Style & fsStrikeOut)
            w.writeAttribute(kSheetNs, QStringLiteral("StrikeThrough"), QStringLiteral("1"));
        if (const QString fill = HtmlColor(s.Fill); !fill.isEmpty()) {
            w.writeEmptyElement(QStringLiteral("Interior"));
            w.writeAttribute(kSheetNs, QStringLiteral("Color"), fill);
            w.writeAttribute(kSheetNs, QStringLiteral("Pattern"), QStringLiteral("Solid"));
        }
        if (!s.NumberFormat.isEmpty()) {
            w.writeEmptyElement(QStringLiteral("NumberFormat"));
            w.writeAttribute(kSheetNs, QStringLiteral("Format"), s.NumberFormat);
        }
        w.writeEndElement();
    }

    void writeBorders(const FrameSpec& f) {
        if (!f.Typ)
            return;
        w.writeStartElement(QStringLiteral("Borders"));
        const std::pair<FrameSide, const char*> sides[] = {
            {ftLeft, "Left"}, {ftRight, "Right"}, {ftTop, "Top"}, {ftBottom, "Bottom"}};
        for (const auto& [side, name] : sides) {
            if (!(f.Typ & side))
                continue;
            w.writeEmptyElement(QStringLiteral("Border"));
            w.writeAttribute(kSheetNs, QStringLiteral("Position"), name);
            w.writeAttribute(kSheetNs, QStringLiteral("LineStyle"), lineStyle(f.Style));
            w.writeAttribute(kSheetNs, QStringLiteral("Weight"), QString::number(weight(f.Width)));
            if (const QString c = HtmlColor(f.Color); !c.isEmpty())
                w.writeAttribute(kSheetNs, QStringLiteral("Color"), c);
        }
        w.writeEndElement();
    }

    void writeTable() {
        w.writeStartElement(QStringLiteral("Table"));
        for (int c = 0; c < FGrid.ColCount(); ++c) {
            w.writeEmptyElement(QStringLiteral("Column"));
            w.writeAttribute(kSheetNs, QStringLiteral("Width"), number(PxToPt(FGrid.ColWidth(c))));
        }
        std::size_t next = 0;
        for (int r = 0; r < FGrid.RowCount(); ++r) {
            const int out = FRows.OutRow[std::size_t(r)];
            if (out < 0)
                continue;
            w.writeStartElement(QStringLiteral("Row"));
            w.writeAttribute(kSheetNs, QStringLiteral("Index"), QString::number(out + 1));
            w.writeAttribute(kSheetNs, QStringLiteral("Height"),
                             number(PxToPt(FGrid.RowHeight(r))));
            for (; next < FGrid.Cells.size() && FGrid.Cells[next].Row == r; ++next)
                writeCell(FGrid.Cells[next]);
            w.writeEndElement();
        }
        w.writeEndElement();
    }

    void writeCell(const GridCell& c) {
        w.writeStartElement(QStringLiteral("Cell"));
        w.writeAttribute(kSheetNs, QStringLiteral("Index"), QString::number(c.Col + 1));
        if (c.ColSpan > 1)
            w.writeAttribute(kSheetNs, QStringLiteral("MergeAcross"),
                             QString::number(c.ColSpan - 1));
        const int down =
            FRows.OutRow[std::size_t(c.Row + c.RowSpan - 1)] - FRows.OutRow[std::size_t(c.Row)];
        if (down > 0)
            w.writeAttribute(kSheetNs, QStringLiteral("MergeDown"), QString::number(down));
        w.writeAttribute(kSheetNs, QStringLiteral("StyleID"),
                         FStyleIds.value(SheetStyleOf(c, FBackground).Key()));
        const CellValue v = CellValueOf(c);
        if (v.Kind != ItemValueKind::None || !v.Text.isEmpty()) {
            w.writeStartElement(QStringLiteral("Data"));
            if (v.Kind == ItemValueKind::Number) {
                w.writeAttribute(kSheetNs, QStringLiteral("Type"), QStringLiteral("Number"));
                w.writeCharacters(number(v.Value));
            } else if (v.Kind == ItemValueKind::Date) {
                w.writeAttribute(kSheetNs, QStringLiteral("Type"), QStringLiteral("DateTime"));
                w.writeCharacters(TfrxXMLExport::DateTimeText(v.Value));
            } else {
                w.writeAttribute(kSheetNs, QStringLiteral("Type"), QStringLiteral("String"));
                w.writeCharacters(v.Text);
            }
            w.writeEndElement();
        }
        w.writeEndElement();
    }

    void writeOptions() {
        w.writeStartElement(kExcelNs, QStringLiteral("WorksheetOptions"));
        if (!FRows.Breaks.empty()) {
            w.writeStartElement(kExcelNs, QStringLiteral("PageBreaks"));
            w.writeStartElement(kExcelNs, QStringLiteral("RowBreaks"));
            for (int row : FRows.Breaks) {
                w.writeStartElement(kExcelNs, QStringLiteral("RowBreak"));
                w.writeTextElement(kExcelNs, QStringLiteral("Row"), QString::number(row));
                w.writeEndElement();
            }
            w.writeEndElement();
            w.writeEndElement();
        }
        w.writeEndElement();
    }

    QXmlStreamWriter w;
    const ExportGrid& FGrid;
    const SheetRows& FRows;
    const bool FBackground;
    std::vector<SheetCellStyle> FStyles;
    QHash<QString, QString> FStyleIds;
};

}  // namespace

QString TfrxXMLExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::XML);
}

QString TfrxXMLExport::DateTimeText(double serial) {
    const QDateTime base(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    return base.addMSecs(qint64(std::llround(serial * 86400000.0)))
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

bool TfrxXMLExport::WriteSheet(const ExportGrid& grid, const SheetRows& rows) {
    QFile file(StagingPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return SetError(QStringLiteral("%1: %2").arg(TargetPath(), file.errorString()));
    Writer(&file, grid, rows, FBackground).Write();
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return SetError(QStringLiteral("%1: %2").arg(TargetPath(), file.errorString()));
    return true;
}

}  // namespace reportengine
