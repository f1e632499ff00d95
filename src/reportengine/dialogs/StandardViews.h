// The views of the standard dialog controls (label, edit, mask edit, memo, button, check box,
// radio button, list box, check list box, combo box, date edit, group box, panel, bevel, image)
// and the mask conversion the mask edit uses.
// Thread contract: UI thread only; RegisterStandardViews runs once, from TfrxControlViews.
#pragma once

#include <QString>

namespace reportengine {

void RegisterStandardViews();

// A template's edit mask ("!99/99/0000;1;_") as a QLineEdit input mask ("99/99/9999;_");
// empty for an empty mask.
QString QtInputMask(const QString& editMask);

}  // namespace reportengine
