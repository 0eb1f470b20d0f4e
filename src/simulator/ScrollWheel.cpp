#include "ScrollWheel.h"

#include <algorithm>

namespace corvanel::simulator {

namespace {
constexpr int kStartThreshold = 10;
constexpr int kFloorThreshold = 5;
// Every this many moves in one direction the wheel speeds up again.
constexpr int kSpeedUpMoves = 15;
} // namespace

void ScrollWheel::MouseDown(const QPointF &at)
{
    LastX = static_cast<float>(at.x());
    LastY = static_cast<float>(at.y());
    DownMoves = 0;
    UpMoves = 0;
    StepThreshold = kStartThreshold;
}

ScrollWheel::Step ScrollWheel::direction(const QPointF &at, const QPointF &last, const QPointF &centre)
{
    const double x = at.x(), y = at.y();
    const double cx = centre.x(), cy = centre.y();
    if (x == cx || y == cy)
        return Step::None;
    bool up = false;
    if (x < cx && y < cy)
        up = x <= last.x() && y >= last.y(); // upper left
    else if (x > cx && y < cy)
        up = x <= last.x() && y <= last.y(); // upper right
    else if (x < cx && y > cy)
        up = x >= last.x() && y >= last.y(); // lower left
    else
        up = x >= last.x() && y <= last.y(); // lower right
    return up ? Step::Up : Step::Down;
}

void ScrollWheel::MouseMove(bool leftButton, const QPointF &at, const QSizeF &wheelSize)
{
    const QPointF position(static_cast<float>(at.x()), static_cast<float>(at.y()));
    if (leftButton) {
        const QPointF centre(wheelSize.width() / 2, wheelSize.height() / 2);
        const Step step = direction(position, QPointF(LastX, LastY), centre);
        if (step == Step::Down)
            ++DownTicks;
        else if (step == Step::Up)
            ++UpTicks;
        if (DownTicks >= StepThreshold) {
            MoveDown();
            DownTicks = UpTicks = 0;
        } else if (UpTicks >= StepThreshold) {
            MoveUp();
            DownTicks = UpTicks = 0;
        }
        if (UpMoves % kSpeedUpMoves == 0)
            --StepThreshold;
        if (DownMoves % kSpeedUpMoves == 0)
            --StepThreshold;
        StepThreshold = std::max(StepThreshold, kFloorThreshold);
    }
    LastX = static_cast<float>(position.x());
    LastY = static_cast<float>(position.y());
}

void ScrollWheel::highlightFirstWhenNone()
{
    if (m_list.highlighted() < 0)
        m_list.setHighlighted(0);
}

void ScrollWheel::MoveDown()
{
    highlightFirstWhenNone();
    const int at = m_list.highlighted();
    if (at < 0 || at >= m_list.count() - 1)
        return;
    m_list.setHighlighted(at + 1);
    ++DownMoves;
}

void ScrollWheel::MoveUp()
{
    highlightFirstWhenNone();
    const int at = m_list.highlighted();
    if (at <= 0)
        return;
    m_list.setHighlighted(at - 1);
    ++UpMoves;
}

} // namespace corvanel::simulator
