#include "SkinFrame.h"
#include "frmBack.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace corvanel;
using namespace corvanel::skin;

namespace {

// A tile whose every pixel is different, so a rendered pixel tells which tile pixel it is.
QPixmap numberedTile(int width, int height, qreal ratio)
{
    QImage image(qRound(width * ratio), qRound(height * ratio), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 11 % 256, 40 + (x + y) % 200));
    image.setDevicePixelRatio(ratio);
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

// The mean difference in grey between columns a and b.
double meanColumnStep(const QImage &image, int a, int b)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        sum += std::abs(qGray(image.pixel(a, y)) - qGray(image.pixel(b, y)));
    return sum / image.height();
}

} // namespace

TEST(SkinPictures, PaintBackFillsExactlyTheAreaWithTilesFromItsCorner)
{
    for (qreal ratio : {1.0, 2.0}) {
        const QPixmap tile = numberedTile(16, 10, ratio);
        const QImage source = tile.toImage();
        const QRect area(5, 7, 45, 33);
        QImage canvas(qRound(60 * ratio), qRound(50 * ratio), QImage::Format_RGB32);
        canvas.setDevicePixelRatio(ratio);
        const QRgb untouched = qRgb(255, 0, 255);
        canvas.fill(untouched);
        {
            QPainter painter(&canvas);
            PaintBack(painter, area, tile);
        }
        const QRect physical(area.topLeft() * ratio, area.size() * ratio);
        int wrong = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                wrong += canvas.pixel(x, y) !=
                         (physical.contains(x, y)
                              ? source.pixel((x - physical.x()) % source.width(), (y - physical.y()) % source.height())
                              : untouched);
        EXPECT_EQ(wrong, 0) << ratio;
    }
}

TEST(SkinPictures, BackgroundTileHasNoSeamWhereTilesMeet)
{
    for (qreal ratio : {1.0, 2.0}) {
        const QImage tile = frmBack(ratio).backgroundTile().toImage();
        ASSERT_EQ(tile.width(), qRound(skin::kTileSize * ratio));
        // Columns, then rows as the columns of the transposed tile.
        for (const QImage &image : {tile, tile.transformed(QTransform(0, 1, 1, 0, 0, 0))}) {
            const int last = image.width() - 1;
            double inner = 0;
            for (int x = 0; x < last; ++x)
                inner += meanColumnStep(image, x, x + 1) / last;
            EXPECT_LE(meanColumnStep(image, last, 0), inner * 1.5 + 0.5) << ratio;
        }
    }
}

TEST(SkinPictures, PicturesAreDrawnAtTheDevicePixelRatio)
{
    for (qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        const frmBack back(ratio);
        const auto expectSize = [ratio](const QPixmap &pixmap, QSize logical) {
            EXPECT_EQ(pixmap.devicePixelRatio(), ratio);
            EXPECT_EQ(pixmap.size(), logical * ratio);
        };
        expectSize(back.captionPicture(300), QSize(300, skin::kCaptionHeight));
        expectSize(back.menuBarPicture(300), QSize(300, skin::kMenuBarHeight));
        expectSize(back.backgroundTile(), QSize(skin::kTileSize, skin::kTileSize));
        for (const QPixmap &button :
             {back.imgMinimize(), back.imgMinimizeHover(), back.imgClose(), back.imgCloseHover(), back.imgMaximize()})
            expectSize(button, QSize(skin::kButtonSize, skin::kButtonSize));
        expectSize(back.imgL(200), QSize(skin::kEdgeWidth, 200));
        expectSize(back.imgR(200), QSize(skin::kEdgeWidth, 200));
        expectSize(back.imgBottom(300), QSize(300, skin::kBottomHeight));
        expectSize(back.podIcon(), QSize(skin::kPodIconSize, skin::kPodIconSize));
    }
    // The lit pictures differ from the normal ones.
    const frmBack back(1);
    EXPECT_NE(back.imgClose().toImage(), back.imgCloseHover().toImage());
    EXPECT_NE(back.imgMinimize().toImage(), back.imgMinimizeHover().toImage());
}

TEST(SkinPictures, IconsHaveEveryStandardSizeAndATransparentOutside)
{
    const QIcon icon = frmBack::appIcon();
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    const QImage big = frmBack::appIconImage(256);
    EXPECT_EQ(qAlpha(big.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(big.pixel(128, 128)), 255);
    const QImage pod = frmBack(1).podIcon().toImage();
    EXPECT_EQ(qAlpha(pod.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(pod.pixel(skin::kPodIconSize / 2, skin::kPodIconSize / 2)), 255);
}

TEST(SkinPictures, RoundedMaskCutsTheFourCornersSymmetrically)
{
    const QRegion mask = roundedMask(QSize(100, 60), 9);
    for (QPoint corner : {QPoint(0, 0), QPoint(99, 0), QPoint(1, 1)})
        EXPECT_FALSE(mask.contains(corner)) << corner.x() << "," << corner.y();
    for (int y = 9; y < 51; ++y)
        EXPECT_TRUE(mask.contains(QPoint(0, y))) << y;
    // Turned half round it is the same mask, so the bottom corners and the right side follow.
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(mask.contains(QPoint(x, y)), mask.contains(QPoint(99 - x, 59 - y))) << x << "," << y;
    EXPECT_TRUE(mask.contains(QPoint(50, 0)));
    // A corner larger than the window is limited to half its smaller side.
    EXPECT_TRUE(roundedMask(QSize(10, 10), 50).contains(QPoint(5, 5)));
}

TEST(SkinPictures, FrameEdgesLeaveTheContentAndTheTopAlone)
{
    QImage canvas(200, 150, QImage::Format_RGB32);
    const QRgb untouched = qRgb(255, 0, 255);
    canvas.fill(untouched);
    {
        QPainter painter(&canvas);
        paintFrameEdges(painter, canvas.rect());
    }
    EXPECT_NE(canvas.pixel(2, 100), untouched);
    EXPECT_NE(canvas.pixel(197, 100), untouched);
    EXPECT_NE(canvas.pixel(100, 147), untouched);
    EXPECT_NE(canvas.pixel(100, 0), untouched); // the outer border
    EXPECT_EQ(canvas.pixel(100, 100), untouched);
    EXPECT_EQ(canvas.pixel(skin::kEdgeWidth, 100), untouched);
    EXPECT_EQ(canvas.pixel(100, 20), untouched);
}

TEST(SkinPictures, WindowBackdropIsMadeOncePerSizeAndLooksAsPaintedAnew)
{
    BackdropCache cache;
    const QSize size(300, 200);
    const qint64 first = cache.picture(size, 1.0).cacheKey();
    EXPECT_EQ(cache.picture(size, 1.0).cacheKey(), first) << "a second paint copies the picture";
    EXPECT_NE(cache.picture(QSize(301, 200), 1.0).cacheKey(), first) << "a new size makes it anew";
    EXPECT_EQ(cache.picture(size, 2.0).size(), QSize(600, 400)) << "and a new scale factor";

    // A part painted from the picture is the same as that part painted anew.
    QImage copied(size, QImage::Format_ARGB32_Premultiplied), anew = copied;
    copied.fill(Qt::transparent);
    anew.fill(Qt::transparent);
    const QRect area(QPoint(0, 0), size);
    {
        QPainter painter(&copied);
        cache.paint(painter, area, size, 1.0);
        QPainter fresh(&anew);
        PaintBack(fresh, area, frmBack(1.0).backgroundTile());
        paintFrameEdges(fresh, area);
    }
    for (const QPoint at : {QPoint(1, 1), QPoint(150, 100), QPoint(2, 190), QPoint(298, 150), QPoint(120, 198)})
        EXPECT_EQ(copied.pixel(at), anew.pixel(at)) << at.x() << "," << at.y();
}
