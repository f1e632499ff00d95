#include "reportengine/model/Report.h"
#include "reportengine/pages/PreparedPages.h"

namespace reportengine {

// Placeholder while the engine is written: no pages.
bool TfrxReport::PrepareReport(bool ClearLastReport) {
    if (ClearLastReport)
        FPreparedPages->Clear();
    return true;
}

}  // namespace reportengine
