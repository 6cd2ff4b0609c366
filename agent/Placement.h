#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the character stands by a window it helps with, and where its
// balloon opens, so that neither covers what the user works in. Screen
// pixels throughout.
namespace agent {

enum class Side { Right, Left, Below, Above };

struct Beside
{
    QPoint frame; // the character frame's top-left
    Side side = Side::Right;
    bool clear = true; // false: no side had room, and he stands below as best he can
};

// Right or left of `window` where the frame and a balloon of `balloon` (at
// most) opening away from the window fit on `screen`, else below it, else
// above it; the frame's foot level with the window's on either side.
Beside besideWindow(
    const QRect &window, QSize frame, QSize balloon, const QRect &screen, int gap = 16);

struct BalloonPlace
{
    QRect rect;
    bool above = true; // above the frame, its tail pointing down
};

// Above the frame when there is room, opening toward the roomier side of the
// screen; but where that would cover `keepClear`, the first of the other
// three ways (above or below, right or left) that covers nothing of it.
BalloonPlace balloonPlace(
    const QRect &frame, QSize balloon, const QRect &screen, const QRect &keepClear = QRect());

} // namespace agent
