#include "reportengine/engine/ViewItems.h"

#include "reportengine/model/BarcodeEncoding.h"
#include "reportengine/pages/TextLayout.h"
#include "reportengine/render/FontMapping.h"

#include <QFontMetricsF>

#include <algorithm>

namespace reportengine {

FontSpec FontSpecOf(const TfrxFont& font) {
    FontSpec out;
    out.Name = font.Name;
    out.Size = font.Size();
    out.Style = std::uint8_t(font.Style & 0x0F);
    out.Color = font.Color;
    return out;
}

FrameSpec FrameSpecOf(const TfrxFrame& frame) {
    FrameSpec out;
    out.Typ = std::uint8_t(frame.Typ & 0x0F);
    out.Width = frame.Width;
    out.Color = frame.Color;
    out.Style = FrameStyle(std::clamp(int(frame.Style), 0, int(FrameStyle::Double)));
    return out;
}

const QFont& FontCache::Font(const FontSpec& wanted) {
    for (const auto& [key, font] : FFonts)
        if (key.Size == wanted.Size && key.Style == wanted.Style && key.Name == wanted.Name)
            return font;
    FFonts.emplace_back(wanted, FontFor(wanted));
    return FFonts.back().second;
}

namespace {

PreparedItem BaseItem(const TfrxView& view, ItemKind kind) {
    PreparedItem item;
    item.Kind = kind;
    item.X = view.Left;
    item.Y = view.Top;
    item.W = view.Width;
    item.H = view.Height;
    item.Name = view.Name();
    item.Tag = view.TagStr;
    item.FillColor = view.Color;
    item.Frame = FrameSpecOf(view.Frame);
    return item;
}

bool Sideways(int rotation) {
    const int r = (rotation % 360 + 360) % 360;
    return r == 90 || r == 270;
}

}  // namespace

PreparedItem MemoItem(const TfrxCustomMemoView& memo, const QString& text, const FontSpec& font,
                      std::int32_t fillColor, FontCache& fonts) {
    PreparedItem item = BaseItem(memo, ItemKind::Text);
    item.FillColor = fillColor;
    item.Font = font;
    item.HAlignment = HAlign(std::clamp(int(memo.HAlign), 0, int(HAlign::Block)));
    item.VAlignment = VAlign(std::clamp(int(memo.VAlign), 0, int(VAlign::Center)));
    item.Rotation = std::int16_t((memo.Rotation % 360 + 360) % 360);
    const bool sideways = Sideways(memo.Rotation);
    const QFont& qfont = fonts.Font(font);

    TextLayoutParams params;
    params.WordWrap = memo.WordWrap;
    params.HAlignment = item.HAlignment;
    params.VAlignment = item.VAlignment;
    params.GapX = memo.GapX;
    params.GapY = memo.GapY;
    params.LineSpacing = memo.LineSpacing;
    params.Width = sideways ? memo.Height : memo.Width;
    params.Height = sideways ? memo.Width : memo.Height;
    if (memo.AutoWidth && !sideways) {
        // The box takes the width of its longest paragraph; wrapping then has nothing to do.
        const QFontMetricsF metrics(qfont);
        double widest = 0;
        for (const QString& paragraph : SplitParagraphs(text))
            widest = std::max(widest, metrics.horizontalAdvance(paragraph));
        params.Width = item.W = widest + 2 * memo.GapX + 1;
    }
    const bool stretch = memo.StretchMode != smDontStretch && !sideways;
    if (stretch)
        params.VAlignment = VAlign::Top;  // the box will fit the text
    TextLayoutResult layout = LayoutText(text, qfont, params);
    if (stretch) {
        const double needed = std::max(layout.Height, 0.0);
        if (memo.StretchMode == smActualHeight || needed > item.H)
            item.H = text.isEmpty() ? (memo.StretchMode == smActualHeight ? 0 : item.H) : needed;
        if (item.VAlignment != VAlign::Top && item.H > needed) {
            params.Height = item.H;
            params.VAlignment = item.VAlignment;
            layout = LayoutText(text, qfont, params);
        }
    }
    item.Lines = std::move(layout.Lines);
    return item;
}

PreparedItem LineItem(const TfrxLineView& line) {
    PreparedItem item = BaseItem(line, ItemKind::Line);
    item.FillColor = kColorNone;
    if (item.Frame.Typ == 0)
        item.Frame.Typ = ftLeft | ftRight | ftTop | ftBottom;  // a line is all pen
    if (!line.Diagonal) {
        // A straight line keeps only its longer direction.
        if (std::abs(item.W) >= std::abs(item.H))
            item.H = 0;
        else
            item.W = 0;
    }
    return item;
}

PreparedItem ShapeItem(const TfrxShapeView& shape) {
    if (shape.Shape == skDiagonal1 || shape.Shape == skDiagonal2) {
        PreparedItem item = BaseItem(shape, ItemKind::Line);
        item.FillColor = kColorNone;
        if (shape.Shape == skDiagonal2) {  // bottom-left to top-right
            item.Y += item.H;
            item.H = -item.H;
        }
        return item;
    }
    PreparedItem item = BaseItem(shape, ItemKind::Shape);
    item.Shape = ShapeKind(std::clamp(int(shape.Shape), 0, int(ShapeKind::Diamond)));
    return item;
}

PreparedItem PictureItem(const TfrxPictureView& picture) {
    PreparedItem item = BaseItem(picture, ItemKind::Image);
    item.ImageData = picture.Picture;
    item.KeepAspect = picture.KeepAspectRatio || !picture.Stretched;
    item.Center = picture.Center;
    return item;
}

PreparedItem CheckBoxItem(const TfrxCheckBoxView& box, bool checked) {
    PreparedItem item = BaseItem(box, ItemKind::CheckBox);
    item.Checked = checked;
    item.CheckStyle = std::uint8_t(box.CheckStyle == csCheck || box.CheckStyle == csTaskCheck);
    item.Font.Color = box.CheckColor;
    return item;
}

PreparedItem GradientItem(const TfrxGradientView& gradient) {
    PreparedItem item = BaseItem(gradient, ItemKind::Gradient);
    item.FillColor = gradient.BeginColor;
    item.EndColor = gradient.EndColor;
    switch (gradient.Style) {
    case gsVertical:
    case gsVertCenter:
        item.Gradient = GradientStyle::Vertical;
        break;
    case gsElliptic:
        item.Gradient = GradientStyle::Elliptic;
        break;
    case gsRectangle:
        item.Gradient = GradientStyle::Rectangle;
        break;
    default:
        item.Gradient = GradientStyle::Horizontal;
        break;
    }
    return item;
}

PreparedItem BarcodeItem(const TfrxBarCodeView& barcode, const QString& text, FontCache& fonts) {
    PreparedItem item = BaseItem(barcode, ItemKind::Barcode);
    item.Font = FontSpecOf(barcode.UsedFont());
    item.Rotation = std::int16_t((barcode.Rotation % 360 + 360) % 360);
    BarcodeBars bars;
    QString error;
    const QFont& qfont = fonts.Font(item.Font);
    TextLayoutParams params;
    params.WordWrap = false;
    params.HAlignment = HAlign::Center;
    params.GapX = 0;
    params.GapY = 0;
    if (!EncodeBarcode(barcode.BarType, text, barcode.CalcCheckSum, bars, &error)) {
        params.Width = item.W;
        params.Height = item.H;
        params.WordWrap = true;
        item.Kind = ItemKind::Text;
        item.Lines = LayoutText(error, qfont, params).Lines;
        return item;
    }
    const double module = std::max(0.1, barcode.Zoom);
    const double width = bars.Modules() * module;
    item.W = std::max(item.W, width);
    double textHeight = 0;
    if (barcode.ShowText) {
        params.Width = item.W;
        TextLayoutResult layout = LayoutText(bars.Text, qfont, params);
        textHeight = layout.Height;
        for (TextLine& line : layout.Lines)
            line.Baseline += item.H - textHeight;
        item.Lines = std::move(layout.Lines);
    }
    const double barHeight = std::max(1.0, item.H - textHeight);
    const double left = (item.W - width) / 2;
    double x = left;
    for (std::size_t i = 0; i < bars.Widths.size(); ++i) {
        const double w = bars.Widths[i] * module;
        if (i % 2 == 0)
            item.Bars.push_back(BarRect{x, 0, w, barHeight});
        x += w;
    }
    return item;
}

BandOutput SplitBandOutput(BandOutput& band, double at, double nextRoom) {
    BandOutput rest;
    rest.Height = std::max(0.0, band.Height - at);
    std::vector<PreparedItem> kept;
    for (PreparedItem& item : band.Items) {
        const double top = std::min(item.Y, item.Y + item.H);
        const double bottom = std::max(item.Y, item.Y + item.H);
        if (bottom <= at + 0.01) {
            kept.push_back(std::move(item));
            continue;
        }
        if (top >= at) {
            item.Y -= at;
            rest.Items.push_back(std::move(item));
            continue;
        }
        if (item.Kind == ItemKind::Text && item.Rotation == 0 && !item.Lines.empty()) {
            // Lines whose descent fits stay; the others continue at the top of the next part.
            const double room = at - item.Y;
            const double descent = item.Font.Size * 96.0 / 72.0 * 0.25;
            const double firstBaseline = item.Lines.front().Baseline;
            PreparedItem tail = item;
            tail.Lines.clear();
            std::vector<TextLine> head;
            for (TextLine& line : item.Lines)
                (line.Baseline + descent <= room ? head : tail.Lines).push_back(std::move(line));
            if (!tail.Lines.empty()) {
                const double shift = tail.Lines.front().Baseline - firstBaseline;
                for (TextLine& line : tail.Lines)
                    line.Baseline -= shift;
                tail.Y = 0;
                tail.H = std::max(bottom - at, tail.Lines.back().Baseline + 2 * descent);
                rest.Height = std::max(rest.Height, tail.H);
                rest.Items.push_back(std::move(tail));
            }
            item.Lines = std::move(head);
            item.H = room;
            kept.push_back(std::move(item));
            continue;
        }
        if (bottom - top <= nextRoom) {
            item.Y -= at;
            item.Y = std::max(item.Y, 0.0) + (item.H < 0 ? -item.H : 0);
            rest.Items.push_back(std::move(item));
        } else {
            kept.push_back(std::move(item));
        }
    }
    band.Items = std::move(kept);
    band.Height = at;
    return rest;
}

}  // namespace reportengine
