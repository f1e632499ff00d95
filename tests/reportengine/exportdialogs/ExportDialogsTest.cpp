// The export options dialogs: controls start from the filter's properties and write them back
// on OK only; the page range group; each format gets its own dialog, bound to real properties.
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/dialogs/TableExportDialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

using namespace reportengine;

namespace {

QCheckBox* check(QWidget& dialog, const QString& text) {
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
        if (box->text() == text)
            return box;
    return nullptr;
}

}  // namespace

TEST(ExportDialogs, OkWritesBoundPropertiesAndPageRangeCancelDoesNot) {
    auto filter = CreateExportFilter(ExportFormat::XLS);
    ASSERT_TRUE(filter);
    for (bool ok : {false, true}) {
        auto dialog = CreateExportOptionsDialog(*filter, 3);
        ASSERT_TRUE(dynamic_cast<TfrxXLSExportDialog*>(dialog.get()));
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Экспорт в Excel"));
        QCheckBox* fast = check(*dialog, QStringLiteral("Быстрый экспорт"));
        ASSERT_TRUE(fast);
        EXPECT_TRUE(fast->isChecked()) << "starts from the filter's value";
        EXPECT_TRUE(dialog->AllPagesRB->isChecked());
        fast->setChecked(false);
        dialog->PageNumbersE->setText("2-3");
        dialog->PageNumbersRB->setChecked(true);
        ok ? dialog->accept() : dialog->reject();
        EXPECT_EQ(filter->property("FastExport").toBool(), !ok);
        EXPECT_EQ(filter->property("PageNumbers").toString(), ok ? "2-3" : "");
    }
    // Opened again, it shows what was chosen.
    auto again = CreateExportOptionsDialog(*filter, 3);
    EXPECT_FALSE(check(*again, QStringLiteral("Быстрый экспорт"))->isChecked());
    EXPECT_TRUE(again->PageNumbersRB->isChecked());
    EXPECT_EQ(again->PageNumbersE->text(), "2-3");
    again->CurrentPageRB->setChecked(true);
    again->accept();
    EXPECT_EQ(filter->property("PageNumbers").toString(), "3");
    again->AllPagesRB->setChecked(true);
    again->accept();
    EXPECT_EQ(filter->property("PageNumbers").toString(), "");
}

TEST(ExportDialogs, CsvSeparatorAndCodePage) {
    auto filter = CreateExportFilter(ExportFormat::CSV);
    auto dialog = CreateExportOptionsDialog(*filter, 0);
    ASSERT_TRUE(dynamic_cast<TfrxCSVExportDialog*>(dialog.get()));
    EXPECT_FALSE(dialog->CurrentPageRB->isEnabled()) << "no current page to offer";
    QLineEdit* sep = nullptr;
    for (QLineEdit* e : dialog->findChildren<QLineEdit*>())
        if (e != dialog->PageNumbersE)
            sep = e;
    ASSERT_TRUE(sep);
    EXPECT_EQ(sep->text(), ";");
    sep->setText(",");
    check(*dialog, QStringLiteral("Кодировка OEM (CP866)"))->setChecked(true);
    dialog->accept();
    EXPECT_EQ(filter->property("Separator").toString(), ",");
    EXPECT_TRUE(filter->property("OEMCodepage").toBool());
}

TEST(ExportDialogs, EveryFilterGetsADialogBoundToRealProperties) {
    for (const RegisteredExportFilter& r : RegisteredExportFilters()) {
        SCOPED_TRACE(r.Slot->ClassName);
        auto filter = r.Slot->Create();
        auto dialog = CreateExportOptionsDialog(*filter, 1);
        ASSERT_TRUE(dialog);
        EXPECT_FALSE(dialog->windowTitle().isEmpty());
        EXPECT_FALSE(dialog->OpenAfterExport());
        dialog->accept();
        // A control bound to a misspelt name would have made a dynamic property instead.
        EXPECT_TRUE(filter->dynamicPropertyNames().isEmpty())
            << filter->dynamicPropertyNames().join(',').toStdString();
    }
    // A format without a dialog of its own gets the page range alone.
    auto pdf = CreateExportFilter(ExportFormat::PDF);
    auto base = CreateExportOptionsDialog(*pdf, 1);
    EXPECT_EQ(typeid(*base), typeid(ExportOptionsDialog));
    for (QGroupBox* box : base->findChildren<QGroupBox*>()) {
        if (box->title() == QStringLiteral("Параметры")) {
            EXPECT_FALSE(box->isVisibleTo(base.get()));
        }
    }
}
