// Text search over prepared pages: where a text occurs on a page (the rectangles to highlight, in
// 96-dpi page pixels, from the same font metrics the layout used), the next or previous hit from a
// position across all pages, and the small dialog that asks for the text.
//
// Thread contract: the functions read immutable pages and may run on any thread; the dialog is a
// widget (UI thread).
#pragma once

#include <QDialog>
#include <QRectF>
#include <QString>

#include <vector>

class QCheckBox;
class QLineEdit;

namespace reportengine {

class TfrxPreparedPages;
struct PreparedPage;

struct SearchQuery {
    QString Text;
    bool CaseSensitive = false;
    bool Empty() const { return Text.isEmpty(); }
};

// One occurrence: page (0-based) and ordinal among that page's hits (reading order: items, lines,
// position in the line).
struct SearchHit {
    int Page = -1;
    int Ordinal = -1;
    bool Valid() const { return Page >= 0; }
    auto operator<=>(const SearchHit&) const = default;
};

// Rectangles of every occurrence on a page, in reading order.
std::vector<QRectF> FindOnPage(const PreparedPage& page, const SearchQuery& query);

// The first hit after `from` (forward) or before it (backward); from.Page -1 starts at the
// beginning (forward) or the end (backward). Invalid when there is none; pages are not wrapped.
SearchHit FindNextHit(const TfrxPreparedPages& pages, const SearchQuery& query, SearchHit from,
                      bool forward);

class TfrxSearchDialog : public QDialog {
    Q_OBJECT
public:
    explicit TfrxSearchDialog(QWidget* parent = nullptr);
    SearchQuery Query() const;
    void SetQuery(const SearchQuery& query);

    QLineEdit* TextE = nullptr;
    QCheckBox* CaseCB = nullptr;
};

}  // namespace reportengine
