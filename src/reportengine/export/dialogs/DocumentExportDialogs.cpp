#include "reportengine/export/dialogs/DocumentExportDialogs.h"

#include "reportengine/export/ExportRegistry.h"
#include "reportengine/export/MailExport.h"
#include "reportengine/export/SmtpMail.h"
#include "reportengine/export/TextExports.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace reportengine {

TfrxSimpleTextExportDialog::TfrxSimpleTextExportDialog(TfrxCustomExportFilter& filter,
                                                       int currentPage, QWidget* parent)
    : ExportOptionsDialog(filter, currentPage, parent) {
    setWindowTitle(QStringLiteral("Экспорт в текст"));
    AddCheck("Frames", QStringLiteral("Рамки"));
    AddCheck("EmptyLines", QStringLiteral("Пустые строки"));
    AddCheck("PageBreaks", QStringLiteral("Разрывы страниц"));
    AddCheck("OEMCodepage", QStringLiteral("Кодировка OEM (CP866)"));
}

TfrxDotMatrixExportDialog::TfrxDotMatrixExportDialog(TfrxCustomExportFilter& filter,
                                                     int currentPage, QWidget* parent)
    : ExportOptionsDialog(filter, currentPage, parent) {
    setWindowTitle(QStringLiteral("Печать на матричный принтер"));
    std::vector<std::pair<QString, QVariant>> models;
    for (int i = 0; const PrinterEscapeModel* m = EscapeModel(i); ++i)
        models.emplace_back(QString::fromLatin1(m->Name), i);
    AddCombo("EscModel", QStringLiteral("Команды принтера:"), models);
    AddCheck("GraphicFrames", QStringLiteral("Псевдографические рамки"));
    AddCheck("PageBreaks", QStringLiteral("Разрывы страниц"));
    AddCheck("OEMCodepage", QStringLiteral("Кодировка OEM (CP866)"));
}

TfrxRTFExportDialog::TfrxRTFExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                                         QWidget* parent)
    : ExportOptionsDialog(filter, currentPage, parent) {
    setWindowTitle(QStringLiteral("Экспорт в RTF"));
    AddCheck("Wysiwyg", QStringLiteral("Как на экране (WYSIWYG)"));
    AddCheck("ExportPictures", QStringLiteral("Рисунки"));
    AddCheck("Background", QStringLiteral("Фон"));
    AddCheck("ExportPageBreaks", QStringLiteral("Разрывы страниц"));
    AddCheck("AutoSize", QStringLiteral("Автоподбор ширины столбцов"));
}

TfrxODTExportDialog::TfrxODTExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                                         QWidget* parent)
    : ExportOptionsDialog(filter, currentPage, parent) {
    setWindowTitle(QStringLiteral("Экспорт: %1").arg(filter.GetDescription()));
    AddCheck("Wysiwyg", QStringLiteral("Как на экране (WYSIWYG)"));
    AddCheck("Background", QStringLiteral("Фон"));
    AddCheck("ExportPageBreaks", QStringLiteral("Разрывы страниц"));
    AddCheck("EmptyLines", QStringLiteral("Пустые строки"));
}

// --- e-mail ------------------------------------------------------------------------------

TfrxMailExportDialog::TfrxMailExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                                           QWidget* parent)
    : ExportOptionsDialog(filter, currentPage, parent) {
    setWindowTitle(QStringLiteral("Отправить по E-mail"));
    OpenAfterCB->setVisible(false);

    auto* message = new QGroupBox(QStringLiteral("Письмо"), this);
    auto* form = new QFormLayout(message);
    AddressE = new QLineEdit(filter.property("Address").toString(), message);
    AddressE->setPlaceholderText(QStringLiteral("адрес@домен; адрес2@домен"));
    SubjectE = new QLineEdit(filter.property("Subject").toString(), message);
    TextM = new QPlainTextEdit(filter.property("Lines").toStringList().join(u'\n'), message);
    FormatCB = new QComboBox(message);
    const QString current = filter.property("ExportFilter").toString();
    for (const RegisteredExportFilter& r : RegisteredExportFilters()) {
        const ExportFormat f = r.Slot->Format;
        if (f == ExportFormat::Mail || f == ExportFormat::DotMatrix)
            continue;
        FormatCB->addItem(r.Slot->Description, QString::fromLatin1(r.Slot->ClassName));
        if (current == QLatin1String(r.Slot->ClassName))
            FormatCB->setCurrentIndex(FormatCB->count() - 1);
    }
    FormatOptionsB = new QPushButton(QStringLiteral("Параметры..."), message);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(FormatCB, 1);
    formatRow->addWidget(FormatOptionsB);
    form->addRow(QStringLiteral("Адрес:"), AddressE);
    form->addRow(QStringLiteral("Тема:"), SubjectE);
    form->addRow(QStringLiteral("Текст:"), TextM);
    form->addRow(QStringLiteral("Вложение:"), formatRow);
    ErrorL = new QLabel(message);
    ErrorL->setStyleSheet(QStringLiteral("color: #c00000"));
    ErrorL->setWordWrap(true);
    ErrorL->setVisible(false);
    form->addRow(ErrorL);
    // Above the page range: the message is what the operator came for.
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, message);
    connect(FormatOptionsB, &QPushButton::clicked, this, [this] { showFormatOptions(); });

    AddText("FromMail", QStringLiteral("Адрес отправителя:"));
    AddText("FromName", QStringLiteral("Имя отправителя:"));
    AddText("FromCompany", QStringLiteral("Организация:"));
    AddText("SmtpHost", QStringLiteral("Сервер SMTP:"));
    AddNumber("SmtpPort", QStringLiteral("Порт:"), 1, 65535);
    AddText("Login", QStringLiteral("Пользователь:"));
    PasswordE = AddText("Password", QStringLiteral("Пароль:"));
    PasswordE->setEchoMode(QLineEdit::Password);
}

TfrxMailExport& TfrxMailExportDialog::Mail() {
    return static_cast<TfrxMailExport&>(Filter());
}

void TfrxMailExportDialog::showFormatOptions() {
    Mail().setProperty("ExportFilter", FormatCB->currentData());
    TfrxCustomExportFilter* attachment = Mail().AttachmentFilter();
    if (!attachment)
        return;
    const auto dialog = CreateExportOptionsDialog(*attachment, 0, this);
    // The mail chooses the pages; the attachment always takes all of them.
    dialog->AllPagesRB->parentWidget()->setVisible(false);
    dialog->OpenAfterCB->setVisible(false);
    dialog->exec();
    attachment->setProperty("PageNumbers", QString());
}

void TfrxMailExportDialog::accept() {
    QStringList to;
    QString bad;
    QString problem;
    if (!SplitAddresses(AddressE->text(), &to, &bad))
        problem = QStringLiteral("Неверный адрес: \"%1\"").arg(bad);
    else if (to.isEmpty())
        problem = QStringLiteral("Укажите адрес получателя");
    if (!problem.isEmpty()) {
        ErrorL->setText(problem);
        ErrorL->setVisible(true);
        AddressE->setFocus();
        return;
    }
    Mail().setProperty("Address", AddressE->text().trimmed());
    Mail().setProperty("Subject", SubjectE->text());
    Mail().setProperty("Lines", TextM->toPlainText().split(u'\n'));
    if (FormatCB->currentIndex() >= 0)
        Mail().setProperty("ExportFilter", FormatCB->currentData());
    ExportOptionsDialog::accept();
}

}  // namespace reportengine
