// The options dialogs of the table-shaped exports (HTML, Excel, Excel XML, OpenDocument
// spreadsheet, CSV): each adds its format's options, bound to the filter's properties, to the
// shared ExportOptionsDialog.
//
// Thread/lifetime contract: as ExportOptionsDialog (UI thread; the filter outlives the dialog).
#pragma once

#include "reportengine/export/dialogs/ExportOptionsDialog.h"

namespace reportengine {

class TfrxHTMLExportDialog : public ExportOptionsDialog {
    Q_OBJECT
public:
    TfrxHTMLExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                         QWidget* parent = nullptr);
};

class TfrxXLSExportDialog : public ExportOptionsDialog {
    Q_OBJECT
public:
    TfrxXLSExportDialog(TfrxCustomExportFilter& filter, int currentPage, QWidget* parent = nullptr);
};

// Excel XML and OpenDocument spreadsheet share their options.
class TfrxSpreadsheetXMLExportDialog : public ExportOptionsDialog {
    Q_OBJECT
public:
    TfrxSpreadsheetXMLExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                                   QWidget* parent = nullptr);
};

class TfrxCSVExportDialog : public ExportOptionsDialog {
    Q_OBJECT
public:
    TfrxCSVExportDialog(TfrxCustomExportFilter& filter, int currentPage, QWidget* parent = nullptr);
};

}  // namespace reportengine
