// Comparing a rendered picture with a stored one within a small tolerance. Set
// VELLUMAR_UPDATE_GOLDEN=1 to rewrite the stored pictures from the current output instead.
#pragma once

#include <QDir>
#include <QImage>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>

namespace testenv {

// Share of pixels whose colour differs by more than `tolerance` in some channel.
inline double DifferingShare(const QImage& a, const QImage& b, int tolerance) {
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (std::abs(qRed(ra[x]) - qRed(rb[x])) > tolerance ||
                std::abs(qGreen(ra[x]) - qGreen(rb[x])) > tolerance ||
                std::abs(qBlue(ra[x]) - qBlue(rb[x])) > tolerance)
                ++differing;
    }
    return double(differing) / (double(a.width()) * a.height());
}

inline void CompareWithGolden(const QImage& actual, const QString& goldenDir, const QString& name) {
    const QString path = goldenDir + u'/' + name;
    if (qEnvironmentVariableIntValue("VELLUMAR_UPDATE_GOLDEN")) {
        ASSERT_TRUE(actual.save(path, "PNG"));
        GTEST_SKIP() << "golden written: " << path.toStdString();
    }
    const QImage golden = QImage(path).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(golden.isNull()) << "missing " << path.toStdString();
    ASSERT_EQ(golden.size(), actual.size());
    // Anti-aliasing and glyph rasterisation may move by a level here and there between font and
    // Qt versions; a shape or a text line in the wrong place changes far more than 0.5 %.
    const double share = DifferingShare(actual.convertToFormat(QImage::Format_RGB32), golden, 48);
    const QString saved = QDir::tempPath() + u'/' + name;
    if (share > 0.005)
        actual.save(saved);
    EXPECT_LE(share, 0.005) << "differs from " << path.toStdString() << "; actual written to "
                            << saved.toStdString();
}

}  // namespace testenv
