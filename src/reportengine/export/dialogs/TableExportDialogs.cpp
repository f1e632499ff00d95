#include "reportengine/export/dialogs/TableExportDialogs.h"

#include <QComboBox>
#include <QLineEdit>

namespace reportengine {

TfrxHTMLExportDialog::TfrxHTMLExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                                           QWidget* parent)
    : ExportOptionsDialog(filter, currentPage, parent) {
    setWindowTitle(QStringLiteral("Экспорт в HTML"));
    AddCheck("FixedWidth", QStringLiteral("Фиксированная ширина"));
    AddCheck("Centered", QStringLiteral("Выровнять по центру"));
    AddCheck("Background", QStringLiteral("Фон"));
    AddCheck("ExportPictures", QStringLiteral("Рисунки"));
    AddCheck("EmptyLines", QStringLiteral("Пустые строки"));
}

TfrxXLSExportDialog::TfrxXLSExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                                         QWidget* parent)
    : ExportOptionsDialog(filter, currentPage, parent) {
    setWindowTitle(QStringLiteral("Экспорт в Excel"));
    AddCheck("AsText", QStringLiteral("Всё как текст"));
    AddCheck("Background", QStringLiteral("Фон"));
    AddCheck("ExportPictures", QStringLiteral("Рисунки"));
    AddCheck("FastExport", QStringLiteral("Быстрый экспорт"));
    AddCheck("PageBreaks", QStringLiteral("Разрывы страниц"));
    AddCheck("EmptyLines", QStringLiteral("Пустые строки"));
}

TfrxSpreadsheetXMLExportDialog::TfrxSpreadsheetXMLExportDialog(TfrxCustomExportFilter& filter,
                                                               int currentPage, QWidget* parent)
    : ExportOptionsDialog(filter, currentPage, parent) {
    setWindowTitle(QStringLiteral("Экспорт: %1").arg(filter.GetDescription()));
    AddCheck("Background", QStringLiteral("Фон"));
    AddCheck("PageBreaks", QStringLiteral("Разрывы страниц"));
    AddCheck("EmptyLines", QStringLiteral("Пустые строки"));
}

TfrxCSVExportDialog::TfrxCSVExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                                         QWidget* parent)
    : ExportOptionsDialog(filter, currentPage, parent) {
    setWindowTitle(QStringLiteral("Экспорт в CSV"));
    AddText("Separator", QStringLiteral("Разделитель:"))->setMaxLength(4);
    AddCheck("OEMCodepage", QStringLiteral("Кодировка OEM (CP866)"));
}

}  // namespace reportengine
