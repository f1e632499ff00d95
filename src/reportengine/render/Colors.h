// Colours of templates and prepared pages: 0x00BBGGRR integers; 536870911 (kColorNone) is
// transparent, negative values are system colours (0x80000000 | index, or -16777216 + index).
// Thread contract: pure functions, callable from any thread.
#pragma once

#include <QColor>

#include <cstdint>

namespace reportengine {

QColor ColorFromInt(std::int32_t value);
std::int32_t ColorToInt(const QColor& color);  // transparent gives kColorNone

}  // namespace reportengine
