#pragma once
// The simulator's artwork: a white iPod with a steel rim, a dark screen bezel and a click
// wheel, drawn as vectors so that it is sharp at any scale. All sizes are in device-independent
// pixels.
#include <QColor>
#include <QRect>
#include <QRectF>
#include <QString>

class QPainter;

namespace corvanel::simulator::artwork {

inline constexpr int kWidth = 250;
inline constexpr int kHeight = 418;
// The window's rounded corners.
inline constexpr int kCorner = 40;

// Places in the window.
inline constexpr QRect kTop{40, 0, 170, 24};      // the strip above the screen
inline constexpr QRect kBezel{20, 24, 210, 164};  // the glass around the screen
inline constexpr QRect kTitle{26, 30, 198, 20};   // the title bar of the screen
inline constexpr QRect kList{26, 50, 198, 132};   // the menu list
inline constexpr QRect kWheel{45, 229, 160, 160}; // the click wheel
// Places on the wheel.
inline constexpr QRect kMenuButton{48, 8, 64, 28};
inline constexpr QRect kSelectButton{49, 49, 62, 62};

// Text on the screen, light and lit alike.
QColor screenText();

// The body: rim, white front, gloss, the bezel and the hollow the wheel sits in.
void paintBody(QPainter &painter);
// The wheel's face with the back, forward and play marks, fitted into box.
void paintWheel(QPainter &painter, const QRectF &box);
// The round centre button, fitted into box.
void paintSelectButton(QPainter &painter, const QRectF &box, bool pressed);
// The screen's title bar: background from the screen colour, the title, a battery.
void paintTitleBar(QPainter &painter, const QRectF &box, const QColor &screen, const QString &title);
// A ">" mark for an entry that leads to another menu, centred on at.
void paintChevron(QPainter &painter, const QPointF &at, const QColor &color);

} // namespace corvanel::simulator::artwork
