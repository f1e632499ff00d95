// Which options dialog each filter class gets; a class not listed gets the shared base alone.
#include "reportengine/export/dialogs/DocumentExportDialogs.h"
#include "reportengine/export/dialogs/ExportOptionsDialog.h"
#include "reportengine/export/dialogs/TableExportDialogs.h"

#include <cstring>

namespace reportengine {

namespace {

using Factory = std::unique_ptr<ExportOptionsDialog> (*)(TfrxCustomExportFilter&, int, QWidget*);

template <typename D>
std::unique_ptr<ExportOptionsDialog> make(TfrxCustomExportFilter& f, int page, QWidget* parent) {
    return std::make_unique<D>(f, page, parent);
}

struct DialogSlot {
    const char* ClassName;
    Factory Create;
};

const DialogSlot kDialogs[] = {
    {"TfrxDotMatrixExport", &make<TfrxDotMatrixExportDialog>},
    {"TfrxRTFExport", &make<TfrxRTFExportDialog>},
    {"TfrxSimpleTextExport", &make<TfrxSimpleTextExportDialog>},
    {"TfrxODTExport", &make<TfrxODTExportDialog>},
    {"TfrxMailExport", &make<TfrxMailExportDialog>},
    {"TfrxHTMLExport", &make<TfrxHTMLExportDialog>},
    {"TfrxXLSExport", &make<TfrxXLSExportDialog>},
    {"TfrxXMLExport", &make<TfrxSpreadsheetXMLExportDialog>},
    {"TfrxODSExport", &make<TfrxSpreadsheetXMLExportDialog>},
    {"TfrxCSVExport", &make<TfrxCSVExportDialog>},
};

}  // namespace

std::unique_ptr<ExportOptionsDialog> CreateExportOptionsDialog(TfrxCustomExportFilter& filter,
                                                               int currentPage, QWidget* parent) {
    const char* name = filter.metaObject()->className();
    if (const char* colons = std::strrchr(name, ':'))
        name = colons + 1;  // "reportengine::TfrxHTMLExport"
    for (const DialogSlot& slot : kDialogs)
        if (std::strcmp(slot.ClassName, name) == 0)
            return slot.Create(filter, currentPage, parent);
    return std::make_unique<ExportOptionsDialog>(filter, currentPage, parent);
}

}  // namespace reportengine
