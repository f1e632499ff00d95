// The character grid shared by the text-shaped exports (simple text, dot-matrix printer): a
// prepared page's text laid onto rows and columns of equal character cells, the way a terminal
// or a dot-matrix printer shows it.
//
// Each text line goes to the row that holds its vertical middle and starts at the column nearest
// its left edge. Text is never dropped: a line that would overwrite text already placed in its
// row moves right, one blank after the text before it (from another object; the lines of one
// object only need not overlap). Check boxes become "[X]" / "[ ]". Frames (object frames and
// horizontal or vertical lines) are drawn with box-drawing characters when asked for;
// they then get rows of their own between the text rows, so a frame never hides text, and a
// line that would start on a vertical frame starts one column to its right.
//
// Thread contract: plain values; build and read on one thread.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace reportengine {

struct CharCellSize {
    double Width = 7;    // px at 96 dpi
    double Height = 15;  // px at 96 dpi
};

// A cell that fits the page's own text: the average advance of its characters, and the line
// spacing of the font size most of its characters use.
CharCellSize CellSizeFromText(const PreparedPage& page);

enum class FrameGlyphs { None, Box };  // Box: the box-drawing characters (also in CP866)

struct CharGridCell {
    QChar Char = u' ';
    std::uint8_t Style = 0;  // FontStyleBit mask of the text; 0 for blanks and frames
};

class CharGrid {
public:
    CharGrid(const PreparedPage& page, CharCellSize cell, FrameGlyphs frames);

    int RowCount() const { return int(FRows.size()); }
    // The row's cells without trailing blanks (empty for an empty row).
    const std::vector<CharGridCell>& Row(int row) const { return FRows[std::size_t(row)]; }
    QString RowText(int row) const;
    // Whether the row shows text or a horizontal frame; a row crossed only by vertical frames
    // counts as empty.
    bool RowHasContent(int row) const { return FHasContent[std::size_t(row)]; }

private:
    struct Piece {
        double X, Middle;
        QString Text;
        std::uint8_t Style;
        int Item;
    };
    int textRow(double middle) const;
    int frameRow(double y) const;
    int column(double x) const;
    void addHorizontal(double y, double x1, double x2);
    void addVertical(double x, double y1, double y2);
    void collectFrames(const PreparedPage& page);
    std::vector<Piece> collectText(const PreparedPage& page) const;
    void placeText(std::vector<Piece> pieces);
    void compose();

    CharCellSize FCell;
    FrameGlyphs FFrames;
    std::vector<std::vector<std::uint8_t>> FMasks;  // frame directions per cell
    struct Placed {
        QChar Char;  // null: no text here
        std::uint8_t Style = 0;
    };
    std::vector<std::vector<Placed>> FText;
    std::vector<std::vector<CharGridCell>> FRows;  // the result
    std::vector<bool> FHasContent;
};

}  // namespace reportengine
