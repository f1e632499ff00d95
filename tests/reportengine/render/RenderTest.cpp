// The page renderer against a stored picture, and the colour and font tables it draws with.
#include "reportengine/pages/SamplePage.h"
#include "reportengine/render/Colors.h"
#include "reportengine/render/FontMapping.h"
#include "reportengine/render/PageRenderer.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QPainter>

#include "GoldenImage.h"
#include "TestEnv.h"

using namespace reportengine;

namespace {

const QString kGoldenDir = QStringLiteral(VELLUMAR_SOURCE_DIR "/tests/reportengine/render/golden");

QImage renderAt(const PreparedPage& page, double dpi) {
    const double scale = dpi / 96.0;
    QImage img(int(std::ceil(PageWidthPx(page) * scale)),
               int(std::ceil(PageHeightPx(page) * scale)), QImage::Format_RGB32);
    img.fill(Qt::magenta);  // anything the renderer leaves unpainted shows
    QPainter p(&img);
    RenderPage(p, page, scale);
    return img;
}

void compareWithGolden(const QImage& actual, const QString& name) {
    testenv::CompareWithGolden(actual, kGoldenDir, name);
}

}  // namespace

TEST(PageRenderer, SamplePageMatchesGolden) {
    const QImage img = renderAt(testpages::samplePage(), 96);
    compareWithGolden(img, QStringLiteral("sample-96dpi.png"));
}

TEST(PageRenderer, ScaleAndTargetRectAgree) {
    const PreparedPage page = testpages::samplePage();
    const QImage scaled = renderAt(page, 192);
    QImage fitted(scaled.size(), QImage::Format_RGB32);
    fitted.fill(Qt::magenta);
    {
        QPainter p(&fitted);
        RenderPage(p, page, QRectF(0, 0, PageWidthPx(page) * 2, PageHeightPx(page) * 2));
    }
    EXPECT_EQ(testenv::DifferingShare(scaled, fitted, 0), 0.0);
    // The page background covers the whole paper: no magenta left anywhere.
    EXPECT_EQ(scaled.pixel(scaled.width() - 3, scaled.height() - 3) & 0xFFFFFF, 0x808080u);
    EXPECT_EQ(scaled.pixel(1, 1) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(PageRenderer, JustifiedLineReachesTheRightEdge) {
    // Rightmost dark column of a one-line text item drawn with or without justification.
    auto inkRight = [](double justify) {
        PreparedPage page;
        page.PaperWidth = 60, page.PaperHeight = 10;
        PreparedItem it = testpages::textItem(0, 0, 200, 30, {{"a b c", 2, 20, 0, justify}});
        page.Items.push_back(it);
        const QImage img = renderAt(page, 96);
        int right = -1;
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (qGray(img.pixel(x, y)) < 128)
                    right = std::max(right, x);
        return right;
    };
    const int plain = inkRight(0);
    EXPECT_LT(plain, 40);
    EXPECT_NEAR(inkRight(180), 2 + 180, 3);
}

TEST(Colors, IntegersInBgrOrderAndSpecialValues) {
    struct Case {
        std::int32_t value;
        QColor expected;
    };
    const Case cases[] = {
        {0x000000FF, QColor(255, 0, 0)},  // red is the low byte
        {0x00FF0000, QColor(0, 0, 255)},  // blue the high one
        {0x00123456, QColor(0x56, 0x34, 0x12)}, {kColorNone, QColor(Qt::transparent)},
        {-16777201, QColor(0xF0, 0xF0, 0xF0)},  // clBtnFace
        {-16777211, QColor(Qt::white)},         // clWindow
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ColorFromInt(c.value).rgba(), c.expected.rgba()) << c.value;
        if (c.value >= 0 || c.value == kColorNone) {
            EXPECT_EQ(ColorToInt(ColorFromInt(c.value)), c.value);
        }
    }
}

TEST(FontMapping, WindowsFamiliesMapToInstalledFreeFonts) {
    const std::pair<const char*, const char*> cases[] = {
        {"Arial", "Liberation Sans"},       {"times new roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"}, {"Tahoma", "DejaVu Sans"},
        {"DejaVu Serif", "DejaVu Serif"},  // others kept
    };
    for (const auto& [from, to] : cases) {
        EXPECT_EQ(MapFontFamily(from), to);
        FontSpec font;
        font.Name = from;
        // The mapped family must really be installed, or layout silently uses another font.
        EXPECT_EQ(QFontInfo(FontFor(font)).family(), to) << from;
    }
    FontSpec bold{"Arial", 12, fsBold | fsStrikeOut, 0};
    const QFont f = FontFor(bold);
    EXPECT_TRUE(f.bold());
    EXPECT_TRUE(f.strikeOut());
    EXPECT_FALSE(f.italic());
    EXPECT_EQ(f.hintingPreference(), QFont::PreferNoHinting);
}
