#include "reportengine/pages/TextLayout.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QTextLayout>

namespace reportengine {

namespace {

// The device every measurement is made for: 96 dots per inch, whatever the screen says.
const QPaintDevice* layoutDevice() {
    static const QImage device = [] {
        QImage img(1, 1, QImage::Format_ARGB32);
        img.setDotsPerMeterX(3780);  // 96 dpi
        img.setDotsPerMeterY(3780);
        return img;
    }();
    return &device;
}

// Measuring is the costly part of laying out a report, and reports repeat their texts (device
// names, statuses, dates): each thread remembers the widths it measured, per font.
double measured(const QFont& font, const QFontMetricsF& fm, const QString& text) {
    struct FontWidths {
        QFont Font;
        QHash<QString, double> Widths;
    };
    thread_local std::vector<FontWidths> cache;
    FontWidths* entry = nullptr;
    for (FontWidths& e : cache)
        if (e.Font == font) {
            entry = &e;
            break;
        }
    if (!entry) {
        if (cache.size() >= 32)
            cache.clear();
        cache.push_back(FontWidths{font, {}});
        entry = &cache.back();
    }
    auto it = entry->Widths.constFind(text);
    if (it != entry->Widths.constEnd())
        return *it;
    if (entry->Widths.size() >= 65536)
        entry->Widths.clear();
    const double width = fm.horizontalAdvance(text);
    entry->Widths.insert(text, width);
    return width;
}

double trailingSpaceWidth(const QString& line, const QFontMetricsF& fm) {
    int n = int(line.size());
    while (n > 0 && line[n - 1].isSpace())
        --n;
    return n == line.size() ? 0.0 : fm.horizontalAdvance(line.mid(n));
}

void breakParagraph(const QString& para, const QFont& font, const TextLayoutParams& p,
                    const QFontMetricsF& fm, std::vector<TextLine>& out) {
    if (para.isEmpty() || !p.WordWrap) {
        out.push_back(TextLine{para, 0, 0, para.isEmpty() ? 0.0 : measured(font, fm, para)});
        return;
    }
    const double width = std::max(1.0, p.Width - 2 * p.GapX);
    // Most texts of a report fit on one line: measured whole they need no line breaker. The
    // line breaker would give the same single line, so this changes speed, not results.
    QString trimmed = para;
    while (!trimmed.isEmpty() && trimmed.back().isSpace())
        trimmed.chop(1);
    const double whole = measured(font, fm, trimmed);
    if (whole <= width) {
        out.push_back(TextLine{trimmed, 0, 0, whole});
        return;
    }
    QTextLayout layout(para, font, layoutDevice());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        QString text = para.mid(line.textStart(), line.textLength());
        const double w = line.naturalTextWidth() - trailingSpaceWidth(text, fm);
        while (!text.isEmpty() && text.back().isSpace())
            text.chop(1);
        out.push_back(TextLine{text, 0, 0, std::max(0.0, w)});
    }
    layout.endLayout();
}

}  // namespace

std::vector<QString> SplitParagraphs(const QString& text) {
    std::vector<QString> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        out.push_back(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    out.push_back(text.mid(start));
    return out;
}

TextLayoutResult LayoutText(const QString& text, const QFont& font, const TextLayoutParams& p) {
    TextLayoutResult r;
    if (text.isEmpty()) {
        r.Height = 2 * p.GapY;
        return r;
    }
    const QFontMetricsF fm(font, layoutDevice());
    for (const QString& para : SplitParagraphs(text)) {
        const std::size_t first = r.Lines.size();
        breakParagraph(para, font, p, fm, r.Lines);
        // Justified: every wrapped line but a paragraph's last spreads over the inner width.
        if (p.HAlignment == HAlign::Block)
            for (std::size_t i = first; i + 1 < r.Lines.size(); ++i)
                r.Lines[i].JustifyWidth = p.Width - 2 * p.GapX;
    }
    const double lineHeight = fm.height() + p.LineSpacing;
    const double textHeight = lineHeight * double(r.Lines.size()) - p.LineSpacing;
    r.Height = textHeight + 2 * p.GapY;
    double top = p.GapY;
    if (p.VAlignment == VAlign::Bottom)
        top = p.Height - p.GapY - textHeight;
    else if (p.VAlignment == VAlign::Center)
        top = (p.Height - textHeight) / 2;
    for (std::size_t i = 0; i < r.Lines.size(); ++i) {
        TextLine& l = r.Lines[i];
        l.Baseline = top + double(i) * lineHeight + fm.ascent();
        const double room = p.Width - 2 * p.GapX - l.Width;
        l.X = p.GapX;
        if (p.HAlignment == HAlign::Right)
            l.X += room;
        else if (p.HAlignment == HAlign::Center)
            l.X += room / 2;
    }
    return r;
}

}  // namespace reportengine
