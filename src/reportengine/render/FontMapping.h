// The one font-mapping table: templates name Windows fonts; each is drawn and measured with a
// metric-compatible free font (Liberation, DejaVu), so a template lays out on Linux as designed.
// FontFor builds the QFont every layout and every drawing uses: mapped family, unhinted outline
// metrics, sized for a 96-dpi device. FontForDevice resizes it for a painter whose device has
// another resolution, so that one point still covers 96/72 px in the page's 96-dpi coordinates.
//
// Thread contract: the table is constant; all functions are callable from any thread.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QFont>
#include <QString>

class QPaintDevice;

namespace reportengine {

// The free family drawn for a template's family name (case-insensitive); other names are kept.
QString MapFontFamily(const QString& family);

QFont FontFor(const FontSpec& font);
QFont FontForDevice(const FontSpec& font, const QPaintDevice* device);

}  // namespace reportengine
