#include "reportengine/export/ExportRegistry.h"

#include "reportengine/export/CsvExport.h"
#include "reportengine/export/ExcelXmlExport.h"
#include "reportengine/export/HtmlExport.h"
#include "reportengine/export/ImageExports.h"
#include "reportengine/export/MailExport.h"
#include "reportengine/export/OdsExport.h"
#include "reportengine/export/OdtExport.h"
#include "reportengine/export/PdfExport.h"
#include "reportengine/export/RtfExport.h"
#include "reportengine/export/TextExports.h"
#include "reportengine/export/XlsxExport.h"

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
        {F::DotMatrix, "TfrxDotMatrixExport", QStringLiteral("Матричный принтер"),
         &make<TfrxDotMatrixExport>},
        {F::BMP, "TfrxBMPExport", QStringLiteral("Рисунок BMP"), &make<TfrxBMPExport>, "bmp"},
        {F::JPEG, "TfrxJPEGExport", QStringLiteral("Рисунок JPEG"), &make<TfrxJPEGExport>, "jpeg"},
        {F::TIFF, "TfrxTIFFExport", QStringLiteral("Рисунок TIFF"), &make<TfrxTIFFExport>, "tiff"},
        {F::RTF, "TfrxRTFExport", QStringLiteral("Документ RTF"), &make<TfrxRTFExport>, "rtf"},
        {F::SimpleText, "TfrxSimpleTextExport", QStringLiteral("Простой текст (TXT)"),
         &make<TfrxSimpleTextExport>, "txt"},
        {F::HTML, "TfrxHTMLExport", QStringLiteral("Документ HTML"), &make<TfrxHTMLExport>, "html"},
        {F::XLS, "TfrxXLSExport", QStringLiteral("Таблица Excel"), &make<TfrxXLSExport>, "xlsx"},
        {F::XML, "TfrxXMLExport", QStringLiteral("Таблица Excel (XML)"), &make<TfrxXMLExport>,
         "xml"},
        {F::PDF, "TfrxPDFExport", QStringLiteral("Файл PDF"), &make<TfrxPDFExport>, "pdf"},
        {F::ODS, "TfrxODSExport", QStringLiteral("Таблица OpenDocument"), &make<TfrxODSExport>,
         "ods"},
        {F::ODT, "TfrxODTExport", QStringLiteral("Текст OpenDocument"), &make<TfrxODTExport>,
         "odt"},
        {F::Mail, "TfrxMailExport", QStringLiteral("Отправить по E-mail"), &make<TfrxMailExport>},
        {F::GIF, "TfrxGIFExport", QStringLiteral("Рисунок GIF"), &make<TfrxGIFExport>, "gif"},
        {F::CSV, "TfrxCSVExport", QStringLiteral("Файл CSV"), &make<TfrxCSVExport>, "csv"},
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

bool ExportFormatByShortName(const QString& name, ExportFormat& format) {
    for (const ExportFilterSlot& slot : ExportFilterSlots())
        if (slot.ShortName && slot.Create &&
            name.compare(QLatin1String(slot.ShortName), Qt::CaseInsensitive) == 0) {
            format = slot.Format;
            return true;
        }
    return false;
}

std::unique_ptr<TfrxCustomExportFilter> CreateExportFilter(ExportFormat format) {
    const ExportFilterSlot& slot = ExportFilterSlots()[std::size_t(format)];
    return slot.Create ? slot.Create() : nullptr;
}

}  // namespace reportengine
