#include "reportengine/preview/PageRenderCache.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>

#include "platform/Exception.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/render/PageRenderer.h"

namespace reportengine {

namespace {

QImage RenderPicture(const PreparedPage& page, double scale) {
    const QSize size(qMax(1, qCeil(PageWidthPx(page) * scale)),
                     qMax(1, qCeil(PageHeightPx(page) * scale)));
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    RenderPage(painter, page, scale);
    return picture;
}

}  // namespace

PageRenderCache::PageRenderCache(qint64 budgetBytes, QObject* parent) : QObject(parent) {
    // QCache counts cost in units; one unit is a kilobyte so that big budgets fit in an int.
    FCache.setMaxCost(int(qMax<qint64>(1, budgetBytes >> 10)));
    FPool.setMaxThreadCount(kWorkers);
}

PageRenderCache::~PageRenderCache() {
    ++FGeneration;
    FPool.clear();
    FPool.waitForDone();
}

void PageRenderCache::SetPages(std::shared_ptr<const TfrxPreparedPages> pages) {
    FPages = std::move(pages);
    Invalidate();
}

void PageRenderCache::SetScale(double scale) {
    if (qFuzzyCompare(scale, FScale))
        return;
    FScale = scale;
    Invalidate();
}

void PageRenderCache::Invalidate() {
    ++FGeneration;
    FPool.clear();  // jobs not started yet are pointless now
    FCache.clear();
    FPending.clear();
}

const QImage* PageRenderCache::Picture(int index) {
    if (const QImage* cached = FCache.object(index))
        return cached;
    if (!FPages || index < 0 || index >= FPages->Count() || FPending.contains(index))
        return nullptr;
    FPending.insert(index);
    const quint64 generation = FGeneration;
    const double scale = FScale;
    QPointer<PageRenderCache> self(this);
    FPool.start([self, pages = FPages, generation, index, scale] {
        QImage picture;
        try {
            if (auto page = pages->Page(index))
                picture = RenderPicture(*page, scale);
        } catch (const platform::Exception&) {
            // An unreadable spill file leaves the page blank; the preview keeps working.
        }
        // The application object outlives every widget, so the hand-over always has a receiver;
        // the cache itself is looked at only on the UI thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, index, picture] {
                if (self)
                    self->Deliver(generation, index, picture);
            },
            Qt::QueuedConnection);
    });
    return nullptr;
}

void PageRenderCache::Deliver(quint64 generation, int index, const QImage& picture) {
    if (generation != FGeneration)
        return;
    FPending.remove(index);
    if (picture.isNull())
        return;
    const int cost = int(qMax<qint64>(1, picture.sizeInBytes() >> 10));
    FCache.insert(index, new QImage(picture), cost);
    emit pictureReady(index);
}

void PageRenderCache::WaitForRenders() {
    FPool.waitForDone();
    // Every finished job has posted its hand-over by now; deliver them.
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
}

bool PageRenderCache::Fits(QSizeF pagePixels) const {
    const double bytes = pagePixels.width() * FScale * pagePixels.height() * FScale * 4;
    return bytes * 4 <= double(FCache.maxCost()) * 1024;
}

}  // namespace reportengine
