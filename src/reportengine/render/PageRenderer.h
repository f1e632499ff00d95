// The one page renderer: draws every item of a prepared page on any QPainter (preview widget,
// printer, PDF writer, image). Callers give either the target rectangle the paper is mapped onto
// or a scale (device pixels per 96-dpi page pixel) and an origin. Text is drawn line by line at
// the positions the layout chose; nothing is re-wrapped here.
//
// Thread contract: callable from any thread for painters on QImage, QPdfWriter or QPrinter (the
// GUI thread only for widgets, as Qt requires). The decoded-image cache is internally locked.
// The painter's state is saved and restored.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QPointF>
#include <QRectF>

class QPainter;

namespace reportengine {

struct RenderOptions {
    bool Background = true;  // fill the page with its colour (white when it has none)
    bool Clip = true;        // clip text to its object's box
};

void RenderPage(QPainter& painter, const PreparedPage& page, double scale, QPointF origin = {},
                const RenderOptions& options = {});
void RenderPage(QPainter& painter, const PreparedPage& page, const QRectF& target,
                const RenderOptions& options = {});

// Draws one item in page coordinates (the painter already scaled to 96-dpi page pixels).
void RenderItem(QPainter& painter, const PreparedItem& item, const RenderOptions& options = {});

}  // namespace reportengine
