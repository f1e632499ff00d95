// The list of export filters the engine offers, in its fixed order (the host's export menu uses
// the position as the item tag). Every format has its slot and its description here, in one
// table; a slot without a factory is a format not built yet and is not listed by
// RegisteredExportFilters, so a new filter only fills in its factory.
//
// Thread contract: the table is constant; the functions are callable from any thread, and each
// created filter then belongs to the caller's thread.
#pragma once

#include "reportengine/export/ExportFilter.h"

#include <QString>

#include <memory>
#include <vector>

namespace reportengine {

enum class ExportFormat {
    DotMatrix,
    BMP,
    JPEG,
    TIFF,
    RTF,
    SimpleText,
    HTML,
    XLS,
    XML,
    PDF,
    ODS,
    ODT,
    Mail,
    GIF,
    CSV
};
constexpr int kExportFormatCount = 15;

struct ExportFilterSlot {
    ExportFormat Format;
    const char* ClassName;                                // "TfrxPDFExport"
    QString Description;                                  // the engine's own text: "Файл PDF"
    std::unique_ptr<TfrxCustomExportFilter> (*Create)();  // null until the format is built
    const char* ShortName = nullptr;  // what the command line calls it: "pdf", "xlsx"; none
                                      // for the dot-matrix printer and e-mail
};

// All fifteen slots in order.
const std::vector<ExportFilterSlot>& ExportFilterSlots();
QString ExportFilterDescription(ExportFormat format);

// The filters that exist, in engine order; Position is their index in this list.
struct RegisteredExportFilter {
    int Position;
    const ExportFilterSlot* Slot;
};
std::vector<RegisteredExportFilter> RegisteredExportFilters();

// The format of a short name ("pdf", "XLSX"...), letter case ignored; false for unknown names and
// for formats without one.
bool ExportFormatByShortName(const QString& name, ExportFormat& format);

// A configured filter with the engine defaults: file cache on, progress shown, no overwrite
// prompt. Null for a format not built.
std::unique_ptr<TfrxCustomExportFilter> CreateExportFilter(ExportFormat format);

}  // namespace reportengine
