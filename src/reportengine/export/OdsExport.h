// TfrxODSExport: the chosen pages as one table of an OpenDocument spreadsheet (.ods, a zip
// package: "mimetype" stored first, META-INF/manifest.xml, content.xml, styles.xml, and the
// pictures under Pictures/). Numbers and dates typed by the memo's display format become float
// and date cells with a matching data style; merged cells, fonts, fills, frames and alignment as
// in the preview; a page break before each report page; pictures, check boxes, barcodes and
// shapes as PNG pictures anchored in their cells.
//
// Thread contract: as TfrxCustomExportFilter.
#pragma once

#include "reportengine/export/SheetExport.h"

namespace reportengine {

class TfrxODSExport : public TfrxCustomSheetExport {
    Q_OBJECT
public:
    using TfrxCustomSheetExport::TfrxCustomSheetExport;
    QString GetDescription() const override;
    QString DefaultExt() const override { return QStringLiteral(".ods"); }

protected:
    bool WriteSheet(const ExportGrid& grid, const SheetRows& rows) override;
};

}  // namespace reportengine
