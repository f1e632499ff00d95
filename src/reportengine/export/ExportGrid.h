// The one step that turns positioned page items into a table, shared by every table-shaped
// export (HTML, RTF, spreadsheets, OpenDocument) so that they all cut a page the same way.
//
// Column and row boundaries are the left/right and top/bottom edges of the items, with edges
// closer than GridOptions::Tolerance merged into one. Each content item (text, picture, check
// box, barcode, shape, gradient) becomes one cell spanning the columns and rows its rectangle
// covers (a merged cell when the span is more than 1). Items are taken in drawing order; an item
// whose span runs into an earlier cell is not dropped: its text is appended to that cell
// (GridCell::Merged), so no data is lost. Plain rectangles (band backgrounds and frames) become
// no cells of their own: their fill colours the cells they cover, their frame draws on the cells
// along their edges, and the uncovered positions inside them get filler cells (Item is then the
// rectangle, IsFiller set) so that spreadsheets show the fill. Horizontal and vertical lines
// become sides of the cells along them (of filler cells where there are none); slanted lines
// are left out.
//
// ExportSheet places several pages one under the other as one continuous sheet (spreadsheets):
// the columns are shared by all pages, each page's rows follow the previous page's content with
// no margin in between, and PageBreaks names the first row of every page after the first.
//
// Lifetime: a grid points into the page it was built from (BuildExportGrid) or into the sheet
// (ExportSheet keeps its own copies of the pages); keep that alive while the grid is used.
// Thread contract: plain values and pure functions; callable from any thread.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QString>

#include <memory>
#include <vector>

namespace reportengine {

struct GridOptions {
    double Tolerance = 2;    // px: edges closer than this share one boundary
    bool Background = true;  // plain rectangles' fills and filler cells; off: rectangles ignored
};

struct GridCell {
    int Row = 0, Col = 0, RowSpan = 1, ColSpan = 1;
    const PreparedItem* Item = nullptr;
    std::vector<const PreparedItem*> Merged;  // later items that collided with this cell
    bool IsFiller = false;                    // an empty position inside a background rectangle
    std::int32_t Fill = kColorNone;           // the item's fill, else the background's
    FrameSpec Frame;                          // the item's frame plus background edges
};

struct ExportGrid {
    std::vector<double> ColX;     // column boundaries in px, ascending; ColX.size() - 1 columns
    std::vector<double> RowY;     // row boundaries in px, ascending
    std::vector<GridCell> Cells;  // ordered by row, then column; no two overlap
    std::vector<int> PageBreaks;  // ExportSheet: first row of each page after the first

    int ColCount() const { return ColX.empty() ? 0 : int(ColX.size()) - 1; }
    int RowCount() const { return RowY.empty() ? 0 : int(RowY.size()) - 1; }
    double ColWidth(int col) const { return ColX[std::size_t(col) + 1] - ColX[std::size_t(col)]; }
    double RowHeight(int row) const { return RowY[std::size_t(row) + 1] - RowY[std::size_t(row)]; }
    // Per row: whether any cell (filler cells included) starts on or spans over it.
    std::vector<bool> RowsInUse() const;
};

ExportGrid BuildExportGrid(const PreparedPage& page, const GridOptions& options = {});

// Walks a grid row by row for writers that list every position of a row (HTML, OpenDocument):
// at each position, the cell whose top-left corner it is, or whether a cell that starts to the
// left or above covers it, or neither (empty).
class GridRowCursor {
public:
    explicit GridRowCursor(const ExportGrid& grid);  // at row 0
    int Row() const { return FRow; }
    bool AtEnd() const { return FRow >= FGrid.RowCount(); }
    void Next();
    const GridCell* StartAt(int col) const { return FStart[std::size_t(col)]; }
    bool Covered(int col) const { return FCovered[std::size_t(col)]; }

private:
    void load();
    const ExportGrid& FGrid;
    int FRow = 0;
    std::size_t FNext = 0;       // first cell of the rows not loaded yet
    std::vector<int> FCoverEnd;  // per column: last row covered by a cell from above
    std::vector<const GridCell*> FStart;
    std::vector<bool> FCovered;
};

class ExportSheet {
public:
    explicit ExportSheet(GridOptions options = {});
    ~ExportSheet();
    ExportSheet(const ExportSheet&) = delete;
    ExportSheet& operator=(const ExportSheet&) = delete;

    void AddPage(const PreparedPage& page);  // copies the page
    int PageCount() const { return int(FPages.size()); }
    ExportGrid Build() const;

private:
    GridOptions FOptions;
    std::vector<std::unique_ptr<PreparedPage>> FPages;  // items shifted into sheet coordinates
    double FNextY = 0;
    std::vector<double> FPageTops;  // sheet Y where each page's content starts
};

// --- cell contents, shared by the writers ---------------------------------------------------

// The cell's text: its item's lines joined by "\n", then each merged item's text on new lines;
// control characters but tab, CR and LF replaced by U+FFFD, so that XML formats stay readable.
QString CellText(const GridCell& cell);

// What a spreadsheet cell holds: a number or a date (Value; a date as days since 1899-12-30,
// the serial both Excel and TDateTime use), else the text.
struct CellValue {
    ItemValueKind Kind = ItemValueKind::None;  // None: text
    double Value = 0;
    QString Text;
};
CellValue CellValueOf(const GridCell& cell);

// An Excel number-format code for the item's display format ("#,##0.00", "dd.mm.yyyy"), or
// empty for "General". Also understood by the OpenDocument writer.
QString SpreadsheetNumberFormat(const PreparedItem& item);

// Items a table cell cannot hold as text (pictures, check boxes, barcodes, shapes, gradients)
// go into table formats as a picture: the item drawn alone, at `scale` device pixels per page
// pixel, on a transparent background, as PNG bytes.
bool IsPictureItem(const PreparedItem& item);
QByteArray ItemPicturePng(const PreparedItem& item, double scale = 1);

// Units: px at 96 dpi to points, and to Excel's column-width characters (Calibri 11 digits).
constexpr double PxToPt(double px) {
    return px * 0.75;
}
constexpr double PxToExcelChars(double px) {
    return px > 12 ? (px - 5) / 7.0 : px / 12.0;
}

// "#RRGGBB" of a 0x00BBGGRR colour (system colours resolved); empty for kColorNone.
QString HtmlColor(std::int32_t color);

// One side of a frame as a CSS / XSL-FO border value ("1px solid #000000"), with the width text
// the caller's unit gives; "none" when the frame has no such side.
QString FrameBorderText(const FrameSpec& frame, FrameSide side, const QString& width);

}  // namespace reportengine
