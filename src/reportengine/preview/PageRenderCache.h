// PageRenderCache: pictures of prepared pages at one scale, rendered on demand off the UI thread
// and kept in a cache bounded by bytes, so the memory a preview needs does not grow with the
// number of pages. A page is asked for with Picture(index): the cached picture when there is one;
// otherwise null, a render job is queued on a private thread pool and `pictureReady(index)` is
// emitted once it is in the cache. Changing the scale or the pages drops every picture and
// ignores results of jobs still running for the old ones.
//
// Thread contract: the object lives on the UI thread and every public call is made there; the
// workers only read the shared, immutable pages and hand their picture back through a queued
// call, never touching the cache themselves.
#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSizeF>
#include <QThreadPool>

#include <memory>

namespace reportengine {

class TfrxPreparedPages;

class PageRenderCache : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kDefaultBudget = 96ll << 20;  // bytes of cached pictures
    static constexpr int kWorkers = 2;

    explicit PageRenderCache(qint64 budgetBytes = kDefaultBudget, QObject* parent = nullptr);
    ~PageRenderCache() override;

    void SetPages(std::shared_ptr<const TfrxPreparedPages> pages);
    // Device pixels per 96-dpi page pixel (the zoom times the device pixel ratio).
    void SetScale(double scale);
    double Scale() const { return FScale; }

    // The cached picture of page index (0-based), or null after queueing its render.
    const QImage* Picture(int index);
    // Drops every picture (pages changed in place, e.g. after a new preparation).
    void Invalidate();
    // Blocks until the queued renders are done and their results delivered (tests, printing
    // pictures of the same pages); processes the queued hand-overs.
    void WaitForRenders();
    int PendingCount() const { return FPending.size(); }
    // Whether a page of that size (96-dpi pixels) is small enough at the current scale to be
    // cached; a bigger one (a high zoom) is drawn straight onto the screen, clipped, instead.
    bool Fits(QSizeF pagePixels) const;

signals:
    void pictureReady(int index);

private:
    void Deliver(quint64 generation, int index, const QImage& picture);

    std::shared_ptr<const TfrxPreparedPages> FPages;
    double FScale = 1.0;
    quint64 FGeneration = 0;  // bumped whenever cached pictures stop being valid
    QCache<int, QImage> FCache;
    QSet<int> FPending;
    QThreadPool FPool;
};

}  // namespace reportengine
