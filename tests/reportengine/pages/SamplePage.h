// A small hand-built prepared page holding one item of every kind, shared by the page, renderer
// and export tests. Text lines carry fixed positions, so the page needs no layout.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QBuffer>
#include <QImage>

namespace testpages {

using namespace reportengine;

inline QByteArray tinyPng() {
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(qRgb(0, 128, 255));
    img.setPixel(0, 0, qRgb(255, 0, 0));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

inline PreparedItem textItem(double x, double y, double w, double h, std::vector<TextLine> lines) {
    PreparedItem it;
    it.Kind = ItemKind::Text;
    it.X = x, it.Y = y, it.W = w, it.H = h;
    it.Name = "Memo1";
    it.Lines = std::move(lines);
    return it;
}

// 80 x 50 mm (302 x 189 px at 96 dpi).
inline PreparedPage samplePage(const QString& caption = QStringLiteral("Привет, отчёт")) {
    PreparedPage page;
    page.PaperWidth = 80, page.PaperHeight = 50;
    page.LeftMargin = page.TopMargin = page.RightMargin = page.BottomMargin = 5;

    PreparedItem title = textItem(10, 8, 280, 22, {{caption, 2, 16, 120}});
    title.Font = FontSpec{"Arial", 12, fsBold, 0x000080};  // dark red
    title.Frame = FrameSpec{ftBottom, 2, 0x00FF0000, FrameStyle::Solid};
    title.FillColor = 0x00E0FFFF;  // light yellow
    title.Tag = "https://example.org/a?b=1&c=<2>";
    page.Items.push_back(title);

    PreparedItem body =
        textItem(10, 34, 140, 40, {{"  Строка <1> & 2", 2, 13, 90}, {"Times line", 2, 30, 60}});
    body.Font = FontSpec{"Times New Roman", 10, fsItalic | fsUnderline, 0};
    body.Frame = FrameSpec{ftLeft | ftRight | ftTop | ftBottom, 1, 0, FrameStyle::Dash};
    page.Items.push_back(body);

    PreparedItem rotated = textItem(160, 34, 20, 60, {{"90°", 2, 13, 20}});
    rotated.Rotation = 90;
    rotated.Font.Name = "Courier New";
    page.Items.push_back(rotated);

    PreparedItem line;
    line.Kind = ItemKind::Line;
    line.X = 10, line.Y = 80, line.W = 280, line.H = 0;
    line.Frame = FrameSpec{0, 1.5, 0x00008000, FrameStyle::Double};
    page.Items.push_back(line);

    const ShapeKind shapes[] = {ShapeKind::Rectangle, ShapeKind::RoundRectangle, ShapeKind::Ellipse,
                                ShapeKind::Triangle, ShapeKind::Diamond};
    for (int i = 0; i < 5; ++i) {
        PreparedItem s;
        s.Kind = ItemKind::Shape;
        s.Shape = shapes[i];
        s.X = 10 + i * 34, s.Y = 90, s.W = 30, s.H = 24;
        s.FillColor = i % 2 ? kColorNone : 0x00C0C0C0;
        s.Frame.Color = 0x00FF0000;
        page.Items.push_back(s);
    }

    PreparedItem image;
    image.Kind = ItemKind::Image;
    image.X = 190, image.Y = 34, image.W = 40, image.H = 30;
    image.ImageData = tinyPng();
    page.Items.push_back(image);

    for (int checked = 0; checked < 2; ++checked) {
        PreparedItem box;
        box.Kind = ItemKind::CheckBox;
        box.X = 240 + checked * 20, box.Y = 34, box.W = 16, box.H = 16;
        box.Checked = checked;
        box.CheckStyle = std::uint8_t(checked);
        box.Frame.Typ = 15;
        page.Items.push_back(box);
    }

    PreparedItem barcode;
    barcode.Kind = ItemKind::Barcode;
    barcode.X = 190, barcode.Y = 120, barcode.W = 100, barcode.H = 40;
    for (int i = 0; i < 12; ++i)
        barcode.Bars.push_back(BarRect{double(i * 8), 0, double(1 + i % 3), 26});
    barcode.Lines = {{"123456", 30, 38, 40}};
    barcode.Font.Size = 7;
    page.Items.push_back(barcode);

    PreparedItem gradient;
    gradient.Kind = ItemKind::Gradient;
    gradient.X = 10, gradient.Y = 130, gradient.W = 170, gradient.H = 40;
    gradient.FillColor = 0x00FF0000, gradient.EndColor = 0x000000FF;
    gradient.Gradient = GradientStyle::Vertical;
    page.Items.push_back(gradient);

    PreparedItem rect;
    rect.Kind = ItemKind::Rect;
    rect.X = 0, rect.Y = 175, rect.W = 302, rect.H = 14;
    rect.FillColor = 0x00808080;
    page.Items.push_back(rect);
    return page;
}

}  // namespace testpages
