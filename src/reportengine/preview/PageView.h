// PageView: a scrolling column of prepared pages at one scale, the drawing surface of the preview
// and of its thumbnails panel. Only the pages that intersect the viewport are drawn; their pictures
// come from a PageRenderCache (rendered off the UI thread) and a grey placeholder stands in until a
// picture arrives. Every page gets a slot of the first page's size, so the position of page n is
// arithmetic and nothing per page is kept; a page of another size is drawn at the slot's top left.
// The view reads the page count when told to (RefreshCount), so it can follow a report that is
// still being prepared.
//
// Thread contract: UI thread only (a widget); see PageRenderCache for the render workers.
#pragma once

#include <QAbstractScrollArea>
#include <QRectF>
#include <QSizeF>

#include <functional>
#include <memory>

#include "reportengine/preview/PageRenderCache.h"

namespace reportengine {

class TfrxPreparedPages;
struct PreparedPage;

class PageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kGap = 10;  // pixels around and between pages

    explicit PageView(qint64 cacheBudget = PageRenderCache::kDefaultBudget,
                      QWidget* parent = nullptr);

    void SetPages(std::shared_ptr<const TfrxPreparedPages> pages);
    // Re-reads the page count (pages appended since); the first page fixes the slot size.
    void RefreshCount();
    // The pages changed in place (prepared again into the same store): drop the pictures.
    void Invalidate();
    int Count() const { return FCount; }
    const std::shared_ptr<const TfrxPreparedPages>& Pages() const { return FPages; }

    // Logical pixels per 96-dpi page pixel.
    void SetScale(double scale);
    double Scale() const { return FScale; }
    // The slot size in 96-dpi page pixels (A4 until the first page exists).
    QSizeF SlotSize() const { return FSlot; }
    // The scale at which one page fills the viewport's width, or the whole viewport.
    double PageWidthScale() const;
    double WholePageScale() const;

    // Scrolls so that the page (0-based) starts at the top of the viewport.
    void ScrollToPage(int index);
    // The page whose top is nearest the top of the viewport.
    int TopPage() const;
    // Scrolls by a wheel amount (120 per notch, positive = up), as the wheel would.
    void ScrollByWheel(int delta);
    // The page drawn with the active frame.
    void SetCurrent(int index);
    // Areas (page pixels) drawn highlighted on a page: search hits.
    void SetHighlights(std::function<std::vector<QRectF>(int page)> provider);
    // Where page index lies in viewport coordinates.
    QRectF PageRect(int index) const;

    PageRenderCache& Cache() { return FCache; }

signals:
    void userScrolled();
    void pageClicked(int index);
    // A page's real picture (not the placeholder) was drawn.
    void pagePainted(int index);
    void resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    qint64 Pitch() const;  // slot height plus gap, in logical pixels
    QSize SlotPixels() const;
    void UpdateScrollBars();
    void SetScrollSilently(int x, int y);
    void DrawPage(QPainter& painter, int index, const QRectF& rect);

    PageRenderCache FCache;
    std::shared_ptr<const TfrxPreparedPages> FPages;
    int FCount = 0;
    QSizeF FSlot;
    double FScale = 1.0;
    int FCurrent = 0;
    bool FProgrammatic = false;
    std::function<std::vector<QRectF>(int page)> FHighlights;
};

}  // namespace reportengine
