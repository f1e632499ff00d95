#include "reportengine/render/FontMapping.h"

#include <QPaintDevice>

namespace reportengine {

namespace {

struct FontMap {
    const char* Template;
    const char* Drawn;
};
// Metric-compatible replacements; Tahoma has none, DejaVu Sans is the nearest in width.
constexpr FontMap kFontMap[] = {
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"Tahoma", "DejaVu Sans"},
};

QFont makeFont(const FontSpec& font, double pointSize) {
    QFont f(MapFontFamily(font.Name));
    f.setPointSizeF(pointSize > 0 ? pointSize : 1);
    f.setBold(font.Style & fsBold);
    f.setItalic(font.Style & fsItalic);
    f.setUnderline(font.Style & fsUnderline);
    f.setStrikeOut(font.Style & fsStrikeOut);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(false);  // kerning pairs differ between font versions; widths must not
    return f;
}

}  // namespace

QString MapFontFamily(const QString& family) {
    for (const FontMap& m : kFontMap)
        if (family.compare(QLatin1String(m.Template), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(m.Drawn);
    return family;
}

QFont FontFor(const FontSpec& font) {
    return makeFont(font, font.Size);
}

QFont FontForDevice(const FontSpec& font, const QPaintDevice* device) {
    const int dpi = device ? device->logicalDpiY() : 96;
    return makeFont(font, font.Size * 96.0 / (dpi > 0 ? dpi : 96));
}

}  // namespace reportengine
