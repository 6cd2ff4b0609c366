#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

// Where a window goes back to when the screens it stood on are gone.

namespace placement {

// The window's top-left, in pixels, kept when any part of `window` lies on
// one of the screens; otherwise the window is put back at the designed
// offset from the primary screen's top-left.
QPoint visibleTopLeft(const QRect &window, const QList<QRect> &screens, const QRect &primary,
    const QPoint &designedOffset);

} // namespace placement
