#include "reportengine/export/CsvExport.h"

#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/OemCodepage.h"

namespace reportengine {

namespace {

QString field(const QString& text, const QString& separator) {
    const bool quote = text.contains(separator) || text.contains(u'"') || text.contains(u'\n') ||
                       text.contains(u'\r');
    if (!quote)
        return text;
    QString q = text;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

}  // namespace

TfrxCSVExport::TfrxCSVExport(QObject* parent) : TfrxCustomExportFilter(parent) {}
TfrxCSVExport::~TfrxCSVExport() = default;

QString TfrxCSVExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::CSV);
}

QString TfrxCSVExport::GridText(const ExportGrid& grid, const QString& separator) {
    const QString sep = separator.isEmpty() ? QStringLiteral(";") : separator;
    QString out;
    std::size_t next = 0;
    for (int r = 0; r < grid.RowCount(); ++r) {
        QStringList fields(grid.ColCount());
        bool any = false;
        for (; next < grid.Cells.size() && grid.Cells[next].Row == r; ++next) {
            const GridCell& c = grid.Cells[next];
            if (c.IsFiller)  // a background or a line: no value
                continue;
            fields[c.Col] = field(CellText(c), sep);
            any = true;
        }
        if (any)
            out += fields.join(sep) + QStringLiteral("\r\n");
    }
    return out;
}

bool TfrxCSVExport::Start(int) {
    GridOptions options;
    options.Background = false;  // band rectangles hold no values
    FSheet = std::make_unique<ExportSheet>(options);
    return true;
}

bool TfrxCSVExport::ExportPage(const PreparedPage& page, int, int) {
    FSheet->AddPage(page);
    return true;
}

bool TfrxCSVExport::Finish(bool ok) {
    std::unique_ptr<ExportSheet> sheet = std::move(FSheet);
    if (!ok || !sheet)
        return false;
    const QString text = GridText(sheet->Build(), FSeparator);
    const QByteArray bytes = FOEMCodepage ? toCp866(text) : "\xEF\xBB\xBF" + text.toUtf8();
    return WriteOutputFile(TargetPath(), bytes);
}

}  // namespace reportengine
