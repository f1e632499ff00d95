#include "reportengine/preview/PreviewPrint.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

#include "platform/Exception.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/render/PageRenderer.h"

namespace reportengine {

namespace {

QPageLayout LayoutFor(const PreparedPage& page) {
    // The page holds its size already turned; the printer wants the portrait size and a flag.
    const bool landscape = page.PaperWidth > page.PaperHeight;
    const QSizeF portrait = landscape ? QSizeF(page.PaperHeight, page.PaperWidth)
                                      : QSizeF(page.PaperWidth, page.PaperHeight);
    return QPageLayout(QPageSize(portrait, QPageSize::Millimeter),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
}

}  // namespace

bool PrintPreparedPages(QPrinter& printer, const TfrxPreparedPages& pages, const PrintJob& job,
                        const std::function<bool(int sheet)>& progress, QString* error) {
    error->clear();
    if (job.Pages.empty())
        return true;
    printer.setFullPage(true);
    printer.setCopyCount(1);
    QPainter painter;
    int sheet = 0;
    bool ok = true;
    try {
        for (int copy = 0; copy < std::max(1, job.Copies) && ok; ++copy) {
            for (int index : job.Pages) {
                auto page = pages.Page(index);
                if (!page)
                    continue;
                if (!painter.isActive()) {
                    printer.setPageLayout(LayoutFor(*page));
                    if (!painter.begin(&printer)) {
                        *error = QStringLiteral("Не удалось начать печать");
                        return false;
                    }
                } else {
                    printer.setPageLayout(LayoutFor(*page));
                    printer.newPage();
                }
                RenderPage(painter, *page, printer.resolution() / 96.0);
                if (progress && !progress(++sheet)) {
                    ok = false;
                    break;
                }
            }
        }
    } catch (const platform::Exception& e) {
        *error = e.Message();
        ok = false;
    }
    if (painter.isActive())
        painter.end();
    return ok;
}

}  // namespace reportengine
