// The shared export grid: boundaries from item edges, merged cells, collisions, backgrounds,
// pages stacked into one sheet, and the typed values and number formats the spreadsheets use.
#include "reportengine/export/ExportGrid.h"
#include "reportengine/export/SheetExport.h"

#include <gtest/gtest.h>

#include "ExportSamples.h"

using namespace reportengine;
using exportsamples::text;

namespace {

struct Box {
    double x, y, w, h;
};

PreparedPage pageOf(std::initializer_list<Box> boxes) {
    PreparedPage page;
    int n = 0;
    for (const Box& b : boxes)
        page.Items.push_back(text(b.x, b.y, b.w, b.h, QString::number(++n)));
    return page;
}

// "row,col,rowspan,colspan" of each cell, in grid order.
std::vector<QString> layout(const ExportGrid& g) {
    std::vector<QString> out;
    for (const GridCell& c : g.Cells)
        out.push_back(QStringLiteral("%1:%2,%3,%4,%5")
                          .arg(CellText(c))
                          .arg(c.Row)
                          .arg(c.Col)
                          .arg(c.RowSpan)
                          .arg(c.ColSpan));
    return out;
}

}  // namespace

TEST(ExportGrid, LayoutsBecomeRowsColumnsAndSpans) {
    struct Case {
        const char* name;
        PreparedPage page;
        int cols, rows;
        std::vector<QString> cells;
    };
    const Case cases[] = {
        {"adjacent items share their edge",
         pageOf({{0, 0, 50, 20}, {50, 0, 50, 20}}),
         2,
         1,
         {"1:0,0,1,1", "2:0,1,1,1"}},
        {"edges 1.5 px apart are one boundary",
         pageOf({{0, 0, 50, 20}, {51.5, 0, 48.5, 20}, {0, 21, 100, 20}}),
         2,
         2,
         {"1:0,0,1,1", "2:0,1,1,1", "3:1,0,1,2"}},
        {"a gap wider than the tolerance is a column",
         pageOf({{0, 0, 50, 20}, {55, 0, 45, 20}}),
         3,
         1,
         {"1:0,0,1,1", "2:0,2,1,1"}},
        {"a wide item spans the columns above it",
         pageOf({{0, 0, 30, 10}, {30, 0, 30, 10}, {60, 0, 40, 10}, {0, 10, 100, 10}}),
         3,
         2,
         {"1:0,0,1,1", "2:0,1,1,1", "3:0,2,1,1", "4:1,0,1,3"}},
        {"a tall item spans rows",
         pageOf({{0, 0, 40, 40}, {40, 0, 60, 20}, {40, 20, 60, 20}}),
         2,
         2,
         {"1:0,0,2,1", "2:0,1,1,1", "3:1,1,1,1"}},
        {"an overlapping item joins the cell it runs into",
         pageOf({{0, 0, 100, 20}, {50, 5, 50, 10}}),
         2,
         3,
         {"1\n2:0,0,3,2"}},
    };
    for (const Case& c : cases) {
        const ExportGrid g = BuildExportGrid(c.page);
        EXPECT_EQ(g.ColCount(), c.cols) << c.name;
        EXPECT_EQ(g.RowCount(), c.rows) << c.name;
        EXPECT_EQ(layout(g), c.cells) << c.name;
    }
}

TEST(ExportGrid, BackgroundRectangleFillsAndFrames) {
    PreparedPage page = pageOf({{10, 10, 40, 20}});
    PreparedItem band;
    band.Kind = ItemKind::Rect;
    band.X = 10, band.Y = 10, band.W = 90, band.H = 20;
    band.FillColor = 0x00E0FFFF;
    band.Frame = FrameSpec{ftTop | ftBottom, 1, 0x000000FF, FrameStyle::Solid};
    page.Items.insert(page.Items.begin(), band);  // drawn first, under the text

    const ExportGrid g = BuildExportGrid(page);
    ASSERT_EQ(g.Cells.size(), 2u);
    EXPECT_EQ(CellText(g.Cells[0]), "1");
    EXPECT_EQ(g.Cells[0].Fill, 0x00E0FFFF) << "the text has no fill of its own";
    EXPECT_EQ(g.Cells[0].Frame.Typ, ftTop | ftBottom);
    EXPECT_TRUE(g.Cells[1].IsFiller);
    EXPECT_EQ(g.Cells[1].Fill, 0x00E0FFFF);
    EXPECT_EQ(CellText(g.Cells[1]), "");

    GridOptions noBackground;
    noBackground.Background = false;
    const ExportGrid bare = BuildExportGrid(page, noBackground);
    ASSERT_EQ(bare.Cells.size(), 1u);
    EXPECT_EQ(bare.Cells[0].Fill, kColorNone);
}

TEST(ExportGrid, StraightLinesBecomeCellSides) {
    PreparedPage page = pageOf({{0, 0, 50, 20}, {50, 0, 50, 20}});
    const auto line = [&](double x, double y, double w, double h) {
        PreparedItem it;
        it.Kind = ItemKind::Line;
        it.X = x, it.Y = y, it.W = w, it.H = h;
        it.Frame = FrameSpec{0, 2, 0x000000FF, FrameStyle::Dash};
        page.Items.push_back(it);
    };
    line(100, 20, -100, 0);  // under both texts, drawn right to left
    line(0, 40, 100, 0);     // under nothing: filler cells carry it
    line(50, 20, 0, 20);     // between the two fillers
    line(0, 0, 100, 40);     // slanted: left out

    const ExportGrid g = BuildExportGrid(page);
    ASSERT_EQ(g.RowCount(), 2);
    ASSERT_EQ(g.ColCount(), 2);
    ASSERT_EQ(g.Cells.size(), 4u);
    for (int i : {0, 1}) {
        EXPECT_EQ(g.Cells[i].Frame.Typ, ftBottom) << i;
        EXPECT_EQ(g.Cells[i].Frame.Style, FrameStyle::Dash);
        EXPECT_EQ(g.Cells[i].Frame.Color, 0x000000FF);
        EXPECT_TRUE(g.Cells[i + 2].IsFiller);
    }
    EXPECT_EQ(g.Cells[2].Frame.Typ, ftBottom);
    EXPECT_EQ(g.Cells[3].Frame.Typ, ftBottom | ftLeft);
}

TEST(ExportGrid, SheetStacksPagesOnSharedColumns) {
    ExportSheet sheet;
    for (const PreparedPage& p : exportsamples::eventReport())
        sheet.AddPage(p);
    const ExportGrid g = sheet.Build();
    EXPECT_EQ(g.ColCount(), 3);
    // Page 1: title, gap, header, two rows; page 2 the same plus the total.
    EXPECT_EQ(g.RowCount(), 11);
    EXPECT_EQ(g.PageBreaks, std::vector<int>{5});
    EXPECT_DOUBLE_EQ(g.RowY.front(), 0);
    EXPECT_DOUBLE_EQ(g.RowY[5], 90) << "page 2 follows page 1's content, no margins between";

    const SheetRows dense = LayOutSheetRows(g, false, true);
    EXPECT_EQ(dense.Count, 9) << "the two gap rows dropped";
    EXPECT_EQ(dense.Breaks, std::vector<int>{4});

    int numbers = 0, dates = 0;
    for (const GridCell& c : g.Cells) {
        const CellValue v = CellValueOf(c);
        numbers += v.Kind == ItemValueKind::Number;
        dates += v.Kind == ItemValueKind::Date;
        if (v.Kind == ItemValueKind::Date) {
            EXPECT_EQ(SheetStyleOf(c).NumberFormat, "dd.mm.yyyy");
        }
        if (v.Text == u"Итого:") {
            EXPECT_EQ(c.ColSpan, 2);
        }
    }
    EXPECT_EQ(numbers, 5);
    EXPECT_EQ(dates, 4);
}

TEST(ExportGrid, DisplayFormatsBecomeSpreadsheetCodes) {
    struct Case {
        ItemValueKind kind;
        const char* format;
        const char* code;
    };
    const Case cases[] = {
        {ItemValueKind::Number, "%2.2n", "#,##0.00"},
        {ItemValueKind::Number, "%.3f", "0.000"},
        {ItemValueKind::Number, "%d", "0"},
        {ItemValueKind::Number, "%g", ""},
        {ItemValueKind::Number, "%2.1e", "0.0E+00"},
        {ItemValueKind::Number, "#,##0.0", "#,##0.0"},
        {ItemValueKind::Date, "dd.mm.yyyy", "dd.mm.yyyy"},
        {ItemValueKind::Date, "dd.mm.yyyy hh:nn", "dd.mm.yyyy hh:mm"},
        {ItemValueKind::Date, "", "dd.mm.yyyy"},
        {ItemValueKind::None, "%2.2n", ""},
    };
    for (const Case& c : cases) {
        PreparedItem it;
        it.ValueKind = c.kind;
        it.ValueFormat = c.format;
        EXPECT_EQ(SpreadsheetNumberFormat(it), c.code) << c.format;
    }
}
