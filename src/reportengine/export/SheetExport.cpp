#include "reportengine/export/SheetExport.h"

namespace reportengine {

QString SheetCellStyle::Key() const {
    return QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8|%9")
        .arg(Font.Name)
        .arg(Font.Size)
        .arg(Font.Style)
        .arg(Font.Color)
        .arg(Fill)
        .arg(QStringLiteral("%1,%2,%3,%4")
                 .arg(Frame.Typ)
                 .arg(Frame.Width)
                 .arg(Frame.Color)
                 .arg(int(Frame.Style)))
        .arg(QStringLiteral("%1,%2,%3").arg(int(HAlignment)).arg(int(VAlignment)).arg(Rotation))
        .arg(NumberFormat)
        .arg(Wrap);
}

SheetCellStyle SheetStyleOf(const GridCell& cell, bool background, bool asText) {
    SheetCellStyle s;
    s.Fill = background ? cell.Fill : kColorNone;
    s.Frame = cell.Frame;
    if (s.Frame.Typ == 0)
        s.Frame = FrameSpec{};  // one key for every frameless cell
    if (!cell.Item || cell.IsFiller)
        return s;
    const PreparedItem& it = *cell.Item;
    s.Font = it.Font;
    s.HAlignment = it.HAlignment;
    s.VAlignment = it.VAlignment;
    s.Rotation = it.Rotation;
    s.Wrap = it.Lines.size() > 1 || !cell.Merged.empty();
    if (!asText && CellValueOf(cell).Kind != ItemValueKind::None)
        s.NumberFormat = SpreadsheetNumberFormat(it);
    return s;
}

SheetRows LayOutSheetRows(const ExportGrid& grid, bool emptyLines, bool pageBreaks) {
    SheetRows rows;
    const std::vector<bool> used = grid.RowsInUse();
    rows.OutRow.assign(used.size(), -1);
    for (std::size_t r = 0; r < used.size(); ++r)
        if (emptyLines || used[r])
            rows.OutRow[r] = rows.Count++;
    if (!pageBreaks)
        return rows;
    for (int breakRow : grid.PageBreaks) {
        // The first kept row at or after the page's first row.
        for (int r = breakRow; r < int(used.size()); ++r)
            if (rows.OutRow[std::size_t(r)] >= 0) {
                if (rows.Breaks.empty() || rows.Breaks.back() < rows.OutRow[std::size_t(r)])
                    rows.Breaks.push_back(rows.OutRow[std::size_t(r)]);
                break;
            }
    }
    return rows;
}

TfrxCustomSheetExport::TfrxCustomSheetExport(QObject* parent) : TfrxCustomExportFilter(parent) {}
TfrxCustomSheetExport::~TfrxCustomSheetExport() = default;

bool TfrxCustomSheetExport::Start(int) {
    GridOptions options;
    options.Background = FBackground;
    FSheet = std::make_unique<ExportSheet>(options);
    return true;
}

bool TfrxCustomSheetExport::ExportPage(const PreparedPage& page, int, int) {
    FSheet->AddPage(page);
    return true;
}

bool TfrxCustomSheetExport::Finish(bool ok) {
    std::unique_ptr<ExportSheet> sheet = std::move(FSheet);
    if (!ok || !sheet)
        return false;
    const ExportGrid grid = sheet->Build();
    return WriteSheet(grid, LayOutSheetRows(grid, FEmptyLines, FPageBreaks));
}

}  // namespace reportengine
