// The common part of the spreadsheet exports (Excel workbook, Excel XML, OpenDocument
// spreadsheet): the chosen pages are collected into one ExportSheet, one under the other, and
// written as a single worksheet when the last page is in. Each writer maps the grid's cells
// with SheetStyleOf, so the three formats agree on fonts, fills, frames, alignment and number
// formats.
//
// Memory: the sheet holds a copy of every chosen page and its grid until it is written (about
// 500 bytes per cell), so 80,000 rows of 5 cells take some 200 MB; spreadsheets end at
// 1,048,576 rows anyway.
//
// Options: Background (fills of band rectangles and items), EmptyLines (rows no cell touches
// are kept; off: dropped), PageBreaks (a printed page break where each report page starts).
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/ExportFilter.h"
#include "reportengine/export/ExportGrid.h"

#include <memory>

namespace reportengine {

// How one cell looks in a spreadsheet.
struct SheetCellStyle {
    FontSpec Font;
    std::int32_t Fill = kColorNone;
    FrameSpec Frame;
    HAlign HAlignment = HAlign::Left;
    VAlign VAlignment = VAlign::Top;
    std::int16_t Rotation = 0;
    QString NumberFormat;  // Excel code (SpreadsheetNumberFormat); empty: General
    bool Wrap = false;     // several lines
    bool operator==(const SheetCellStyle&) const = default;
    QString Key() const;  // equal styles, equal keys: for de-duplicating style tables
};

// background off: no fills. asText: numbers and dates are written as their text, so no number
// format applies.
SheetCellStyle SheetStyleOf(const GridCell& cell, bool background = true, bool asText = false);

// Which sheet row each grid row becomes.
struct SheetRows {
    std::vector<int> OutRow;  // per grid row: its 0-based sheet row, -1 when dropped
    int Count = 0;            // sheet rows
    std::vector<int> Breaks;  // sheet rows that start a new report page
};
SheetRows LayOutSheetRows(const ExportGrid& grid, bool emptyLines, bool pageBreaks);

class TfrxCustomSheetExport : public TfrxCustomExportFilter {
    Q_OBJECT
    Q_PROPERTY(bool Background MEMBER FBackground)
    Q_PROPERTY(bool EmptyLines MEMBER FEmptyLines)
    Q_PROPERTY(bool PageBreaks MEMBER FPageBreaks)

public:
    explicit TfrxCustomSheetExport(QObject* parent = nullptr);
    ~TfrxCustomSheetExport() override;

protected:
    bool Start(int pageCount) override;
    bool ExportPage(const PreparedPage& page, int pageIndex, int ordinal) override;
    bool Finish(bool ok) override;
    // Writes the whole sheet to StagingPath(); false after SetError.
    virtual bool WriteSheet(const ExportGrid& grid, const SheetRows& rows) = 0;

    bool FBackground = true;
    bool FEmptyLines = true;
    bool FPageBreaks = true;

private:
    std::unique_ptr<ExportSheet> FSheet;
};

}  // namespace reportengine
