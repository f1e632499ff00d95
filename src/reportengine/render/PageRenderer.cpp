#include "reportengine/render/PageRenderer.h"

#include "reportengine/render/Colors.h"
#include "reportengine/render/FontMapping.h"

#include <QCryptographicHash>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <mutex>

namespace reportengine {

namespace {

Qt::PenStyle penStyle(FrameStyle s) {
    switch (s) {
        case FrameStyle::Dash:
            return Qt::DashLine;
        case FrameStyle::Dot:
            return Qt::DotLine;
        case FrameStyle::DashDot:
            return Qt::DashDotLine;
        case FrameStyle::DashDotDot:
            return Qt::DashDotDotLine;
        default:
            return Qt::SolidLine;
    }
}

QPen framePen(const FrameSpec& f) {
    QPen pen(ColorFromInt(f.Color), f.Width, penStyle(f.Style), Qt::SquareCap, Qt::MiterJoin);
    return pen;
}

QRectF itemRect(const PreparedItem& it) {
    return QRectF(it.X, it.Y, it.W, it.H);
}

// A report repeats the same logo on every page: decode each distinct picture once.
QImage decodeImage(const QByteArray& data) {
    static std::mutex lock;
    static std::vector<std::pair<QByteArray, QImage>> cache;  // key: SHA-1, MRU first
    const QByteArray key = QCryptographicHash::hash(data, QCryptographicHash::Sha1);
    std::lock_guard guard(lock);
    for (auto& entry : cache)
        if (entry.first == key)
            return entry.second;
    QImage img = QImage::fromData(data);
    cache.insert(cache.begin(), {key, img});
    if (cache.size() > 16)
        cache.pop_back();
    return img;
}

void drawFrameSide(QPainter& p, const FrameSpec& f, QLineF line, QPointF inward) {
    if (f.Style != FrameStyle::Double) {
        p.drawLine(line);
        return;
    }
    // Double: two thin lines, the second one and a half widths inside the first.
    p.drawLine(line);
    p.drawLine(line.translated(inward * (f.Width * 2)));
}

void drawFrame(QPainter& p, const PreparedItem& it) {
    const FrameSpec& f = it.Frame;
    if (!f.Typ || f.Color == kColorNone)
        return;
    p.setPen(framePen(f));
    p.setBrush(Qt::NoBrush);
    const QRectF r = itemRect(it);
    if (f.Typ & ftLeft)
        drawFrameSide(p, f, {r.topLeft(), r.bottomLeft()}, {1, 0});
    if (f.Typ & ftRight)
        drawFrameSide(p, f, {r.topRight(), r.bottomRight()}, {-1, 0});
    if (f.Typ & ftTop)
        drawFrameSide(p, f, {r.topLeft(), r.topRight()}, {0, 1});
    if (f.Typ & ftBottom)
        drawFrameSide(p, f, {r.bottomLeft(), r.bottomRight()}, {0, -1});
}

void drawFill(QPainter& p, const PreparedItem& it) {
    if (it.FillColor != kColorNone)
        p.fillRect(itemRect(it), ColorFromInt(it.FillColor));
}

// Words at their natural widths, the space left shared out evenly between them.
void drawJustified(QPainter& p, const TextLine& l) {
    const QStringList words = l.Text.split(u' ', Qt::SkipEmptyParts);
    const QFontMetricsF fm(p.font(), p.device());
    double used = 0;
    for (const QString& w : words)
        used += fm.horizontalAdvance(w);
    const double gap = words.size() > 1 ? (l.JustifyWidth - used) / double(words.size() - 1) : 0;
    double x = l.X;
    for (const QString& w : words) {
        p.drawText(QPointF(x, l.Baseline), w);
        x += fm.horizontalAdvance(w) + gap;
    }
}

// Each distinct font is built once per device resolution and thread.
const QFont& deviceFont(const FontSpec& font, const QPaintDevice* device) {
    thread_local QHash<QString, QFont> cache;
    const int dpi = device ? device->logicalDpiY() : 96;
    const QString key = font.Name + u'|' + QString::number(font.Size) + u'|' +
                        QString::number(font.Style) + u'|' + QString::number(dpi);
    auto it = cache.find(key);
    if (it == cache.end()) {
        if (cache.size() > 256)
            cache.clear();
        it = cache.insert(key, FontForDevice(font, device));
    }
    return *it;
}

// Whether every line lies inside the box, so that no clip is needed. The layout keeps text in
// its box unless it does not fit; clipping costs a clip path per object in a PDF, so it is set
// only when a line really reaches out. Ascent and descent are taken generously from the size.
bool linesInside(const PreparedItem& it) {
    if (it.Rotation != 0)
        return false;
    const double em = it.Font.Size * 96.0 / 72.0;
    for (const TextLine& l : it.Lines) {
        const double width = std::max(l.Width, l.JustifyWidth);
        if (l.X < -0.5 || l.X + width > it.W + 0.5 || l.Baseline - em < -0.5 ||
            l.Baseline + 0.3 * em > it.H + 0.5)
            return false;
    }
    return true;
}

void drawTextLines(QPainter& p, const PreparedItem& it, const RenderOptions& o) {
    if (it.Lines.empty())
        return;
    const QFont& font = deviceFont(it.Font, p.device());
    const QColor color = ColorFromInt(it.Font.Color);
    const QRectF r = itemRect(it);
    if (it.Rotation == 0 && (!o.Clip || linesInside(it))) {
        // The common case, kept cheap: no state saved, no clip, no transformation.
        if (p.font() != font)
            p.setFont(font);
        if (p.pen().color() != color || p.pen().style() != Qt::SolidLine)
            p.setPen(color);
        for (const TextLine& l : it.Lines) {
            if (l.JustifyWidth > l.Width && l.Text.contains(u' ')) {
                p.save();
                p.translate(r.topLeft());
                drawJustified(p, l);
                p.restore();
            } else {
                p.drawText(QPointF(r.x() + l.X, r.y() + l.Baseline), l.Text);
            }
        }
        return;
    }
    p.save();
    p.setFont(font);
    p.setPen(color);
    if (o.Clip)
        p.setClipRect(r, Qt::IntersectClip);
    p.translate(r.topLeft());
    // Rotated text was laid out in a box with the rotated proportions; turn that box into place.
    switch ((it.Rotation % 360 + 360) % 360) {
        case 90:
            p.translate(0, r.height()), p.rotate(-90);
            break;
        case 180:
            p.translate(r.width(), r.height()), p.rotate(180);
            break;
        case 270:
            p.translate(r.width(), 0), p.rotate(90);
            break;
        default:
            break;
    }
    for (const TextLine& l : it.Lines) {
        if (l.JustifyWidth > l.Width && l.Text.contains(u' '))
            drawJustified(p, l);
        else
            p.drawText(QPointF(l.X, l.Baseline), l.Text);
    }
    p.restore();
}

void drawShape(QPainter& p, const PreparedItem& it) {
    const QRectF r = itemRect(it);
    p.setPen(it.Frame.Color == kColorNone ? QPen(Qt::NoPen) : framePen(it.Frame));
    p.setBrush(it.FillColor == kColorNone ? QBrush(Qt::NoBrush)
                                          : QBrush(ColorFromInt(it.FillColor)));
    switch (it.Shape) {
        case ShapeKind::Rectangle:
            p.drawRect(r);
            break;
        case ShapeKind::RoundRectangle: {
            const double radius = std::min(r.width(), r.height()) / 4;
            p.drawRoundedRect(r, radius, radius);
            break;
        }
        case ShapeKind::Ellipse:
            p.drawEllipse(r);
            break;
        case ShapeKind::Triangle:
            p.drawPolygon(
                QPolygonF({QPointF(r.center().x(), r.top()), r.bottomRight(), r.bottomLeft()}));
            break;
        case ShapeKind::Diamond:
            p.drawPolygon(QPolygonF(
                {QPointF(r.center().x(), r.top()), QPointF(r.right(), r.center().y()),
                 QPointF(r.center().x(), r.bottom()), QPointF(r.left(), r.center().y())}));
            break;
    }
}

void drawImage(QPainter& p, const PreparedItem& it) {
    const QImage img = decodeImage(it.ImageData);
    if (img.isNull())
        return;
    QRectF target = itemRect(it);
    if (it.KeepAspect && img.width() > 0 && img.height() > 0) {
        QSizeF size = QSizeF(img.size()).scaled(target.size(), Qt::KeepAspectRatio);
        QPointF at = it.Center ? target.center() - QPointF(size.width(), size.height()) / 2
                               : target.topLeft();
        target = QRectF(at, size);
    }
    p.drawImage(target, img);
}

void drawCheckBox(QPainter& p, const PreparedItem& it) {
    const QRectF r = itemRect(it);
    const double side = std::min(r.width(), r.height());
    const QRectF box(r.center() - QPointF(side, side) / 2, QSizeF(side, side));
    if (!it.Checked)
        return;
    QPen pen(ColorFromInt(it.Font.Color), std::max(1.0, side / 8), Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    p.setPen(pen);
    const QRectF in = box.adjusted(side / 5, side / 5, -side / 5, -side / 5);
    if (it.CheckStyle == 1) {
        p.drawPolyline(
            QPolygonF({QPointF(in.left(), in.center().y()),
                       QPointF(in.left() + in.width() / 3, in.bottom()), in.topRight()}));
    } else {
        p.drawLine(in.topLeft(), in.bottomRight());
        p.drawLine(in.bottomLeft(), in.topRight());
    }
}

void drawBars(QPainter& p, const PreparedItem& it) {
    const QColor color = ColorFromInt(it.Font.Color);
    for (const BarRect& b : it.Bars)
        p.fillRect(QRectF(it.X + b.X, it.Y + b.Y, b.W, b.H), color);
}

void drawGradient(QPainter& p, const PreparedItem& it) {
    const QRectF r = itemRect(it);
    const QColor from = ColorFromInt(it.FillColor), to = ColorFromInt(it.EndColor);
    QGradient* g = nullptr;
    QLinearGradient linear;
    QRadialGradient radial(r.center(), std::max(r.width(), r.height()) / 2);
    switch (it.Gradient) {
        case GradientStyle::Horizontal:
            linear = QLinearGradient(r.topLeft(), r.topRight());
            g = &linear;
            break;
        case GradientStyle::Vertical:
            linear = QLinearGradient(r.topLeft(), r.bottomLeft());
            g = &linear;
            break;
        case GradientStyle::Elliptic:
        case GradientStyle::Rectangle:
            g = &radial;
            break;
    }
    g->setColorAt(0, from);
    g->setColorAt(1, to);
    p.fillRect(r, QBrush(*g));
}

}  // namespace

void RenderItem(QPainter& painter, const PreparedItem& it, const RenderOptions& options) {
    switch (it.Kind) {
        case ItemKind::Text:
            drawFill(painter, it), drawTextLines(painter, it, options);
            break;
        case ItemKind::Rect:
            drawFill(painter, it);
            break;
        case ItemKind::Line:
            if (it.Frame.Color != kColorNone) {
                painter.setPen(framePen(it.Frame));
                painter.drawLine(QLineF(it.X, it.Y, it.X + it.W, it.Y + it.H));
            }
            return;
        case ItemKind::Shape:
            drawShape(painter, it);
            return;
        case ItemKind::Image:
            drawFill(painter, it), drawImage(painter, it);
            break;
        case ItemKind::CheckBox:
            drawFill(painter, it), drawCheckBox(painter, it);
            break;
        case ItemKind::Barcode:
            drawFill(painter, it), drawBars(painter, it), drawTextLines(painter, it, options);
            break;
        case ItemKind::Gradient:
            drawGradient(painter, it);
            break;
    }
    drawFrame(painter, it);
}

void RenderPage(QPainter& painter, const PreparedPage& page, double scale, QPointF origin,
                const RenderOptions& options) {
    painter.save();
    painter.translate(origin);
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QRectF paper(0, 0, PageWidthPx(page), PageHeightPx(page));
    if (options.Background)
        painter.fillRect(paper,
                         page.Color == kColorNone ? QColor(Qt::white) : ColorFromInt(page.Color));
    for (const PreparedItem& it : page.Items)
        RenderItem(painter, it, options);
    painter.restore();
}

void RenderPage(QPainter& painter, const PreparedPage& page, const QRectF& target,
                const RenderOptions& options) {
    const double sx = target.width() / PageWidthPx(page);
    const double sy = target.height() / PageHeightPx(page);
    RenderPage(painter, page, std::min(sx, sy), target.topLeft(), options);
}

}  // namespace reportengine
