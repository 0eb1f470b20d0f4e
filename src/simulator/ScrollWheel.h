#pragma once
// The scroll wheel, worked by dragging the mouse round it. Each move of the pointer with the
// left button held is a step clockwise ("down") or counter-clockwise ("up"), told from the
// quadrant the pointer is in and the way it moved; enough steps in one direction move the
// menu list's highlight by one entry, and the number of steps needed falls quickly from 10 to
// 5 after each press. Positions are in pixels from the wheel's top-left corner.
#include "MenuListModel.h"

#include <QPointF>
#include <QSizeF>

namespace corvanel::simulator {

class ScrollWheel
{
public:
    enum class Step { None, Up, Down };

    explicit ScrollWheel(MenuListModel &list) : m_list(list) {}

    // The button went down on the wheel.
    void MouseDown(const QPointF &at);
    // The pointer moved over the wheel (of this size), with or without the left button down.
    void MouseMove(bool leftButton, const QPointF &at, const QSizeF &wheelSize);
    // The direction of a move from `last` to `at` round `centre`: none on either centre line.
    static Step direction(const QPointF &at, const QPointF &last, const QPointF &centre);

    // One entry down or up; at the end of the list nothing moves and nothing is counted.
    void MoveDown();
    void MoveUp();

    float LastX = 0;
    float LastY = 0;
    // Steps since the last menu move.
    int DownTicks = 0;
    int UpTicks = 0;
    // Menu moves since the button went down.
    int DownMoves = 0;
    int UpMoves = 0;
    // Steps needed for one menu move.
    int StepThreshold = 10;

private:
    void highlightFirstWhenNone();

    MenuListModel &m_list;
};

} // namespace corvanel::simulator
