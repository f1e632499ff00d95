// The page container: spilling to disk and reading back, concurrent append and read, and the
// binary page form refusing damaged bytes.
#include "reportengine/pages/PageCodec.h"
#include "reportengine/pages/PreparedPages.h"
#include "reportengine/pages/SamplePage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TestEnv.h"

using namespace reportengine;

namespace {

PreparedPage numberedPage(int n) {
    PreparedPage p = testpages::samplePage(QStringLiteral("Страница %1").arg(n));
    p.Items[0].Lines.push_back(TextLine{QString(n % 50, u'x'), 1.5 * n, 2.25, 0.1});
    return p;
}

}  // namespace

TEST(PreparedPages, SpilledPagesComeBackEqual) {
    const std::size_t pageBytes = ApproximateBytes(numberedPage(0));
    TfrxPreparedPages pages(pageBytes * 10);  // room for about ten pages
    const int count = 300;
    for (int i = 0; i < count; ++i)
        pages.AddPage(numberedPage(i));
    ASSERT_EQ(pages.Count(), count);
    EXPECT_GT(pages.SpilledCount(), count - 12);
    EXPECT_LE(pages.ResidentCount(), 12);
    // Backwards and then forwards again, so that both the cache and the file are read.
    for (int i = count - 1; i >= 0; --i)
        ASSERT_EQ(*pages.Page(i), numberedPage(i)) << i;
    for (int i = 0; i < count; i += 7)
        ASSERT_EQ(*pages.Page(i), numberedPage(i)) << i;
    EXPECT_EQ(pages.Page(count), nullptr);
    EXPECT_EQ(pages.Page(-1), nullptr);
    pages.Clear();
    EXPECT_EQ(pages.Count(), 0);
}

TEST(PreparedPages, ReaderOnAnotherThreadSeesFinishedPagesWhileAppending) {
    TfrxPreparedPages pages(ApproximateBytes(numberedPage(0)) * 4);
    const int count = 200;
    std::atomic<bool> done{false};
    std::atomic<int> mismatches{0};
    std::thread reader([&] {
        while (!done) {
            const int n = pages.Count();
            if (n > 0 && !(*pages.Page(n - 1) == numberedPage(n - 1)))
                ++mismatches;
            if (n > 2 && !(*pages.Page(n / 2) == numberedPage(n / 2)))
                ++mismatches;
        }
    });
    for (int i = 0; i < count; ++i)
        pages.AddPage(numberedPage(i));
    done = true;
    reader.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(pages.Count(), count);
}

TEST(PageCodec, RoundTripAndEveryTruncationRefused) {
    PreparedPage page = testpages::samplePage();
    page.Items[1].ValueKind = ItemValueKind::Number;  // a typed value, as spreadsheets need
    page.Items[1].Value = -1234.5;
    page.Items[1].ValueFormat = "%2.2n";
    const QByteArray bytes = EncodePage(page);
    PreparedPage back;
    ASSERT_TRUE(DecodePage(bytes, back));
    EXPECT_EQ(back, page);
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        PreparedPage partial;
        ASSERT_FALSE(DecodePage(QByteArrayView(bytes.constData(), n), partial)) << n;
    }
    EXPECT_FALSE(DecodePage(bytes + '\0', back)) << "trailing bytes";
    QByteArray badKind = bytes;
    badKind[1 + 6 * 8 + 1 + 4 + 1] = char(42);  // first item's kind
    EXPECT_FALSE(DecodePage(badKind, back));
}

TEST(PageCodec, HandWrittenSeedDecodes) {
    // The fuzz seed is written by hand from the format description; it must stay decodable.
    PreparedPage page;
    ASSERT_TRUE(DecodePage(
        testenv::Sandbox::readFile(VELLUMAR_SOURCE_DIR "/fuzz/corpus/fp3/page.bin"), page));
    ASSERT_EQ(page.Items.size(), 2u);
    EXPECT_EQ(page.Items[0].Name, "Memo1");
    EXPECT_EQ(page.Items[0].Lines.at(0).Text, QStringLiteral("Привет"));
    EXPECT_EQ(page.Items[1].Kind, ItemKind::Barcode);
    EXPECT_EQ(page.Items[1].Bars.size(), 2u);
    EXPECT_EQ(page.Items[1].Font, FontSpec{});
}
