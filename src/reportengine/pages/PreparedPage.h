// The prepared-page model: one page of a prepared report as a list of positioned items whose
// layout is final (text already broken into lines with their baselines, barcodes already turned
// into bars). Preview, printing and every export draw these items as they are; nothing re-wraps.
//
// Units: page size and margins in millimetres; item geometry in pixels at 96 per inch, measured
// from the top-left corner of the paper (the engine has already added the margins). Colours are
// 0x00BBGGRR integers as templates hold them; kColorNone (536870911) means transparent.
//
// Thread/lifetime contract: plain values. A page is built on one thread and, once appended to
// TfrxPreparedPages, never changed again, so any number of threads may read it through the
// shared_ptr<const> the container hands out.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace reportengine {

constexpr std::int32_t kColorNone = 536870911;  // 0x1FFFFFFF: no colour (transparent)
constexpr std::int32_t kColorBlack = 0;
constexpr std::int32_t kColorWhite = 0x00FFFFFF;

enum class ItemKind : std::uint8_t {
    Text = 0,      // Lines drawn with Font; optional fill and frame
    Rect = 1,      // fill and frame only (frames of bands, empty views)
    Line = 2,      // from (X, Y) to (X + W, Y + H) with the frame's pen; W or H may be negative
    Shape = 3,     // Shape below, filled with FillColor, outlined with the frame's pen
    Image = 4,     // ImageData (PNG, JPEG, BMP ... bytes) scaled into the rectangle
    CheckBox = 5,  // Checked / CheckStyle, drawn in Font.Color
    Barcode = 6,   // Bars (relative rectangles) in Font.Color, optional text Lines
    Gradient = 7,  // GradientStyle from FillColor to EndColor
};
constexpr int kItemKindCount = 8;

// Frame sides as in templates' Frame.Typ.
enum FrameSide : std::uint8_t { ftLeft = 1, ftRight = 2, ftTop = 4, ftBottom = 8 };
enum class FrameStyle : std::uint8_t { Solid, Dash, Dot, DashDot, DashDotDot, Double };
enum class HAlign : std::uint8_t { Left, Right, Center, Block };
enum class VAlign : std::uint8_t { Top, Bottom, Center };
enum class ShapeKind : std::uint8_t { Rectangle, RoundRectangle, Ellipse, Triangle, Diamond };
enum class GradientStyle : std::uint8_t { Horizontal, Vertical, Elliptic, Rectangle };
enum FontStyleBit : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
// What a text item's display format made of its value, so spreadsheets can keep it typed.
enum class ItemValueKind : std::uint8_t { None = 0, Number = 1, Date = 2 };

struct FontSpec {
    QString Name = QStringLiteral("Arial");  // as the template names it; mapped when drawn
    double Size = 10;                        // points
    std::uint8_t Style = 0;                  // FontStyleBit mask
    std::int32_t Color = kColorBlack;
    bool operator==(const FontSpec&) const = default;
};

struct FrameSpec {
    std::uint8_t Typ = 0;  // FrameSide mask
    double Width = 1;      // px
    std::int32_t Color = kColorBlack;
    FrameStyle Style = FrameStyle::Solid;
    bool operator==(const FrameSpec&) const = default;
};

// One laid-out line of text, relative to the item's top-left corner (before rotation).
struct TextLine {
    QString Text;
    double X = 0;             // left edge of the line's ink box
    double Baseline = 0;      // baseline
    double Width = 0;         // natural width, for hit tests
    double JustifyWidth = 0;  // > 0: spread the words over this width (justified, not last line)
    bool operator==(const TextLine&) const = default;
};

struct BarRect {
    double X = 0, Y = 0, W = 0, H = 0;  // relative to the item
    bool operator==(const BarRect&) const = default;
};

struct PreparedItem {
    ItemKind Kind = ItemKind::Rect;
    double X = 0, Y = 0, W = 0, H = 0;
    QString Name;  // the source object's name (search, exports)
    QString Tag;   // hyperlink or tag text carried to exports
    std::int32_t FillColor = kColorNone;
    FrameSpec Frame;
    // Text, barcode text, checkbox colour
    FontSpec Font;
    std::vector<TextLine> Lines;
    HAlign HAlignment = HAlign::Left;
    VAlign VAlignment = VAlign::Top;
    std::int16_t Rotation = 0;  // degrees counter-clockwise: 0, 90, 180, 270
    // Shape
    ShapeKind Shape = ShapeKind::Rectangle;
    // Image
    QByteArray ImageData;
    bool KeepAspect = true;
    bool Center = true;
    // CheckBox
    bool Checked = false;
    std::uint8_t CheckStyle = 0;  // 0 cross, 1 check mark
    // Barcode
    std::vector<BarRect> Bars;
    // Gradient (from FillColor to EndColor)
    std::int32_t EndColor = kColorWhite;
    GradientStyle Gradient = GradientStyle::Horizontal;
    // Text shown through a number or date display format: the raw value (a date as days since
    // 1899-12-30, as TDateTime) and the format string ("%2.2n", "dd.mm.yyyy"). None: plain text.
    ItemValueKind ValueKind = ItemValueKind::None;
    double Value = 0;
    QString ValueFormat;

    bool operator==(const PreparedItem&) const = default;
};

struct PreparedPage {
    double PaperWidth = 210, PaperHeight = 297;  // mm, already oriented
    double LeftMargin = 10, TopMargin = 10, RightMargin = 10, BottomMargin = 10;  // mm
    bool Landscape = false;
    std::int32_t Color = kColorNone;  // page background
    std::vector<PreparedItem> Items;

    bool operator==(const PreparedPage&) const = default;
};

constexpr double kPixelsPerMm = 96.0 / 25.4;  // 3.7795...

// Paper size in 96-dpi pixels.
inline double PageWidthPx(const PreparedPage& p) {
    return p.PaperWidth * kPixelsPerMm;
}
inline double PageHeightPx(const PreparedPage& p) {
    return p.PaperHeight * kPixelsPerMm;
}

// A rough count of the heap bytes a page holds, for the memory budget of TfrxPreparedPages.
std::size_t ApproximateBytes(const PreparedPage& page);

}  // namespace reportengine
