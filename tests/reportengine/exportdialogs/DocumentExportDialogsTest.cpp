// The options dialogs of the text and document exports and the e-mail dialog, offscreen: each
// filter gets its own dialog, controls start from the filter's properties and write back on OK,
// and the mail dialog refuses a bad address and offers every file format but itself.
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/MailExport.h"
#include "reportengine/export/dialogs/DocumentExportDialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace reportengine;

namespace {

QCheckBox* checkNamed(QDialog& dialog, const QString& text) {
    for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
        if (box->text() == text)
            return box;
    return nullptr;
}

}  // namespace

TEST(DocumentExportDialogs, EachFilterGetsItsDialogBoundToItsProperties) {
    struct Case {
        ExportFormat Format;
        const char* DialogClass;
        const char* Property;  // a check box option
        const char* Label;
    };
    const Case cases[] = {
        {ExportFormat::SimpleText, "TfrxSimpleTextExportDialog", "Frames", "Рамки"},
        {ExportFormat::DotMatrix, "TfrxDotMatrixExportDialog", "GraphicFrames",
         "Псевдографические рамки"},
        {ExportFormat::RTF, "TfrxRTFExportDialog", "Wysiwyg", "Как на экране (WYSIWYG)"},
        {ExportFormat::ODT, "TfrxODTExportDialog", "EmptyLines", "Пустые строки"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.DialogClass);
        auto filter = CreateExportFilter(c.Format);
        ASSERT_TRUE(filter);
        const bool before = filter->property(c.Property).toBool();
        auto dialog = CreateExportOptionsDialog(*filter, 1);
        EXPECT_TRUE(QString::fromLatin1(dialog->metaObject()->className()).endsWith(c.DialogClass));
        QCheckBox* box = checkNamed(*dialog, QString::fromUtf8(c.Label));
        ASSERT_TRUE(box);
        EXPECT_EQ(box->isChecked(), before);
        box->setChecked(!before);
        dialog->reject();
        EXPECT_EQ(filter->property(c.Property).toBool(), before) << "Cancel changes nothing";
        auto again = CreateExportOptionsDialog(*filter, 1);
        checkNamed(*again, QString::fromUtf8(c.Label))->setChecked(!before);
        again->accept();
        EXPECT_EQ(filter->property(c.Property).toBool(), !before) << "OK writes the option";
    }
}

TEST(DocumentExportDialogs, MailDialogValidatesAndWritesTheMessage) {
    TfrxMailExport mail;
    mail.setProperty("Subject", "Отчёт");
    auto base = CreateExportOptionsDialog(mail, 0);
    auto* dialog = qobject_cast<TfrxMailExportDialog*>(base.get());
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->SubjectE->text(), QStringLiteral("Отчёт"));
    EXPECT_FALSE(dialog->OpenAfterCB->isVisibleTo(dialog));
    EXPECT_EQ(dialog->PasswordE->echoMode(), QLineEdit::Password);

    // Attachment formats: every registered one but the mail itself and the printer stream.
    QStringList formats;
    for (int i = 0; i < dialog->FormatCB->count(); ++i)
        formats << dialog->FormatCB->itemData(i).toString();
    EXPECT_EQ(dialog->FormatCB->currentData().toString(), "TfrxPDFExport");
    EXPECT_FALSE(formats.contains("TfrxMailExport"));
    EXPECT_FALSE(formats.contains("TfrxDotMatrixExport"));
    EXPECT_EQ(formats.size(), int(RegisteredExportFilters().size()) - 2);

    dialog->AddressE->setText("операторы; chief@example.org");
    dialog->accept();
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(dialog->ErrorL->isVisibleTo(dialog));
    EXPECT_TRUE(dialog->ErrorL->text().contains(QStringLiteral("операторы")));
    EXPECT_TRUE(mail.property("Address").toString().isEmpty()) << "nothing written yet";

    dialog->AddressE->setText(" ops@example.org; chief@example.org ");
    dialog->TextM->setPlainText("Строка 1\nСтрока 2");
    dialog->FormatCB->setCurrentIndex(dialog->FormatCB->findData("TfrxRTFExport"));
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(mail.property("Address").toString(), "ops@example.org; chief@example.org");
    EXPECT_EQ(mail.property("Lines").toStringList(), QStringList({"Строка 1", "Строка 2"}));
    EXPECT_EQ(mail.property("ExportFilter").toString(), "TfrxRTFExport");
    EXPECT_EQ(mail.DefaultExt(), ".rtf");
}
