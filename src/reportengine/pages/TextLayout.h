// Text layout for prepared pages: breaks a text into the lines one text object shows, measured
// with the font's unhinted outline metrics at 96 dpi, so that screen, printer and PDF agree and
// no output ever re-wraps. The engine calls it once per text object; the lines go into the
// prepared item as they are.
//
// Line breaks: CR LF, LF and CR each end a paragraph. With word wrap a paragraph breaks at word
// boundaries, and a word wider than the box breaks between characters; without it each paragraph
// is one line. Trailing spaces of a wrapped line do not count towards its width. Justified text
// (HAlign::Block) gives every line but a paragraph's last a JustifyWidth; the renderer spreads
// the words over it.
//
// Thread contract: callable from any thread (it uses no shared state besides Qt's font database,
// which Qt guards); the QFont passed in must not be changed concurrently.
#pragma once

#include "reportengine/pages/PreparedPage.h"

#include <QFont>
#include <QString>

#include <vector>

namespace reportengine {

struct TextLayoutParams {
    double Width = 0;   // the box, px at 96 dpi
    double Height = 0;  // the box; used only for vertical alignment
    bool WordWrap = true;
    HAlign HAlignment = HAlign::Left;
    VAlign VAlignment = VAlign::Top;
    double GapX = 2;         // inner padding left and right
    double GapY = 1;         // inner padding top and bottom
    double LineSpacing = 2;  // extra px between lines
};

struct TextLayoutResult {
    std::vector<TextLine> Lines;  // positions relative to the box's top-left
    double Height = 0;            // the height the text needs, padding included
};

// The font must be sized in points for a 96-dpi device (see render/FontMapping: FontFor).
TextLayoutResult LayoutText(const QString& text, const QFont& font, const TextLayoutParams& p);

// Splits on CR LF, LF or CR.
std::vector<QString> SplitParagraphs(const QString& text);

}  // namespace reportengine
