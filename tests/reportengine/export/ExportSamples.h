// A small two-page event report as prepared pages, shared by the table-shaped export tests:
// Russian text, a title spanning all columns, a header row with a fill and frames, rows holding
// a date and a number typed through their display formats, a band background rectangle, and a
// total spanning two columns on the second page. Lines carry fixed positions (no layout).
//
// Layout of each page (px at 96 dpi, 100 x 80 mm paper):
//   y 20..44   title "Журнал событий" over x 20..320 (one cell spanning the three columns)
//   y 50..70   header "Дата" | "Сотрудник" | "Сумма", grey fill, all frame sides
//   y 70..90   row: date 01.06.2026 | "Петров Андрей" | 1 234,50  (background rect y 70..90)
//   y 90..110  row: date 02.06.2026 | "Смирнова Ольга" | 99,00
//   page 2 adds at y 110..130 "Итого:" over x 20..220 and the number 1 333,50 at x 220..320
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QString>

namespace exportsamples {

using namespace reportengine;

constexpr double kCol0 = 20, kCol1 = 100, kCol2 = 220, kCol3 = 320;

inline PreparedItem text(double x, double y, double w, double h, const QString& s) {
    PreparedItem it;
    it.Kind = ItemKind::Text;
    it.X = x, it.Y = y, it.W = w, it.H = h;
    it.Name = QStringLiteral("Memo");
    it.Lines = {{s, 2, 14, 8.0 * s.size()}};
    return it;
}

inline PreparedItem number(double x, double y, double w, double h, double value,
                           const QString& shown) {
    PreparedItem it = text(x, y, w, h, shown);
    it.HAlignment = HAlign::Right;
    it.ValueKind = ItemValueKind::Number;
    it.Value = value;
    it.ValueFormat = QStringLiteral("%2.2n");
    return it;
}

inline PreparedItem date(double x, double y, double w, double h, double serial,
                         const QString& shown) {
    PreparedItem it = text(x, y, w, h, shown);
    it.ValueKind = ItemValueKind::Date;
    it.Value = serial;
    it.ValueFormat = QStringLiteral("dd.mm.yyyy");
    return it;
}

inline PreparedItem framed(PreparedItem it) {
    it.Frame = FrameSpec{ftLeft | ftRight | ftTop | ftBottom, 1, kColorBlack, FrameStyle::Solid};
    return it;
}

inline PreparedPage eventPage(bool withTotal) {
    PreparedPage page;
    page.PaperWidth = 100, page.PaperHeight = 80;
    page.LeftMargin = page.TopMargin = page.RightMargin = page.BottomMargin = 5;

    PreparedItem title = text(kCol0, 20, kCol3 - kCol0, 24, QStringLiteral("Журнал событий"));
    title.Font = FontSpec{QStringLiteral("Arial"), 14, fsBold, 0x00800000};  // dark blue
    title.HAlignment = HAlign::Center;
    title.Frame = FrameSpec{ftBottom, 2, kColorBlack, FrameStyle::Solid};
    page.Items.push_back(title);

    const QString heads[] = {QStringLiteral("Дата"), QStringLiteral("Сотрудник"),
                             QStringLiteral("Сумма")};
    const double edges[] = {kCol0, kCol1, kCol2, kCol3};
    for (int i = 0; i < 3; ++i) {
        PreparedItem h = framed(text(edges[i], 50, edges[i + 1] - edges[i], 20, heads[i]));
        h.FillColor = 0x00C0C0C0;
        h.Font.Style = fsBold;
        page.Items.push_back(h);
    }

    PreparedItem band;  // the data band's background, drawn under the first row
    band.Kind = ItemKind::Rect;
    band.X = kCol0, band.Y = 70, band.W = kCol3 - kCol0, band.H = 20;
    band.FillColor = 0x00E0FFFF;  // light yellow
    page.Items.push_back(band);

    page.Items.push_back(framed(date(kCol0, 70, kCol1 - kCol0, 20, 46174, "01.06.2026")));
    page.Items.push_back(
        framed(text(kCol1, 70, kCol2 - kCol1, 20, QStringLiteral("Петров Андрей"))));
    page.Items.push_back(framed(number(kCol2, 70, kCol3 - kCol2, 20, 1234.5, "1 234,50")));
    page.Items.push_back(framed(date(kCol0, 90, kCol1 - kCol0, 20, 46175, "02.06.2026")));
    page.Items.push_back(
        framed(text(kCol1, 90, kCol2 - kCol1, 20, QStringLiteral("Смирнова Ольга"))));
    page.Items.push_back(framed(number(kCol2, 90, kCol3 - kCol2, 20, 99, "99,00")));

    if (withTotal) {
        page.Items.push_back(framed(text(kCol0, 110, kCol2 - kCol0, 20, QStringLiteral("Итого:"))));
        page.Items.push_back(framed(number(kCol2, 110, kCol3 - kCol2, 20, 1333.5, "1 333,50")));
    }
    return page;
}

// The two pages of the sample report, in order.
inline std::vector<PreparedPage> eventReport() {
    return {eventPage(false), eventPage(true)};
}

}  // namespace exportsamples
