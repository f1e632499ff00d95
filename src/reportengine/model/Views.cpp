#include "reportengine/model/Views.h"

#include "reportengine/script/HostValues.h"

namespace reportengine {

void TfrxView::SetDataSet(TfrxDataSet* dataSet) {
    FDataSet = dataSet;
    if (dataSet)
        FDataSetName = dataSet->UserName();
}

QString TfrxView::DataSetName() const {
    return FDataSet ? FDataSet->UserName() : FDataSetName;
}

const TfrxFont& TfrxView::UsedFont() const {
    return ParentFont ? TfrxComponent::UsedFont() : Font;
}

bool TfrxView::IsStoredProperty(const char* name) const {
    // An inherited font is not the object's own: it is not written.
    if (qstrcmp(name, "Font") == 0)
        return !ParentFont;
    return true;
}

QStringList TfrxCustomMemoView::Memo() const {
    QStringList lines;
    for (const platform::Variant& v : script::SplitLines(Text))
        lines << v.ToString();
    return lines;
}

void TfrxCustomMemoView::SetMemo(const QStringList& lines) {
    Text = lines.join(QStringLiteral("\r\n"));
}

}  // namespace reportengine
