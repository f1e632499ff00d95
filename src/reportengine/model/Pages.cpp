#include "reportengine/model/Pages.h"

#include "reportengine/model/Bands.h"

#include <algorithm>
#include <utility>

namespace reportengine {

TfrxReportPage::TfrxReportPage(TfrxComponent* parent) : TfrxPage(parent) {
    UpdateGeometry();
}

void TfrxReportPage::UpdateGeometry() {
    Left = Top = 0;
    Width = FPaperWidth * fr01cm;
    Height = FPaperHeight * fr01cm;
}

void TfrxReportPage::SetPaperWidth(double mm) {
    FPaperWidth = mm;
    UpdateGeometry();
}

void TfrxReportPage::SetPaperHeight(double mm) {
    FPaperHeight = mm;
    UpdateGeometry();
}

void TfrxReportPage::SetOrientation(TPrinterOrientation value) {
    if (value == FOrientation)
        return;
    FOrientation = value;
    std::swap(FPaperWidth, FPaperHeight);
    UpdateGeometry();
}

bool TfrxReportPage::IsStoredProperty(const char* name) const {
    for (const char* derived : {"Left", "Top", "Width", "Height"})
        if (qstrcmp(name, derived) == 0)
            return false;
    return true;
}

std::vector<TfrxBand*> TfrxReportPage::Bands() const {
    std::vector<TfrxBand*> bands;
    for (TfrxComponent* c : Objects())
        if (auto* b = qobject_cast<TfrxBand*>(c))
            bands.push_back(b);
    std::stable_sort(bands.begin(), bands.end(),
                     [](const TfrxBand* a, const TfrxBand* b) { return a->Top < b->Top; });
    return bands;
}

TfrxDialogPage::TfrxDialogPage(TfrxComponent* parent) : TfrxPage(parent) {
    Font.Name = QStringLiteral("Tahoma");
    Font.Height = -11;
    Width = 300;
    Height = 200;
}

TfrxDataPage::TfrxDataPage(TfrxComponent* parent) : TfrxPage(parent) {
    Width = 1000;
    Height = 1000;
}

}  // namespace reportengine
