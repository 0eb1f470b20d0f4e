#include "AnalyserView.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace corvanel::playback {

AnalyserView::AnalyserView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PicSpectrum"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(QStringLiteral("Right-click to choose the colour"));
}

QColor AnalyserView::toColor(uint32_t windowsValue)
{
    return QColor(static_cast<int>(windowsValue & 0xFF), static_cast<int>((windowsValue >> 8) & 0xFF),
                  static_cast<int>((windowsValue >> 16) & 0xFF));
}

uint32_t AnalyserView::fromColor(const QColor &color)
{
    return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
           (static_cast<uint32_t>(color.blue()) << 16);
}

void AnalyserView::setColorValue(uint32_t value)
{
    m_colorValue = value;
    update();
}

int AnalyserView::barWidth(int boxWidth)
{
    return static_cast<int>(std::lround(1.0 / 31.0 * (boxWidth - 31)));
}

float AnalyserView::DrawSpectrum(const float *magnitudes)
{
    std::array<float, 32> bands{};
    const float bass = advanceSpectrum(magnitudes, m_state, bands);
    const float rise = bass > m_state.LastBass ? bass - m_state.LastBass : 0.0f;
    m_state.LastBass = bass;
    update();
    return rise;
}

float AnalyserView::DrawSpectrum()
{
    float magnitudes[401];
    CopySpectrum(magnitudes, 401);
    return DrawSpectrum(magnitudes);
}

void AnalyserView::paintEvent(QPaintEvent *)
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

void AnalyserView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        emit colorRequested();
}

} // namespace corvanel::playback
