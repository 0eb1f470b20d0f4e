// Renders a skinned window (caption bar, menu bar, tiled background, frame edges) and the
// application icon to PNG files, for looking at the skin without a desktop.
#include "SkinFrame.h"
#include "frmBack.h"
#include "frmMenus.h"

#include <QMenu>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <utility>

namespace {

class PreviewWindow : public QWidget
{
public:
    PreviewWindow() : QWidget(nullptr, Qt::FramelessWindowHint), m_back(devicePixelRatioF())
    {
        setWindowTitle(QStringLiteral("Corvanel"));
        frame = new SkinFrame(this);
        resize(720, 460);
    }

    SkinFrame *frame = nullptr;

protected:
    void resizeEvent(QResizeEvent *) override
    {
        frame->setGeometry(0, 0, width(), skin::kFrameTop);
        setMask(roundedMask(size()));
    }

    void paintEvent(QPaintEvent *) override
    {
        m_back.setDevicePixelRatio(devicePixelRatioF());
        QPainter painter(this);
        PaintBack(painter, rect(), m_back.backgroundTile());
        paintFrameEdges(painter, rect());
    }

private:
    frmBack m_back;
};

// The grab of a masked window still holds the corners; clear them as the mask would.
QImage applyMask(const QPixmap &grab, const QRegion &mask)
{
    QImage image = grab.toImage().convertToFormat(QImage::Format_ARGB32);
    const qreal ratio = grab.devicePixelRatio();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!mask.contains(QPoint(static_cast<int>(x / ratio), static_cast<int>(y / ratio))))
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: skin_preview OUTPUT-PREFIX\n");
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[1]);

    PreviewWindow window;
    window.show();
    QApplication::processEvents();
    applyMask(window.grab(), window.mask()).save(prefix + "-window.png");

    // The lit close button and a pressed menu label, as the mouse would leave them.
    window.frame->imgCloseHover->show();
    window.frame->imgMinimizeHover->show();
    QApplication::processEvents();
    const QPixmap lit = window.frame->grab();
    lit.save(prefix + "-caption-lit.png");
    // Close-ups of both ends of the caption bar, device pixels enlarged three times.
    const QImage litImage = lit.toImage();
    const int closeUpWidth = qRound(240 * lit.devicePixelRatio());
    for (const auto &[name, left] :
         {std::pair{QStringLiteral("left"), 0}, std::pair{QStringLiteral("right"), litImage.width() - closeUpWidth}}) {
        const QImage part = litImage.copy(left, 0, closeUpWidth, litImage.height());
        part.scaled(part.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation)
            .save(prefix + "-closeup-" + name + ".png");
    }

    // The menus as they drop down: options (check marks, submenus) and the tray menu.
    frmMenus menus;
    menus.markAvailable(QStringLiteral("mnuPlay"));
    for (const QString &name : {QStringLiteral("mnuOptions"), QStringLiteral("mnuPopup"), QStringLiteral("mnuExtras"),
                                QStringLiteral("mnuTrayMin")}) {
        QMenu *menu = menus.menu(name);
        menu->popup(QPoint(0, 0));
        if (name == QLatin1String("mnuOptions"))
            menu->setActiveAction(menus.item(QStringLiteral("mnuDblClick")));
        QApplication::processEvents();
        menu->grab().save(prefix + "-menu-" + name + ".png");
        menu->hide();
    }

    QImage icons(16 + 24 + 32 + 48 + 64 + 128 + 256 + 8 * 10, 256 + 16, QImage::Format_ARGB32);
    icons.fill(QColor(0xe8, 0xea, 0xee));
    {
        QPainter painter(&icons);
        int x = 8;
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            painter.drawImage(x, 8 + 256 - size, frmBack::appIconImage(size));
            x += size + 10;
        }
    }
    icons.save(prefix + "-icons.png");
    std::printf("%s-window.png\n", qPrintable(prefix));
    return 0;
}
