#include "reportengine/export/CharGrid.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace reportengine {

namespace {

enum Direction : std::uint8_t { dUp = 1, dDown = 2, dLeft = 4, dRight = 8 };

// Prepared pages may come from a file: a position that is not a number or far off the paper
// must not turn into a huge grid.
constexpr double kMaxCells = 8192;

int cellIndex(double v) {
    return std::isfinite(v) ? int(std::clamp(v, 0.0, kMaxCells)) : 0;
}

double emPx(const FontSpec& font) {
    return font.Size * 96.0 / 72.0;
}

QChar frameGlyph(std::uint8_t mask) {
    const bool vertical = mask & (dUp | dDown), horizontal = mask & (dLeft | dRight);
    if (!vertical)
        return QChar(0x2500);  // ─
    if (!horizontal)
        return QChar(0x2502);  // │
    // Rows: up only, down only, both; columns: left only, right only, both.
    static const char16_t corners[3][3] = {
        {0x2518, 0x2514, 0x2534},  // ┘ └ ┴
        {0x2510, 0x250C, 0x252C},  // ┐ ┌ ┬
        {0x2524, 0x251C, 0x253C},  // ┤ ├ ┼
    };
    const int v = (mask & (dUp | dDown)) == (dUp | dDown) ? 2 : (mask & dDown) ? 1 : 0;
    const int h = (mask & (dLeft | dRight)) == (dLeft | dRight) ? 2 : (mask & dRight) ? 1 : 0;
    return QChar(corners[v][h]);
}

QString printable(QString text) {
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    return text;
}

QString trimmedEnd(QString text) {
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

template <typename T>
T& cellAt(std::vector<std::vector<T>>& grid, int row, int col) {
    if (grid.size() <= std::size_t(row))
        grid.resize(std::size_t(row) + 1);
    auto& line = grid[std::size_t(row)];
    if (line.size() <= std::size_t(col))
        line.resize(std::size_t(col) + 1);
    return line[std::size_t(col)];
}

}  // namespace

CharCellSize CellSizeFromText(const PreparedPage& page) {
    double width = 0;
    qsizetype chars = 0;
    std::map<double, qsizetype> bySize;
    for (const PreparedItem& item : page.Items) {
        if (item.Kind != ItemKind::Text)
            continue;
        for (const TextLine& line : item.Lines) {
            // Width covers leading blanks but not trailing ones.
            qsizetype n = line.Text.size();
            while (n > 0 && line.Text[n - 1].isSpace())
                --n;
            if (n == 0 || !(line.Width > 0))
                continue;
            width += line.Width;
            chars += n;
            bySize[item.Font.Size] += n;
        }
    }
    CharCellSize cell;
    if (chars == 0)
        return cell;
    // Tiny cells would only spread the text over absurdly wide rows.
    cell.Width = std::max(width / double(chars), 2.0);
    const auto most =
        std::max_element(bySize.begin(), bySize.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    cell.Height = std::max(most->first * 96.0 / 72.0 * 1.15, 4.0);
    if (!std::isfinite(cell.Width) || !std::isfinite(cell.Height))
        return CharCellSize{};
    return cell;
}

CharGrid::CharGrid(const PreparedPage& page, CharCellSize cell, FrameGlyphs frames)
    : FCell(cell), FFrames(frames) {
    if (FFrames != FrameGlyphs::None)
        collectFrames(page);
    placeText(collectText(page));
    compose();
}

QString CharGrid::RowText(int row) const {
    QString out;
    for (const CharGridCell& c : Row(row))
        out += c.Char;
    return out;
}

// With frames the grid has twice the rows: frames on even rows, text on odd ones.
int CharGrid::textRow(double middle) const {
    const int row = cellIndex(std::floor(middle / FCell.Height));
    return FFrames == FrameGlyphs::None ? row : 2 * row + 1;
}

int CharGrid::frameRow(double y) const {
    return 2 * cellIndex(std::round(y / FCell.Height));
}

int CharGrid::column(double x) const {
    return cellIndex(std::round(x / FCell.Width));
}

void CharGrid::addHorizontal(double y, double x1, double x2) {
    const int row = frameRow(y);
    const int c1 = column(std::min(x1, x2)), c2 = column(std::max(x1, x2));
    for (int c = c1; c <= c2; ++c)
        cellAt(FMasks, row, c) |=
            (c > c1 || c1 == c2 ? dLeft : 0) | (c < c2 || c1 == c2 ? dRight : 0);
}

void CharGrid::addVertical(double x, double y1, double y2) {
    const int col = column(x);
    const int r1 = frameRow(std::min(y1, y2)), r2 = frameRow(std::max(y1, y2));
    for (int r = r1; r < r2 || (r == r2 && r1 != r2); ++r)
        cellAt(FMasks, r, col) |= (r > r1 ? dUp : 0) | (r < r2 ? dDown : 0);
    if (r1 != r2)
        cellAt(FMasks, r2, col) |= dUp;
}

void CharGrid::collectFrames(const PreparedPage& page) {
    for (const PreparedItem& it : page.Items) {
        if (it.Kind == ItemKind::Line) {
            if (std::abs(it.H) < 1)
                addHorizontal(it.Y, it.X, it.X + it.W);
            else if (std::abs(it.W) < 1)
                addVertical(it.X, it.Y, it.Y + it.H);
            continue;
        }
        if (it.Frame.Typ & ftTop)
            addHorizontal(it.Y, it.X, it.X + it.W);
        if (it.Frame.Typ & ftBottom)
            addHorizontal(it.Y + it.H, it.X, it.X + it.W);
        if (it.Frame.Typ & ftLeft)
            addVertical(it.X, it.Y, it.Y + it.H);
        if (it.Frame.Typ & ftRight)
            addVertical(it.X + it.W, it.Y, it.Y + it.H);
    }
}

std::vector<CharGrid::Piece> CharGrid::collectText(const PreparedPage& page) const {
    std::vector<Piece> pieces;
    for (int i = 0; i < int(page.Items.size()); ++i) {
        const PreparedItem& it = page.Items[std::size_t(i)];
        // The middle of a line sits about a third of the font's height above its baseline.
        const double lift = emPx(it.Font) * 0.35;
        if (it.Kind == ItemKind::Text || it.Kind == ItemKind::Barcode) {
            for (const TextLine& line : it.Lines)
                if (!line.Text.trimmed().isEmpty())
                    pieces.push_back({it.X + line.X, it.Y + line.Baseline - lift,
                                      printable(trimmedEnd(line.Text)), it.Font.Style, i});
        } else if (it.Kind == ItemKind::CheckBox) {
            pieces.push_back({it.X, it.Y + it.H / 2,
                              it.Checked ? QStringLiteral("[X]") : QStringLiteral("[ ]"), 0, i});
        }
    }
    return pieces;
}

void CharGrid::placeText(std::vector<Piece> pieces) {
    std::stable_sort(pieces.begin(), pieces.end(), [this](const Piece& a, const Piece& b) {
        const int ra = textRow(a.Middle), rb = textRow(b.Middle);
        return ra != rb ? ra < rb : a.X < b.X;
    });
    std::map<int, std::pair<int, int>> used;  // row -> (first free column, item placed last)
    for (const Piece& p : pieces) {
        const int row = textRow(p.Middle);
        int col = column(p.X);
        if (const auto it = used.find(row); it != used.end()) {
            const int gap = it->second.second == p.Item ? 0 : 1;
            col = std::max(col, it->second.first + gap);
        }
        while (FFrames != FrameGlyphs::None && std::size_t(row) < FMasks.size() &&
               std::size_t(col) < FMasks[std::size_t(row)].size() &&
               (FMasks[std::size_t(row)][std::size_t(col)] & (dUp | dDown)))
            ++col;
        for (qsizetype i = 0; i < p.Text.size(); ++i)
            cellAt(FText, row, col + int(i)) = Placed{p.Text[i], p.Style};
        used[row] = {col + int(p.Text.size()), p.Item};
    }
}

void CharGrid::compose() {
    const std::size_t rows = std::max(FMasks.size(), FText.size());
    FRows.assign(rows, {});
    FHasContent.assign(rows, false);
    for (std::size_t r = 0; r < rows; ++r) {
        const std::size_t textCols = r < FText.size() ? FText[r].size() : 0;
        const std::size_t maskCols = r < FMasks.size() ? FMasks[r].size() : 0;
        auto& out = FRows[r];
        out.resize(std::max(textCols, maskCols));
        for (std::size_t c = 0; c < out.size(); ++c) {
            if (c < textCols && !FText[r][c].Char.isNull()) {
                out[c] = CharGridCell{FText[r][c].Char, FText[r][c].Style};
                FHasContent[r] = true;
            } else if (c < maskCols && FMasks[r][c]) {
                out[c].Char = frameGlyph(FMasks[r][c]);
                FHasContent[r] = FHasContent[r] || (FMasks[r][c] & (dLeft | dRight));
            }
        }
        while (!out.empty() && out.back().Char == u' ')
            out.pop_back();
    }
}

}  // namespace reportengine
