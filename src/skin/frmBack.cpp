#include "frmBack.h"

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QScreen>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <mutex>
#include <numbers>
#include <random>
#include <vector>

namespace corvanel::skin {

QColor accent()
{
    return QColor(0xff, 0x8c, 0x32);
}
QColor accentDark()
{
    return QColor(0xd9, 0x5f, 0x1c);
}
QColor background()
{
    return QColor(0x24, 0x29, 0x30);
}
QColor captionText()
{
    return QColor(0xf2, 0xf4, 0xf7);
}
QColor mutedText()
{
    return QColor(0xa9, 0xb2, 0xbe);
}
QColor outline()
{
    return QColor(0x0a, 0x0c, 0x0f);
}

namespace {

// A new transparent image of logical size, drawn at ratio.
QImage newImage(QSize logical, qreal ratio)
{
    const QSize physical(std::max(1, qRound(logical.width() * ratio)), std::max(1, qRound(logical.height() * ratio)));
    QImage image(physical, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

QPixmap toPixmap(const QImage &image)
{
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(image.devicePixelRatio());
    return pixmap;
}

// Brushed-metal grain for one tile of side `side` device pixels, values about -1..1.
// Every term is periodic in the tile's side, so tiles meet without a seam.
class BrushedGrain
{
public:
    explicit BrushedGrain(int side) : m_side(side), m_values(static_cast<size_t>(side) * side)
    {
        std::mt19937 random(0xC0A7u);
        std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
        std::uniform_real_distribution<float> phase(0.0f, 2.0f * std::numbers::pi_v<float>);

        std::vector<float> rows(static_cast<size_t>(side));
        for (float &row : rows)
            row = unit(random);
        std::vector<float> smooth(rows.size());
        for (int y = 0; y < side; ++y) {
            const auto at = [&](int i) { return rows[static_cast<size_t>((i + side) % side)]; };
            smooth[static_cast<size_t>(y)] = 0.25f * at(y - 1) + 0.5f * at(y) + 0.25f * at(y + 1);
        }

        const float turn = 2.0f * std::numbers::pi_v<float> / static_cast<float>(side);
        for (int y = 0; y < side; ++y) {
            const float phase1 = phase(random);
            const float phase2 = phase(random);
            const float strength = 0.5f + 0.5f * std::abs(unit(random));
            for (int x = 0; x < side; ++x) {
                const float streak = strength * (0.6f * std::sin(turn * static_cast<float>(x) + phase1) +
                                                 0.4f * std::sin(3.0f * turn * static_cast<float>(x) + phase2));
                const float grain = unit(random);
                m_values[static_cast<size_t>(y * side + x)] =
                    0.55f * smooth[static_cast<size_t>(y)] + 0.3f * streak + 0.2f * grain;
            }
        }
    }

    float at(int x, int y) const { return m_values[static_cast<size_t>((y % m_side) * m_side + (x % m_side))]; }

    int side() const { return m_side; }

private:
    int m_side;
    std::vector<float> m_values;
};

const BrushedGrain &grainFor(qreal ratio)
{
    static std::mutex lock;
    static std::map<int, BrushedGrain> grains;
    const int side = std::max(1, qRound(kTileSize * ratio));
    const std::scoped_lock guard(lock);
    return grains.try_emplace(side, side).first->second;
}

int clampChannel(float value)
{
    return std::clamp(static_cast<int>(std::lround(value)), 0, 255);
}

// Fills image with a vertical gradient from top to bottom plus brushed grain of the given
// strength (in colour levels).
void fillBrushed(QImage &image, const QColor &top, const QColor &bottom, float strength)
{
    const BrushedGrain &grain = grainFor(image.devicePixelRatio());
    const int width = image.width();
    const int height = image.height();
    for (int y = 0; y < height; ++y) {
        const float t = height > 1 ? static_cast<float>(y) / static_cast<float>(height - 1) : 0.0f;
        const float r = static_cast<float>(top.red()) + t * static_cast<float>(bottom.red() - top.red());
        const float g = static_cast<float>(top.green()) + t * static_cast<float>(bottom.green() - top.green());
        const float b = static_cast<float>(top.blue()) + t * static_cast<float>(bottom.blue() - top.blue());
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const float n = grain.at(x, y) * strength;
            // A slightly cooler tint in the bright streaks reads as metal rather than dust.
            line[x] = qRgb(clampChannel(r + n), clampChannel(g + n), clampChannel(b + n * 1.15f));
        }
    }
}

QImage backgroundTileImage(qreal ratio)
{
    QImage image = newImage(QSize(kTileSize, kTileSize), ratio);
    fillBrushed(image, background(), background(), 3.2f);
    return image;
}

QImage captionImage(int width, qreal ratio)
{
    QImage image = newImage(QSize(std::max(1, width), kCaptionHeight), ratio);
    fillBrushed(image, QColor(0x44, 0x4d, 0x5a), QColor(0x2b, 0x31, 0x3a), 2.6f);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(0, 0, width, kCaptionHeight);

    // Soft gloss over the upper half.
    QLinearGradient gloss(area.topLeft(), QPointF(0, kCaptionHeight * 0.55));
    gloss.setColorAt(0, QColor(255, 255, 255, 34));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(QRectF(0, 0, width, kCaptionHeight * 0.55), gloss);

    // A faint warm glow behind the window icon ties the accent into the bar.
    QRadialGradient glow(QPointF(kPodIconSize * 0.5 + 8, kCaptionHeight * 0.5), kCaptionHeight * 1.6);
    QColor warm = accent();
    warm.setAlpha(38);
    glow.setColorAt(0, warm);
    glow.setColorAt(1, QColor(255, 140, 50, 0));
    painter.fillRect(area, glow);

    // Top highlight and the dark seam towards the menu bar.
    const qreal hair = 1.0 / ratio;
    painter.fillRect(QRectF(0, 0, width, 1), QColor(255, 255, 255, 46));
    painter.fillRect(QRectF(0, kCaptionHeight - 1, width, 1), QColor(0x12, 0x15, 0x19));
    painter.fillRect(QRectF(0, kCaptionHeight - 1 - hair, width, hair), QColor(255, 255, 255, 12));
    return image;
}

QImage menuBarImage(int width, qreal ratio)
{
    QImage image = newImage(QSize(std::max(1, width), kMenuBarHeight), ratio);
    fillBrushed(image, QColor(0x2a, 0x30, 0x38), QColor(0x22, 0x27, 0x2e), 2.4f);

    QPainter painter(&image);
    painter.fillRect(QRectF(0, 0, width, 1), QColor(255, 255, 255, 16));
    // The accent rule under the menu bar fades out towards the right.
    QLinearGradient rule(QPointF(0, 0), QPointF(width, 0));
    QColor strong = accent();
    strong.setAlpha(210);
    QColor faint = accent();
    faint.setAlpha(30);
    rule.setColorAt(0, strong);
    rule.setColorAt(0.55, faint);
    rule.setColorAt(1, QColor(faint.red(), faint.green(), faint.blue(), 8));
    painter.fillRect(QRectF(0, kMenuBarHeight - 2, width, 1), QColor(0x14, 0x17, 0x1b));
    painter.fillRect(QRectF(0, kMenuBarHeight - 1, width, 1), rule);
    return image;
}

enum class Glyph { Minimize, Maximize, Close };
enum class ButtonLook { Normal, Lit, Subdued };

QImage buttonImage(Glyph glyph, ButtonLook look, qreal ratio)
{
    QImage image = newImage(QSize(kButtonSize, kButtonSize), ratio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF face = QRectF(0, 0, kButtonSize, kButtonSize).adjusted(1.5, 1.5, -1.5, -1.5);
    const qreal radius = 5;

    // Drop shadow under the face so it sits on the bar.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 60));
    painter.drawRoundedRect(face.translated(0, 0.8), radius, radius);

    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    QColor border;
    QColor ink;
    if (look == ButtonLook::Lit && glyph == Glyph::Close) {
        fill.setColorAt(0, QColor(0xff, 0xa2, 0x56));
        fill.setColorAt(1, QColor(0xe5, 0x5a, 0x1f));
        border = QColor(0x9c, 0x3a, 0x0e);
        ink = Qt::white;
    } else if (look == ButtonLook::Lit) {
        fill.setColorAt(0, QColor(0x66, 0x71, 0x80));
        fill.setColorAt(1, QColor(0x4a, 0x53, 0x60));
        border = QColor(0x1b, 0x20, 0x26);
        ink = Qt::white;
    } else {
        fill.setColorAt(0, QColor(0x4a, 0x53, 0x5f));
        fill.setColorAt(1, QColor(0x33, 0x3a, 0x44));
        border = QColor(0x17, 0x1b, 0x20);
        ink = look == ButtonLook::Subdued ? QColor(0x86, 0x90, 0x9c) : QColor(0xdc, 0xe2, 0xea);
    }
    painter.setBrush(fill);
    painter.setPen(QPen(border, 1));
    painter.drawRoundedRect(face, radius, radius);

    // Inner top highlight.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, look == ButtonLook::Lit ? 90 : 40), 1));
    painter.drawRoundedRect(face.adjusted(1, 1, -1, -1), radius - 1, radius - 1);

    QPen pen(ink, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    const QPointF c = face.center();
    switch (glyph) {
    case Glyph::Minimize:
        painter.drawLine(QPointF(c.x() - 4, c.y() + 3), QPointF(c.x() + 4, c.y() + 3));
        break;
    case Glyph::Maximize:
        painter.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawRoundedRect(QRectF(c.x() - 4, c.y() - 3.5, 8, 7), 1.2, 1.2);
        painter.drawLine(QPointF(c.x() - 4, c.y() - 2), QPointF(c.x() + 4, c.y() - 2));
        break;
    case Glyph::Close:
        painter.drawLine(QPointF(c.x() - 3.5, c.y() - 3.5), QPointF(c.x() + 3.5, c.y() + 3.5));
        painter.drawLine(QPointF(c.x() + 3.5, c.y() - 3.5), QPointF(c.x() - 3.5, c.y() + 3.5));
        break;
    }
    return image;
}

// A bevelled frame edge: dark outside, a light ridge, then the inner shade.
void paintEdge(QPainter &painter, const QRectF &area, Qt::Orientation across, bool mirrored)
{
    const QPointF from = area.topLeft();
    const QPointF to = across == Qt::Horizontal ? area.topRight() : area.bottomLeft();
    QLinearGradient shade(mirrored ? to : from, mirrored ? from : to);
    shade.setColorAt(0.0, QColor(0x16, 0x19, 0x1e));
    shade.setColorAt(0.35, QColor(0x3a, 0x42, 0x4d));
    shade.setColorAt(0.6, QColor(0x2b, 0x31, 0x39));
    shade.setColorAt(1.0, QColor(0x1a, 0x1e, 0x23));
    painter.fillRect(area, shade);
}

QImage edgeImage(QSize logical, Qt::Orientation across, bool mirrored, qreal ratio)
{
    QImage image = newImage(logical, ratio);
    QPainter painter(&image);
    paintEdge(painter, QRectF(QPointF(0, 0), QSizeF(logical)), across, mirrored);
    return image;
}

QPainterPath roundedBody(const QRectF &box, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(box, radius, radius);
    return path;
}

} // namespace

void drawPod(QPainter &painter, const QRectF &box, bool detailed)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // The device keeps its proportions (about 0.62 : 1) centred in the box.
    const qreal height = std::min(box.height(), box.width() / 0.62);
    const qreal width = height * 0.62;
    const QRectF body(box.center().x() - width / 2, box.center().y() - height / 2, width, height);
    const qreal unit = width / 10.0;

    // Body: brushed silver with a dark rim.
    QLinearGradient metal(body.topLeft(), body.bottomRight());
    metal.setColorAt(0, QColor(0xfb, 0xfc, 0xfd));
    metal.setColorAt(0.5, QColor(0xe2, 0xe6, 0xeb));
    metal.setColorAt(1, QColor(0xb8, 0xbf, 0xc8));
    painter.setPen(QPen(QColor(0x4a, 0x52, 0x5c), std::max(0.6, unit * 0.28)));
    painter.setBrush(metal);
    painter.drawPath(roundedBody(body.adjusted(0.3, 0.3, -0.3, -0.3), unit * 1.6));

    // Screen.
    const QRectF screen(body.left() + unit * 1.2, body.top() + unit * 1.2, width - unit * 2.4, height * 0.36);
    QLinearGradient glass(screen.topLeft(), screen.bottomLeft());
    glass.setColorAt(0, QColor(0x2a, 0x3a, 0x4e));
    glass.setColorAt(1, QColor(0x14, 0x1c, 0x27));
    painter.setPen(QPen(QColor(0x3b, 0x44, 0x4f), std::max(0.5, unit * 0.18)));
    painter.setBrush(glass);
    painter.drawRoundedRect(screen, unit * 0.5, unit * 0.5);

    if (detailed) {
        // A now-playing line and level bars in the accent colour.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 170));
        painter.drawRoundedRect(
            QRectF(screen.left() + unit * 0.7, screen.top() + unit * 0.7, screen.width() * 0.55, unit * 0.55),
            unit * 0.2, unit * 0.2);
        const std::array<qreal, 5> levels{0.45, 0.8, 0.6, 1.0, 0.35};
        const qreal barWidth = (screen.width() - unit * 1.4) / (levels.size() * 1.6);
        const qreal floor = screen.bottom() - unit * 0.7;
        const qreal tallest = screen.height() - unit * 2.3;
        QLinearGradient hot(QPointF(0, floor - tallest), QPointF(0, floor));
        hot.setColorAt(0, QColor(0xff, 0xc0, 0x70));
        hot.setColorAt(1, accentDark());
        painter.setBrush(hot);
        for (size_t i = 0; i < levels.size(); ++i) {
            const qreal h = tallest * levels[i];
            painter.drawRect(
                QRectF(screen.left() + unit * 0.7 + static_cast<qreal>(i) * barWidth * 1.6, floor - h, barWidth, h));
        }
    } else {
        // At small sizes a single accent bar reads better than detail.
        painter.setPen(Qt::NoPen);
        painter.setBrush(accent());
        painter.drawRect(QRectF(screen.left() + screen.width() * 0.18, screen.top() + screen.height() * 0.55,
                                screen.width() * 0.64, std::max(1.0, screen.height() * 0.2)));
    }

    // Click wheel with its centre button.
    const qreal wheelRadius = width * 0.31;
    const QPointF wheelCentre(body.center().x(), body.top() + height * 0.71);
    QRadialGradient dish(wheelCentre - QPointF(0, wheelRadius * 0.4), wheelRadius * 1.4);
    dish.setColorAt(0, QColor(0xfd, 0xfd, 0xfe));
    dish.setColorAt(1, QColor(0xc9, 0xcf, 0xd6));
    painter.setPen(QPen(QColor(0x8a, 0x93, 0x9e), std::max(0.5, unit * 0.2)));
    painter.setBrush(dish);
    painter.drawEllipse(wheelCentre, wheelRadius, wheelRadius);
    const qreal buttonRadius = wheelRadius * 0.38;
    QLinearGradient cap(wheelCentre - QPointF(0, buttonRadius), wheelCentre + QPointF(0, buttonRadius));
    cap.setColorAt(0, QColor(0xc4, 0xcb, 0xd3));
    cap.setColorAt(1, QColor(0xf4, 0xf6, 0xf8));
    painter.setBrush(cap);
    painter.drawEllipse(wheelCentre, buttonRadius, buttonRadius);

    if (detailed) {
        // The four wheel marks: menu on top, play at the bottom, skips at the sides.
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x6b, 0x74, 0x80));
        const qreal mark = wheelRadius * 0.11;
        const qreal reach = wheelRadius * 0.7;
        painter.drawRoundedRect(QRectF(wheelCentre.x() - mark * 2, wheelCentre.y() - reach - mark / 2, mark * 4, mark),
                                mark / 2, mark / 2);
        for (int side : {-1, 1}) {
            QPolygonF arrow;
            const qreal tipX = wheelCentre.x() + side * (reach + mark * 1.2);
            arrow << QPointF(tipX, wheelCentre.y()) << QPointF(tipX - side * mark * 2.2, wheelCentre.y() - mark * 1.4)
                  << QPointF(tipX - side * mark * 2.2, wheelCentre.y() + mark * 1.4);
            painter.drawPolygon(arrow);
        }
        QPolygonF play;
        play << QPointF(wheelCentre.x() - mark, wheelCentre.y() + reach - mark * 1.2)
             << QPointF(wheelCentre.x() + mark * 1.3, wheelCentre.y() + reach)
             << QPointF(wheelCentre.x() - mark, wheelCentre.y() + reach + mark * 1.2);
        painter.drawPolygon(play);
    }
    painter.restore();
}

using namespace skin;

qreal frmBack::screenRatio()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return screen->devicePixelRatio();
    return 1;
}

frmBack::frmBack(qreal devicePixelRatio) : m_ratio(devicePixelRatio > 0 ? devicePixelRatio : screenRatio()) {}

void frmBack::setDevicePixelRatio(qreal devicePixelRatio)
{
    m_ratio = devicePixelRatio > 0 ? devicePixelRatio : screenRatio();
}

QPixmap frmBack::captionPicture(int width) const
{
    return toPixmap(captionImage(width, m_ratio));
}
QPixmap frmBack::backgroundTile() const
{
    return toPixmap(backgroundTileImage(m_ratio));
}
QPixmap frmBack::menuBarPicture(int width) const
{
    return toPixmap(menuBarImage(width, m_ratio));
}

QPixmap frmBack::imgMinimize() const
{
    return toPixmap(buttonImage(Glyph::Minimize, ButtonLook::Normal, m_ratio));
}

QPixmap frmBack::imgMinimizeHover() const
{
    return toPixmap(buttonImage(Glyph::Minimize, ButtonLook::Lit, m_ratio));
}

QPixmap frmBack::imgClose() const
{
    return toPixmap(buttonImage(Glyph::Close, ButtonLook::Normal, m_ratio));
}

QPixmap frmBack::imgCloseHover() const
{
    return toPixmap(buttonImage(Glyph::Close, ButtonLook::Lit, m_ratio));
}

QPixmap frmBack::imgMaximize() const
{
    return toPixmap(buttonImage(Glyph::Maximize, ButtonLook::Subdued, m_ratio));
}

QPixmap frmBack::imgL(int height) const
{
    return toPixmap(edgeImage(QSize(kEdgeWidth, std::max(1, height)), Qt::Horizontal, false, m_ratio));
}

QPixmap frmBack::imgR(int height) const
{
    return toPixmap(edgeImage(QSize(kEdgeWidth, std::max(1, height)), Qt::Horizontal, true, m_ratio));
}

QPixmap frmBack::imgBottom(int width) const
{
    return toPixmap(edgeImage(QSize(std::max(1, width), kBottomHeight), Qt::Vertical, true, m_ratio));
}

QPixmap frmBack::podIcon() const
{
    QImage image = newImage(QSize(kPodIconSize, kPodIconSize), m_ratio);
    QPainter painter(&image);
    // A soft shadow lifts the light device off the dark bar.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 70));
    const qreal h = kPodIconSize - 1.0;
    const qreal w = h * 0.62;
    painter.drawRoundedRect(QRectF((kPodIconSize - w) / 2 + 0.6, 1.4, w, h - 0.6), 2.2, 2.2);
    drawPod(painter, QRectF(0, 0, kPodIconSize, kPodIconSize - 1), m_ratio >= 2);
    return toPixmap(image);
}

QImage frmBack::appIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // A graphite tile with a warm light from below, the device standing in front.
    const qreal s = size;
    const QRectF tile(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    const qreal radius = s * 0.2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 60));
    painter.drawRoundedRect(tile.translated(0, s * 0.015), radius, radius);

    QLinearGradient body(tile.topLeft(), tile.bottomLeft());
    body.setColorAt(0, QColor(0x4a, 0x54, 0x62));
    body.setColorAt(1, QColor(0x1c, 0x21, 0x28));
    painter.setBrush(body);
    painter.drawRoundedRect(tile, radius, radius);

    QRadialGradient warmth(QPointF(tile.center().x(), tile.bottom()), tile.width() * 0.75);
    QColor hot = accent();
    hot.setAlpha(150);
    warmth.setColorAt(0, hot);
    warmth.setColorAt(1, QColor(hot.red(), hot.green(), hot.blue(), 0));
    painter.setBrush(warmth);
    painter.drawRoundedRect(tile, radius, radius);

    if (size >= 32) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 255, 255, 45), std::max(1.0, s / 128)));
        const qreal inset = std::max(0.5, s / 256);
        painter.drawRoundedRect(tile.adjusted(inset, inset, -inset, -inset), radius - inset, radius - inset);
    }

    // Small icons give the device more of the tile so that it stays recognisable.
    const qreal margin = size <= 24 ? 0.04 : 0.1;
    const QRectF device(tile.left(), tile.top() + tile.height() * margin, tile.width(),
                        tile.height() * (1 - 2 * margin));
    drawPod(painter, device, size >= 48);
    return image;
}

QIcon frmBack::appIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
    return icon;
}

void PaintBack(QPainter &painter, const QRect &area, const QPixmap &tile)
{
    if (tile.isNull())
        return;
    const QSizeF step = tile.deviceIndependentSize();
    const int stepX = std::max(1, qRound(step.width()));
    const int stepY = std::max(1, qRound(step.height()));
    // The last column and row of tiles reach past the area; the clip keeps them inside.
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    for (int x = 0; x < area.width(); x += stepX)
        for (int y = 0; y < area.height(); y += stepY)
            painter.drawPixmap(area.left() + x, area.top() + y, tile);
    painter.restore();
}

} // namespace corvanel::skin
