#include "reportengine/export/RtfExport.h"

#include "reportengine/export/ExportGrid.h"
#include "reportengine/export/ExportRegistry.h"
#include "reportengine/render/Colors.h"

#include <QFile>
#include <QTemporaryFile>

#include <cmath>

namespace reportengine {

namespace {

// RTF measures in twips: 1440 per inch, so 15 per pixel at 96 dpi.
int twips(double px) {
    return int(std::lround(px * 15));
}

int mmTwips(double mm) {
    return int(std::lround(mm * 1440 / 25.4));
}

QByteArray num(int n) {
    return QByteArray::number(n);
}

const char* borderStyle(FrameStyle style) {
    switch (style) {
        case FrameStyle::Dash:
            return "\\brdrdash";
        case FrameStyle::Dot:
            return "\\brdrdot";
        case FrameStyle::DashDot:
            return "\\brdrdashd";
        case FrameStyle::DashDotDot:
            return "\\brdrdashdd";
        case FrameStyle::Double:
            return "\\brdrdb";
        case FrameStyle::Solid:
            break;
    }
    return "\\brdrs";
}

const char* alignment(HAlign a) {
    switch (a) {
        case HAlign::Right:
            return "\\qr";
        case HAlign::Center:
            return "\\qc";
        case HAlign::Block:
            return "\\qj";
        case HAlign::Left:
            break;
    }
    return "\\ql";
}

const char* verticalAlignment(VAlign a) {
    switch (a) {
        case VAlign::Bottom:
            return "\\clvertalb";
        case VAlign::Center:
            return "\\clvertalc";
        case VAlign::Top:
            break;
    }
    return "\\clvertalt";
}

// The paragraph every table must be followed by takes this much height; the section's bottom
// margin gives it back (with as much again for the readers' rounding of row heights), so a page
// filled to its margin does not spill onto a new one.
constexpr int kTrailerTwips = 20;
constexpr int kTrailerRoom = 2 * kTrailerTwips;

QByteArray spacer(double heightPx) {
    const int h = twips(heightPx);
    return h > 0 ? "\\pard\\plain\\fs2\\sl-" + num(h) + "\\slmult0\\par\n" : QByteArray();
}

}  // namespace

TfrxRTFExport::TfrxRTFExport(QObject* parent) : TfrxCustomExportFilter(parent) {}
TfrxRTFExport::~TfrxRTFExport() = default;

QString TfrxRTFExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::RTF);
}

QByteArray TfrxRTFExport::EscapeText(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\\' || c == u'{' || c == u'}')
            out += '\\', out += char(c);
        else if (c == u'\n')
            out += "\\line ";
        else if (c == u'\t')
            out += "\\tab ";
        else if (c < 0x20)
            continue;
        else if (c < 0x80)
            out += char(c);
        else  // RTF numbers are signed 16-bit; a surrogate pair is two of them
            out += "\\u" + num(int(std::int16_t(c))) + '?';
    }
    return out;
}

int TfrxRTFExport::fontIndex(const QString& name) {
    qsizetype at = FFonts.indexOf(name);
    if (at < 0) {
        FFonts << name;
        at = FFonts.size() - 1;
    }
    return int(at);
}

int TfrxRTFExport::colorIndex(std::int32_t color) {
    qsizetype at = FColors.indexOf(color);
    if (at < 0) {
        FColors << color;
        at = FColors.size() - 1;
    }
    return int(at) + 1;  // 0 is the reader's automatic colour
}

bool TfrxRTFExport::Start(int) {
    FFonts.clear();
    FColors.clear();
    FBody = std::make_unique<QTemporaryFile>();
    if (!FBody->open())
        return SetError(tr("Cannot create a temporary file: %1").arg(FBody->errorString()));
    return true;
}

QByteArray TfrxRTFExport::section(const PreparedPage& page, const ExportGrid& grid, int ordinal) {
    // Items may reach into the margins (page headers and footers often do); the section's
    // margins then shrink to them, so the page holds what the preview shows on it.
    FTopPx = page.TopMargin * kPixelsPerMm;
    double bottomPx = page.BottomMargin * kPixelsPerMm;
    if (!grid.RowY.empty()) {
        FTopPx = std::clamp(grid.RowY.front(), 0.0, FTopPx);
        bottomPx = std::clamp(PageHeightPx(page) - grid.RowY.back(), 0.0, bottomPx);
    }
    QByteArray s = ordinal == 0
                       ? "\\sectd"
                       : (FExportPageBreaks ? "\\sect\\sectd\\sbkpage" : "\\sect\\sectd\\sbknone");
    s += "\\pgwsxn" + num(mmTwips(page.PaperWidth)) + "\\pghsxn" + num(mmTwips(page.PaperHeight));
    s += "\\marglsxn" + num(mmTwips(page.LeftMargin)) + "\\margrsxn" +
         num(mmTwips(page.RightMargin));
    s += "\\margtsxn" + num(twips(FTopPx)) + "\\margbsxn" +
         num(std::max(0, twips(bottomPx) - kTrailerRoom));
    // Content down to the paper's edge: the last row gives the trailing paragraph its room.
    FTrailerDeficit = std::max(0, kTrailerRoom - twips(bottomPx));
    if (page.Landscape)
        s += "\\lndscpsxn";
    return s + "\n";
}

QByteArray TfrxRTFExport::cellDefinition(const GridCell& cell, bool first, bool last,
                                         double rightPx) {
    QByteArray d;
    if (cell.RowSpan > 1)
        d += first ? "\\clvmgf" : "\\clvmrg";
    if (cell.Item)
        d += verticalAlignment(cell.Item->VAlignment);
    const FrameSpec& f = cell.Frame;
    const std::pair<std::uint8_t, const char*> sides[] = {{ftTop, "\\clbrdrt"},
                                                          {ftLeft, "\\clbrdrl"},
                                                          {ftBottom, "\\clbrdrb"},
                                                          {ftRight, "\\clbrdrr"}};
    for (const auto& [side, word] : sides) {
        if (!(f.Typ & side) || (side == ftTop && !first) || (side == ftBottom && !last))
            continue;
        d += QByteArray(word) + borderStyle(f.Style) + "\\brdrw" +
             num(std::clamp(twips(f.Width), 1, 75)) + "\\brdrcf" + num(colorIndex(f.Color));
    }
    if (FBackground && cell.Fill != kColorNone)
        d += "\\clcbpat" + num(colorIndex(cell.Fill));
    return d + "\\cellx" + num(twips(rightPx - FLeftMarginPx)) + "\n";
}

QByteArray TfrxRTFExport::cellContent(const GridCell& cell) {
    QByteArray c = "\\pard\\intbl";
    const PreparedItem* it = cell.IsFiller ? nullptr : cell.Item;
    if (!it)
        return c + "\\cell\n";
    if (IsPictureItem(*it)) {
        if (!FExportPictures)
            return c + "\\cell\n";
        const QByteArray png = ItemPicturePng(*it, 2);
        return c + "\\qc{\\pict\\pngblip\\picw" + num(int(std::lround(it->W))) + "\\pich" +
               num(int(std::lround(it->H))) + "\\picwgoal" + num(twips(it->W)) + "\\pichgoal" +
               num(twips(it->H)) + "\n" + png.toHex() + "}\\cell\n";
    }
    const FontSpec& font = it->Font;
    c += alignment(it->HAlignment);
    // Outside a group, so that the cell's end mark has the text's size and cannot make the row
    // taller than the text.
    c += "\\plain\\f" + num(fontIndex(font.Name)) + "\\fs" + num(int(std::lround(font.Size * 2)));
    if (font.Style & fsBold)
        c += "\\b";
    if (font.Style & fsItalic)
        c += "\\i";
    if (font.Style & fsUnderline)
        c += "\\ul";
    if (font.Style & fsStrikeOut)
        c += "\\strike";
    c += "\\cf" + num(colorIndex(font.Color)) + " " + EscapeText(CellText(cell)) + "\\cell\n";
    return c;
}

QByteArray TfrxRTFExport::table(const ExportGrid& grid) {
    QByteArray out = spacer(grid.RowY.empty() ? 0 : grid.RowY[0] - FTopPx);
    const int cols = grid.ColCount();
    std::vector<const GridCell*> above(std::size_t(std::max(cols, 0)), nullptr);
    const std::vector<bool> inUse = grid.RowsInUse();
    int lastUsed = int(inUse.size()) - 1;
    while (lastUsed >= 0 && !inUse[std::size_t(lastUsed)])
        --lastUsed;
    double gap = 0;  // rows without cells, written as one spacer
    for (GridRowCursor cursor(grid); !cursor.AtEnd(); cursor.Next()) {
        const int r = cursor.Row();
        if (!inUse[std::size_t(r)]) {
            gap += grid.RowHeight(r);
            continue;
        }
        out += spacer(gap);
        gap = 0;
        const int height =
            std::max(1, twips(grid.RowHeight(r)) - (r == lastUsed ? FTrailerDeficit : 0));
        QByteArray defs = "\\trowd\\trgaph0\\trpaddl30\\trpaddr30\\trpaddfl3\\trpaddfr3\\trleft" +
                          num(twips(grid.ColX[0] - FLeftMarginPx)) + "\\trrh" +
                          num(FWysiwyg ? -height : height);
        if (FAutoSize)
            defs += "\\trautofit1";
        defs += "\n";
        QByteArray cells;
        for (int c = 0; c < cols;) {
            const GridCell* start = cursor.StartAt(c);
            const GridCell* cover = start ? nullptr : above[std::size_t(c)];
            if (start || (cover && cursor.Covered(c))) {
                const GridCell& cell = start ? *start : *cover;
                const bool last = cell.Row + cell.RowSpan - 1 == r;
                const int end = cell.Col + cell.ColSpan;
                defs += cellDefinition(cell, start != nullptr, last, grid.ColX[std::size_t(end)]);
                cells += start ? cellContent(cell) : QByteArray("\\pard\\intbl\\cell\n");
                for (int k = cell.Col; k < end; ++k)
                    above[std::size_t(k)] = last ? nullptr : &cell;
                c = end;
                continue;
            }
            int end = c + 1;
            while (end < cols && !cursor.StartAt(end) &&
                   !(above[std::size_t(end)] && cursor.Covered(end)))
                ++end;
            defs += "\\cellx" + num(twips(grid.ColX[std::size_t(end)] - FLeftMarginPx)) + "\n";
            cells += "\\pard\\intbl\\cell\n";
            c = end;
        }
        out += defs + cells + "\\row\n";
    }
    return out + "\\pard\\plain\\fs2\\sl-" + num(kTrailerTwips) + "\\slmult0\\par\n";
}

bool TfrxRTFExport::ExportPage(const PreparedPage& page, int, int ordinal) {
    FLeftMarginPx = page.LeftMargin * kPixelsPerMm;
    GridOptions options;
    options.Background = FBackground;
    const ExportGrid grid = BuildExportGrid(page, options);
    QByteArray bytes = section(page, grid, ordinal);  // sets the margins table() uses
    QByteArray body = table(grid);
    if (ordinal > 0 && FExportPageBreaks) {
        // LibreOffice keeps a table that follows a page-breaking section on the page before; a
        // page break before the page's first paragraph holds in every reader.
        const qsizetype first = body.indexOf("\\pard");
        if (first >= 0)
            body.insert(first + 5, "\\pagebb");
    }
    bytes += body;
    if (FBody->write(bytes) != bytes.size())
        return SetError(tr("Cannot write a temporary file: %1").arg(FBody->errorString()));
    return true;
}

QByteArray TfrxRTFExport::header() const {
    QByteArray h = "{\\rtf1\\ansi\\ansicpg1251\\deff0\\deflang1049\\uc1\n{\\fonttbl";
    const QStringList fonts = FFonts.isEmpty() ? QStringList{QStringLiteral("Arial")} : FFonts;
    for (qsizetype i = 0; i < fonts.size(); ++i)
        h += "{\\f" + num(int(i)) + "\\fnil\\fcharset204 " + EscapeText(fonts[i]) + ";}";
    h += "}\n{\\colortbl;";
    for (const std::int32_t value : FColors) {
        const QColor c = ColorFromInt(value);
        h += "\\red" + num(c.red()) + "\\green" + num(c.green()) + "\\blue" + num(c.blue()) + ";";
    }
    h += "}\n{\\*\\generator " + EscapeText(FCreator) + ";}\n";
    return h;
}

bool TfrxRTFExport::Finish(bool ok) {
    std::unique_ptr<QTemporaryFile> body = std::move(FBody);
    if (!ok)
        return false;
    QFile out(StagingPath());
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(header()) < 0)
        return SetError(QStringLiteral("%1: %2").arg(TargetPath(), out.errorString()));
    body->seek(0);
    while (!body->atEnd()) {
        const QByteArray chunk = body->read(1 << 20);
        if (out.write(chunk) != chunk.size())
            return SetError(QStringLiteral("%1: %2").arg(TargetPath(), out.errorString()));
    }
    if (out.write("}\n") != 2 || !out.flush())
        return SetError(QStringLiteral("%1: %2").arg(TargetPath(), out.errorString()));
    return true;
}

}  // namespace reportengine
