// TfrxXLSExport: the chosen pages as one worksheet of an Excel workbook (.xlsx, written with
// libxlsxwriter). Numbers and dates typed by the memo's display format become number cells with
// a matching number format (a date is a number with a date format, as Excel keeps dates);
// merged cells, fonts, fills, frames, alignment and rotation as in the preview; a page break
// before each report page; pictures, check boxes, barcodes and shapes as PNG pictures placed
// over their cells.
//
// Options besides those of TfrxCustomSheetExport: AsText (every cell as its shown text, no
// numbers), ExportPictures, FastExport (the workbook goes out row by row through temporary
// files instead of being built in memory first; a sheet with a cell merged over several rows is
// built in memory all the same, since merges must then be declared out of row order),
// ExportEMF (kept for the settings: the pictures the engine has are bitmaps, written as PNG
// either way).
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/SheetExport.h"

namespace reportengine {

class TfrxXLSExport : public TfrxCustomSheetExport {
    Q_OBJECT
    Q_PROPERTY(bool AsText MEMBER FAsText)
    Q_PROPERTY(bool ExportPictures MEMBER FExportPictures)
    Q_PROPERTY(bool FastExport MEMBER FFastExport)
    Q_PROPERTY(bool ExportEMF MEMBER FExportEMF)

public:
    using TfrxCustomSheetExport::TfrxCustomSheetExport;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".xlsx"); }

protected:
    bool WriteSheet(const ExportGrid& grid, const SheetRows& rows) override;

private:
    bool FAsText = false;
    bool FExportPictures = true;
    bool FFastExport = true;
    bool FExportEMF = true;
};

}  // namespace reportengine
