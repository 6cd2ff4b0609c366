#include "agent/Placement.h"

#include <algorithm>

namespace agent {

namespace {

// The room a side needs across: the frame, or the balloon opening away from
// the window from a quarter into the frame, whichever reaches further.
int reach(QSize frame, QSize balloon)
{
    return std::max(frame.width(), frame.width() / 4 + balloon.width());
}

int clampTo(int v, int low, int high)
{
    return high < low ? low : std::clamp(v, low, high);
}

} // namespace

Beside besideWindow(const QRect &window, QSize frame, QSize balloon, const QRect &screen, int gap)
{
    const int footTop = clampTo(
        window.bottom() + 1 - frame.height(), screen.top(), screen.bottom() + 1 - frame.height());
    const int across = reach(frame, balloon);

    const int rightLeft = window.right() + 1 + gap;
    if (rightLeft + across - 1 <= screen.right())
        return { QPoint(rightLeft, footTop), Side::Right, true };

    const int leftRight = window.left() - 1 - gap;
    if (leftRight - across + 1 >= screen.left())
        return { QPoint(leftRight - frame.width() + 1, footTop), Side::Left, true };

    // No room on either side: stand aside under the window, the balloon
    // below him, else over it with the balloon above.
    const int x = clampTo(
        window.right() + 1 - frame.width(), screen.left(), screen.right() + 1 - frame.width());
    const int belowTop = window.bottom() + 1 + gap;
    if (belowTop + frame.height() + balloon.height() - 1 <= screen.bottom())
        return { QPoint(x, belowTop), Side::Below, true };
    const int aboveTop = window.top() - gap - frame.height();
    if (aboveTop - balloon.height() >= screen.top())
        return { QPoint(x, aboveTop), Side::Above, true };
    return { QPoint(x, clampTo(belowTop, screen.top(), screen.bottom() + 1 - frame.height())),
        Side::Below, false };
}

BalloonPlace balloonPlace(
    const QRect &frame, QSize balloon, const QRect &screen, const QRect &keepClear)
{
    const bool roomAbove = frame.top() - balloon.height() >= screen.top();
    const bool roomRight = frame.center().x() < screen.center().x();
    auto place = [&](bool above, bool right) {
        int x = right ? frame.left() + frame.width() / 4
                      : frame.right() - frame.width() / 4 - balloon.width();
        x = clampTo(x, screen.left(), screen.right() + 1 - balloon.width());
        const int y = above ? frame.top() - balloon.height() : frame.bottom() + 1;
        return BalloonPlace { QRect(QPoint(x, y), balloon), above };
    };
    const BalloonPlace usual = place(roomAbove, roomRight);
    if (keepClear.isNull() || !usual.rect.intersects(keepClear))
        return usual;
    for (const bool above : { roomAbove, !roomAbove }) {
        for (const bool right : { roomRight, !roomRight }) {
            const BalloonPlace p = place(above, right);
            if (!p.rect.intersects(keepClear) && screen.contains(p.rect))
                return p;
        }
    }
    return usual;
}

} // namespace agent
