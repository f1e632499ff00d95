// TfrxXMLExport: the chosen pages as one worksheet of an Excel XML spreadsheet (the XML format
// Excel 2003 introduced, ".xml" so that Excel opens it without an extension warning), UTF-8.
// Numbers and dates typed by the memo's display format become Number and DateTime cells with
// that format; merged cells, fonts, fills, frames and alignment as in the preview; a page break
// before each report page. The format holds no pictures, so pictures are left out.
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/SheetExport.h"

namespace reportengine {

class TfrxXMLExport : public TfrxCustomSheetExport {
    Q_OBJECT
public:
    using TfrxCustomSheetExport::TfrxCustomSheetExport;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".xml"); }

    // "2026-06-01T12:30:00.000" for a day serial (days since 1899-12-30).
    static QString DateTimeText(double serial);

protected:
    bool WriteSheet(const ExportGrid& grid, const SheetRows& rows) override;
};

}  // namespace reportengine
