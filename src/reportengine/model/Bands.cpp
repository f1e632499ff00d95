#include "reportengine/model/Bands.h"

namespace reportengine {

void TfrxBand::SetChild(TfrxBand* child) {
    FChild = (child && child != this) ? qobject_cast<TfrxChild*>(child) : nullptr;
}

void TfrxDataBand::SetDataSet(TfrxDataSet* dataSet) {
    FDataSet = dataSet;
    if (dataSet)
        FDataSetName = dataSet->UserName();
}

}  // namespace reportengine
