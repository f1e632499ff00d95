#include "reportengine/export/dialogs/ExportOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace reportengine {

ExportOptionsDialog::ExportOptionsDialog(TfrxCustomExportFilter& filter, int currentPage,
                                         QWidget* parent)
    : QDialog(parent), FFilter(filter), FCurrentPage(currentPage) {
    setWindowTitle(QStringLiteral("Экспорт: %1").arg(filter.GetDescription()));
    auto* root = new QVBoxLayout(this);

    auto* range = new QGroupBox(QStringLiteral("Диапазон страниц"), this);
    auto* rangeLayout = new QGridLayout(range);
    AllPagesRB = new QRadioButton(QStringLiteral("Все"), range);
    CurrentPageRB = new QRadioButton(QStringLiteral("Текущая"), range);
    PageNumbersRB = new QRadioButton(QStringLiteral("Номера:"), range);
    PageNumbersE = new QLineEdit(range);
    auto* hint = new QLabel(
        QStringLiteral("Введите номера и/или диапазоны страниц через запятую, например: 1,3,5-12"),
        range);
    hint->setWordWrap(true);
    rangeLayout->addWidget(AllPagesRB, 0, 0);
    rangeLayout->addWidget(CurrentPageRB, 1, 0);
    rangeLayout->addWidget(PageNumbersRB, 2, 0);
    rangeLayout->addWidget(PageNumbersE, 2, 1);
    rangeLayout->addWidget(hint, 3, 0, 1, 2);
    CurrentPageRB->setEnabled(currentPage > 0);
    const QString pages = filter.property("PageNumbers").toString();
    (pages.isEmpty() ? AllPagesRB : PageNumbersRB)->setChecked(true);
    PageNumbersE->setText(pages);
    connect(PageNumbersE, &QLineEdit::textEdited, this,
            [this] { PageNumbersRB->setChecked(true); });
    root->addWidget(range);

    FOptionsBox = new QGroupBox(QStringLiteral("Параметры"), this);
    FOptions = new QFormLayout(FOptionsBox);
    FOptionsBox->setVisible(false);  // shown once a format adds an option
    root->addWidget(FOptionsBox);

    OpenAfterCB = new QCheckBox(QStringLiteral("Открыть после экспорта"), this);
    root->addWidget(OpenAfterCB);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    root->addWidget(buttons);
}

ExportOptionsDialog::~ExportOptionsDialog() = default;

QCheckBox* ExportOptionsDialog::AddCheck(const char* property, const QString& label) {
    auto* box = new QCheckBox(label, FOptionsBox);
    box->setChecked(FFilter.property(property).toBool());
    FOptions->addRow(box);
    FOptionsBox->setVisible(true);
    FWriters.push_back([this, box, property] { FFilter.setProperty(property, box->isChecked()); });
    return box;
}

QComboBox* ExportOptionsDialog::AddCombo(const char* property, const QString& label,
                                         const std::vector<std::pair<QString, QVariant>>& items) {
    auto* combo = new QComboBox(FOptionsBox);
    const QVariant current = FFilter.property(property);
    for (const auto& [text, value] : items) {
        combo->addItem(text, value);
        if (value == current)
            combo->setCurrentIndex(combo->count() - 1);
    }
    FOptions->addRow(label, combo);
    FOptionsBox->setVisible(true);
    FWriters.push_back([this, combo, property] {
        if (combo->currentIndex() >= 0)
            FFilter.setProperty(property, combo->currentData());
    });
    return combo;
}

QLineEdit* ExportOptionsDialog::AddText(const char* property, const QString& label) {
    auto* edit = new QLineEdit(FFilter.property(property).toString(), FOptionsBox);
    FOptions->addRow(label, edit);
    FOptionsBox->setVisible(true);
    FWriters.push_back([this, edit, property] { FFilter.setProperty(property, edit->text()); });
    return edit;
}

QSpinBox* ExportOptionsDialog::AddNumber(const char* property, const QString& label, int min,
                                         int max) {
    auto* spin = new QSpinBox(FOptionsBox);
    spin->setRange(min, max);
    spin->setValue(FFilter.property(property).toInt());
    FOptions->addRow(label, spin);
    FOptionsBox->setVisible(true);
    FWriters.push_back([this, spin, property] { FFilter.setProperty(property, spin->value()); });
    return spin;
}

bool ExportOptionsDialog::OpenAfterExport() const {
    return OpenAfterCB->isChecked();
}

QString ExportOptionsDialog::PageNumbers() const {
    if (CurrentPageRB->isChecked() && FCurrentPage > 0)
        return QString::number(FCurrentPage);
    if (PageNumbersRB->isChecked())
        return PageNumbersE->text().trimmed();
    return {};
}

void ExportOptionsDialog::accept() {
    for (const auto& write : FWriters)
        write();
    FFilter.setProperty("PageNumbers", PageNumbers());
    QDialog::accept();
}

}  // namespace reportengine
