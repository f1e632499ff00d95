#include "reportengine/export/ExportRegistry.h"

#include "reportengine/export/ImageExports.h"
#include "reportengine/export/PdfExport.h"

namespace reportengine {

namespace {

template <typename T>
std::unique_ptr<TfrxCustomExportFilter> make() {
    return std::make_unique<T>();
}

}  // namespace

const std::vector<ExportFilterSlot>& ExportFilterSlots() {
    using F = ExportFormat;
    static const std::vector<ExportFilterSlot> table = {
        {F::DotMatrix, "TfrxDotMatrixExport", QStringLiteral("Матричный принтер"), nullptr},
        {F::BMP, "TfrxBMPExport", QStringLiteral("Рисунок BMP"), &make<TfrxBMPExport>},
        {F::JPEG, "TfrxJPEGExport", QStringLiteral("Рисунок JPEG"), &make<TfrxJPEGExport>},
        {F::TIFF, "TfrxTIFFExport", QStringLiteral("Рисунок TIFF"), &make<TfrxTIFFExport>},
        {F::RTF, "TfrxRTFExport", QStringLiteral("Документ RTF"), nullptr},
        {F::SimpleText, "TfrxSimpleTextExport", QStringLiteral("Простой текст (TXT)"), nullptr},
        {F::HTML, "TfrxHTMLExport", QStringLiteral("Документ HTML"), nullptr},
        {F::XLS, "TfrxXLSExport", QStringLiteral("Таблица Excel"), nullptr},
        {F::XML, "TfrxXMLExport", QStringLiteral("Таблица Excel (XML)"), nullptr},
        {F::PDF, "TfrxPDFExport", QStringLiteral("Файл PDF"), &make<TfrxPDFExport>},
        {F::ODS, "TfrxODSExport", QStringLiteral("Таблица OpenDocument"), nullptr},
        {F::ODT, "TfrxODTExport", QStringLiteral("Текст OpenDocument"), nullptr},
        {F::Mail, "TfrxMailExport", QStringLiteral("Отправить по E-mail"), nullptr},
        {F::GIF, "TfrxGIFExport", QStringLiteral("Рисунок GIF"), &make<TfrxGIFExport>},
        {F::CSV, "TfrxCSVExport", QStringLiteral("Файл CSV"), nullptr},
    };
    return table;
}

QString ExportFilterDescription(ExportFormat format) {
    return ExportFilterSlots()[std::size_t(format)].Description;
}

std::vector<RegisteredExportFilter> RegisteredExportFilters() {
    std::vector<RegisteredExportFilter> out;
    for (const ExportFilterSlot& slot : ExportFilterSlots())
        if (slot.Create)
            out.push_back({int(out.size()), &slot});
    return out;
}

std::unique_ptr<TfrxCustomExportFilter> CreateExportFilter(ExportFormat format) {
    const ExportFilterSlot& slot = ExportFilterSlots()[std::size_t(format)];
    return slot.Create ? slot.Create() : nullptr;
}

}  // namespace reportengine
