#pragma once
// The skin: every picture the skinned windows are made of, drawn in code so that each
// is sharp at any device pixel ratio. frmBack itself is never shown; the windows copy
// its pictures (caption strip, background tile, caption buttons, frame edges, icons).
#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRect>

class QPainter;

namespace corvanel::skin {

// Layout of the skin in device-independent pixels.
inline constexpr int kCaptionHeight = 30;
inline constexpr int kMenuBarHeight = 24;
inline constexpr int kFrameTop = kCaptionHeight + kMenuBarHeight;
inline constexpr int kEdgeWidth = 5;    // left and right frame edges
inline constexpr int kBottomHeight = 5; // bottom frame edge
inline constexpr int kCornerRadius = 9;
inline constexpr int kButtonSize = 20;
inline constexpr int kTileSize = 64;
inline constexpr int kPodIconSize = 20;

// The palette: graphite greys with one warm accent.
QColor accent(); // warm orange
QColor accentDark();
QColor background();  // the tile's mean colour
QColor captionText(); // text on the caption bar and the menu bar
QColor mutedText();
QColor outline(); // the window's outer border

// Draws the iPod-like device glyph (body, screen, click wheel) fitted into box.
void drawPod(QPainter &painter, const QRectF &box, bool detailed);

class frmBack
{
public:
    // 0 means the primary screen's ratio (1 when there is no screen).
    explicit frmBack(qreal devicePixelRatio = 0);

    qreal devicePixelRatio() const { return m_ratio; }
    // Pictures made afterwards are drawn for the new ratio.
    void setDevicePixelRatio(qreal devicePixelRatio);

    // The caption bar strip, width x kCaptionHeight.
    QPixmap captionPicture(int width) const;
    // The background tile, kTileSize square; it tiles without seams.
    QPixmap backgroundTile() const;
    // The menu bar strip under the caption bar, width x kMenuBarHeight.
    QPixmap menuBarPicture(int width) const;

    // Caption buttons, kButtonSize square, normal and lit.
    QPixmap imgMinimize() const;
    QPixmap imgMinimizeHover() const;
    QPixmap imgClose() const;
    QPixmap imgCloseHover() const;
    // The maximise button is decoration only, so it is drawn subdued.
    QPixmap imgMaximize() const;

    // Frame edges: left and right kEdgeWidth wide, bottom kBottomHeight high.
    QPixmap imgL(int height) const;
    QPixmap imgR(int height) const;
    QPixmap imgBottom(int width) const;

    // The small window icon on the caption bar, kPodIconSize square.
    QPixmap podIcon() const;

    // The application icon in the sizes 16 to 256.
    static QIcon appIcon();
    // One size of the application icon, size x size device pixels.
    static QImage appIconImage(int size);

    static qreal screenRatio();

private:
    qreal m_ratio = 1;
};

// Fills area with tile: columns outer, rows inner, each step the tile's size in
// device-independent pixels, starting at the area's top-left corner.
void PaintBack(QPainter &painter, const QRect &area, const QPixmap &tile);

} // namespace corvanel::skin
