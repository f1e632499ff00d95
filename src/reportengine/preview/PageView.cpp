#include "reportengine/preview/PageView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

#include "platform/Exception.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/render/PageRenderer.h"

namespace reportengine {

namespace {

const QColor kBackground(0x80, 0x80, 0x80);
const QColor kPlaceholder(0xF4, 0xF4, 0xF4);
const QColor kActiveFrame(Qt::gray);
const QColor kHighlight(255, 200, 0, 110);
constexpr int kWheelStep = 40;  // pixels per wheel notch

QSizeF A4Pixels() {
    return {210 * kPixelsPerMm, 297 * kPixelsPerMm};
}

}  // namespace

PageView::PageView(qint64 cacheBudget, QWidget* parent)
    : QAbstractScrollArea(parent), FCache(cacheBudget), FSlot(A4Pixels()) {
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    connect(&FCache, &PageRenderCache::pictureReady, this, [this](int index) {
        const QRectF r = PageRect(index);
        if (r.intersects(QRectF(viewport()->rect())))
            viewport()->update(r.toAlignedRect());
    });
}

void PageView::SetPages(std::shared_ptr<const TfrxPreparedPages> pages) {
    FPages = std::move(pages);
    FCache.SetPages(FPages);
    FCount = 0;
    FSlot = A4Pixels();
    RefreshCount();
}

void PageView::RefreshCount() {
    const int count = FPages ? FPages->Count() : 0;
    if (count < FCount)  // cleared and filled again
        FCache.Invalidate();
    if (count > 0 && (FCount == 0 || count < FCount)) {
        try {
            if (auto first = FPages->Page(0))
                FSlot = QSizeF(PageWidthPx(*first), PageHeightPx(*first));
        } catch (const platform::Exception&) {
            FSlot = A4Pixels();
        }
    }
    if (count == FCount)
        return;
    FCount = count;
    UpdateScrollBars();
    viewport()->update();
}

void PageView::Invalidate() {
    FCache.Invalidate();
    FCount = 0;
    RefreshCount();
    viewport()->update();
}

void PageView::SetScale(double scale) {
    if (qFuzzyCompare(scale, FScale))
        return;
    FScale = scale;
    FCache.SetScale(scale * devicePixelRatioF());
    UpdateScrollBars();
    viewport()->update();
}

double PageView::PageWidthScale() const {
    return std::max(0.01, (viewport()->width() - 2.0 * kGap) / FSlot.width());
}

double PageView::WholePageScale() const {
    const double h = (viewport()->height() - 2.0 * kGap) / FSlot.height();
    return std::max(0.01, std::min(PageWidthScale(), h));
}

QSize PageView::SlotPixels() const {
    return {qRound(FSlot.width() * FScale), qRound(FSlot.height() * FScale)};
}

qint64 PageView::Pitch() const {
    return qint64(SlotPixels().height()) + kGap;
}

void PageView::UpdateScrollBars() {
    const QSize slot = SlotPixels();
    const QSize view = viewport()->size();
    const qint64 height = kGap + qint64(FCount) * Pitch();
    const qint64 width = slot.width() + 2 * kGap;
    FProgrammatic = true;
    verticalScrollBar()->setRange(0, int(std::clamp<qint64>(height - view.height(), 0, INT_MAX)));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(kWheelStep / 3);
    horizontalScrollBar()->setRange(0, int(std::max<qint64>(width - view.width(), 0)));
    horizontalScrollBar()->setPageStep(view.width());
    FProgrammatic = false;
}

QRectF PageView::PageRect(int index) const {
    const QSize slot = SlotPixels();
    const int contentWidth = slot.width() + 2 * kGap;
    const double left = contentWidth < viewport()->width()
                            ? (viewport()->width() - slot.width()) / 2.0
                            : double(kGap - horizontalScrollBar()->value());
    const double top = double(kGap + qint64(index) * Pitch() - verticalScrollBar()->value());
    return {left, top, double(slot.width()), double(slot.height())};
}

void PageView::SetScrollSilently(int x, int y) {
    FProgrammatic = true;
    horizontalScrollBar()->setValue(x);
    verticalScrollBar()->setValue(y);
    FProgrammatic = false;
}

void PageView::ScrollToPage(int index) {
    const qint64 y = std::max<qint64>(0, qint64(index) * Pitch());
    SetScrollSilently(horizontalScrollBar()->value(), int(std::min<qint64>(y, INT_MAX)));
    viewport()->update();
}

int PageView::TopPage() const {
    if (FCount == 0)
        return 0;
    const qint64 pitch = std::max<qint64>(1, Pitch());
    const qint64 index = (verticalScrollBar()->value() + pitch / 2) / pitch;
    return int(std::clamp<qint64>(index, 0, FCount - 1));
}

void PageView::ScrollByWheel(int delta) {
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() - delta * kWheelStep / 120);
}

void PageView::SetCurrent(int index) {
    if (index == FCurrent)
        return;
    FCurrent = index;
    viewport()->update();
}

void PageView::SetHighlights(std::function<std::vector<QRectF>(int page)> provider) {
    FHighlights = std::move(provider);
    viewport()->update();
}

void PageView::scrollContentsBy(int, int) {
    viewport()->update();
    if (!FProgrammatic)
        emit userScrolled();
}

void PageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    emit resized();
}

void PageView::mousePressEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    for (int i = TopPage(); i < FCount; ++i) {
        const QRectF r = PageRect(i);
        if (r.top() > viewport()->height())
            break;
        if (r.contains(at)) {
            emit pageClicked(i);
            break;
        }
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void PageView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), kBackground);
    if (FCount == 0)
        return;
    const qint64 pitch = std::max<qint64>(1, Pitch());
    const int first = int(std::max<qint64>(0, (verticalScrollBar()->value() - kGap) / pitch));
    for (int i = first; i < FCount; ++i) {
        const QRectF r = PageRect(i);
        if (r.top() > event->rect().bottom())
            break;
        if (r.intersects(QRectF(event->rect())))
            DrawPage(painter, i, r);
    }
}

void PageView::DrawPage(QPainter& painter, int index, const QRectF& rect) {
    bool painted = false;
    if (FCache.Fits(FSlot)) {
        if (const QImage* picture = FCache.Picture(index)) {
            QImage shown = *picture;  // shares the pixels
            shown.setDevicePixelRatio(devicePixelRatioF());
            painter.fillRect(rect, Qt::white);
            painter.drawImage(rect.topLeft(), shown);
            painted = true;
        } else {
            painter.fillRect(rect, kPlaceholder);
        }
    } else {
        // Too big to keep as a picture (a high zoom): draw the visible part straight away.
        painter.save();
        painter.setClipRect(rect.intersected(QRectF(viewport()->rect())));
        try {
            if (auto page = FPages->Page(index))
                RenderPage(painter, *page, FScale, rect.topLeft());
            painted = true;
        } catch (const platform::Exception&) {
            painter.fillRect(rect, kPlaceholder);
        }
        painter.restore();
    }
    if (FHighlights) {
        for (const QRectF& hit : FHighlights(index))
            painter.fillRect(
                QRectF(rect.left() + hit.left() * FScale, rect.top() + hit.top() * FScale,
                       hit.width() * FScale, hit.height() * FScale),
                kHighlight);
    }
    painter.setPen(QPen(index == FCurrent ? kActiveFrame : QColor(Qt::black), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(-0.5, -0.5, 0.5, 0.5));
    if (painted)
        emit pagePainted(index);
}

}  // namespace reportengine
