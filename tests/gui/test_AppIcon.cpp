// The program's icon: the scalable picture compiled into the program, drawn
// at the sizes the desktop asks for, is the mark the banner draws.
#include "AppIcon.h"
#include "Banner.h"
#include "GuiSupport.h"

#include <QFile>
#include <QImage>
#include <cstdlib>

namespace {

// The mean difference of two pictures of one size, per colour channel and
// alpha, from 0 to 255.
double MeanDifference(const QImage& a, const QImage& b) {
    QImage x = a.convertToFormat(QImage::Format_ARGB32);
    QImage y = b.convertToFormat(QImage::Format_ARGB32);
    long long sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q)) + std::abs(qAlpha(p) - qAlpha(q));
        }
    }
    return static_cast<double>(sum) / (4.0 * x.width() * x.height());
}

} // namespace

TEST(AppIcon, IsCompiledInUnderTheApplicationId) {
    EXPECT_STREQ(kAppIconResource, ":/icons/org.tessmark.Tessmark.svg");
    EXPECT_TRUE(QFile::exists(QString::fromUtf8(kAppIconResource)));
}

TEST(AppIcon, HasEverySizeAndIsTheBannersMark) {
    QIcon icon = TessmarkIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        QImage drawn = icon.pixmap(size, size).toImage();
        ASSERT_EQ(drawn.size(), QSize(size, size));
        QImage mark = TessmarkLogo(size).toImage();
        // Edges are smoothed a little differently; the pictures are the same.
        EXPECT_LT(MeanDifference(drawn, mark), size < 32 ? 12.0 : 6.0);
    }
    // Probes: the corner is outside the rounded tile, the tick's disc is green,
    // the front record is white.
    QImage big = icon.pixmap(256, 256).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(big.pixel(1, 1)), 0);
    QRgb disc = big.pixel(qRound(256 * 0.62), qRound(256 * 0.90));
    EXPECT_GT(qGreen(disc), 150);
    EXPECT_LT(qRed(disc), 80);
    EXPECT_EQ(big.pixel(qRound(256 * 0.45), qRound(256 * 0.75)), qRgb(255, 255, 255));
}
