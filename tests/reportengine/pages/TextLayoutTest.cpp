// Text layout: paragraph splitting, word wrap, long words, alignment.
#include "reportengine/pages/TextLayout.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QStringList>

#include "TestEnv.h"

using namespace reportengine;

namespace {

QFont testFont() {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPointSizeF(10);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QStringList texts(const TextLayoutResult& r) {
    QStringList out;
    for (const TextLine& l : r.Lines)
        out << l.Text;
    return out;
}

}  // namespace

TEST(TextLayout, ParagraphsAndWrapping) {
    struct Case {
        const char* name;
        QString text;
        double width;
        bool wrap;
        QStringList expected;
    };
    const Case cases[] = {
        {"empty gives no lines", "", 200, true, {}},
        {"CR LF, LF and CR each end a line", "a\r\nb\nc\rd", 200, true, {"a", "b", "c", "d"}},
        {"a trailing CR LF leaves an empty last line", "a\r\n", 200, true, {"a", ""}},
        {"blank line kept", "a\n\nb", 200, true, {"a", "", "b"}},
        {"no wrap keeps the long line whole",
         "one two three four five six",
         30,
         false,
         {"one two three four five six"}},
        {"wrap at spaces, trailing space dropped",
         "one two three",
         34,
         true,
         {"one", "two", "three"}},
        {"Cyrillic words wrap too", "один два", 40, true, {"один", "два"}},
    };
    for (const Case& c : cases) {
        TextLayoutParams p;
        p.Width = c.width;
        p.WordWrap = c.wrap;
        EXPECT_EQ(texts(LayoutText(c.text, testFont(), p)).join("|"), c.expected.join("|"))
            << c.name;
    }
}

TEST(TextLayout, LongWordBreaksBetweenCharactersWithinTheBox) {
    const QString word(40, u'W');
    TextLayoutParams p;
    p.Width = 60;
    const TextLayoutResult r = LayoutText(word, testFont(), p);
    ASSERT_GT(r.Lines.size(), 2u);
    QString joined;
    for (const TextLine& l : r.Lines) {
        EXPECT_LE(l.Width, p.Width - 2 * p.GapX + 0.01);
        EXPECT_GT(l.Width, 0);
        joined += l.Text;
    }
    EXPECT_EQ(joined, word);
}

TEST(TextLayout, PositionsFollowAlignmentAndHeightCountsEveryLine) {
    const QFont font = testFont();
    const QFontMetricsF fm(font);
    TextLayoutParams p;
    p.Width = 200, p.Height = 100;
    p.HAlignment = HAlign::Right;
    p.VAlignment = VAlign::Bottom;
    const TextLayoutResult r = LayoutText("ab\ncdef", font, p);
    ASSERT_EQ(r.Lines.size(), 2u);
    for (const TextLine& l : r.Lines)  // right edges meet at the inner right border
        EXPECT_NEAR(l.X + l.Width, p.Width - p.GapX, 1e-6);
    EXPECT_GT(r.Lines[1].Baseline, r.Lines[0].Baseline);
    EXPECT_NEAR(r.Height, 2 * (fm.height() + p.LineSpacing) - p.LineSpacing + 2 * p.GapY, 0.5);
    // Bottom alignment: the last line's descent ends at the inner bottom border.
    EXPECT_NEAR(r.Lines[1].Baseline + fm.descent(), p.Height - p.GapY, 0.5);

    p.HAlignment = HAlign::Center;
    const TextLayoutResult c = LayoutText("ab", font, p);
    EXPECT_NEAR(c.Lines[0].X - p.GapX, p.Width - p.GapX - (c.Lines[0].X + c.Lines[0].Width), 1e-6);
}

TEST(TextLayout, JustifiedLinesSpreadExceptEachParagraphsLast) {
    TextLayoutParams p;
    p.Width = 80;
    p.HAlignment = HAlign::Block;
    const TextLayoutResult r = LayoutText("aa bb cc dd ee ff\nend", testFont(), p);
    ASSERT_GE(r.Lines.size(), 3u);
    for (std::size_t i = 0; i + 2 < r.Lines.size(); ++i)
        EXPECT_DOUBLE_EQ(r.Lines[i].JustifyWidth, p.Width - 2 * p.GapX) << i;
    EXPECT_EQ(r.Lines[r.Lines.size() - 2].JustifyWidth, 0) << "last line of the paragraph";
    EXPECT_EQ(r.Lines.back().JustifyWidth, 0);
}
