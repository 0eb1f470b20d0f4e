#include "frmiPodArtwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>

namespace corvanel::simulator::artwork {

namespace {

const QColor kMarks(0x9d, 0xa3, 0xa9); // the printed marks of the wheel

QPointF wheelCentreInWindow()
{
    return QRectF(kWheel).center();
}

void paintRim(QPainter &painter, const QRectF &outline)
{
    // Polished steel from the back shows round the edge.
    QLinearGradient steel(outline.topLeft(), outline.bottomRight());
    steel.setColorAt(0, QColor(0xf1, 0xf3, 0xf5));
    steel.setColorAt(0.45, QColor(0xa3, 0xaa, 0xb1));
    steel.setColorAt(0.7, QColor(0xd9, 0xdd, 0xe1));
    steel.setColorAt(1, QColor(0x8a, 0x91, 0x98));
    painter.setPen(Qt::NoPen);
    painter.setBrush(steel);
    painter.drawRoundedRect(outline, kCorner, kCorner);
}

void paintFront(QPainter &painter, const QRectF &outline)
{
    const QRectF front = outline.adjusted(2.5, 2.5, -2.5, -2.5);
    QLinearGradient white(front.topLeft(), front.bottomLeft());
    white.setColorAt(0, QColor(0xff, 0xff, 0xff));
    white.setColorAt(0.55, QColor(0xf4, 0xf5, 0xf7));
    white.setColorAt(1, QColor(0xe3, 0xe6, 0xe9));
    painter.setPen(QPen(QColor(0, 0, 0, 40), 1));
    painter.setBrush(white);
    painter.drawRoundedRect(front, kCorner - 2.5, kCorner - 2.5);

    // A soft reflection across the upper front.
    QPainterPath gloss;
    gloss.addRoundedRect(front.adjusted(1, 1, -1, -1), kCorner - 3.5, kCorner - 3.5);
    QPainterPath band;
    band.moveTo(front.topLeft());
    band.lineTo(front.topRight());
    band.lineTo(front.right(), front.top() + front.height() * 0.22);
    band.cubicTo(front.center().x() + 40, front.top() + front.height() * 0.40, front.left() + 60,
                 front.top() + front.height() * 0.30, front.left(), front.top() + front.height() * 0.46);
    band.closeSubpath();
    QLinearGradient shine(front.topLeft(), QPointF(front.left(), front.top() + front.height() * 0.45));
    shine.setColorAt(0, QColor(255, 255, 255, 150));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawPath(gloss.intersected(band));
}

void paintBezel(QPainter &painter)
{
    const QRectF glass = QRectF(kBezel).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient dark(glass.topLeft(), glass.bottomLeft());
    dark.setColorAt(0, QColor(0x2c, 0x30, 0x35));
    dark.setColorAt(1, QColor(0x14, 0x16, 0x19));
    painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
    painter.setBrush(dark);
    painter.drawRoundedRect(glass, 7, 7);
    // The edge of the glass catches the light.
    painter.setPen(QPen(QColor(255, 255, 255, 38), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(glass.adjusted(1, 1, -1, -1), 6, 6);
}

void paintWheelHollow(QPainter &painter)
{
    const QPointF centre = wheelCentreInWindow();
    const qreal radius = kWheel.width() / 2.0 + 2.5;
    QRadialGradient hollow(centre, radius);
    hollow.setColorAt(0.9, QColor(0, 0, 0, 0));
    hollow.setColorAt(0.97, QColor(0, 0, 0, 30));
    hollow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.setPen(Qt::NoPen);
    painter.setBrush(hollow);
    painter.drawEllipse(centre, radius, radius);
}

// |<< or >>|, centred on at, `size` wide.
void paintSkipMark(QPainter &painter, const QPointF &at, qreal size, bool forward)
{
    const qreal h = size * 0.62;
    const qreal w = size * 0.36;
    const qreal bar = size * 0.09;
    const int s = forward ? 1 : -1;
    QPainterPath mark;
    for (int i = 0; i < 2; ++i) {
        const qreal x0 = at.x() + s * (-w * 1.2 + i * w);
        mark.moveTo(x0, at.y() - h / 2);
        mark.lineTo(x0 + s * w, at.y());
        mark.lineTo(x0, at.y() + h / 2);
        mark.closeSubpath();
    }
    const qreal barX = at.x() + s * (w * 0.8 + bar * 0.3);
    mark.addRect(QRectF(std::min(barX, barX + s * bar), at.y() - h / 2, bar, h));
    painter.drawPath(mark);
}

// >|| centred on at.
void paintPlayPauseMark(QPainter &painter, const QPointF &at, qreal size)
{
    const qreal h = size * 0.5;
    QPainterPath mark;
    const qreal left = at.x() - size * 0.42;
    mark.moveTo(left, at.y() - h / 2);
    mark.lineTo(left + size * 0.38, at.y());
    mark.lineTo(left, at.y() + h / 2);
    mark.closeSubpath();
    const qreal bar = size * 0.1;
    mark.addRect(QRectF(at.x() + size * 0.06, at.y() - h / 2, bar, h));
    mark.addRect(QRectF(at.x() + size * 0.06 + bar * 2, at.y() - h / 2, bar, h));
    painter.drawPath(mark);
}

} // namespace

QColor screenText()
{
    return QColor(0x1b, 0x1f, 0x22);
}

void paintBody(QPainter &painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline(0, 0, kWidth, kHeight);
    // The corners outside the window's rounded shape are cut off; what shows of this fill
    // there blends the edge into the rim.
    painter.fillRect(outline, QColor(0x9a, 0xa1, 0xa8));
    paintRim(painter, outline);
    paintFront(painter, outline);
    paintBezel(painter);
    paintWheelHollow(painter);
    painter.restore();
}

void paintWheel(QPainter &painter, const QRectF &box)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = box.center();
    const qreal radius = std::min(box.width(), box.height()) / 2 - 0.5;
    QRadialGradient face(centre - QPointF(0, radius * 0.35), radius * 1.35);
    face.setColorAt(0, QColor(0xf6, 0xf7, 0xf8));
    face.setColorAt(0.6, QColor(0xe9, 0xeb, 0xed));
    face.setColorAt(1, QColor(0xd6, 0xd9, 0xdc));
    painter.setPen(QPen(QColor(0, 0, 0, 45), 1));
    painter.setBrush(face);
    painter.drawEllipse(centre, radius, radius);

    // The ring round the centre button.
    const qreal inner = radius * 0.41;
    painter.setPen(QPen(QColor(0, 0, 0, 22), 1.2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, inner, inner);

    const qreal markRadius = radius * 0.71;
    const qreal size = radius * 0.2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(kMarks);
    paintSkipMark(painter, centre - QPointF(markRadius, 0), size, false);
    paintSkipMark(painter, centre + QPointF(markRadius, 0), size, true);
    paintPlayPauseMark(painter, centre + QPointF(0, markRadius), size);
    painter.restore();
}

void paintSelectButton(QPainter &painter, const QRectF &box, bool pressed)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = box.center();
    const qreal radius = std::min(box.width(), box.height()) / 2 - 1;
    QLinearGradient face(box.topLeft(), box.bottomLeft());
    face.setColorAt(0, pressed ? QColor(0xdf, 0xe2, 0xe5) : QColor(0xfe, 0xfe, 0xfe));
    face.setColorAt(1, pressed ? QColor(0xd0, 0xd4, 0xd8) : QColor(0xea, 0xec, 0xef));
    painter.setPen(QPen(QColor(0, 0, 0, pressed ? 70 : 50), 1));
    painter.setBrush(face);
    painter.drawEllipse(centre, radius, radius);
    painter.restore();
}

void paintTitleBar(QPainter &painter, const QRectF &box, const QColor &screen, const QString &title)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(box.topLeft(), box.bottomLeft());
    back.setColorAt(0, screen.lighter(112));
    back.setColorAt(1, screen);
    painter.fillRect(box, back);
    painter.setPen(QPen(QColor(0, 0, 0, 110), 1));
    painter.drawLine(QPointF(box.left(), box.bottom() - 0.5), QPointF(box.right(), box.bottom() - 0.5));

    QFont font = painter.font();
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(screenText());
    const QRectF textBox = box.adjusted(30, 0, -30, -1);
    const QString shown = QFontMetricsF(font).elidedText(title, Qt::ElideRight, textBox.width());
    painter.drawText(textBox, Qt::AlignCenter, shown);

    // A full battery at the right.
    const QRectF battery(box.right() - 24, box.center().y() - 4, 15, 8);
    painter.setPen(QPen(screenText(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(battery, 1.5, 1.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(screenText());
    painter.drawRect(battery.adjusted(2, 2, -2, -2));
    painter.drawRect(QRectF(battery.right(), battery.top() + 2.5, 1.8, 3));
    painter.restore();
}

void paintChevron(QPainter &painter, const QPointF &at, const QColor &color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    const QPointF points[] = {at + QPointF(-2.5, -4.5), at + QPointF(2, 0), at + QPointF(-2.5, 4.5)};
    painter.drawPolyline(points, 3);
    painter.restore();
}

} // namespace corvanel::simulator::artwork
