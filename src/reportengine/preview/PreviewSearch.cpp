#include "reportengine/preview/PreviewSearch.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <climits>

#include "reportengine/pages/PreparedPages.h"
#include "reportengine/render/FontMapping.h"

namespace reportengine {

namespace {

std::vector<QRectF> HitsInItem(const PreparedItem& item, const SearchQuery& query) {
    std::vector<QRectF> hits;
    const Qt::CaseSensitivity cs = query.CaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const QFontMetricsF metrics(FontFor(item.Font));
    const bool rotated = item.Rotation % 360 != 0;
    for (const TextLine& line : item.Lines) {
        for (qsizetype at = line.Text.indexOf(query.Text, 0, cs); at >= 0;
             at = line.Text.indexOf(query.Text, at + query.Text.size(), cs)) {
            if (rotated) {  // the item's own box is close enough for a turned text
                hits.emplace_back(item.X, item.Y, item.W, item.H);
                continue;
            }
            const double x = item.X + line.X + metrics.horizontalAdvance(line.Text.left(at));
            const double w = metrics.horizontalAdvance(line.Text.mid(at, query.Text.size()));
            hits.emplace_back(x, item.Y + line.Baseline - metrics.ascent(), w,
                              metrics.ascent() + metrics.descent());
        }
    }
    return hits;
}

int CountOnPage(const TfrxPreparedPages& pages, int index, const SearchQuery& query) {
    auto page = pages.Page(index);
    return page ? int(FindOnPage(*page, query).size()) : 0;
}

}  // namespace

std::vector<QRectF> FindOnPage(const PreparedPage& page, const SearchQuery& query) {
    std::vector<QRectF> hits;
    if (query.Empty())
        return hits;
    for (const PreparedItem& item : page.Items) {
        if (item.Lines.empty())
            continue;
        std::vector<QRectF> more = HitsInItem(item, query);
        hits.insert(hits.end(), more.begin(), more.end());
    }
    return hits;
}

SearchHit FindNextHit(const TfrxPreparedPages& pages, const SearchQuery& query, SearchHit from,
                      bool forward) {
    const int count = pages.Count();
    if (query.Empty() || count == 0)
        return {};
    if (forward) {
        int page = from.Valid() ? from.Page : 0;
        int ordinal = from.Valid() ? from.Ordinal + 1 : 0;
        for (; page < count; ++page, ordinal = 0) {
            if (ordinal < CountOnPage(pages, page, query))
                return {page, ordinal};
        }
        return {};
    }
    // Backward: the hit before `from` on its page, else the last hit of an earlier page.
    int page = from.Valid() ? from.Page : count - 1;
    int ordinal = from.Valid() ? from.Ordinal - 1 : INT_MAX;
    for (; page >= 0; --page, ordinal = INT_MAX) {
        if (ordinal < 0)
            continue;
        const int hits = CountOnPage(pages, page, query);
        if (hits > 0)
            return {page, std::min(ordinal, hits - 1)};
    }
    return {};
}

TfrxSearchDialog::TfrxSearchDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrxSearchDialog");
    setWindowTitle(QStringLiteral("Поиск"));
    TextE = new QLineEdit(this);
    TextE->setObjectName("TextE");
    CaseCB = new QCheckBox(QStringLiteral("С учетом регистра"), this);
    CaseCB->setObjectName("CaseCB");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Найти"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Текст:"), TextE);
    form->addRow(CaseCB);
    form->addRow(buttons);
}

SearchQuery TfrxSearchDialog::Query() const {
    return {TextE->text(), CaseCB->isChecked()};
}

void TfrxSearchDialog::SetQuery(const SearchQuery& query) {
    TextE->setText(query.Text);
    CaseCB->setChecked(query.CaseSensitive);
}

}  // namespace reportengine
