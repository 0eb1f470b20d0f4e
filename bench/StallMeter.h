#pragma once
// The longest stall of the thread that runs the event loop: a 1 ms precise timer notes every
// gap between its ticks while the work under measure runs.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

class StallMeter
{
public:
    StallMeter()
    {
        m_heartbeat.setTimerType(Qt::PreciseTimer);
        m_heartbeat.setInterval(1);
        QObject::connect(&m_heartbeat, &QTimer::timeout, [this] { tick(); });
        m_clock.start();
        m_heartbeat.start();
    }
    // Counts the gap up to now as well, so that a stall at the very end is not missed.
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        if (double(now - m_last) / 1e6 > m_longestMs) {
            m_longestMs = double(now - m_last) / 1e6;
            m_atMs = double(now) / 1e6;
        }
        m_last = now;
    }
    double longestMs() const { return m_longestMs; }
    // When the longest stall ended, from the start of the measure.
    double atMs() const { return m_atMs; }
    double elapsedMs() const { return double(m_clock.nsecsElapsed()) / 1e6; }

private:
    QTimer m_heartbeat;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_longestMs = 0;
    double m_atMs = 0;
};
