#include "reportengine/export/ExportGrid.h"

#include "reportengine/render/Colors.h"
#include "reportengine/render/PageRenderer.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace reportengine {

namespace {

bool hasArea(const PreparedItem& it) {
    return it.W > 0 && it.H > 0;
}

bool isBackground(const PreparedItem& it) {
    return it.Kind == ItemKind::Rect;
}

// Horizontal and vertical lines become cell sides; slanted ones have no place in a table.
bool isStraightLine(const PreparedItem& it) {
    const bool flat = std::abs(it.H) <= 0.5, upright = std::abs(it.W) <= 0.5;
    return it.Kind == ItemKind::Line && flat != upright;
}

// Sorted edges, each run of edges closer than tolerance to the run's first reduced to that one.
std::vector<double> boundaries(std::vector<double> edges, double tolerance) {
    std::sort(edges.begin(), edges.end());
    std::vector<double> out;
    for (double e : edges)
        if (out.empty() || e - out.back() > tolerance)
            out.push_back(e);
    return out;
}

// Index of the boundary nearest to v.
int nearest(const std::vector<double>& b, double v) {
    const auto it = std::lower_bound(b.begin(), b.end(), v);
    if (it == b.end())
        return int(b.size()) - 1;
    if (it != b.begin() && v - *std::prev(it) < *it - v)
        return int(it - b.begin()) - 1;
    return int(it - b.begin());
}

struct Span {
    int R0, R1, C0, C1;  // half-open
};

// The boundaries an item's rectangle covers; never empty when the grid has a row and a column.
Span spanOf(const PreparedItem& it, const ExportGrid& g) {
    Span s{nearest(g.RowY, it.Y), nearest(g.RowY, it.Y + it.H), nearest(g.ColX, it.X),
           nearest(g.ColX, it.X + it.W)};
    if (s.R1 <= s.R0)
        s.R1 = std::min(s.R0 + 1, g.RowCount()), s.R0 = s.R1 - 1;
    if (s.C1 <= s.C0)
        s.C1 = std::min(s.C0 + 1, g.ColCount()), s.C0 = s.C1 - 1;
    return s;
}

class GridBuilder {
public:
    GridBuilder(const std::vector<const PreparedItem*>& items,
                const std::vector<const PreparedItem*>& lines, const GridOptions& o)
        : FItems(items), FLines(lines), FOptions(o) {}

    ExportGrid Build() {
        std::vector<double> xs, ys;
        for (const PreparedItem* it : FItems) {
            xs.push_back(it->X), xs.push_back(it->X + it->W);
            ys.push_back(it->Y), ys.push_back(it->Y + it->H);
        }
        for (const PreparedItem* line : FLines) {  // a flat line adds its ends and its level
            const bool flat = std::abs(line->H) <= 0.5;
            (flat ? xs : ys).push_back(flat ? line->X : line->Y);
            (flat ? xs : ys).push_back(flat ? line->X + line->W : line->Y + line->H);
            (flat ? ys : xs).push_back(flat ? line->Y : line->X);
        }
        FGrid.ColX = boundaries(std::move(xs), FOptions.Tolerance);
        FGrid.RowY = boundaries(std::move(ys), FOptions.Tolerance);
        if (FGrid.ColCount() < 1 || FGrid.RowCount() < 1)
            return {};
        FOcc.assign(std::size_t(FGrid.RowCount()) * std::size_t(FGrid.ColCount()), -1);
        for (const PreparedItem* it : FItems)
            if (!isBackground(*it))
                placeContent(*it);
        for (const PreparedItem* it : FItems)
            if (isBackground(*it))
                placeBackground(*it);
        for (const PreparedItem* line : FLines)
            placeLine(*line);
        std::sort(FGrid.Cells.begin(), FGrid.Cells.end(), [](const GridCell& a, const GridCell& b) {
            return std::tie(a.Row, a.Col) < std::tie(b.Row, b.Col);
        });
        return std::move(FGrid);
    }

private:
    int& occ(int r, int c) { return FOcc[std::size_t(r) * std::size_t(FGrid.ColCount()) + c]; }

    void placeContent(const PreparedItem& it) {
        const Span s = spanOf(it, FGrid);
        for (int r = s.R0; r < s.R1; ++r)
            for (int c = s.C0; c < s.C1; ++c)
                if (occ(r, c) >= 0) {
                    FGrid.Cells[std::size_t(occ(r, c))].Merged.push_back(&it);
                    return;
                }
        GridCell cell;
        cell.Row = s.R0, cell.Col = s.C0, cell.RowSpan = s.R1 - s.R0, cell.ColSpan = s.C1 - s.C0;
        cell.Item = &it;
        cell.Fill = it.FillColor;
        cell.Frame = it.Frame;
        mark(s, int(FGrid.Cells.size()));
        FGrid.Cells.push_back(std::move(cell));
    }

    void mark(const Span& s, int index) {
        for (int r = s.R0; r < s.R1; ++r)
            for (int c = s.C0; c < s.C1; ++c)
                occ(r, c) = index;
    }

    // The frame sides of the rectangle's edges that the position (r, c) lies on.
    static std::uint8_t edgeSides(const PreparedItem& rect, const Span& s, int r, int c) {
        std::uint8_t sides = 0;
        if (c == s.C0)
            sides |= ftLeft;
        if (c == s.C1 - 1)
            sides |= ftRight;
        if (r == s.R0)
            sides |= ftTop;
        if (r == s.R1 - 1)
            sides |= ftBottom;
        return sides & rect.Frame.Typ;
    }

    void placeBackground(const PreparedItem& rect) {
        const bool fill = FOptions.Background && rect.FillColor != kColorNone;
        if (!fill && rect.Frame.Typ == 0)
            return;
        const Span s = spanOf(rect, FGrid);
        for (int r = s.R0; r < s.R1; ++r)
            for (int c = s.C0; c < s.C1; ++c) {
                const std::uint8_t sides = edgeSides(rect, s, r, c);
                if (occ(r, c) < 0 && !fill && sides == 0)
                    continue;
                GridCell& cell = cellAt(r, c, rect);
                if (fill && cell.Fill == kColorNone)
                    cell.Fill = rect.FillColor;
                addSides(cell, rect.Frame, sides);
            }
    }

    // The cell at (r, c); a filler cell made of `source` when the position is free.
    GridCell& cellAt(int r, int c, const PreparedItem& source) {
        if (occ(r, c) < 0) {
            GridCell filler;
            filler.Row = r, filler.Col = c;
            filler.Item = &source;
            filler.IsFiller = true;
            occ(r, c) = int(FGrid.Cells.size());
            FGrid.Cells.push_back(std::move(filler));
        }
        return FGrid.Cells[std::size_t(occ(r, c))];
    }

    // The line becomes the side of the cells along it: for a flat line at row boundary b, the
    // top side of the cell that starts below it, else the bottom side of the one that ends
    // above it, else of a filler cell below (above on the last boundary). Upright lines alike,
    // with columns. A merged cell the line crosses keeps its sides.
    void placeLine(const PreparedItem& line) {
        const bool flat = std::abs(line.H) <= 0.5;
        const std::vector<double>& across = flat ? FGrid.RowY : FGrid.ColX;
        const std::vector<double>& along = flat ? FGrid.ColX : FGrid.RowY;
        const int count = flat ? FGrid.RowCount() : FGrid.ColCount();
        const double from =
            flat ? std::min(line.X, line.X + line.W) : std::min(line.Y, line.Y + line.H);
        const double to =
            flat ? std::max(line.X, line.X + line.W) : std::max(line.Y, line.Y + line.H);
        const int b = nearest(across, flat ? line.Y : line.X);
        const std::uint8_t before = flat ? ftTop : ftLeft, after = flat ? ftBottom : ftRight;
        FrameSpec pen = line.Frame;
        pen.Typ = 0;
        for (int k = nearest(along, from); k < nearest(along, to); ++k) {
            const auto at = [&](int i) -> int& { return flat ? occ(i, k) : occ(k, i); };
            if (b < count && at(b) >= 0) {
                GridCell& cell = FGrid.Cells[std::size_t(at(b))];
                if ((flat ? cell.Row : cell.Col) == b)
                    addSides(cell, pen, before);
            } else if (b > 0 && at(b - 1) >= 0) {
                GridCell& cell = FGrid.Cells[std::size_t(at(b - 1))];
                if ((flat ? cell.Row + cell.RowSpan : cell.Col + cell.ColSpan) == b)
                    addSides(cell, pen, after);
            } else {
                const int i = b < count ? b : b - 1;
                addSides(flat ? cellAt(i, k, line) : cellAt(k, i, line), pen,
                         b < count ? before : after);
            }
        }
    }

    static void addSides(GridCell& cell, const FrameSpec& frame, std::uint8_t sides) {
        if (!sides)
            return;
        if (cell.Frame.Typ == 0) {
            cell.Frame = frame;
            cell.Frame.Typ = 0;
        }
        cell.Frame.Typ |= sides;
    }

    const std::vector<const PreparedItem*>& FItems;
    const std::vector<const PreparedItem*>& FLines;
    const GridOptions& FOptions;
    ExportGrid FGrid;
    std::vector<int> FOcc;  // cell index per position, -1 free
};

ExportGrid buildGrid(const std::vector<const PreparedPage*>& pages, const GridOptions& o) {
    std::vector<const PreparedItem*> items, lines;
    for (const PreparedPage* page : pages)
        for (const PreparedItem& it : page->Items) {
            if (isStraightLine(it))
                lines.push_back(&it);
            else if (it.Kind != ItemKind::Line && hasArea(it) &&
                     (o.Background || !isBackground(it)))
                items.push_back(&it);
        }
    return GridBuilder(items, lines, o).Build();
}

// Control characters other than tab and line breaks (data from the database may hold any) would
// make the XML formats unreadable; they become U+FFFD, as in .fp3 files.
QString linesText(const PreparedItem& it) {
    QString out;
    for (std::size_t i = 0; i < it.Lines.size(); ++i) {
        if (i)
            out += u'\n';
        out += it.Lines[i].Text;
    }
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF)
            c = QChar(0xFFFD);
    }
    return out;
}

}  // namespace

std::vector<bool> ExportGrid::RowsInUse() const {
    std::vector<bool> used(std::size_t(std::max(RowCount(), 0)), false);
    for (const GridCell& c : Cells)
        for (int r = c.Row; r < c.Row + c.RowSpan; ++r)
            used[std::size_t(r)] = true;
    return used;
}

ExportGrid BuildExportGrid(const PreparedPage& page, const GridOptions& options) {
    return buildGrid({&page}, options);
}

// --- GridRowCursor -------------------------------------------------------------------------

GridRowCursor::GridRowCursor(const ExportGrid& grid)
    : FGrid(grid),
      FCoverEnd(std::size_t(std::max(grid.ColCount(), 0)), -1),
      FStart(FCoverEnd.size(), nullptr),
      FCovered(FCoverEnd.size(), false) {
    load();
}

void GridRowCursor::Next() {
    for (const GridCell* c : FStart)
        if (c)
            for (int col = c->Col; col < c->Col + c->ColSpan; ++col)
                FCoverEnd[std::size_t(col)] =
                    std::max(FCoverEnd[std::size_t(col)], c->Row + c->RowSpan - 1);
    ++FRow;
    load();
}

void GridRowCursor::load() {
    std::fill(FStart.begin(), FStart.end(), nullptr);
    for (std::size_t c = 0; c < FCovered.size(); ++c)
        FCovered[c] = FCoverEnd[c] >= FRow;
    for (; FNext < FGrid.Cells.size() && FGrid.Cells[FNext].Row == FRow; ++FNext) {
        const GridCell& cell = FGrid.Cells[FNext];
        FStart[std::size_t(cell.Col)] = &cell;
        for (int col = cell.Col + 1; col < cell.Col + cell.ColSpan; ++col)
            FCovered[std::size_t(col)] = true;
    }
}

// --- ExportSheet ---------------------------------------------------------------------------

ExportSheet::ExportSheet(GridOptions options) : FOptions(options) {}
ExportSheet::~ExportSheet() = default;

void ExportSheet::AddPage(const PreparedPage& page) {
    auto copy = std::make_unique<PreparedPage>(page);
    double top = 0, bottom = 0;
    bool any = false;
    for (const PreparedItem& it : copy->Items) {
        const double y0 = std::min(it.Y, it.Y + it.H), y1 = std::max(it.Y, it.Y + it.H);
        top = any ? std::min(top, y0) : y0;
        bottom = any ? std::max(bottom, y1) : y1;
        any = true;
    }
    const double shift = FNextY - top;
    for (PreparedItem& it : copy->Items)
        it.Y += shift;
    FPageTops.push_back(FNextY);
    FNextY += bottom - top;
    FPages.push_back(std::move(copy));
}

ExportGrid ExportSheet::Build() const {
    std::vector<const PreparedPage*> pages;
    for (const auto& p : FPages)
        pages.push_back(p.get());
    ExportGrid grid = buildGrid(pages, FOptions);
    if (grid.RowCount() < 1)
        return grid;
    for (std::size_t i = 1; i < FPageTops.size(); ++i) {
        const int row = nearest(grid.RowY, FPageTops[i]);
        if (row > 0 && row < grid.RowCount() &&
            (grid.PageBreaks.empty() || grid.PageBreaks.back() < row))
            grid.PageBreaks.push_back(row);
    }
    return grid;
}

// --- cell contents -------------------------------------------------------------------------

QString CellText(const GridCell& cell) {
    if (!cell.Item || cell.IsFiller)
        return {};
    QString out = linesText(*cell.Item);
    for (const PreparedItem* extra : cell.Merged) {
        const QString more = linesText(*extra);
        if (more.isEmpty())
            continue;
        if (!out.isEmpty())
            out += u'\n';
        out += more;
    }
    return out;
}

CellValue CellValueOf(const GridCell& cell) {
    CellValue v;
    v.Text = CellText(cell);
    const PreparedItem* it = cell.Item;
    if (it && !cell.IsFiller && cell.Merged.empty() && it->Kind == ItemKind::Text &&
        it->ValueKind != ItemValueKind::None && std::isfinite(it->Value)) {
        v.Kind = it->ValueKind;
        v.Value = it->Value;
    }
    return v;
}

namespace {

QString numberFormat(const QString& f) {
    static const QRegularExpression printfLike(
        QStringLiteral("%-?(\\d*)(?:\\.(\\d+))?([dDeEfFgGnNmM])"));
    const QRegularExpressionMatch m = printfLike.match(f);
    if (!m.hasMatch())
        return f.trimmed();  // a picture such as "#,##0.00" reads the same in spreadsheets
    const QChar kind = m.captured(3).at(0).toLower();
    int decimals = m.captured(2).isEmpty() ? (kind == u'd' ? 0 : 2) : m.captured(2).toInt();
    decimals = std::clamp(decimals, 0, 15);
    const QString frac = decimals ? "." + QString(decimals, u'0') : QString();
    if (kind == u'g')
        return {};
    if (kind == u'e')
        return "0" + frac + "E+00";
    if (kind == u'f' || kind == u'd')
        return "0" + frac;
    return "#,##0" + frac;  // n, m
}

QString dateFormat(QString f) {
    f = f.trimmed();
    if (f.isEmpty() || f == u"ddddd" || f == u"c")
        return f == u"c" ? QStringLiteral("dd.mm.yyyy hh:mm:ss") : QStringLiteral("dd.mm.yyyy");
    f.replace(QStringLiteral("nn"), QStringLiteral("mm"));
    f.replace(QStringLiteral("ampm"), QStringLiteral("AM/PM"), Qt::CaseInsensitive);
    return f;
}

}  // namespace

QString SpreadsheetNumberFormat(const PreparedItem& item) {
    switch (item.ValueKind) {
        case ItemValueKind::Number:
            return numberFormat(item.ValueFormat);
        case ItemValueKind::Date:
            return dateFormat(item.ValueFormat);
        case ItemValueKind::None:
            break;
    }
    return {};
}

bool IsPictureItem(const PreparedItem& item) {
    return item.Kind != ItemKind::Text && item.Kind != ItemKind::Rect &&
           item.Kind != ItemKind::Line;
}

QByteArray ItemPicturePng(const PreparedItem& item, double scale) {
    const int w = std::max(1, int(std::ceil(item.W * scale)));
    const int h = std::max(1, int(std::ceil(item.H * scale)));
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        p.translate(-item.X, -item.Y);
        RenderItem(p, item);
    }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

QString HtmlColor(std::int32_t color) {
    if (color == kColorNone)
        return {};
    const QColor c = ColorFromInt(color);
    return c.isValid() && c.alpha() > 0 ? c.name(QColor::HexRgb).toUpper() : QString();
}

QString FrameBorderText(const FrameSpec& frame, FrameSide side, const QString& width) {
    if (!(frame.Typ & side))
        return QStringLiteral("none");
    const char* style = frame.Style == FrameStyle::Double  ? "double"
                        : frame.Style == FrameStyle::Solid ? "solid"
                        : frame.Style == FrameStyle::Dot   ? "dotted"
                                                           : "dashed";
    const QString color = HtmlColor(frame.Color);
    return QStringLiteral("%1 %2 %3")
        .arg(width, QLatin1String(style), color.isEmpty() ? QStringLiteral("#000000") : color);
}

}  // namespace reportengine
