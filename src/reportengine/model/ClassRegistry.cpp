#include "reportengine/model/ClassRegistry.h"

#include "reportengine/model/Bands.h"
#include "reportengine/model/DataSets.h"
#include "reportengine/model/DialogControls.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"
#include "reportengine/model/ScriptBinding.h"
#include "reportengine/model/Views.h"

#include <memory>

namespace reportengine {

struct TfrxClassRegistry::Entry {
    TfrxClassInfo Info;
    std::unique_ptr<TfrxComponent> Prototype;
};

QString TfrxClassRegistry::PlainName(const QMetaObject* meta) {
    QString name = QString::fromLatin1(meta->className());
    int colon = name.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? name : name.mid(colon + 1);
}

TfrxClassRegistry& TfrxClassRegistry::Instance() {
    static TfrxClassRegistry registry;
    return registry;
}

TfrxClassRegistry::TfrxClassRegistry() {
    using C = TfrxClassCategory;
    Register<TfrxReport>(C::Other, QStringLiteral("Report"));
    Register<TfrxReportPage>(C::Page, QStringLiteral("Report page"));
    Register<TfrxDialogPage>(C::Page, QStringLiteral("Dialog page"));
    Register<TfrxDataPage>(C::Page, QStringLiteral("Data page"));

    Register<TfrxReportTitle>(C::Band, QStringLiteral("Report title"));
    Register<TfrxReportSummary>(C::Band, QStringLiteral("Report summary"));
    Register<TfrxPageHeader>(C::Band, QStringLiteral("Page header"));
    Register<TfrxPageFooter>(C::Band, QStringLiteral("Page footer"));
    Register<TfrxColumnHeader>(C::Band, QStringLiteral("Column header"));
    Register<TfrxColumnFooter>(C::Band, QStringLiteral("Column footer"));
    Register<TfrxMasterData>(C::Band, QStringLiteral("Master data"));
    Register<TfrxDetailData>(C::Band, QStringLiteral("Detail data"));
    Register<TfrxSubdetailData>(C::Band, QStringLiteral("Subdetail data"));
    Register<TfrxHeader>(C::Band, QStringLiteral("Header"));
    Register<TfrxFooter>(C::Band, QStringLiteral("Footer"));
    Register<TfrxGroupHeader>(C::Band, QStringLiteral("Group header"));
    Register<TfrxGroupFooter>(C::Band, QStringLiteral("Group footer"));
    Register<TfrxChild>(C::Band, QStringLiteral("Child"));
    Register<TfrxOverlay>(C::Band, QStringLiteral("Overlay"));

    Register<TfrxMemoView>(C::View, QStringLiteral("Text"));
    Register<TfrxSysMemoView>(C::View, QStringLiteral("System text"));
    Register<TfrxLineView>(C::View, QStringLiteral("Line"));
    Register<TfrxShapeView>(C::View, QStringLiteral("Shape"));
    Register<TfrxPictureView>(C::View, QStringLiteral("Picture"));
    Register<TfrxCheckBoxView>(C::View, QStringLiteral("Check box"));
    Register<TfrxGradientView>(C::View, QStringLiteral("Gradient"));
    Register<TfrxBarCodeView>(C::View, QStringLiteral("Barcode"));

    Register<TfrxLabelControl>(C::DialogControl, QStringLiteral("Label"));
    Register<TfrxButtonControl>(C::DialogControl, QStringLiteral("Button"));
    Register<TfrxEditControl>(C::DialogControl, QStringLiteral("Edit"));
    Register<TfrxMemoControl>(C::DialogControl, QStringLiteral("Memo"));
    Register<TfrxCheckBoxControl>(C::DialogControl, QStringLiteral("Check box"));
    Register<TfrxRadioButtonControl>(C::DialogControl, QStringLiteral("Radio button"));
    Register<TfrxListBoxControl>(C::DialogControl, QStringLiteral("List box"));
    Register<TfrxComboBoxControl>(C::DialogControl, QStringLiteral("Combo box"));
    Register<TfrxDateEditControl>(C::DialogControl, QStringLiteral("Date edit"));
    Register<TfrxGroupBoxControl>(C::DialogControl, QStringLiteral("Group box"));
    Register<TfrxPanelControl>(C::DialogControl, QStringLiteral("Panel"));
    Register<TfrxCheckListBoxControl>(C::DialogControl, QStringLiteral("Check list box"));
    Register<TfrxMaskEditControl>(C::DialogControl, QStringLiteral("Mask edit"));
    Register<TfrxBevelControl>(C::DialogControl, QStringLiteral("Bevel"));
    Register<TfrxImageControl>(C::DialogControl, QStringLiteral("Image"));

    Register<TfrxDBDataset>(C::Data, QStringLiteral("DB dataset"));
    Register<TfrxUserDataSet>(C::Data, QStringLiteral("User dataset"));

    RegisterModelScriptBinding();
    RegisterDialogControlScriptBinding();
}

int TfrxClassRegistry::IndexOf(const QString& className) const {
    for (size_t i = 0; i < FEntries.size(); ++i)
        if (FEntries[i]->Info.ClassName.compare(className, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void TfrxClassRegistry::Add(TfrxClassInfo info) {
    auto entry = std::make_unique<Entry>();
    entry->Prototype.reset(info.Create(nullptr));
    entry->Info = std::move(info);
    int i = IndexOf(entry->Info.ClassName);
    if (i >= 0)
        FEntries[size_t(i)] = std::move(entry);
    else
        FEntries.push_back(std::move(entry));
}

void TfrxClassRegistry::Unregister(const QString& className) {
    int i = IndexOf(className);
    if (i >= 0)
        FEntries.erase(FEntries.begin() + i);
}

const TfrxClassInfo* TfrxClassRegistry::Find(const QString& className) const {
    int i = IndexOf(className);
    return i < 0 ? nullptr : &FEntries[size_t(i)]->Info;
}

TfrxComponent* TfrxClassRegistry::Create(const QString& className, TfrxComponent* parent) const {
    const TfrxClassInfo* info = Find(className);
    return info ? info->Create(parent) : nullptr;
}

const TfrxComponent* TfrxClassRegistry::Prototype(const QString& className) const {
    int i = IndexOf(className);
    return i < 0 ? nullptr : FEntries[size_t(i)]->Prototype.get();
}

QStringList TfrxClassRegistry::ClassNames() const {
    QStringList names;
    for (const auto& e : FEntries)
        names << e->Info.ClassName;
    return names;
}

}  // namespace reportengine
