#include "SkinFrame.h"
#include "frmBack.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

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

// The window's backdrop, kept as one picture, looks as the background and frame painted anew.
TEST(SkinPictures, WindowBackdropLooksAsPaintedAnew)
{
    BackdropCache cache;
    const QSize size(300, 200);
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
