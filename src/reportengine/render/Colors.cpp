#include "reportengine/render/Colors.h"

#include "reportengine/pages/PreparedPage.h"

namespace reportengine {

namespace {

// The classic system colour indices with their usual light-theme values (index -> 0xRRGGBB).
QColor systemColor(int index) {
    static const QRgb kSystem[] = {
        0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
        0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0,
        0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
        0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0};
    if (index < 0 || index >= int(std::size(kSystem)))
        return Qt::black;
    return QColor(kSystem[index]);
}

}  // namespace

QColor ColorFromInt(std::int32_t value) {
    if (value == kColorNone)
        return QColor(Qt::transparent);
    if (value < 0)
        return systemColor(value & 0xFF);
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

std::int32_t ColorToInt(const QColor& color) {
    if (!color.isValid() || color.alpha() == 0)
        return kColorNone;
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

}  // namespace reportengine
