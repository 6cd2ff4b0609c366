#include "calendar/PlacementRules.h"

namespace placement {

QPoint visibleTopLeft(const QRect &window, const QList<QRect> &screens, const QRect &primary,
    const QPoint &designedOffset)
{
    for (const QRect &screen : screens) {
        if (screen.intersects(window))
            return window.topLeft();
    }
    return primary.topLeft() + designedOffset;
}

} // namespace placement
