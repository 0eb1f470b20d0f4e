#include "SpectrumView.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

SpectrumView::SpectrumView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PicSpectrum"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(QStringLiteral("Right-click to choose the colour"));
}

QColor SpectrumView::toColor(uint32_t windowsValue)
{
    return QColor(static_cast<int>(windowsValue & 0xFF), static_cast<int>((windowsValue >> 8) & 0xFF),
                  static_cast<int>((windowsValue >> 16) & 0xFF));
}

uint32_t SpectrumView::fromColor(const QColor &color)
{
    return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8)
        | (static_cast<uint32_t>(color.blue()) << 16);
}

void SpectrumView::setColorValue(uint32_t value)
{
    m_colorValue = value;
    update();
}

int SpectrumView::barWidth(int boxWidth)
{
    return static_cast<int>(std::lround(1.0 / 31.0 * (boxWidth - 31)));
}

float SpectrumView::DrawSpectrum(const float *magnitudes)
{
    std::array<float, 32> bands{};
    const float bass = advanceSpectrum(magnitudes, m_state, bands);
    const float rise = bass > m_state.LastBass ? bass - m_state.LastBass : 0.0f;
    m_state.LastBass = bass;
    update();
    return rise;
}

float SpectrumView::DrawSpectrum()
{
    float magnitudes[401];
    CopySpectrum(magnitudes, 401);
    return DrawSpectrum(magnitudes);
}

void SpectrumView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QColor color = toColor(m_colorValue);
    const int w = barWidth(width());
    const int h = height();
    int x = 0;
    for (float level : m_state.BandLevel) {
        const int top = h - static_cast<int>(std::lround(h * static_cast<double>(level)));
        if (top < h)
            painter.fillRect(QRect(QPoint(x, top), QPoint(x + w, h)), color);
        x += w + 2;
    }
}

void SpectrumView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        emit colorRequested();
}
