#pragma once
// The analyser's picture box: black, with one filled bar per band in the chosen colour.
#include "AnalyserBands.h"

#include <QWidget>
#include <cstdint>

namespace corvanel::playback {

class AnalyserView : public QWidget
{
    Q_OBJECT
public:
    explicit AnalyserView(QWidget *parent = nullptr);

    // The bar colour as the stored Windows value: red in the lowest byte, blue in the third.
    void setColorValue(uint32_t value);
    uint32_t colorValue() const { return m_colorValue; }
    static QColor toColor(uint32_t windowsValue);
    static uint32_t fromColor(const QColor &color);

    // One frame from the given magnitudes (at least 401). Returns by how much the bass rose
    // since the previous frame (0 when it did not rise).
    float DrawSpectrum(const float *magnitudes);
    // One frame from the engine's latest analysis.
    float DrawSpectrum();

    const SpectrumState &state() const { return m_state; }
    SpectrumState &state() { return m_state; }
    // The bar width for the box's width: round(1/31 x (width - 31)).
    static int barWidth(int boxWidth);

signals:
    // A release of the right mouse button: the user wants to choose the colour.
    void colorRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    SpectrumState m_state;
    uint32_t m_colorValue = 16711680;
};

} // namespace corvanel::playback
