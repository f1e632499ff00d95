// Turning report views into prepared items: one function per kind of view, given the values the
// engine has already worked out (the memo's text, a check box's state, a barcode's text). Text is
// laid out here, once, with the font-mapping table's fonts; the prepared item keeps the lines.
// Also the splitting of a band's items at a page break.
//
// Coordinates: items come out relative to the band's top-left corner; the engine moves them onto
// the page.
// Thread contract: a FontCache belongs to one preparing thread; the functions are pure otherwise.
#pragma once

#include "reportengine/model/Views.h"
#include "reportengine/pages/PreparedPage.h"

#include <QFont>

#include <deque>
#include <utility>

namespace reportengine {

FontSpec FontSpecOf(const TfrxFont& font);
FrameSpec FrameSpecOf(const TfrxFrame& frame);

// QFonts by family, size and style, so each distinct font is built and measured once per run.
class FontCache {
public:
    const QFont& Font(const FontSpec& wanted);

private:
    std::deque<std::pair<FontSpec, QFont>> FFonts;  // a report uses a handful of fonts
};

// A memo's text laid out in its box. With a stretch mode the box's height becomes what the text
// needs (never less than one line's worth when the memo is empty).
PreparedItem MemoItem(const TfrxCustomMemoView& memo, const QString& text, const FontSpec& font,
                      std::int32_t fillColor, FontCache& fonts);
PreparedItem LineItem(const TfrxLineView& line);
PreparedItem ShapeItem(const TfrxShapeView& shape);
PreparedItem PictureItem(const TfrxPictureView& picture);
PreparedItem CheckBoxItem(const TfrxCheckBoxView& box, bool checked);
PreparedItem GradientItem(const TfrxGradientView& gradient);
// A barcode that cannot encode its text shows the reason as text instead of bars.
PreparedItem BarcodeItem(const TfrxBarCodeView& barcode, const QString& text, FontCache& fonts);

// Items of one band and the band's height.
struct BandOutput {
    std::vector<PreparedItem> Items;
    double Height = 0;
};

// Cuts a band at `at` px from its top: what lies above stays in `band` (height `at`), the rest is
// returned with its coordinates moved up. Text crossing the cut is split between lines; other
// items crossing it move down whole when they fit in `nextRoom`, else they stay, cut by the page.
BandOutput SplitBandOutput(BandOutput& band, double at, double nextRoom);

}  // namespace reportengine
