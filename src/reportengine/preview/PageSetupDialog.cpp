#include "reportengine/preview/PageSetupDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>

#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"

namespace reportengine {

namespace {

struct Paper {
    int Code;
    const char* Name;
    double Width, Height;  // mm, portrait
};
constexpr Paper kPapers[] = {
    {9, "A4", 210, 297},         {8, "A3", 297, 420},        {11, "A5", 148, 210},
    {1, "Letter", 215.9, 279.4}, {5, "Legal", 215.9, 355.6}, {256, "Другой", 0, 0},
};
constexpr int kCustomPaper = 256;

QDoubleSpinBox* MillimetreBox(QWidget* parent, const char* name, double max) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0, max);
    box->setDecimals(1);
    box->setSuffix(QStringLiteral(" мм"));
    return box;
}

}  // namespace

bool ReadPageSettings(const TfrxReport& report, PageSettings& s) {
    const auto pages = report.ReportPages();
    if (pages.empty())
        return false;
    const TfrxReportPage& page = *pages.front();
    s.PaperSize = page.PaperSize;
    s.Landscape = page.Orientation() == poLandscape;
    s.Width = s.Landscape ? page.PaperHeight() : page.PaperWidth();
    s.Height = s.Landscape ? page.PaperWidth() : page.PaperHeight();
    s.Left = page.LeftMargin, s.Top = page.TopMargin;
    s.Right = page.RightMargin, s.Bottom = page.BottomMargin;
    return true;
}

void ApplyPageSettings(TfrxReport& report, const PageSettings& s) {
    for (TfrxReportPage* page : report.ReportPages()) {
        page->SetOrientation(poPortrait);
        page->SetPaperWidth(s.Width);
        page->SetPaperHeight(s.Height);
        page->SetOrientation(s.Landscape ? poLandscape : poPortrait);
        page->PaperSize = s.PaperSize;
        page->LeftMargin = s.Left, page->TopMargin = s.Top;
        page->RightMargin = s.Right, page->BottomMargin = s.Bottom;
    }
}

TfrxPageSetupDialog::TfrxPageSetupDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrxPageSetupDialog");
    setWindowTitle(QStringLiteral("Параметры страницы"));
    PaperCB = new QComboBox(this);
    PaperCB->setObjectName("PaperCB");
    for (const Paper& p : kPapers)
        PaperCB->addItem(QString::fromUtf8(p.Name), p.Code);
    WidthE = MillimetreBox(this, "WidthE", 2000);
    HeightE = MillimetreBox(this, "HeightE", 2000);
    WidthE->setMinimum(10), HeightE->setMinimum(10);
    PortraitRB = new QRadioButton(QStringLiteral("Книжная"), this);
    LandscapeRB = new QRadioButton(QStringLiteral("Альбомная"), this);
    LeftE = MillimetreBox(this, "LeftE", 500);
    TopE = MillimetreBox(this, "TopE", 500);
    RightE = MillimetreBox(this, "RightE", 500);
    BottomE = MillimetreBox(this, "BottomE", 500);

    auto* orientation = new QHBoxLayout;
    orientation->addWidget(PortraitRB);
    orientation->addWidget(LandscapeRB);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Бумага:"), PaperCB);
    form->addRow(QStringLiteral("Ширина:"), WidthE);
    form->addRow(QStringLiteral("Высота:"), HeightE);
    form->addRow(QStringLiteral("Ориентация:"), orientation);
    form->addRow(QStringLiteral("Левое поле:"), LeftE);
    form->addRow(QStringLiteral("Верхнее поле:"), TopE);
    form->addRow(QStringLiteral("Правое поле:"), RightE);
    form->addRow(QStringLiteral("Нижнее поле:"), BottomE);
    form->addRow(buttons);
    connect(PaperCB, &QComboBox::activated, this, &TfrxPageSetupDialog::PaperChanged);
    SetSettings({});
}

void TfrxPageSetupDialog::PaperChanged(int index) {
    const Paper& p = kPapers[index];
    const bool custom = p.Code == kCustomPaper;
    WidthE->setEnabled(custom);
    HeightE->setEnabled(custom);
    if (!custom) {
        WidthE->setValue(p.Width);
        HeightE->setValue(p.Height);
    }
}

void TfrxPageSetupDialog::SetSettings(const PageSettings& s) {
    int index = PaperCB->findData(s.PaperSize);
    if (index < 0)
        index = PaperCB->findData(kCustomPaper);
    PaperCB->setCurrentIndex(index);
    const bool custom = PaperCB->currentData().toInt() == kCustomPaper;
    WidthE->setEnabled(custom);
    HeightE->setEnabled(custom);
    WidthE->setValue(s.Width);
    HeightE->setValue(s.Height);
    (s.Landscape ? LandscapeRB : PortraitRB)->setChecked(true);
    LeftE->setValue(s.Left), TopE->setValue(s.Top);
    RightE->setValue(s.Right), BottomE->setValue(s.Bottom);
}

PageSettings TfrxPageSetupDialog::Settings() const {
    PageSettings s;
    s.PaperSize = PaperCB->currentData().toInt();
    s.Width = WidthE->value(), s.Height = HeightE->value();
    s.Landscape = LandscapeRB->isChecked();
    s.Left = LeftE->value(), s.Top = TopE->value();
    s.Right = RightE->value(), s.Bottom = BottomE->value();
    return s;
}

}  // namespace reportengine
