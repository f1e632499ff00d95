#include "reportengine/export/XlsxExport.h"

#include "reportengine/export/ExportRegistry.h"
#include "reportengine/render/Colors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <xlsxwriter.h>

#include <list>

namespace reportengine {

namespace {

constexpr int kMaxPageBreaks = 1023;  // Excel's limits per worksheet
constexpr int kMaxCellChars = 32767;

lxw_color_t rgb(std::int32_t color) {
    const QColor c = ColorFromInt(color);
    return lxw_color_t((c.red() << 16) | (c.green() << 8) | c.blue());
}

std::uint8_t borderStyle(const FrameSpec& f) {
    switch (f.Style) {
        case FrameStyle::Dash:
            return f.Width > 1.5 ? LXW_BORDER_MEDIUM_DASHED : LXW_BORDER_DASHED;
        case FrameStyle::Dot:
            return LXW_BORDER_DOTTED;
        case FrameStyle::DashDot:
            return f.Width > 1.5 ? LXW_BORDER_MEDIUM_DASH_DOT : LXW_BORDER_DASH_DOT;
        case FrameStyle::DashDotDot:
            return f.Width > 1.5 ? LXW_BORDER_MEDIUM_DASH_DOT_DOT : LXW_BORDER_DASH_DOT_DOT;
        case FrameStyle::Double:
            return LXW_BORDER_DOUBLE;
        case FrameStyle::Solid:
            break;
    }
    return f.Width > 2.5 ? LXW_BORDER_THICK : f.Width > 1.5 ? LXW_BORDER_MEDIUM : LXW_BORDER_THIN;
}

class Writer {
public:
    Writer(lxw_workbook* book, const ExportGrid& grid, const SheetRows& rows, bool background,
           bool asText)
        : FBook(book), FGrid(grid), FRows(rows), FBackground(background), FAsText(asText) {}

    lxw_format* Format(const GridCell& cell) {
        const SheetCellStyle s = SheetStyleOf(cell, FBackground, FAsText);
        const QString key = s.Key();
        if (lxw_format* f = FFormats.value(key))
            return f;
        lxw_format* f = workbook_add_format(FBook);
        format_set_font_name(f, s.Font.Name.toUtf8().constData());
        format_set_font_size(f, s.Font.Size);
        if (s.Font.Color != kColorNone)
            format_set_font_color(f, rgb(s.Font.Color));
        if (s.Font.Style & fsBold)
            format_set_bold(f);
        if (s.Font.Style & fsItalic)
            format_set_italic(f);
        if (s.Font.Style & fsUnderline)
            format_set_underline(f, LXW_UNDERLINE_SINGLE);
        if (s.Font.Style & fsStrikeOut)
            format_set_font_strikeout(f);
        if (s.Fill != kColorNone) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, rgb(s.Fill));
        }
        setBorders(f, s.Frame);
        static const std::uint8_t h[] = {LXW_ALIGN_LEFT, LXW_ALIGN_RIGHT, LXW_ALIGN_CENTER,
                                         LXW_ALIGN_JUSTIFY};
        static const std::uint8_t v[] = {LXW_ALIGN_VERTICAL_TOP, LXW_ALIGN_VERTICAL_BOTTOM,
                                         LXW_ALIGN_VERTICAL_CENTER};
        format_set_align(f, h[int(s.HAlignment)]);
        format_set_align(f, v[int(s.VAlignment)]);
        if (s.Wrap)
            format_set_text_wrap(f);
        if (s.Rotation == 90 || s.Rotation == 270)
            format_set_rotation(f, s.Rotation == 90 ? 90 : -90);
        if (!s.NumberFormat.isEmpty())
            format_set_num_format(f, s.NumberFormat.toUtf8().constData());
        FFormats.insert(key, f);
        return f;
    }

    // Rows go out strictly in order (fast export needs it). Each row's merges are declared
    // before its values: a merge writes a blank first cell, which the value then replaces.
    void Write(lxw_worksheet* sheet, bool pictures) {
        for (int c = 0; c < FGrid.ColCount(); ++c)
            worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c),
                                 PxToExcelChars(FGrid.ColWidth(c)), nullptr);
        std::vector<const GridCell*> active;  // cells whose rows are not all written yet
        std::size_t next = 0;
        for (int r = 0; r < FGrid.RowCount(); ++r) {
            const std::size_t first = next;
            for (; next < FGrid.Cells.size() && FGrid.Cells[next].Row == r; ++next)
                active.push_back(&FGrid.Cells[next]);
            const int out = FRows.OutRow[std::size_t(r)];
            if (out >= 0) {
                worksheet_set_row(sheet, lxw_row_t(out), PxToPt(FGrid.RowHeight(r)), nullptr);
                for (std::size_t i = first; i < next; ++i)
                    writeMerge(sheet, FGrid.Cells[i]);
                writeRow(sheet, r, lxw_row_t(out), active, pictures);
            }
            std::erase_if(active, [r](const GridCell* c) { return c->Row + c->RowSpan - 1 <= r; });
        }
        writePageBreaks(sheet);
    }

    // Whether a merged cell spans sheet rows: the row-by-row writer cannot declare those (a
    // merge over later rows would move it past the cells still to come in its first row).
    static bool HasTallMerge(const ExportGrid& grid, const SheetRows& rows) {
        return std::any_of(grid.Cells.begin(), grid.Cells.end(), [&](const GridCell& c) {
            return rows.OutRow[std::size_t(c.Row + c.RowSpan - 1)] >
                   rows.OutRow[std::size_t(c.Row)];
        });
    }

private:
    static void setBorders(lxw_format* f, const FrameSpec& frame) {
        const std::uint8_t style = borderStyle(frame);
        const lxw_color_t color = rgb(frame.Color == kColorNone ? kColorBlack : frame.Color);
        if (frame.Typ & ftLeft)
            format_set_left(f, style), format_set_left_color(f, color);
        if (frame.Typ & ftRight)
            format_set_right(f, style), format_set_right_color(f, color);
        if (frame.Typ & ftTop)
            format_set_top(f, style), format_set_top_color(f, color);
        if (frame.Typ & ftBottom)
            format_set_bottom(f, style), format_set_bottom_color(f, color);
    }

    void writeRow(lxw_worksheet* sheet, int r, lxw_row_t out, std::vector<const GridCell*>& active,
                  bool pictures) {
        std::sort(active.begin(), active.end(),
                  [](const GridCell* a, const GridCell* b) { return a->Col < b->Col; });
        for (const GridCell* c : active) {
            lxw_format* f = Format(*c);
            for (int col = c->Col; col < c->Col + c->ColSpan; ++col) {
                if (col == c->Col && r == c->Row)
                    writeValue(sheet, out, *c, f, pictures);
                else
                    worksheet_write_blank(sheet, out, lxw_col_t(col), f);
            }
        }
    }

    void writeValue(lxw_worksheet* sheet, lxw_row_t row, const GridCell& c, lxw_format* f,
                    bool pictures) {
        const lxw_col_t col = lxw_col_t(c.Col);
        const CellValue v = CellValueOf(c);
        if (v.Kind != ItemValueKind::None && !FAsText)
            worksheet_write_number(sheet, row, col, v.Value, f);
        else if (!v.Text.isEmpty())  // the library refuses longer text and writes nothing
            worksheet_write_string(sheet, row, col, v.Text.left(kMaxCellChars).toUtf8().constData(),
                                   f);
        else
            worksheet_write_blank(sheet, row, col, f);
        if (pictures && c.Item && !c.IsFiller && IsPictureItem(*c.Item)) {
            const QByteArray& png = FPictures.emplace_back(ItemPicturePng(*c.Item, 2));
            lxw_image_options options{};
            options.x_scale = options.y_scale = 0.5;
            options.object_position = LXW_OBJECT_MOVE_DONT_SIZE;
            worksheet_insert_image_buffer_opt(sheet, row, col,
                                              reinterpret_cast<const unsigned char*>(png.data()),
                                              std::size_t(png.size()), &options);
        }
    }

    void writeMerge(lxw_worksheet* sheet, const GridCell& c) {
        const int first = FRows.OutRow[std::size_t(c.Row)];
        const int last = FRows.OutRow[std::size_t(c.Row + c.RowSpan - 1)];
        if (c.ColSpan > 1 || last > first)
            worksheet_merge_range(sheet, lxw_row_t(first), lxw_col_t(c.Col), lxw_row_t(last),
                                  lxw_col_t(c.Col + c.ColSpan - 1), "", Format(c));
    }

    void writePageBreaks(lxw_worksheet* sheet) {
        if (FRows.Breaks.empty())
            return;
        FBreaks.clear();
        for (int row : FRows.Breaks)
            if (row > 0 && FBreaks.size() < kMaxPageBreaks)
                FBreaks.push_back(lxw_row_t(row));
        FBreaks.push_back(0);
        worksheet_set_h_pagebreaks(sheet, FBreaks.data());
    }

    lxw_workbook* FBook;
    const ExportGrid& FGrid;
    const SheetRows& FRows;
    const bool FBackground, FAsText;
    QHash<QString, lxw_format*> FFormats;
    std::list<QByteArray> FPictures;  // alive until the workbook is closed
    std::vector<lxw_row_t> FBreaks;
};

}  // namespace

QString TfrxXLSExport::GetDescription() const {
    return ExportFilterDescription(ExportFormat::XLS);
}

bool TfrxXLSExport::WriteSheet(const ExportGrid& grid, const SheetRows& rows) {
    if (!QFileInfo(TargetPath()).dir().exists())  // the library would complain on stderr
        return SetError(tr("%1: the folder does not exist").arg(TargetPath()));
    // Beyond these the library drops cells without a word; better no file than a cut one.
    if (rows.Count > LXW_ROW_MAX || grid.ColCount() > LXW_COL_MAX)
        return SetError(tr("The report needs %1 rows and %2 columns; an Excel sheet holds at most "
                           "%3 rows and %4 columns")
                            .arg(rows.Count)
                            .arg(grid.ColCount())
                            .arg(LXW_ROW_MAX)
                            .arg(LXW_COL_MAX));
    const QByteArray path = QFile::encodeName(StagingPath());
    const QByteArray tmp = QFile::encodeName(QDir::tempPath());
    lxw_workbook_options options{};
    const bool rowByRow = FFastExport && !Writer::HasTallMerge(grid, rows);
    options.constant_memory = rowByRow ? LXW_TRUE : LXW_FALSE;
    options.tmpdir = const_cast<char*>(tmp.constData());
    lxw_workbook* book = workbook_new_opt(path.constData(), &options);
    if (!book)
        return SetError(tr("Cannot create %1").arg(TargetPath()));
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Лист1");
    Writer writer(book, grid, rows, FBackground, FAsText);
    if (sheet)
        writer.Write(sheet, FExportPictures);
    const lxw_error err = workbook_close(book);
    if (!sheet || err != LXW_NO_ERROR)
        return SetError(
            QStringLiteral("%1: %2").arg(TargetPath(), QString::fromUtf8(lxw_strerror(err))));
    return true;
}

}  // namespace reportengine
