// Prepared pages for the preview tests, the main-window tests and the preview benchmark: a
// numbered event-list page ("Страница N из M", a header, rows of events), built directly as
// prepared items with fixed line positions (no layout engine needed).
#pragma once

#include "reportengine/pages/PreparedPages.h"

#include <QString>

#include <memory>

namespace previewsamples {

using namespace reportengine;

inline PreparedItem Text(double x, double y, double w, double h, const QString& s, double size = 10,
                         std::uint8_t style = 0) {
    PreparedItem it;
    it.Kind = ItemKind::Text;
    it.X = x, it.Y = y, it.W = w, it.H = h;
    it.Name = QStringLiteral("Memo");
    it.Font.Size = size;
    it.Font.Style = style;
    it.Lines = {{s, 2, size * 1.33, 0, 0}};
    return it;
}

// One A4 page with rowCount event rows; the last row of every page says "Итого по странице".
inline PreparedPage EventPage(int number, int count, int rowCount = 40) {
    PreparedPage page;
    const double left = 38, width = 718;
    page.Items.push_back(
        Text(left, 38, width, 30, QStringLiteral("Журнал событий доступа"), 16, fsBold));
    PreparedItem head =
        Text(left, 76, width, 22, QStringLiteral("Время            Точка прохода      Сотрудник"),
             10, fsBold);
    head.FillColor = 0xE0E0E0;
    head.Frame = FrameSpec{ftTop | ftBottom, 1, kColorBlack, FrameStyle::Solid};
    page.Items.push_back(head);
    for (int r = 0; r < rowCount; ++r) {
        const int event = (number - 1) * rowCount + r + 1;
        page.Items.push_back(Text(left, 100 + r * 22, width, 22,
                                  QStringLiteral("%1.06.2026 %2:%3   Турникет %4   Сотрудник %5")
                                      .arg(1 + event % 28, 2, 10, QChar('0'))
                                      .arg(8 + event % 10, 2, 10, QChar('0'))
                                      .arg(event % 60, 2, 10, QChar('0'))
                                      .arg(1 + event % 7)
                                      .arg(event)));
    }
    page.Items.push_back(Text(left, 100 + rowCount * 22, width, 22,
                              QStringLiteral("Итого по странице: %1").arg(rowCount)));
    page.Items.push_back(
        Text(left, 1080, width, 22, QStringLiteral("Страница %1 из %2").arg(number).arg(count)));
    return page;
}

inline std::shared_ptr<TfrxPreparedPages> EventReport(
    int count, std::size_t budget = TfrxPreparedPages::kDefaultBudget, int rowCount = 40) {
    auto pages = std::make_shared<TfrxPreparedPages>(budget);
    for (int n = 1; n <= count; ++n)
        pages->AddPage(EventPage(n, count, rowCount));
    return pages;
}

}  // namespace previewsamples
