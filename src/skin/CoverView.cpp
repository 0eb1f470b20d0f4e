#include "CoverView.h"

#include <QPainter>
#include <QPainterPath>

namespace corvanel::skin {

CoverView::CoverView(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void CoverView::setCover(const QImage &cover)
{
    if (cover.isNull() && m_cover.isNull())
        return;
    m_cover = cover;
    m_scaled = QImage();
    update();
}

void CoverView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height());
    const QRect square((width() - side) / 2, (height() - side) / 2, side, side);
    if (!m_cover.isNull()) {
        // Scaled once per size, smoothly, so that repaints cost a copy only.
        const QSize wanted = m_cover.size().scaled(square.size() * devicePixelRatioF(), Qt::KeepAspectRatio);
        if (m_scaled.size() != wanted)
            m_scaled = m_cover.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QRectF target(QPointF(), QSizeF(wanted) / devicePixelRatioF());
        target.moveCenter(QRectF(square).center());
        painter.drawImage(target, m_scaled);
        return;
    }
    QPainterPath tile;
    tile.addRoundedRect(QRectF(square).adjusted(0.5, 0.5, -0.5, -0.5), side / 10.0, side / 10.0);
    QLinearGradient grey(square.topLeft(), square.bottomRight());
    grey.setColorAt(0, QColor(0xE4, 0xE6, 0xE9));
    grey.setColorAt(1, QColor(0xC4, 0xC8, 0xCE));
    painter.fillPath(tile, grey);
    painter.setPen(QColor(0xA6, 0xAB, 0xB3));
    painter.drawPath(tile);
    // A quaver: two note heads joined by a beam.
    const double unit = side / 10.0;
    const QPointF centre = QRectF(square).center();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x8A, 0x90, 0x99));
    painter.drawEllipse(QRectF(centre.x() - 2.6 * unit, centre.y() + 0.6 * unit, 1.8 * unit, 1.4 * unit));
    painter.drawEllipse(QRectF(centre.x() + 0.6 * unit, centre.y() + 0.1 * unit, 1.8 * unit, 1.4 * unit));
    painter.drawRect(QRectF(centre.x() - 1.0 * unit, centre.y() - 2.6 * unit, 0.35 * unit, 3.9 * unit));
    painter.drawRect(QRectF(centre.x() + 2.2 * unit, centre.y() - 3.1 * unit, 0.35 * unit, 3.9 * unit));
    painter.drawPolygon(QPolygonF({QPointF(centre.x() - 1.0 * unit, centre.y() - 2.6 * unit),
                                   QPointF(centre.x() + 2.55 * unit, centre.y() - 3.1 * unit),
                                   QPointF(centre.x() + 2.55 * unit, centre.y() - 2.3 * unit),
                                   QPointF(centre.x() - 1.0 * unit, centre.y() - 1.8 * unit)}));
}

} // namespace corvanel::skin
